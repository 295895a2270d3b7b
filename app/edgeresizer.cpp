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
    , m_window(window)
    , m_hitTest(std::move(hitTest))
{
    qApp->installEventFilter(this);
}

void EdgeResizer::updateCursor()
{
    m_hitTest();
}

bool EdgeResizer::isOwnWindow(QObject *object) const
{
    // The top-level window receives every move, while its child widgets see them only when they
    // track the mouse; native children (video surfaces) get theirs on windows of their own.
    const QWindow *own = m_window->windowHandle();
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
            m_hitTest();
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && isOwnWindow(object)) {
            const WindowGeometry::Edge edge = m_hitTest();
            if (edge == WindowGeometry::NoEdge)
                break;
            // Taken from the widgets, so that the press does not also start a drag.
            if (Platform::startSystemResize(m_window, edge))
                return true;
            qCDebug(lcApp) << "the window system offers no resize for the window";
        }
        break;
    default:
        break;
    }
    return false;
}
