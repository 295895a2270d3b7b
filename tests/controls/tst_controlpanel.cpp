// Tests of the control bar's algorithms without playback: time label, end detection, volume and
// mute, rate, stepping, seek clicks, state mirroring and the images its buttons show.
#include "config/configuration.h"
#include "controls/controlpanel.h"
#include "controls/fcombobox.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

class TestControlPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void constructionState();
    void timeLabel_data();
    void timeLabel();
    void endOfRecordingAsksForTheNextOne();
    void recordingThatNeverStartsIsSkipped();
    void startedRecordingLeavesNoStaleSkip_data();
    void startedRecordingLeavesNoStaleSkip();
    void heldSeekSliderIsNotMoved();
    void volumeScale();
    void setVolumeSnapsSliderAndReportsLinearVolume();
    void muteRoundTripRestoresLastVolume();
    void volumeZeroKeepsLastVolumeAndMute();
    void raisingTheSliderLiftsMuteFirst();
    void muteButtonToggles();
    void rateStepping();
    void setPlaybackRateSelectsMatchingEntryOnly();
    void languageChangeReappliesRateAndPlaceholders();
    void stepStaysWithinTheRecording();
    void seekClick_data();
    void seekClick();
    void seekClickWhileStoppedGoesToStart();
    void seekRightClickIsIgnored();
    void stateMirror_data();
    void stateMirror();
    void playClickedFollowsState();
    void viewButtons();
    void telemetryTexts();
    void speedTextFollowsUnit_data();
    void speedTextFollowsUnit();
    void imagesLoad();
};

namespace {

struct Panel
{
    Panel()
    {
        seek = panel.findChild<QSlider *>(QStringLiteral("hSlider_Seek"));
        volume = panel.findChild<QSlider *>(QStringLiteral("hSlider_Volume"));
        playTime = panel.findChild<QLabel *>(QStringLiteral("lbl_PlayTime"));
        mute = panel.findChild<QToolButton *>(QStringLiteral("tBtn_Mute"));
        rate = panel.findChild<FComboBox *>(QStringLiteral("fcbox_Rate"));
    }

    QPushButton *button(const char *name) const
    {
        return panel.findChild<QPushButton *>(QLatin1String(name));
    }

    // A playing recording of the given length, so that seek clicks and steps take effect.
    void play(int duration)
    {
        panel.setDuration(duration);
        panel.setState(QMediaPlayer::PlayingState);
    }

    ControlPanel panel;
    QSlider *seek = nullptr;
    QSlider *volume = nullptr;
    QLabel *playTime = nullptr;
    QToolButton *mute = nullptr;
    FComboBox *rate = nullptr;
};

} // namespace

