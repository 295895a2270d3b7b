// Video surface: full screen by keys or double click, screen changes, repaint policy, errors.
#include "playerwidget.h"

#include "capturethread.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaEnum>
#include <QNetworkRequest>
#include <QScreen>

PlayerWidget::PlayerWidget(QWidget *parent)
    : QVideoWidget(nullptr)
{
    setWindowFlags(Qt::CustomizeWindowHint | Qt::FramelessWindowHint);
    hide();
    setParent(parent);

    QPalette blackPalette = palette();
    blackPalette.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::black));
    setPalette(blackPalette);

    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setAttribute(Qt::WA_OpaquePaintEvent, true);

    mPlayer.setAudioRole(QAudio::VideoRole);
    mPlayer.setVideoOutput(this);

    connect(&mPlayer, &QMediaPlayer::stateChanged, this, &PlayerWidget::onStateChanged);
    connect(&mPlayer, QOverload<QMediaPlayer::Error>::of(&QMediaPlayer::error), this,
            &PlayerWidget::onError);

    for (QScreen *screen : QGuiApplication::screens())
        connect(screen, &QScreen::logicalDotsPerInchChanged, this,
                &PlayerWidget::onLogicalDotsPerInchChanged);
    connect(qApp, &QGuiApplication::screenAdded, this, &PlayerWidget::onScreenAdded);
    connect(qApp, &QGuiApplication::screenRemoved, this, &PlayerWidget::onScreenRemoved);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this,
            &PlayerWidget::onPrimaryScreenChanged);

    setUpdatesEnabled(true);
}

PlayerWidget::~PlayerWidget()
{
    delete mCaptureThread;
}

QRect PlayerWidget::screenGeometryOf(const QWidget *widget)
{
    // A widget on no screen at all has number -1; the desktop's own numbering then means the
    // first screen, not an empty rectangle that would shrink the video to nothing.
    const int number = qMax(QApplication::desktop()->screenNumber(widget), 0);
    const QScreen *screen = QGuiApplication::screens().value(number);
    return screen ? screen->geometry() : QRect();
}

void PlayerWidget::fitToScreen()
{
    if (mFullScreen)
        setGeometry(screenGeometryOf(this));
}

void PlayerWidget::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
}

void PlayerWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Full screen by window flags: the surface leaves its layout as a window of its own.
    if (!mFullScreen) {
        mFullScreen = true;
        fitToScreen();
        setWindowFlags(Qt::Window);
        showFullScreen();
    } else {
        mFullScreen = false;
        setWindowFlags(Qt::SubWindow);
        showNormal();
    }
    emit fullScreenforRearPause(mFullScreen);
    event->accept();
}

