// Play area: layout of the two players, transport fan-out, restarts and dropped files.
#include "playareamanager.h"

#include "backendwarmup.h"
#include "playerwidget.h"

#include "config/configuration.h"
#include "playlist/playlistitem.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMetaEnum>
#include <QMimeData>
#include <QMoveEvent>
#include <QResizeEvent>
#include <cmath>

namespace {

QString stateName(QMediaPlayer::State state)
{
    const QMetaEnum states = QMediaPlayer::staticMetaObject.enumerator(
            QMediaPlayer::staticMetaObject.indexOfEnumerator("State"));
    return QStringLiteral("QMediaPlayer::%1").arg(states.valueToKey(state));
}

} // namespace

PlayAreaManager::PlayAreaManager(QWidget *parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    BackendWarmUp::start();

    mPlayerWgt = new PlayerWidget(this);
    mDelayStartTimer.setSingleShot(true);

    auto *outerLayout = new QHBoxLayout(this);
    outerLayout->setContentsMargins(0, 0, 0, 0);
    auto *background = new QWidget(this);
    background->setObjectName(QStringLiteral("wgtbackWidget"));
    background->setStyleSheet(
            QStringLiteral("QWidget#wgtbackWidget{background-color: rgb(10, 10, 10);}"));
    outerLayout->addWidget(background);
    // The 1-pixel gap between the players shows the background colour as a divider.
    mPlayerLayout = new QHBoxLayout(background);
    mPlayerLayout->setSpacing(1);
    mPlayerLayout->setContentsMargins(0, 0, 0, 0);

    setPlayerCount(1);

    connectFront();
    connect(&mDelayStartTimer, &QTimer::timeout, this, &PlayAreaManager::play);
}

void PlayAreaManager::connectFront()
{
    QMediaPlayer *front = frontPlayer();
    connect(front, &QMediaPlayer::stateChanged, this, &PlayAreaManager::stateChanged);
    connect(front, &QMediaPlayer::volumeChanged, this, &PlayAreaManager::volumeChanged);
    connect(front, &QMediaPlayer::mutedChanged, this, &PlayAreaManager::mutedChanged);
    connect(front, &QMediaPlayer::durationChanged, this, &PlayAreaManager::durationChanged);
    connect(front, &QMediaPlayer::positionChanged, this, &PlayAreaManager::onPositionChanged);

    connect(mPlayerWgt, &PlayerWidget::keyPressSignals, this, &PlayAreaManager::keyPressSignals);
    connect(mPlayerWgt, &PlayerWidget::fullScreen, this, &PlayAreaManager::fullScreenChanged);
    connect(mPlayerWgt, &PlayerWidget::changeFontSize, this, &PlayAreaManager::changeFontSizeAll);
    connect(mPlayerWgt, &PlayerWidget::fullScreen, this, &PlayAreaManager::setfulldisplywindow);
    connect(mPlayerWgt, &PlayerWidget::videoPlayError, this, &PlayAreaManager::onVideoPlayError);
    connect(mPlayerWgt, &PlayerWidget::fullScreenforRearPause, this,
            &PlayAreaManager::FrontSetFullToPauseRear);
}

void PlayAreaManager::connectRear()
{
    // The rear player follows the front one: none of its state is reported.
    connect(mPlayerWgtRelate, &PlayerWidget::keyPressSignals, this,
            &PlayAreaManager::keyPressSignals);
    connect(mPlayerWgtRelate, &PlayerWidget::fullScreen, this, &PlayAreaManager::fullScreenChanged);
    connect(mPlayerWgtRelate, &PlayerWidget::fullScreen, this,
            &PlayAreaManager::setfulldisplywindow);
    connect(mPlayerWgtRelate, &PlayerWidget::videoPlayError, this,
            &PlayAreaManager::onVideoPlayError2);
    connect(rearPlayer(), &QMediaPlayer::positionChanged, this,
            &PlayAreaManager::onPositionChanged2);
}

QMediaPlayer *PlayAreaManager::frontPlayer() const
{
    return mPlayerWgt->mediaPlayer();
}