void TestControlPanel::initTestCase()
{
    // The panel listens to the configuration store, whose file must stay out of the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void TestControlPanel::constructionState()
{
    Panel p;
    QCOMPARE(p.panel.objectName(), QStringLiteral("ControlPanel"));
    QVERIFY(p.button("pBtn_Speed")->isHidden());
    QVERIFY(p.button("btn_ScreenShot")->isHidden());
    QVERIFY(p.panel.findChild<QLabel *>(QStringLiteral("lbl_GpsDateTime"))->isHidden());
    QVERIFY(p.button("btn_Front")->isChecked());
    QCOMPARE(p.volume->value(), 30);
    QCOMPARE(p.volume->maximum(), 100);
    QCOMPARE(p.seek->pageStep(), 0);
    QCOMPARE(p.playTime->text(), QStringLiteral("00:00 / 00:00"));
    QCOMPARE(p.rate->count(), 3);
    QCOMPARE(p.rate->currentIndex(), 1);
    QCOMPARE(p.panel.state(), QMediaPlayer::StoppedState);
    // The start-up mirror of a stopped player changes nothing: stop stays enabled as built.
    p.panel.setState(QMediaPlayer::StoppedState);
    QVERIFY(p.button("btn_Stop")->isEnabled());
}

void TestControlPanel::timeLabel_data()
{
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("minutes") << 125 << 90 << "01:30/02:05";
    QTest::newRow("just under an hour") << 3599 << 3599 << "59:59/59:59";
    QTest::newRow("an hour") << 3600 << 90 << "00:01:30/01:00:00";
    QTest::newRow("hours") << 7384 << 3725 << "01:02:05/02:03:04";
    QTest::newRow("start of a known length") << 125 << 0 << "00:00/02:05";
    QTest::newRow("length not known yet") << 0 << 5 << "00:05/00:00";
    QTest::newRow("placeholder") << 0 << 0 << "00:00 / 00:00";
}

void TestControlPanel::timeLabel()
{
    QFETCH(int, duration);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    Panel p;
    p.panel.setDuration(duration);
    p.panel.setPosition(seconds);
    QCOMPARE(p.playTime->text(), text);
    QCOMPARE(p.seek->value(), qMin(seconds, p.seek->maximum()));
}

void TestControlPanel::endOfRecordingAsksForTheNextOne()
{
    Panel p;
    QSignalSpy next(&p.panel, &ControlPanel::next);
    p.panel.setDuration(125);
    p.panel.setPosition(124);
    QCOMPARE(next.count(), 0);
    p.panel.setPosition(125);
    QCOMPARE(next.count(), 1);
    p.panel.setPosition(125);
    QCOMPARE(next.count(), 2);
    QCOMPARE(p.playTime->text(), QStringLiteral("02:05/02:05"));
}

void TestControlPanel::recordingThatNeverStartsIsSkipped()
{
    // Two reports of 0 without a length while playing, a second or more apart, skip.
    constexpr int Apart = 1100;
    Panel p;
    QSignalSpy next(&p.panel, &ControlPanel::next);
    // Reports of a stopped player do not count towards a playing one's.
    p.panel.setPosition(0);
    p.panel.setState(QMediaPlayer::PlayingState);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 0);
    // A back end repeating the start at once is not a recording that never starts.
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 0);
    QTest::qWait(Apart);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 1);
    // The count starts again after each skip.
    QTest::qWait(Apart);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 1);

    // A known length or a paused player never skips on position 0.
    p.panel.setState(QMediaPlayer::PausedState);
    p.panel.setPosition(0);
    QTest::qWait(Apart);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 1);
    p.panel.setDuration(30);
    p.panel.setState(QMediaPlayer::PlayingState);
    p.panel.setPosition(0);
    QTest::qWait(Apart);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 1);
}

void TestControlPanel::startedRecordingLeavesNoStaleSkip_data()
{
    QTest::addColumn<int>("durationAfterStart");
    QTest::addColumn<int>("positionAfterStart");
    // A back end that reports a position before the length, then a seek back to the start.
    QTest::newRow("position before length") << 0 << 3;
    // A recording whose length came, then the next recording reporting its start.
    QTest::newRow("length, then next recording") << 60 << 3;
    // The next recording, its length still unknown, before the first one reported any position.
    QTest::newRow("next recording at once") << 0 << 0;
}

void TestControlPanel::startedRecordingLeavesNoStaleSkip()
{
    QFETCH(int, durationAfterStart);
    QFETCH(int, positionAfterStart);
    Panel p;
    QSignalSpy next(&p.panel, &ControlPanel::next);
    p.panel.setState(QMediaPlayer::PlayingState);
    p.panel.setPosition(0);
    p.panel.setDuration(durationAfterStart);
    if (positionAfterStart > 0)
        p.panel.setPosition(positionAfterStart);
    QTest::qWait(1100);
    p.panel.setDuration(0);
    p.panel.setPosition(0);
    QCOMPARE(next.count(), 0);
}

