// Dragging of a frameless window by its background, and the end of a window-system move.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <functional>

class QWidget;

// Tells when a window-system move that went on after its request returned has ended. The
// window system keeps the mouse to itself during the move and reports no release afterwards,
// so the end is read from what the application sees once it has the mouse back.
class MoveEndWatcher : public QObject
{
    Q_OBJECT

public:
    // How long the window may stand still before the move is taken as over: short enough that
    // a missed end costs little, long enough that a drag resting for a moment stays one move.
    static constexpr int defaultQuietMs = 1500;

    explicit MoveEndWatcher(QWidget *window, int quietMs = defaultQuietMs,
                            QObject *parent = nullptr);

    void start();
    bool isRunning() const { return mRunning; }
    // Ends a running watch at once, with ended().
    void finish();

signals:
    void ended();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    QPointer<QWidget> mWindow;
    QTimer mQuiet;
    bool mRunning = false;
};

class MoveFilter : public QObject
{
    Q_OBJECT

public:
    // receiver is the object that received the press; finished is false before the move and
    // true once it is over. A move still running when the filter is destroyed gets no second
    // call, as its owner is going away.
    using DragCallback = std::function<void(QObject *receiver, bool finished)>;

    // Makes window frameless and filters the mouse events of watched (the window by default).
    explicit MoveFilter(QWidget *window, QWidget *watched = nullptr);

    // The owner's own maximized state; a maximized window is not dragged.
    void setMaximized(bool maximized);
    bool isMaximized() const { return mMaximized; }
    // With a callback the window system moves the window, from the press or, where its move
    // does not hold the application until the release, once a left drag has begun.
    void setDragCallback(DragCallback callback);

signals:
    void doubleClicked();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    void startSystemMove(QObject *receiver);
    void finishSystemMove();

    QWidget *mWindow;
    QWidget *mWatched;
    bool mPressed = false;
    QPoint mPressPosition;
    // A left press that hands the move over once the mouse has gone the drag distance.
    bool mArmed = false;
    QPoint mArmedAt;
    bool mMaximized = false;
    DragCallback mDragCallback;
    MoveEndWatcher *mMoveEnd;
    QPointer<QObject> mMoveReceiver;
};
