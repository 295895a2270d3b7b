// The video area: front and rear players side by side, driven together by one set of commands.
#pragma once

#include "showmode.h"

#include <QFileInfoList>
#include <QMediaContent>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

class PlayerWidget;
class PlaylistItem;
class QHBoxLayout;

class PlayAreaManager : public QWidget
{
    Q_OBJECT

public:
    explicit PlayAreaManager(QWidget *parent = nullptr);

    void setPlayFrontOrRear(bool hasFront, bool hasRear);
    void setPlayerCount(int count);
    // The item stays owned by the playlist model, which keeps it alive while it is current.
    void setMedia(PlaylistItem *item, const QUrl &rearUrl);
    void setShowMode(ShowMode mode);
    QMediaPlayer::State state() const;
    QMediaContent media() const;
    PlaylistItem *currentItem() const { return mCurrentItem; }
    void hidePlayers();

    // Opens the item (and its rear partner when rearUrl is not empty) in standby players, paused
    // at its start, so that playPrepared() can take over from the current players with no gap.
    // False when nothing was prepared: while a player is full screen, or without an item.
    bool prepareNext(PlaylistItem *item, const QUrl &rearUrl);
    PlaylistItem *preparedItem() const { return mNextItem; }
    QUrl preparedRearUrl() const { return mNextRearUrl; }
    // Whether the prepared front player holds its first picture, nothing of it has failed and its
    // row still stands for the file opened.
    bool isPreparedReady() const;
    // Swaps the prepared players in and plays them, keeping the current picture until theirs
    // shows; false, with nothing changed, when no prepared clip is ready.
    bool playPrepared();
    void dropPrepared();

    // Whole seconds of a player position in milliseconds, halves rounded up.
    static qint64 wholeSeconds(qint64 position);
    // Whether a dropped name may be a recording: not a directory, ending in mp4, mov or avi.
    static bool isAcceptableRecording(const QString &name);

signals:
    void stateChanged(QMediaPlayer::State newState);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void durationChanged(qint64 duration);
    void positionChanged(qint64 second, int rowId);
    void keyPressSignals(QKeyEvent *event);
    void fullScreenChanged(bool fullScreen);
    void dropFile(QFileInfoList fileInfoList);
    void showModeChanged(ShowMode mode);
    void changeFontSizeAll(bool changeOnce);

public slots:
    void play();
    void pause();
    void stop();
    void seek(int seconds);
    void setVolume(int volume);
    void setMuted(bool muted);
    void setPlaybackRate(qreal rate);
    void screenshot();
    void update();
    void onSliderStatusChanged(bool isSliderDown, int seconds);

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void onPositionChanged(qint64 position);
    void onPositionChanged2(qint64 position);
    void onPlayerWidgetResize();
    void onDelayStartTimer();
    void setfulldisplywindow(bool isFull);
    void FrontSetFullToPauseRear(bool isFull);
    void onVideoPlayError(QMediaPlayer::Error error);
    void onVideoPlayError2(QMediaPlayer::Error error);

private:
    QMediaPlayer *frontPlayer() const;
    QMediaPlayer *rearPlayer() const;
    void applyShowMode(ShowMode mode);
    void handleResourceError(PlayerWidget *reporter, const QUrl &url, bool isRear);
    void connectFront();
    void connectRear();
    PlayerWidget *createStandby(const QUrl &url, bool muted);
    bool isFullScreen() const;

    PlayerWidget *mPlayerWgt = nullptr;
    PlayerWidget *mPlayerWgtRelate = nullptr;
    QHBoxLayout *mPlayerLayout = nullptr;
    int gPlayFrontOrRear = 0;
    bool mRearPausedForFullScreen = false;
    PlaylistItem *mCurrentItem = nullptr;
    QUrl mRearUrl;
    ShowMode mShowMode = FrontRear;
    QTimer mDelayStartTimer;
    // The next clip, opened ahead in players of its own that stay hidden until they take over.
    PlayerWidget *mNextWgt = nullptr;
    PlayerWidget *mNextWgtRelate = nullptr;
    PlaylistItem *mNextItem = nullptr;
    // The file the item stood for when it was prepared.
    QUrl mNextUrl;
    QUrl mNextRearUrl;
};