void TestControlPanel::heldSeekSliderIsNotMoved()
{
    Panel p;
    p.play(100);
    p.panel.setPosition(10);
    p.seek->setSliderDown(true);
    p.panel.setPosition(20);
    QCOMPARE(p.seek->value(), 10);
    QCOMPARE(p.playTime->text(), QStringLiteral("00:20/01:40"));
}

void TestControlPanel::volumeScale()
{
    QCOMPARE(ControlPanel::sliderValueFromVolume(0), 0);
    QCOMPARE(ControlPanel::volumeFromSliderValue(0), 0);
    QCOMPARE(ControlPanel::sliderValueFromVolume(30), 75);
    QCOMPARE(ControlPanel::volumeFromSliderValue(75), 30);
    QCOMPARE(ControlPanel::volumeFromSliderValue(100), 100);
    // The low end of the slider rounds to silence.
    QCOMPARE(ControlPanel::volumeFromSliderValue(2), 0);
    // The slider snaps to its volume's own position; that must be a fixed point after one
    // round trip, or the slider's value-changed handling would never settle.
    for (int slider = 0; slider <= 100; ++slider) {
        const int volume = ControlPanel::volumeFromSliderValue(slider);
        QVERIFY(volume >= 0 && volume <= 100);
        QCOMPARE(ControlPanel::volumeFromSliderValue(ControlPanel::sliderValueFromVolume(volume)),
                 volume);
    }
}

void TestControlPanel::setVolumeSnapsSliderAndReportsLinearVolume()
{
    Panel p;
    QSignalSpy volume(&p.panel, &ControlPanel::changeVolume);
    p.panel.setVolume(50);
    QCOMPARE(p.volume->value(), ControlPanel::sliderValueFromVolume(50));
    QVERIFY(!volume.isEmpty());
    QCOMPARE(volume.last().at(0).toInt(), 50);

    // Dragged to the very end, the slider settles one short of it with full volume.
    volume.clear();
    p.volume->setValue(100);
    QCOMPARE(p.volume->value(), 99);
    QCOMPARE(volume.last().at(0).toInt(), 100);
}

void TestControlPanel::muteRoundTripRestoresLastVolume()
{
    Panel p;
    p.panel.setVolume(30);
    QSignalSpy muting(&p.panel, &ControlPanel::changeMuting);
    QSignalSpy volume(&p.panel, &ControlPanel::changeVolume);

    p.panel.setMuted(true);
    QCOMPARE(muting.count(), 1);
    QCOMPARE(muting.at(0).at(0).toBool(), true);
    QCOMPARE(p.volume->value(), 0);
    QCOMPARE(volume.last().at(0).toInt(), 0);
    QVERIFY(p.mute->isChecked());

    // Already muted: no new report, but the slider is put back to 0.
    p.volume->blockSignals(true);
    p.volume->setValue(40);
    p.volume->blockSignals(false);
    volume.clear();
    p.panel.setMuted(true);
    QCOMPARE(muting.count(), 1);
    QCOMPARE(p.volume->value(), 0);
    QCOMPARE(volume.count(), 1);
    QCOMPARE(volume.at(0).at(0).toInt(), 0);

    volume.clear();
    p.panel.setMuted(false);
    QCOMPARE(muting.count(), 2);
    QCOMPARE(muting.at(1).at(0).toBool(), false);
    QCOMPARE(p.volume->value(), 75);
    QCOMPARE(volume.last().at(0).toInt(), 30);
    QVERIFY(!p.mute->isChecked());
}

void TestControlPanel::volumeZeroKeepsLastVolumeAndMute()
{
    Panel p;
    p.panel.setVolume(50);
    QSignalSpy muting(&p.panel, &ControlPanel::changeMuting);
    QSignalSpy volume(&p.panel, &ControlPanel::changeVolume);
    p.panel.setVolume(0);
    QCOMPARE(volume.count(), 1);
    QCOMPARE(volume.at(0).at(0).toInt(), 0);
    QCOMPARE(muting.count(), 0);
    QVERIFY(!p.mute->isChecked());

    p.volume->setValue(0);
    p.panel.setMuted(true);
    volume.clear();
    p.panel.setMuted(false);
    QCOMPARE(volume.last().at(0).toInt(), 50);
}

