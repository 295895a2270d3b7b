// Dragging of a frameless window by its background, and the end of a window-system move.
#include "movefilter.h"

#include "applog.h"
#include "platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

MoveEndWatcher::MoveEndWatcher(QWidget *window, int quietMs, QObject *parent)
    : QObject(parent)
    , mWindow(window)
{
    mQuiet.setSingleShot(true);
    mQuiet.setInterval(quietMs);
    connect(&mQuiet, &QTimer::timeout, this, [this] {
        qCDebug(lcApp) << "window stood still, taking its move as ended";
        finish();
    });
}

void MoveEndWatcher::start()
{
    if (mRunning)
        return;
    mRunning = true;
    qApp->installEventFilter(this);
    mQuiet.start();
}

void MoveEndWatcher::finish()
{
    if (!mRunning)
        return;
    mRunning = false;
    mQuiet.stop();
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
        ends = object == mWindow;
        break;
    case QEvent::Hide:
        ends = object == mWindow;
        break;
    case QEvent::Move:
        if (object == mWindow)
            mQuiet.start();
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
    , mWindow(window)
    , mWatched(watched ? watched : window)
    , mMoveEnd(new MoveEndWatcher(window, MoveEndWatcher::defaultQuietMs, this))
{
    mWindow->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                            | Qt::WindowMinimizeButtonHint);
    mWatched->installEventFilter(this);
    connect(mMoveEnd, &MoveEndWatcher::ended, this, &MoveFilter::finishSystemMove);
}

void MoveFilter::setMaximized(bool maximized)
{
    mMaximized = maximized;
    if (maximized) {
        mPressed = false;
        mArmed = false;
    }
}

void MoveFilter::setDragCallback(DragCallback callback)
{
    mDragCallback = std::move(callback);
}

bool MoveFilter::eventFilter(QObject *object, QEvent *event)
{
    if (object != mWatched)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        mArmed = false;
        // Also while maximized: it is how the window is restored.
        emit doubleClicked();
        return false;
    case QEvent::MouseButtonRelease:
        mPressed = false;
        mArmed = false;
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    if (mWindow->isMaximized() || mMaximized)
        return false;

    auto *mouse = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        if (mDragCallback && Platform::systemMoveStartsAtPress()) {
            mPressPosition = mouse->pos();
            startSystemMove(object);
        } else if (mouse->button() == Qt::LeftButton) {
            mPressPosition = mouse->pos();
            mArmedAt = mouse->globalPos();
            mPressed = !mDragCallback;
            mArmed = bool(mDragCallback);
        }
    } else {
        if (mArmed && (mouse->buttons() & Qt::LeftButton)
            && (mouse->globalPos() - mArmedAt).manhattanLength()
                       >= QApplication::startDragDistance()) {
            mArmed = false;
            startSystemMove(object);
        }
        // The press position stays under the cursor, as the watched widget moves with the window.
        if (mPressed)
            mWindow->move(mWindow->pos() + mouse->pos() - mPressPosition);
    }
    return false;
}

void MoveFilter::startSystemMove(QObject *receiver)
{
    // A move whose end went unseen is closed first, so the two calls always come in pairs.
    mMoveEnd->finish();
    mMoveReceiver = receiver;
    mDragCallback(receiver, false);
    switch (Platform::startSystemMove(mWindow)) {
    case Platform::SystemMove::InProgress:
        mMoveEnd->start();
        break;
    case Platform::SystemMove::NotStarted:
        qCDebug(lcApp) << "the window system offers no move for the window, moving it by hand";
        finishSystemMove();
        // The rest of the drag moves the window as a window without a callback does.
        mPressed = true;
        break;
    case Platform::SystemMove::Finished:
        finishSystemMove();
        break;
    }
}

void MoveFilter::finishSystemMove()
{
    if (mDragCallback)
        mDragCallback(mMoveReceiver, true);
}
