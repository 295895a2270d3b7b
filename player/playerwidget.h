// One video surface with its own media player, full-screen handling and frame capture requests.
#pragma once

#include <QMediaPlayer>
#include <QVideoWidget>

class CaptureThread;
class QScreen;

class PlayerWidget : public QVideoWidget
{
    Q_OBJECT

public:
    explicit PlayerWidget(QWidget *parent = nullptr);
    ~PlayerWidget() override;

    // The manager drives every transport operation directly on this player.
    QMediaPlayer *mediaPlayer() { return &mPlayer; }
    // Whether the surface has left its layout for a screen of its own.
    bool isFullScreenMode() const { return mFullScreen; }

    // Geometry of the screen a widget is on, by the desktop's screen numbering.
    static QRect screenGeometryOf(const QWidget *widget);

signals:
    void keyPressSignals(QKeyEvent *event);
    void fullScreen(bool isFull);
    void fullScreenforRearPause(bool isFull);
    void videoPlayError(QMediaPlayer::Error error);
    void changeFontSize(bool changeOnce);

public slots:
    // Resolution and original flag are accepted for callers' sake: the frame is always taken
    // at the recording's own resolution.
    bool screenshot(qint64 postion, QSize resolution = QSize(), bool isOriginal = true);
    void setPlayerOutPut();
    void onLogicalDotsPerInchChanged(qreal dpi);
    void onPrimaryOrientationChanged(Qt::ScreenOrientation orientation);
    void onOrientationChanged(Qt::ScreenOrientation orientation);
    void onScreenAdded(QScreen *screen);
    void onScreenRemoved(QScreen *screen);
    void onPrimaryScreenChanged(QScreen *screen);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private slots:
    void onStateChanged(QMediaPlayer::State newState);
    void onError(QMediaPlayer::Error error);
    void onCaptureThreadFinished();

private:
    void fitToScreen();
    void onScreenChanged();

    QMediaPlayer mPlayer;
    CaptureThread *mCaptureThread = nullptr;
    bool mFullScreen = false;
};
