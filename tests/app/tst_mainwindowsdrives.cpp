// The window's drives end to end, on a generated drive of three clips with a harsh braking, a
// sharp turn and an impact: timeline, map, chart and list, and jumps across the clips.
#include "app/mainwindows.h"

#include "config/configuration.h"
#include "controls/controlpanel.h"
#include "controls/drivetimeline.h"
#include "controls/eventsdialog.h"
#include "demodrive.h"
#include "instruments/gyrochartview.h"
#include "map/mapwebview.h"
#include "pagescript.h"
#include "playbacktestutil.h"
#include "player/playareamanager.h"
#include "playlist/playlistdrives.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"
#include "tests/map/mapschemetest.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Patience = 60000; // ms; parsing, detection and playback on a loaded machine
constexpr int ClipSeconds = 20;
constexpr int Clips = 3; // two MP4 pairs and an AVI pair
// Where the drive's moments are placed, in seconds from its start: one in each clip.
constexpr int BrakingAt = 10;
constexpr int TurnAt = 26;
constexpr int ImpactAt = 48;

// A window playing the drive, with what the tests look at.
struct Viewer
{
    explicit Viewer(const QString &drive)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        area = window.findChild<PlayAreaManager *>(QStringLiteral("wgt_PlayArea"));
        panel = window.findChild<ControlPanel *>(QStringLiteral("wgt_PlayCtrl"));
        map = window.findChild<MapWebView *>(QStringLiteral("wgt_MapView"));
        chart = window.findChild<GyroChartView *>(QStringLiteral("gView_GyroChart"));
        timeline = panel->driveTimeline();
        model = qobject_cast<PlaylistModel *>(
                window.findChild<QTableView *>(QStringLiteral("tbl_PlayListView"))->model());
        QObject::connect(area, &PlayAreaManager::positionChanged, area,
                         [this](qint64 second, int rowId) {
                             position = {rowId, int(second)};
                         });
        window.openUrls({QUrl::fromLocalFile(drive)});
        QTRY_VERIFY_WITH_TIMEOUT(timeline->drive().clips.size() == Clips && eventCount() >= 3,
                                 Patience);
        QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    }

    int eventCount() const
    {
        int count = 0;
        for (const PlaylistDrives::Clip &clip : timeline->drive().clips)
            count += clip.events.size();
        return count;
    }

    // The events' peaks in seconds from the drive's start, in order.
    QVector<int> peaks() const
    {
        QVector<int> seconds;
        for (const PlaylistDrives::Clip &clip : timeline->drive().clips) {
            for (const DrivingEvent &event : clip.events)
                seconds << clip.offset + event.peak;
        }
        return seconds;
    }

    // Whether playback reports the row at a second from `second` to a few after it.
    bool reaches(int rowId, int second)
    {
        return QTest::qWaitFor(
                [&] {
                    return position.first == rowId && position.second >= second
                           && position.second <= second + 3;
                },
                Patience);
    }

    // Where playback last reported, for a failure's message.
    QByteArray where() const
    {
        return QStringLiteral("at row %1, second %2")
                .arg(position.first)
                .arg(position.second)
                .toUtf8();
    }

    QVariantMap mapState() { return evaluate(map->page(), QStringLiteral("mapState()")).toMap(); }

    MainWindows window;
    PlayAreaManager *area = nullptr;
    ControlPanel *panel = nullptr;
    MapWebView *map = nullptr;
    GyroChartView *chart = nullptr;
    DriveTimeline *timeline = nullptr;
    PlaylistModel *model = nullptr;
    QPair<int, int> position{-1, -1};
};

} // namespace

class TestMainWindowsDrives : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void driveShowsEverywhere();
    void eventKeysAcrossClips();
    void timelineClickInAnotherClip();
    void eventKeyRightAfterJumpToAnotherClip_data();
    void eventKeyRightAfterJumpToAnotherClip();
    void unknownMapEventIsIgnored();
    void samplesAgainAreNotDrawnAgain();
    void eventsExport_data();
    void eventsExport();

private:
    QTemporaryDir mDir;
    QString mDrive;
};