QMediaPlayer *PlayAreaManager::rearPlayer() const
{
    return mPlayerWgtRelate ? mPlayerWgtRelate->mediaPlayer() : nullptr;
}

qint64 PlayAreaManager::wholeSeconds(qint64 position)
{
    return static_cast<qint64>(std::floor(static_cast<double>(position) / 1000.0 + 0.5));
}

bool PlayAreaManager::isAcceptableRecording(const QString &name)
{
    if (QFileInfo(name).isDir())
        return false;
    for (const char *ending : {"mp4", "mov", "avi"}) {
        if (name.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void PlayAreaManager::setPlayFrontOrRear(bool hasFront, bool hasRear)
{
    if (hasFront)
        gPlayFrontOrRear = hasRear ? 0 : 1;
    else if (hasRear)
        gPlayFrontOrRear = 2;
}

void PlayAreaManager::setPlayerCount(int count)
{
    if (mPlayerLayout->indexOf(mPlayerWgt) < 0)
        mPlayerLayout->addWidget(mPlayerWgt);

    if (count == 1) {
        if (mPlayerWgtRelate) {
            mPlayerLayout->removeWidget(mPlayerWgtRelate);
            delete mPlayerWgtRelate;
            mPlayerWgtRelate = nullptr;
        }
    } else if (count == 2) {
        if (!mPlayerWgtRelate) {
            mPlayerWgtRelate = new PlayerWidget(this);
            connectRear();
        }
        if (mPlayerLayout->indexOf(mPlayerWgtRelate) < 0)
            mPlayerLayout->addWidget(mPlayerWgtRelate);
    }
}

void PlayAreaManager::setMedia(PlaylistItem *item, const QUrl &rearUrl)
{
    frontPlayer()->setMedia(QMediaContent(item ? item->url : QUrl()));
    if (mPlayerWgtRelate)
        rearPlayer()->setMedia(QMediaContent(rearUrl));
    mCurrentItem = item;
    mRearUrl = rearUrl;
}

bool PlayAreaManager::isFullScreen() const
{
    return mPlayerWgt->isFullScreenMode()
           || (mPlayerWgtRelate && mPlayerWgtRelate->isFullScreenMode());
}

PlayerWidget *PlayAreaManager::createStandby(const QUrl &url, bool muted)
{
    auto *player = new PlayerWidget(this);
    // The video sink must find the surface's own window when it opens, or it opens one of its own.
    player->winId();
    QMediaPlayer *media = player->mediaPlayer();
    media->setVolume(frontPlayer()->volume());
    media->setMuted(muted);
    media->setMedia(QMediaContent(url));
    media->pause();
    // A clip that cannot be opened ahead is opened the usual way when its turn comes.
    connect(player, &PlayerWidget::videoPlayError, this, [this](QMediaPlayer::Error error) {
        qDebug() << "prepared clip failed" << error;
        dropPrepared();
    });
    return player;
}

bool PlayAreaManager::prepareNext(PlaylistItem *item, const QUrl &rearUrl)
{
    if (item && item == mNextItem && item->url == mNextUrl && rearUrl == mNextRearUrl)
        return true;
    dropPrepared();
    if (!item || isFullScreen())
        return false;
    mNextItem = item;
    mNextUrl = item->url;
    mNextRearUrl = rearUrl;
    mNextWgt = createStandby(item->url, frontPlayer()->isMuted());
    if (!rearUrl.isEmpty())
        mNextWgtRelate = createStandby(rearUrl, true);
    return true;
}

bool PlayAreaManager::isPreparedReady() const
{
    // A full-screen surface is a window of its own that a swap would take away.
    if (!mNextWgt || isFullScreen())
        return false;
    // A row taken over by another file since (its front arriving after its rear) is that file's.
    if (mNextItem->url != mNextUrl)
        return false;
    // Other errors, such as a telemetry track without a decoder, leave the picture playing.
    for (PlayerWidget *player : {mNextWgt, mNextWgtRelate}) {
        if (player && player->mediaPlayer()->error() == QMediaPlayer::ResourceError)
            return false;
    }
    const QMediaPlayer::MediaStatus status = mNextWgt->mediaPlayer()->mediaStatus();
    return status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia;
}

void PlayAreaManager::dropPrepared()
{
    // Not deleted at once: this may run from a signal of the very player that goes.
    for (PlayerWidget *player : {mNextWgt, mNextWgtRelate}) {
        if (!player)
            continue;
        disconnect(player, nullptr, this, nullptr);
        player->mediaPlayer()->stop();
        player->deleteLater();
    }
    mNextWgt = nullptr;
    mNextWgtRelate = nullptr;
    mNextItem = nullptr;
    mNextUrl.clear();
    mNextRearUrl.clear();
}

bool PlayAreaManager::playPrepared()
{
    if (!isPreparedReady())
        return false;
    PlayerWidget *oldFront = mPlayerWgt;
    PlayerWidget *oldRear = mPlayerWgtRelate;
    for (PlayerWidget *player : {oldFront, oldRear}) {
        if (!player)
            continue;
        disconnect(player, nullptr, this, nullptr);
        disconnect(player->mediaPlayer(), nullptr, this, nullptr);
    }
    const QRect frontGeometry = oldFront->geometry();
    const QRect rearGeometry = oldRear ? oldRear->geometry() : QRect();
    // Volume, mute and rate may have changed since the clip was prepared; play() sets the rear's.
    QMediaPlayer *newFront = mNextWgt->mediaPlayer();
    newFront->setVolume(oldFront->mediaPlayer()->volume());
    newFront->setMuted(oldFront->mediaPlayer()->isMuted());
    newFront->setPlaybackRate(oldFront->mediaPlayer()->playbackRate());

    mPlayerWgt = mNextWgt;
    mPlayerWgtRelate = mNextWgtRelate;
    disconnect(mPlayerWgt, nullptr, this, nullptr);
    connectFront();
    if (mPlayerWgtRelate) {
        disconnect(mPlayerWgtRelate, nullptr, this, nullptr);
        connectRear();
    }
    mCurrentItem = mNextItem;
    mRearUrl = mNextRearUrl;
    mNextWgt = nullptr;
    mNextWgtRelate = nullptr;
    mNextItem = nullptr;
    mNextUrl.clear();
    mNextRearUrl.clear();

    // The new surfaces take the places of the old ones before they are shown, and the old ones
    // go only once covered, so that no frame of the background shows between the clips.
    mPlayerLayout->replaceWidget(oldFront, mPlayerWgt);
    mPlayerWgt->setGeometry(frontGeometry);
    if (oldRear && mPlayerWgtRelate) {
        mPlayerLayout->replaceWidget(oldRear, mPlayerWgtRelate);
        mPlayerWgtRelate->setGeometry(rearGeometry);
    } else if (oldRear) {
        mPlayerLayout->removeWidget(oldRear);
    } else if (mPlayerWgtRelate) {
        mPlayerLayout->addWidget(mPlayerWgtRelate);
    }
    play();
    for (PlayerWidget *player : {mPlayerWgt, mPlayerWgtRelate}) {
        if (player)
            player->raise();
    }
    for (PlayerWidget *player : {oldFront, oldRear}) {
        if (!player)
            continue;
        player->hide();
        player->mediaPlayer()->stop();
        player->deleteLater();
    }
    // The new clip starts at its beginning, whatever the old one reported last. Its first report
    // waits for the event loop: this often runs inside the old clip's last report, whose other
    // receivers must not hear it after the new one's.
    emit durationChanged(frontPlayer()->duration());
    QMetaObject::invokeMethod(
            this,
            [this, item = mCurrentItem] {
                if (item == mCurrentItem)
                    emit positionChanged(wholeSeconds(frontPlayer()->position()), item->id);
            },
            Qt::QueuedConnection);
    return true;
}

void PlayAreaManager::setShowMode(ShowMode mode)
{
    applyShowMode(mode);
}

QMediaPlayer::State PlayAreaManager::state() const
{
    return frontPlayer()->state();
}

QMediaContent PlayAreaManager::media() const
{
    return frontPlayer()->media();
}

void PlayAreaManager::hidePlayers()
{
    if (mPlayerWgtRelate)
        mPlayerWgtRelate->hide();
    mPlayerWgt->hide();
}

void PlayAreaManager::applyShowMode(ShowMode mode)
{
    if (mode == Front) {
        if (mPlayerWgtRelate)
            mPlayerWgtRelate->hide();
        mPlayerWgt->show();
    } else if (mode == Rear) {
        if (mPlayerWgtRelate) {
            mPlayerWgt->hide();
            mPlayerWgtRelate->show();
        } else {
            mPlayerWgt->show();
            mode = Front;
        }
    } else {
        mPlayerWgt->show();
        if (mPlayerWgtRelate)
            mPlayerWgtRelate->show();
        else
            mode = Front;
    }
    qDebug() << "mode...=" << mode;
    qDebug() << "gPlayFrontOrRear=" << gPlayFrontOrRear;

    // A rear-only recording plays in the front player but is still a rear view to the user.
    if (gPlayFrontOrRear == 2)
        mode = Rear;
    mShowMode = mode;
    emit showModeChanged(mode);
}

void PlayAreaManager::play()
{
    qDebug() << "PlayAreaManager::play...";
    frontPlayer()->play();
    if (QMediaPlayer *rear = rearPlayer()) {
        // Sound comes from the front recording only.
        rear->play();
        rear->setMuted(true);
        rear->setPlaybackRate(frontPlayer()->playbackRate());
        if (mRearPausedForFullScreen) {
            qDebug() << "mPlayerWgtRelate::pause...";
            rear->pause();
        }
    }
    applyShowMode(mShowMode);
}

void PlayAreaManager::pause()
{
    frontPlayer()->pause();
    if (QMediaPlayer *rear = rearPlayer())
        rear->pause();
}

void PlayAreaManager::stop()
{
    dropPrepared();
    frontPlayer()->stop();
    if (QMediaPlayer *rear = rearPlayer())
        rear->stop();
}

void PlayAreaManager::seek(int seconds)
{
    const qint64 position = qint64(seconds) * 1000;
    frontPlayer()->setPosition(position);
    if (QMediaPlayer *rear = rearPlayer())
        rear->setPosition(position);
}

void PlayAreaManager::setVolume(int volume)
{
    frontPlayer()->setVolume(volume);
    if (QMediaPlayer *rear = rearPlayer())
        rear->setVolume(volume);
    // Zero is how the control bar silences; the volume to come back to stays stored.
    if (volume != 0)
        Configuration::instance()->setVolume(volume);
}

void PlayAreaManager::setMuted(bool muted)
{
    frontPlayer()->setMuted(muted);
    if (QMediaPlayer *rear = rearPlayer())
        rear->setMuted(muted);
    Configuration::instance()->setMute(muted);
}

void PlayAreaManager::setPlaybackRate(qreal rate)
{
    frontPlayer()->setPlaybackRate(rate);
    if (QMediaPlayer *rear = rearPlayer())
        rear->setPlaybackRate(rate);
}

void PlayAreaManager::screenshot()
{
    if (!mCurrentItem)
        return;
    const qint64 frontPosition = frontPlayer()->position();
    const qint64 rearPosition = mPlayerWgtRelate ? rearPlayer()->position() : 0;
    mPlayerWgt->screenshot(frontPosition, mCurrentItem->resolution, true);
    if (mPlayerWgtRelate && !mRearUrl.isEmpty())
        mPlayerWgtRelate->screenshot(rearPosition, mCurrentItem->resolution, true);
}

void PlayAreaManager::update()
{
    mPlayerWgt->update();
    if (mPlayerWgtRelate)
        mPlayerWgtRelate->update();
}

void PlayAreaManager::onSliderStatusChanged(bool isSliderDown, int seconds)
{
    QMediaPlayer *front = frontPlayer();
    if (front->state() == QMediaPlayer::StoppedState) {
        if (mCurrentItem)
            emit positionChanged(0, mCurrentItem->id);
        return;
    }
    if (isSliderDown) {
        pause();
        return;
    }
    // Release always resumes, and each player seeks only when it stands at another second.
    const qint64 target = qint64(seconds) * 1000;
    for (QMediaPlayer *player : {front, rearPlayer()}) {
        if (!player)
            continue;
        if (player->position() / 1000 != seconds)
            player->setPosition(target);
        player->play();
    }
}

void PlayAreaManager::onPositionChanged(qint64 position)
{
    if (mCurrentItem)
        emit positionChanged(wholeSeconds(position), mCurrentItem->id);
}

void PlayAreaManager::onPositionChanged2(qint64 position)
{
    Q_UNUSED(position)
}

void PlayAreaManager::moveEvent(QMoveEvent *event)
{
    Q_UNUSED(event)
}

void PlayAreaManager::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event)
    onPlayerWidgetResize();
}

void PlayAreaManager::onPlayerWidgetResize()
{
    if (frontPlayer()->state() == QMediaPlayer::PlayingState)
        QTimer::singleShot(1, this, &PlayAreaManager::onDelayStartTimer);
}

void PlayAreaManager::onDelayStartTimer()
{
    // A short pause lets the video sinks take the new size before frames flow again.
    if (frontPlayer()->state() != QMediaPlayer::PlayingState)
        return;
    pause();
    mDelayStartTimer.start(50);
}

void PlayAreaManager::setfulldisplywindow(bool isFull)
{
    if (!isFull)
        return;
    const QRect geometry = PlayerWidget::screenGeometryOf(this);
    mPlayerWgt->setGeometry(geometry);
    if (mPlayerWgtRelate)
        mPlayerWgtRelate->setGeometry(geometry);
}

void PlayAreaManager::FrontSetFullToPauseRear(bool isFull)
{
    QMediaPlayer *front = frontPlayer();
    QMediaPlayer *rear = rearPlayer();
    const bool bothPlaying = rear && front->state() == QMediaPlayer::PlayingState;
    if (isFull) {
        if (bothPlaying) {
            rear->pause();
            mRearPausedForFullScreen = true;
        }
        return;
    }
    if (bothPlaying) {
        rear->setPosition(front->position());
        rear->play();
    }
    mRearPausedForFullScreen = false;
}

void PlayAreaManager::onVideoPlayError(QMediaPlayer::Error error)
{
    if (error != QMediaPlayer::ResourceError)
        return;
    qDebug() << "*ERROR* QMediaPlayer::ResourceError   playstate="
             << stateName(frontPlayer()->state());
    handleResourceError(mPlayerWgt, mCurrentItem ? mCurrentItem->url : QUrl(), false);
}

void PlayAreaManager::onVideoPlayError2(QMediaPlayer::Error error)
{
    if (error != QMediaPlayer::ResourceError)
        return;
    qDebug() << "*ERROR--2* QMediaPlayer::ResourceError   playstate="
             << stateName(frontPlayer()->state());
    handleResourceError(mPlayerWgtRelate, mRearUrl, true);
}

void PlayAreaManager::handleResourceError(PlayerWidget *reporter, const QUrl &url, bool isRear)
{
    const QString path = url.toLocalFile();
    qDebug() << "filename=" << path;
    if (QFileInfo(path).isFile()) {
        qDebug() << (isRear ? "2Path is exist!" : "1 Path is exist!");
    } else {
        qDebug() << (isRear ? " 2Path is not exist!" : " 1Path is not exist!");
        stop();
    }

    // Each report gets one more attempt; a recording that has gone ends in the stopped state.
    const QMediaPlayer::State state = frontPlayer()->state();
    if (state != QMediaPlayer::PlayingState && state != QMediaPlayer::PausedState)
        return;
    reporter->setPlayerOutPut();
    play();
}

void PlayAreaManager::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (isAcceptableRecording(url.toString())) {
            event->acceptProposedAction();
            return;
        }
    }
}

void PlayAreaManager::dropEvent(QDropEvent *event)
{
    QFileInfoList files;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        const QString path = url.toLocalFile();
        if (isAcceptableRecording(path))
            files.append(QFileInfo(path));
    }
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    emit dropFile(files);
}
