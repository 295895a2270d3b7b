// Resizing of a frameless window by its edges from the toolkit's mouse events.
#include "edgeresizer.h"

#include "applog.h"
#include "platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

EdgeResizer::EdgeResizer(QWidget *window, HitTest hitTest)
    : QObject(window)
    , mWindow(window)
    , mHitTest(std::move(hitTest))
{
    qApp->installEventFilter(this);
}

void EdgeResizer::updateCursor()
{
    mHitTest();
}

bool EdgeResizer::isOwnWindow(QObject *object) const
{
    // The top-level window receives every move, while its child widgets see them only when they
    // track the mouse; native children (video surfaces) get theirs on windows of their own.
    const QWindow *own = mWindow->windowHandle();
    for (auto *window = qobject_cast<QWindow *>(object); own && window; window = window->parent()) {
        if (window == own)
            return true;
    }
    return false;
}

bool EdgeResizer::eventFilter(QObject *object, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
        if (isOwnWindow(object))
            mHitTest();
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && isOwnWindow(object)) {
            const WindowGeometry::Edge edge = mHitTest();
            if (edge == WindowGeometry::NoEdge)
                break;
            // Taken from the widgets, so that the press does not also start a drag.
            if (Platform::startSystemResize(mWindow, edge))
                return true;
            qCDebug(lcApp) << "the window system offers no resize for the window";
        }
        break;
    default:
        break;
    }
    return false;
}