void TestMainWindowsDrives::initTestCase()
{
    QVERIFY(mDir.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    mDrive = mDir.filePath("drive");
    DemoOptions options;
    options.clips = Clips - 1;
    options.seconds = ClipSeconds;
    options.size = QSize(160, 120);
    options.framesPerSecond = 10;
    QVector<DemoFile> files = demoFiles(options);
    // The demo's route, with one moment worth a look in each clip.
    Drive drive;
    drive.start = QDateTime::fromString(QString::fromLatin1(files.first().records.first().dateTime),
                                        QStringLiteral("yyyyMMddhhmmss"));
    drive.seconds = Clips * ClipSeconds;
    drive.harshBrakingAt = BrakingAt;
    drive.sharpTurnAt = TurnAt;
    drive.impactAt = ImpactAt;
    const QVector<SampleRecord> records = drive.records();
    for (int i = 0; i < files.size(); ++i)
        files[i].records = records.mid(i / 2 * ClipSeconds, ClipSeconds);
    QString log;
    QTextStream stream(&log);
    const QString error = writeDemoDrive(QDir(mDrive), files, stream);
    QVERIFY2(error.isEmpty(), qPrintable(error + '\n' + log));
}

void TestMainWindowsDrives::init()
{
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    Configuration::instance()->setLanguage(1);
}

void TestMainWindowsDrives::driveShowsEverywhere()
{
    Viewer viewer(mDrive);
    // The clips side by side, each in its place.
    const PlaylistDrives::Drive &drive = viewer.timeline->drive();
    for (int clip = 0; clip < Clips; ++clip) {
        QCOMPARE(drive.clips.at(clip).rowId, clip);
        QCOMPARE(drive.clips.at(clip).offset, clip * ClipSeconds);
    }
    // A moment in each clip, each of its kind.
    QVector<int> kinds(Clips, -1);
    for (int clip = 0; clip < Clips; ++clip) {
        for (const DrivingEvent &event : drive.clips.at(clip).events) {
            if (kinds[clip] < 0)
                kinds[clip] = event.type;
        }
    }
    QCOMPARE(kinds,
             (QVector<int>{DrivingEvent::Braking, DrivingEvent::Cornering, DrivingEvent::Impact}));

    // The chart marks the playing clip's events, the map the drive's line and its events.
    QVector<int> firstClip;
    for (const DrivingEvent &event : drive.clips.first().events)
        firstClip << event.peak;
    QTRY_COMPARE_WITH_TIMEOUT(viewer.chart->eventMarks(), firstClip, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(viewer.mapState().value("drive").toList().size(), drive.track.size(),
                              Patience);
    QCOMPARE(viewer.mapState().value("events").toList().size(), viewer.eventCount());
    // Sent again only while the drive grew as its recordings were read.
    const int lineSent = viewer.mapState().value("driveSets").toInt();

    // The list shows them; a double-click plays from five seconds before, here in the clip
    // before the turn's.
    viewer.panel->findChild<QPushButton *>(QStringLiteral("btn_Events"))->click();
    auto *dialog = viewer.window.findChild<EventsDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->table()->rowCount(), viewer.eventCount());
    const int turn = viewer.peaks().indexOf(drive.clips.at(1).offset
                                            + drive.clips.at(1).events.first().peak);
    const int from = qMax(viewer.peaks().at(turn) - EventsDialog::LeadSeconds, 0);
    dialog->playEvent(turn);
    QVERIFY(viewer.reaches(from / ClipSeconds, from % ClipSeconds));

    // Another clip of the same drive: its own marks, the same line, sent once.
    QTRY_VERIFY_WITH_TIMEOUT(viewer.position.first == 1, Patience);
    QCOMPARE(viewer.mapState().value("driveSets").toInt(), lineSent);
}

void TestMainWindowsDrives::eventKeysAcrossClips()
{
    Viewer viewer(mDrive);
    const QVector<int> peaks = viewer.peaks();
    const auto press = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(&viewer.window, Qt::Key_N, modifiers);
    };
    // Forward through every event, each from five seconds before, wherever its clip is.
    for (const int peak : peaks) {
        press(Qt::NoModifier);
        const int from = qMax(peak - EventsDialog::LeadSeconds, 0);
        QVERIFY2(viewer.reaches(from / ClipSeconds, from % ClipSeconds),
                 qPrintable(QStringLiteral("to %1, at %2 %3")
                                    .arg(from)
                                    .arg(viewer.position.first)
                                    .arg(viewer.position.second)));
    }
    // Past the last one nothing happens. Back goes to the last event whose peak has passed:
    // before the last one's peak that is the one before it, across clips; after it, the last
    // one again.
    press(Qt::NoModifier);
    const int last = qMax(peaks.last() - EventsDialog::LeadSeconds, 0);
    QVERIFY(viewer.reaches(last / ClipSeconds, last % ClipSeconds));
    press(Qt::ShiftModifier);
    const int before = qMax(peaks.at(peaks.size() - 2) - EventsDialog::LeadSeconds, 0);
    QVERIFY(viewer.reaches(before / ClipSeconds, before % ClipSeconds));
    emit viewer.timeline->seekRequested(peaks.last() / ClipSeconds, peaks.last() % ClipSeconds + 2);
    QVERIFY(viewer.reaches(peaks.last() / ClipSeconds, peaks.last() % ClipSeconds + 2));
    press(Qt::ShiftModifier);
    QVERIFY(viewer.reaches(last / ClipSeconds, last % ClipSeconds));
}