void TestControlPanel::raisingTheSliderLiftsMuteFirst()
{
    Panel p;
    p.panel.setVolume(30);
    p.panel.setMuted(true);
    QStringList order;
    connect(&p.panel, &ControlPanel::changeVolume, this,
            [&order](int v) { order << QStringLiteral("volume %1").arg(v); });
    connect(&p.panel, &ControlPanel::changeMuting, this,
            [&order](bool m) { order << QStringLiteral("muting %1").arg(m); });
    p.volume->setValue(84);
    QVERIFY(order.size() >= 2);
    QCOMPARE(order.first(), QStringLiteral("muting 0"));
    QCOMPARE(order.last(), QStringLiteral("volume 40"));
    QVERIFY(!order.contains(QStringLiteral("volume 0")));
    QVERIFY(!p.mute->isChecked());
}

void TestControlPanel::muteButtonToggles()
{
    Panel p;
    QSignalSpy muting(&p.panel, &ControlPanel::changeMuting);
    p.mute->click();
    p.mute->click();
    QCOMPARE(muting.count(), 2);
    QCOMPARE(muting.at(0).at(0).toBool(), true);
    QCOMPARE(muting.at(1).at(0).toBool(), false);
}

void TestControlPanel::rateStepping()
{
    Panel p;
    auto *up = p.rate->findChild<QPushButton *>(QStringLiteral("pBtn_Up"));
    auto *down = p.rate->findChild<QPushButton *>(QStringLiteral("pBtn_Down"));
    QVERIFY(up->isEnabled() && down->isEnabled());
    QSignalSpy rate(&p.panel, &ControlPanel::changeRate);
    up->click();
    QVERIFY(!up->isEnabled());
    down->click();
    down->click();
    QVERIFY(!down->isEnabled());
    QCOMPARE(rate.count(), 3);
    QCOMPARE(rate.at(0).at(0).toDouble(), 2.0);
    QCOMPARE(rate.at(1).at(0).toDouble(), 1.0);
    QCOMPARE(rate.at(2).at(0).toDouble(), 0.5);
}

void TestControlPanel::setPlaybackRateSelectsMatchingEntryOnly()
{
    Panel p;
    QSignalSpy rate(&p.panel, &ControlPanel::changeRate);
    p.panel.setPlaybackRate(1.5f);
    QCOMPARE(rate.count(), 0);
    QCOMPARE(p.rate->currentIndex(), 1);
    p.panel.setPlaybackRate(2.0f);
    QCOMPARE(p.rate->currentIndex(), 2);
    p.panel.setPlaybackRate(0.5f);
    QCOMPARE(rate.count(), 2);
    QCOMPARE(rate.at(0).at(0).toDouble(), 2.0);
    QCOMPARE(rate.at(1).at(0).toDouble(), 0.5);
}

void TestControlPanel::languageChangeReappliesRateAndPlaceholders()
{
    Panel p;
    p.rate->findChild<QPushButton *>(QStringLiteral("pBtn_Up"))->click();
    p.panel.setSpeed(42);
    p.panel.setLatitudeLongitude(QStringLiteral("N35.1"), QStringLiteral("E139.2"));
    QSignalSpy rate(&p.panel, &ControlPanel::changeRate);
    Configuration::instance()->setLanguage(1);
    QCOMPARE(rate.count(), 1);
    QCOMPARE(rate.at(0).at(0).toDouble(), 2.0);
    QCOMPARE(p.button("pBtn_Speed")->text(), QStringLiteral("000 km/h"));
    QCOMPARE(p.panel.findChild<QLabel *>(QStringLiteral("lbl_LongitudeAndLatitude"))->text(),
             QStringLiteral("N00.000000,E000.000000"));
    QCOMPARE(p.button("btn_Stop")->toolTip(), QStringLiteral("Stop"));
}