void PlayerWidget::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (mFullScreen) {
        // While full screen the main window cannot see keys, so its transport keys go through
        // us; everything else is swallowed.
        if (key == Qt::Key_Space || key == Qt::Key_Left || key == Qt::Key_Right
            || key == Qt::Key_N) {
            emit keyPressSignals(event);
        } else if (key == Qt::Key_Escape) {
            qDebug() << "Key_Escape, setValue=false";
            emit fullScreen(false);
            emit fullScreenforRearPause(false);
            QVideoWidget::setFullScreen(false);
            mFullScreen = false;
            event->accept();
        }
        return;
    }

    if (key == Qt::Key_Enter && event->modifiers().testFlag(Qt::AltModifier)) {
        const bool full = !isFullScreen();
        qDebug() << "Key_Enter, setValue=" << full;
        emit fullScreen(full);
        emit fullScreenforRearPause(full);
        QVideoWidget::setFullScreen(full);
        mFullScreen = full;
        fitToScreen();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PlayerWidget::moveEvent(QMoveEvent *event)
{
    event->accept();
}

void PlayerWidget::onLogicalDotsPerInchChanged(qreal dpi)
{
    qDebug() << "[onLogicalDotsPerInchChanged] dpi=" << dpi;
    onScreenChanged();
}

void PlayerWidget::onPrimaryOrientationChanged(Qt::ScreenOrientation orientation)
{
    qDebug() << "[onPrimaryOrientationChanged] orientation="
             << QMetaEnum::fromType<Qt::ScreenOrientation>().valueToKey(orientation);
    onScreenChanged();
}

void PlayerWidget::onOrientationChanged(Qt::ScreenOrientation orientation)
{
    qDebug() << "[onOrientationChanged] orientation="
             << QMetaEnum::fromType<Qt::ScreenOrientation>().valueToKey(orientation);
    onScreenChanged();
}

void PlayerWidget::onScreenAdded(QScreen *screen)
{
    qDebug() << "[onScreenAdded] screen=" << screen;
    onScreenChanged();
    connect(screen, &QScreen::logicalDotsPerInchChanged, this,
            &PlayerWidget::onLogicalDotsPerInchChanged);
}

void PlayerWidget::onScreenRemoved(QScreen *screen)
{
    qDebug() << "[onScreenRemoved] screen=" << screen;
    onScreenChanged();
}

void PlayerWidget::onPrimaryScreenChanged(QScreen *screen)
{
    qDebug() << "[onPrimaryScreenChanged] screen=" << screen;
    onScreenChanged();
}

void PlayerWidget::onScreenChanged()
{
    if (mFullScreen) {
        // Re-creates the full-screen window on the screen the surface is on now.
        setWindowFlags(Qt::SubWindow);
        showNormal();
        fitToScreen();
        setWindowFlags(Qt::Window);
        showFullScreen();
    }
    mPlayer.setVideoOutput(this);
    emit changeFontSize(false);
}

void PlayerWidget::setPlayerOutPut()
{
    mPlayer.setVideoOutput(this);
}

void PlayerWidget::onStateChanged(QMediaPlayer::State newState)
{
    // The video sink paints the frames; our own black background only once stopped.
    if (newState == QMediaPlayer::StoppedState) {
        setUpdatesEnabled(true);
        update();
    } else {
        setUpdatesEnabled(false);
    }
}

void PlayerWidget::onError(QMediaPlayer::Error error)
{
    const QMetaEnum errors = QMediaPlayer::staticMetaObject.enumerator(
            QMediaPlayer::staticMetaObject.indexOfEnumerator("Error"));
    qDebug() << "onError" << QStringLiteral("QMediaPlayer::%1").arg(errors.valueToKey(error))
             << mPlayer.errorString();
    if (error != QMediaPlayer::NoError)
        setUpdatesEnabled(true);
    if (error == QMediaPlayer::ResourceError)
        emit videoPlayError(error);
}

bool PlayerWidget::screenshot(qint64 postion, QSize resolution, bool isOriginal)
{
    Q_UNUSED(resolution)
    Q_UNUSED(isOriginal)
    const QMediaPlayer::State state = mPlayer.state();
    if (state != QMediaPlayer::PlayingState && state != QMediaPlayer::PausedState)
        return true;

    if (!mCaptureThread) {
        mCaptureThread = new CaptureThread;
        connect(mCaptureThread, &QThread::finished, this, &PlayerWidget::onCaptureThreadFinished);
    }
    const QString path = mPlayer.media().request().url().path(QUrl::FullyDecoded);
    mCaptureThread->addTask(path, postion);
    mCaptureThread->start();
    return true;
}

void PlayerWidget::onCaptureThreadFinished()
{
    if (!mCaptureThread)
        return;
    // A start() made after this notification was queued is serving the queue again; its own
    // finished() will come.
    if (mCaptureThread->isRunning())
        return;
    // A request queued after the worker found its queue empty, but before it stopped running,
    // found start() without effect; serve it now.
    if (mCaptureThread->hasTasks()) {
        mCaptureThread->start();
        return;
    }
    qDebug() << "onCaptureThreadFinished, delete mCaptureThread";
    delete mCaptureThread;
    mCaptureThread = nullptr;
}
