// Playback control bar: turns user input into playback requests and mirrors the player's state.
#pragma once

#include "export/speedunit.h"
#include "player/showmode.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QString>
#include <QWidget>

class DriveTimeline;

namespace Ui {
class ControlPanel;
}

class ControlPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ControlPanel(QWidget *parent = nullptr);
    ~ControlPanel() override;

    void disableBtn(bool front, bool rear, bool frontRear);
    void setPlayChecked(bool checked);
    void setExportEnabled(bool enabled);
    QMediaPlayer::State state() const { return mState; }
    void setDuration(int seconds);
    void setPosition(int seconds);
    void step(int delta);
    void stopPlayback();
    void reset();
    void setSpeed(int kmh);
    void setLatitudeLongitude(const QString &latitude, const QString &longitude);
    void setGpsDateTime(const QDateTime &time);
    void setLastVolume(int volume) { mLastVolume = volume; }
    // The strip of the drive under the seek slider.
    DriveTimeline *driveTimeline() const;

    // The volume slider is logarithmic, the players' volume linear; both run from 0 to 100.
    static int volumeFromSliderValue(int sliderValue);
    static int sliderValueFromVolume(int volume);

signals:
    void openFile();
    // The export button asks for the export menu below it, at this global position.
    void exportMenuRequested(const QPoint &globalPos);
    void screenshot();
    void showEvents();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void frontView(bool checked);
    void rearView(bool checked);
    void frontRearView(bool checked);
    void changeVolume(int volume);
    void changeMuting(bool muting);
    void changeRate(double rate);
    void sliderMoved(int position);
    void sliderStatusChanged(bool isSliderDown, int seconds);

public slots:
    void setState(QMediaPlayer::State state);
    void setVolume(int volume);
    void setMuted(bool muted);
    void setPlaybackRate(float rate);
    void playClicked();
    void onShowModeChanged(ShowMode mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void muteClicked();
    void updateRate();
    void onVolumeSliderValueChanged();
    void onUpdateLanguage();
    void onSpeedUnitChanged();
    void onSliderStatusProcess();

private:
    int volumeFromSlider() const;
    void showVolume(int volume);
    int seekValueAt(int x) const;

    Ui::ControlPanel *ui;
    QMediaPlayer::State mState = QMediaPlayer::StoppedState;
    bool mMuted = false;
    int mDuration = 0;
    int mSpeed = 0;
    SpeedUnit::Unit mSpeedUnit = SpeedUnit::Kmh;
    int mLastVolume = 0;
    // The first position report of 0 without a duration while playing; a second one at least
    // NeverStartsMs later means the recording never starts, and it is skipped.
    QElapsedTimer mFirstEmptyReport;
    static constexpr qint64 NeverStartsMs = 1000;
};