void TestControlPanel::stepStaysWithinTheRecording()
{
    Panel p;
    p.panel.setDuration(10);
    QSignalSpy moved(&p.panel, &ControlPanel::sliderMoved);
    p.panel.step(1);
    QCOMPARE(moved.count(), 0); // stopped

    p.panel.setState(QMediaPlayer::PausedState);
    p.panel.step(-1);
    QCOMPARE(moved.count(), 0);
    p.panel.step(1);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), 1);

    p.panel.setPosition(10);
    p.panel.step(1);
    QCOMPARE(moved.count(), 1);
    p.panel.step(-1);
    QCOMPARE(moved.count(), 2);
    QCOMPARE(moved.at(1).at(0).toInt(), 9);
    // The slider itself waits for the next position report.
    QCOMPARE(p.seek->value(), 10);
}

void TestControlPanel::seekClick_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("value");
    // A 222-pixel slider has a 200-pixel groove starting at x = 6; the maximum is 100.
    QTest::newRow("groove start") << 222 << 6 << 0;
    QTest::newRow("middle") << 222 << 106 << 50;
    QTest::newRow("truncated") << 222 << 9 << 1;
    QTest::newRow("groove end") << 222 << 206 << 100;
    QTest::newRow("left of the groove") << 222 << 1 << 0;
    QTest::newRow("right of the groove") << 222 << 221 << 100;
    QTest::newRow("no groove") << 22 << 15 << 0;
    QTest::newRow("narrower than a groove") << 10 << 5 << 0;
}

void TestControlPanel::seekClick()
{
    QFETCH(int, width);
    QFETCH(int, x);
    QFETCH(int, value);
    Panel p;
    p.play(100);
    p.panel.setPosition(30);
    p.seek->resize(width, 14);
    QSignalSpy status(&p.panel, &ControlPanel::sliderStatusChanged);
    QTest::mousePress(p.seek, Qt::LeftButton, {}, QPoint(x, 7));
    QTest::mouseRelease(p.seek, Qt::LeftButton, {}, QPoint(x, 7));
    QCOMPARE(p.seek->value(), value);
    QVERIFY(!p.seek->isSliderDown());
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(0).at(0).toBool(), true);
    QCOMPARE(status.at(1).at(0).toBool(), false);
    QCOMPARE(status.at(1).at(1).toInt(), value);
}

void TestControlPanel::seekClickWhileStoppedGoesToStart()
{
    Panel p;
    p.panel.setDuration(100);
    p.panel.setPosition(30);
    p.seek->resize(222, 14);
    QSignalSpy status(&p.panel, &ControlPanel::sliderStatusChanged);
    QTest::mousePress(p.seek, Qt::LeftButton, {}, QPoint(106, 7));
    QTest::mouseRelease(p.seek, Qt::LeftButton, {}, QPoint(106, 7));
    QCOMPARE(p.seek->value(), 0);
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(1).at(0).toBool(), false);
    QCOMPARE(status.at(1).at(1).toInt(), 0);
}

void TestControlPanel::seekRightClickIsIgnored()
{
    Panel p;
    p.play(100);
    p.panel.setPosition(30);
    p.seek->resize(222, 14);
    QSignalSpy status(&p.panel, &ControlPanel::sliderStatusChanged);
    QTest::mousePress(p.seek, Qt::RightButton, {}, QPoint(106, 7));
    QTest::mouseRelease(p.seek, Qt::RightButton, {}, QPoint(106, 7));
    QCOMPARE(p.seek->value(), 30);
    QCOMPARE(status.count(), 0);
}

