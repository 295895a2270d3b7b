// Dragging of a frameless window by its background, and the end of a window-system move.
#include "movefilter.h"

#include "applog.h"
#include "platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

MoveEndWatcher::MoveEndWatcher(QWidget *window, int quietMs, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        qCDebug(lcApp) << "window stood still, taking its move as ended";
        finish();
    });
}

void MoveEndWatcher::start()
{
    if (m_running)
        return;
    m_running = true;
    qApp->installEventFilter(this);
    m_quiet.start();
}

void MoveEndWatcher::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_quiet.stop();
    qApp->removeEventFilter(this);
    emit ended();
}

bool MoveEndWatcher::eventFilter(QObject *object, QEvent *event)
{
    bool ends = false;
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        // The window system did not take the mouse, or gave the release back.
        ends = true;
        break;
    case QEvent::MouseMove:
        // The events of a move the application sees again carry the real buttons.
        ends = static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton;
        break;
    case QEvent::Enter:
        // The pointer comes back into our windows only when the window system lets it go.
        ends = true;
        break;
    case QEvent::WindowActivate:
        // Window managers that take the focus for the move give it back at its end; the press
        // that led to the move has activated the window long before.
        ends = object == m_window;
        break;
    case QEvent::Hide:
        ends = object == m_window;
        break;
    case QEvent::Move:
        if (object == m_window)
            m_quiet.start();
        break;
    default:
        break;
    }
    if (ends) {
        qCDebug(lcApp) << "window move ended on" << event->type();
        finish();
    }
    return false;
}

MoveFilter::MoveFilter(QWidget *window, QWidget *watched)
    : QObject(window)
    , m_window(window)
    , m_watched(watched ? watched : window)
    , m_moveEnd(new MoveEndWatcher(window, MoveEndWatcher::defaultQuietMs, this))
{
    m_window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                             | Qt::WindowMinimizeButtonHint);
    m_watched->installEventFilter(this);
    connect(m_moveEnd, &MoveEndWatcher::ended, this, &MoveFilter::finishSystemMove);
}

void MoveFilter::setMaximized(bool maximized)
{
    m_maximized = maximized;
    if (maximized) {
        m_pressed = false;
        m_armed = false;
    }
}

void MoveFilter::setDragCallback(DragCallback callback)
{
    m_dragCallback = std::move(callback);
}

bool MoveFilter::eventFilter(QObject *object, QEvent *event)
{
    if (object != m_watched)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        m_armed = false;
        // Also while maximized: it is how the window is restored.
        emit doubleClicked();
        return false;
    case QEvent::MouseButtonRelease:
        m_pressed = false;
        m_armed = false;
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    if (m_window->isMaximized() || m_maximized)
        return false;

    auto *mouse = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        if (m_dragCallback && Platform::systemMoveStartsAtPress()) {
            startSystemMove(object);
        } else if (mouse->button() == Qt::LeftButton) {
            m_pressPosition = mouse->pos();
            m_armedAt = mouse->globalPos();
            m_pressed = !m_dragCallback;
            m_armed = bool(m_dragCallback);
        }
    } else if (m_pressed) {
        // The press position stays under the cursor, as the watched widget moves with the window.
        m_window->move(m_window->pos() + mouse->pos() - m_pressPosition);
    } else if (m_armed && (mouse->buttons() & Qt::LeftButton)
               && (mouse->globalPos() - m_armedAt).manhattanLength()
                          >= QApplication::startDragDistance()) {
        m_armed = false;
        startSystemMove(object);
    }
    return false;
}

void MoveFilter::startSystemMove(QObject *receiver)
{
    // A move whose end went unseen is closed first, so the two calls always come in pairs.
    m_moveEnd->finish();
    m_moveReceiver = receiver;
    m_dragCallback(receiver, false);
    switch (Platform::startSystemMove(m_window)) {
    case Platform::SystemMove::InProgress:
        m_moveEnd->start();
        break;
    case Platform::SystemMove::NotStarted:
        qCDebug(lcApp) << "the window system offers no move for the window";
        finishSystemMove();
        break;
    case Platform::SystemMove::Finished:
        finishSystemMove();
        break;
    }
}

void MoveFilter::finishSystemMove()
{
    if (m_dragCallback)
        m_dragCallback(m_moveReceiver, true);
}