void TestMainWindowsDrives::timelineClickInAnotherClip()
{
    Viewer viewer(mDrive);
    QVERIFY(viewer.reaches(0, 0));
    const int x = viewer.timeline->xOf(2, 6);
    QTest::mouseClick(viewer.timeline, Qt::LeftButton, {},
                      QPoint(x, viewer.timeline->height() / 2));
    // One pixel of the strip is more than a second of a drive this short.
    QVERIFY(viewer.reaches(2, 5));
    QCOMPARE(viewer.area->currentItem()->id, 2);
    // And back into the first clip.
    QTest::mouseClick(viewer.timeline, Qt::LeftButton, {},
                      QPoint(viewer.timeline->xOf(0, 12), viewer.timeline->height() / 2));
    QVERIFY(viewer.reaches(0, 11));
}

void TestMainWindowsDrives::eventKeyRightAfterJumpToAnotherClip_data()
{
    QTest::addColumn<bool>("back");
    QTest::addColumn<bool>("recomputed"); // the drives recomputed; otherwise the samples drawn
    QTest::newRow("back, drives recomputed") << true << true;
    QTest::newRow("next, drives recomputed") << false << true;
    QTest::newRow("back, samples drawn") << true << false;
    QTest::newRow("next, samples drawn") << false << false;
}

// A user tapping through the events: the second key comes before the jump's clip has reported
// where it plays.
void TestMainWindowsDrives::eventKeyRightAfterJumpToAnotherClip()
{
    QFETCH(bool, back);
    QFETCH(bool, recomputed);
    Viewer viewer(mDrive);
    const QVector<int> peaks = viewer.peaks();
    // Late in the first clip, past the braking's lead-in: N goes to the turn, in the next clip.
    const int late = ClipSeconds - 2;
    emit viewer.timeline->seekRequested(0, late);
    QVERIFY(viewer.reaches(0, late));
    QTest::keyClick(&viewer.window, Qt::Key_N);
    QCOMPARE(viewer.area->currentItem()->id, 1);
    if (recomputed) {
        // The new row's samples make the drives recompute before its player reports a second.
        emit viewer.window.findChild<PlaylistDrives *>()->drivesChanged();
    } else {
        QVector<int> marks;
        for (const DrivingEvent &event : viewer.timeline->drive().clips.at(1).events)
            marks << event.peak;
        QTRY_VERIFY_WITH_TIMEOUT(viewer.chart->eventMarks() == marks, Patience);
    }
    // From the turn's lead-in: back to the braking, on to the impact.
    QTest::keyClick(&viewer.window, Qt::Key_N, back ? Qt::ShiftModifier : Qt::NoModifier);
    const int target = qMax((back ? peaks.first() : peaks.last()) - EventsDialog::LeadSeconds, 0);
    // At once, not by playing on through the turn's clip.
    QCOMPARE(viewer.area->currentItem()->id, target / ClipSeconds);
    const bool reached = viewer.reaches(target / ClipSeconds, target % ClipSeconds);
    QVERIFY2(reached, viewer.where().constData());
}

void TestMainWindowsDrives::unknownMapEventIsIgnored()
{
    Viewer viewer(mDrive);
    emit viewer.timeline->seekRequested(1, 8);
    QVERIFY(viewer.reaches(1, 8));
    // A marker the list no longer has (a page still showing an older drive's markers).
    emit viewer.map->eventClicked(viewer.eventCount() + 5);
    QTest::qWait(1500);
    QCOMPARE(viewer.area->currentItem()->id, 1);
    QVERIFY2(viewer.position.first == 1 && viewer.position.second >= 8, viewer.where().constData());
}