void TestControlPanel::stateMirror_data()
{
    QTest::addColumn<QMediaPlayer::State>("state");
    QTest::addColumn<bool>("stopEnabled");
    QTest::addColumn<bool>("playChecked");
    QTest::newRow("playing") << QMediaPlayer::PlayingState << true << true;
    QTest::newRow("paused") << QMediaPlayer::PausedState << true << false;
    QTest::newRow("stopped") << QMediaPlayer::StoppedState << false << false;
}

void TestControlPanel::stateMirror()
{
    QFETCH(QMediaPlayer::State, state);
    QFETCH(bool, stopEnabled);
    QFETCH(bool, playChecked);
    Panel p;
    // Leave the initial state first so that every row is a change.
    p.panel.setState(state == QMediaPlayer::PausedState ? QMediaPlayer::PlayingState
                                                        : QMediaPlayer::PausedState);
    p.panel.setState(state);
    QCOMPARE(p.panel.state(), state);
    QCOMPARE(p.button("btn_Stop")->isEnabled(), stopEnabled);
    QCOMPARE(p.button("btn_PlayOrPause")->isChecked(), playChecked);
}

void TestControlPanel::playClickedFollowsState()
{
    Panel p;
    QSignalSpy play(&p.panel, &ControlPanel::play);
    QSignalSpy pause(&p.panel, &ControlPanel::pause);
    p.button("btn_PlayOrPause")->click();
    QCOMPARE(play.count(), 1);
    p.panel.setState(QMediaPlayer::PlayingState);
    p.panel.playClicked();
    QCOMPARE(pause.count(), 1);
    p.panel.setState(QMediaPlayer::PausedState);
    p.panel.playClicked();
    QCOMPARE(play.count(), 2);
    QCOMPARE(pause.count(), 1);

    QSignalSpy stop(&p.panel, &ControlPanel::stop);
    p.panel.stopPlayback();
    QCOMPARE(stop.count(), 1);
    QCOMPARE(p.seek->value(), 0);
}

void TestControlPanel::viewButtons()
{
    Panel p;
    QSignalSpy front(&p.panel, &ControlPanel::frontView);
    QSignalSpy rear(&p.panel, &ControlPanel::rearView);
    QSignalSpy both(&p.panel, &ControlPanel::frontRearView);

    p.panel.onShowModeChanged(Rear);
    QVERIFY(p.button("btn_Rear")->isChecked());
    QVERIFY(!p.button("btn_Front")->isChecked());
    p.panel.onShowModeChanged(static_cast<ShowMode>(5));
    QVERIFY(p.button("btn_FrontRear")->isChecked());
    QVERIFY(!p.button("btn_Rear")->isChecked());
    QCOMPARE(front.count() + rear.count() + both.count(), 0);

    p.button("btn_Front")->click();
    QCOMPARE(front.count(), 1);
    QCOMPARE(front.at(0).at(0).toBool(), true);
    QVERIFY(!p.button("btn_FrontRear")->isChecked());

    p.panel.disableBtn(false, true, true);
    QVERIFY(p.button("btn_Front")->isEnabled());
    QVERIFY(!p.button("btn_Rear")->isEnabled());
    QVERIFY(!p.button("btn_FrontRear")->isEnabled());
    p.panel.disableBtn(false, false, false);
    QVERIFY(p.button("btn_Rear")->isEnabled());
}

