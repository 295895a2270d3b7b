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

    PlayerWidget *mPlayerWgt = nullptr;
    PlayerWidget *mPlayerWgtRelate = nullptr;
    QHBoxLayout *mPlayerLayout = nullptr;
    int gPlayFrontOrRear = 0;
    bool mRearPausedForFullScreen = false;
    PlaylistItem *mCurrentItem = nullptr;
    QUrl mRearUrl;
    ShowMode mShowMode = FrontRear;
    QTimer mDelayStartTimer;
};