void TestMainWindowsDrives::samplesAgainAreNotDrawnAgain()
{
    // The drives ask for every row's samples, the playing one's too; a paused recording must
    // neither start again nor lose its chart and map.
    Viewer viewer(mDrive);
    QVERIFY(viewer.reaches(0, 3));
    viewer.panel->playClicked();
    QTRY_COMPARE_WITH_TIMEOUT(viewer.panel->state(), QMediaPlayer::PausedState, Patience);
    QSignalSpy delivered(viewer.model, &PlaylistModel::allGpsDataParserFinished);
    viewer.model->requestAllGpsData(0);
    QTRY_VERIFY_WITH_TIMEOUT(!delivered.isEmpty(), Patience);
    QTest::qWait(500);
    QCOMPARE(viewer.panel->state(), QMediaPlayer::PausedState);
    QVector<int> marks;
    for (const DrivingEvent &event : viewer.timeline->drive().clips.first().events)
        marks << event.peak;
    QVERIFY(!marks.isEmpty());
    QCOMPARE(viewer.chart->eventMarks(), marks);
    QVERIFY(!viewer.mapState().value("current").isNull());
}

void TestMainWindowsDrives::eventsExport_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("existing"); // what the file written holds before, if anything
    QTest::addColumn<QString>("written"); // the file expected, empty for none
    QTest::addColumn<QString>("message"); // a part of the message shown, empty for none
    QTest::addColumn<bool>("linked"); // trip.csv is a link to the drive's first recording
    QTest::newRow("GeoJSON by its type") << "GeoJSON (*.geojson)"
                                         << "trip" << QByteArray() << "trip.geojson"
                                         << "" << false;
    QTest::newRow("CSV by its extension") << "GeoJSON (*.geojson)"
                                          << "trip.csv" << QByteArray() << "trip.csv"
                                          << "" << false;
    QTest::newRow("existing file kept on no") << "CSV (*.csv)"
                                              << "trip" << QByteArray("old") << ""
                                              << "trip.csv already exists" << false;
    QTest::newRow("folder that is not there") << "CSV (*.csv)"
                                              << "gone/trip" << QByteArray() << ""
                                              << "The events could not be written." << false;
    // Last: on a fault it would spoil the drive of any row after it.
    // Said yes to, the question would have the events replace the recording.
    QTest::newRow("a link to a recording") << "CSV (*.csv)"
                                           << "trip" << QByteArray() << ""
                                           << "trip.csv is one of the recordings exported" << true;
}

void TestMainWindowsDrives::eventsExport()
{
    QFETCH(QString, fileType);
    QFETCH(QString, typed);
    QFETCH(QByteArray, existing);
    QFETCH(QString, written);
    QFETCH(QString, message);
    QFETCH(bool, linked);
    Viewer viewer(mDrive);
    QTemporaryDir out;
    const QString recording = viewer.model->item(0)->url.toLocalFile();
    QFile input(recording);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QByteArray before = input.readAll();
    input.close();
    if (linked)
        QVERIFY(QFile::link(recording, out.filePath("trip.csv")));
    if (!existing.isEmpty()) {
        QFile old(out.filePath("trip.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(existing);
    }
    // Plays the user: the first file dialog gets the name, a question gets no (yes to replacing
    // the link), a message its button, and a file dialog shown again after a no is cancelled.
    QString note;
    QString shown;
    bool named = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            shown = box->text();
            QAbstractButton *answer = box->button(linked ? QMessageBox::Yes : QMessageBox::No);
            (answer ? answer : box->button(QMessageBox::Ok))->click();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        if (std::exchange(named, true)) {
            dialog->reject();
            return;
        }
        if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("lbl_ExportNote")))
            note = label->text();
        dialog->selectNameFilter(fileType);
        dialog->setDirectory(out.path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
        static_cast<QDialog *>(dialog)->accept();
    });
    driver.start(50);
    if (message.startsWith(QLatin1String("The events could not")))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^events not exported to"));
    QVERIFY(QMetaObject::invokeMethod(&viewer.window, "exportEvents"));
    driver.stop();
    QVERIFY2(note.startsWith(QStringLiteral("Drive: 01:00, ")), qPrintable(note));
    QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.contains(message), qPrintable(shown));
    if (!existing.isEmpty()) {
        QFile old(out.filePath("trip.csv"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), existing);
    }
    QVERIFY(input.open(QIODevice::ReadOnly));
    QVERIFY2(input.readAll() == before, "the recording was replaced by the events");
    if (written.isEmpty())
        return;
    QFile file(out.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // Every event of the drive, in the format chosen.
    const QByteArray kinds[] = {"braking", "cornering", "impact"};
    for (const QByteArray &kind : kinds)
        QVERIFY2(text.contains(kind), text.constData());
    if (written.endsWith(QLatin1String(".csv")))
        QCOMPARE(text.count('\n'), viewer.eventCount() + 1);
    else
        QCOMPARE(text.count("\"Feature\""), viewer.eventCount());
}

VELQOR_MAP_TEST_MAIN(TestMainWindowsDrives)
#include "tst_mainwindowsdrives.moc"