void TestControlPanel::telemetryTexts()
{
    Panel p;
    p.panel.setSpeed(5);
    QCOMPARE(p.button("pBtn_Speed")->text(), QStringLiteral("005 km/h"));
    p.panel.setSpeed(1234);
    QCOMPARE(p.button("pBtn_Speed")->text(), QStringLiteral("1234 km/h"));

    auto *position = p.panel.findChild<QLabel *>(QStringLiteral("lbl_LongitudeAndLatitude"));
    p.panel.setLatitudeLongitude(QStringLiteral("N35.681236"), QStringLiteral("E139.767125"));
    QCOMPARE(position->text(), QStringLiteral("N35.681236,E139.767125"));

    auto *dateTime = p.panel.findChild<QLabel *>(QStringLiteral("lbl_GpsDateTime"));
    p.panel.setGpsDateTime(QDateTime(QDate(2023, 4, 5), QTime(6, 7, 8)));
    QCOMPARE(dateTime->text(), QStringLiteral("2023/04/05 06:07:08"));

    p.panel.setDuration(0);
    p.panel.setPosition(12);
    p.panel.reset();
    QCOMPARE(position->text(), QStringLiteral("N00.000000,E000.000000"));
    QCOMPARE(p.button("pBtn_Speed")->text(), QStringLiteral("000 km/h"));
    QCOMPARE(p.playTime->text(), QStringLiteral("00:00 / 00:00"));
    QVERIFY(QDateTime::fromString(dateTime->text(), QStringLiteral("yyyy/MM/dd hh:mm:ss"))
                    .isValid());
}

void TestControlPanel::speedTextFollowsUnit_data()
{
    QTest::addColumn<QVariant>("unit");
    QTest::addColumn<QString>("stopped");
    QTest::addColumn<QString>("at88");
    // Only mph changes the text; every other stored value reads as the recordings' km/h.
    QTest::newRow("kilometres") << QVariant(0) << "000 km/h"
                                << "088 km/h";
    QTest::newRow("miles") << QVariant(1) << "000 mph"
                           << "055 mph";
    QTest::newRow("unknown") << QVariant(7) << "000 km/h"
                             << "088 km/h";
    QTest::newRow("not a number") << QVariant(QStringLiteral("knots")) << "000 km/h"
                                  << "088 km/h";
}

void TestControlPanel::speedTextFollowsUnit()
{
    QFETCH(QVariant, unit);
    QFETCH(QString, stopped);
    QFETCH(QString, at88);
    const QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::DataLocation);
    QVERIFY(!dataDirs.isEmpty());
    // Settings on one file share their state within the process, so the store sees this at once.
    QSettings settings(dataDirs.first() + QStringLiteral("/configuration.ini"),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("speedUnit"), unit);
    const auto forget = qScopeGuard([&settings] { settings.remove(QStringLiteral("speedUnit")); });
    QCOMPARE(Configuration::instance()->speedUnit(), unit.toInt());
    Panel p;
    QCOMPARE(p.button("pBtn_Speed")->text(), stopped);
    p.panel.setSpeed(88);
    QCOMPARE(p.button("pBtn_Speed")->text(), at88);
}

void TestControlPanel::imagesLoad()
{
    // The panel registers the images of the static widget library.
    Panel p;
    QList<QPair<QString, int>> images;
    for (const char *view : {"front_view", "rear_view", "front_rear_view"}) {
        for (const char *state : {"normal", "hover", "pressed", "checked_normal", "checked_hover",
                                  "checked_pressed", "disable"})
            images.append({QStringLiteral("%1_%2").arg(view, state), 32});
    }
    const QList<QPair<const char *, int>> buttons{{"file", 32}, {"shot", 32},  {"prev", 24},
                                                  {"play", 32}, {"pause", 32}, {"stop", 32},
                                                  {"next", 24}, {"mute", 20}};
    for (const auto &button : buttons) {
        for (const char *state : {"normal", "hover", "pressed"})
            images.append({QStringLiteral("%1_%2").arg(button.first, state), button.second});
    }
    images.append({QStringLiteral("volume_normal"), 20});
    images.append({QStringLiteral("volume_hover"), 20});

    for (const auto &image : images) {
        const QString path = QStringLiteral(":/image/%1.png").arg(image.first);
        const QImage loaded(path);
        QVERIFY2(!loaded.isNull(), qPrintable(path));
        QCOMPARE(loaded.size(), QSize(image.second, image.second));
        QVERIFY2(loaded.hasAlphaChannel(), qPrintable(path));
    }
}

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
