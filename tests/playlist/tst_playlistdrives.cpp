// Tests of the playlist's drives: the gap rule on real rows, file times, rear partners, events.
#include "playlist/playlistdrives.h"
#include "playlist/playlistmodel.h"

#include "recording.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <memory>

namespace {

constexpr int Patience = 15000; // ms; generous for a loaded two-core machine
const QDateTime Noon(QDate(2020, 1, 1), QTime(12, 0));

// A one-minute recording (or length seconds) whose camera clock starts at start; without
// telemetry when start is invalid.
void writeRecording(const QString &path, const QDateTime &start, int length = 60,
                    int harshBrakingAt = -1)
{
    Recording recording;
    if (start.isValid()) {
        Drive drive;
        drive.start = start;
        drive.seconds = length;
        drive.harshBrakingAt = harshBrakingAt;
        recording.source = ParserObject::Gps0Box;
        recording.records = drive.records();
    } else {
        recording.seconds = length;
    }
    QVERIFY(recording.write(path));
}

// The drives as text: each drive's row ids in order, drives apart by "|", such as "0,1|2".
QString layout(const PlaylistDrives &drives)
{
    QStringList text;
    for (int d = 0; d < drives.count(); ++d) {
        QStringList ids;
        for (const PlaylistDrives::Clip &clip : drives.drive(d).clips)
            ids << QString::number(clip.rowId);
        text << ids.join(QLatin1Char(','));
    }
    return text.join(QLatin1Char('|'));
}

// Samples a second apart whose camera clock starts at start.
QVector<GpsData> timedSamples(const QDateTime &start, int count)
{
    QVector<GpsData> samples(count);
    for (int i = 0; i < count; ++i) {
        samples[i].index = i;
        qstrncpy(samples[i].dateTime,
                 start.addSecs(i).toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1().constData(),
                 sizeof samples[i].dateTime);
    }
    return samples;
}

// Holds every thread of the global pool while it lives, so that a computation started meanwhile
// stays running until release().
class PoolHold
{
public:
    PoolHold()
    {
        QThreadPool *pool = QThreadPool::globalInstance();
        mThreads = pool->maxThreadCount();
        for (int i = 0; i < mThreads; ++i) {
            pool->start([started = mStarted, release = mRelease] {
                started->release();
                release->acquire();
            });
        }
    }
    ~PoolHold() { release(); }
    bool holding() { return mStarted->tryAcquire(mThreads, Patience); }
    void release()
    {
        mRelease->release(mThreads - mReleased);
        mReleased = mThreads;
    }

private:
    int mThreads = 0;
    int mReleased = 0;
    std::shared_ptr<QSemaphore> mStarted = std::make_shared<QSemaphore>();
    std::shared_ptr<QSemaphore> mRelease = std::make_shared<QSemaphore>();
};

} // namespace

class TestPlaylistDrives : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void groupsRowsByTheGap_data();
    void groupsRowsByTheGap();
    void rearPartnerFormsNoClip();
    void takenOverRowUsesTheNewFile();
    void summaryTrackAndEvents();
    void lengthFromTheSamplesWithoutAHeaderLength();
    void sameListAgainChangesNothing();
    void resultOfOldInputsNeverLands();
    void destroyedWhileComputing();

private:
    // A row for a new file; modified, if valid, is given to the file as its modification time.
    int add(const QString &name, const QDateTime &start, int length = 60, int harshBrakingAt = -1,
            const QDateTime &modified = QDateTime())
    {
        const QString path = mDir->filePath(name);
        writeRecording(path, start, length, harshBrakingAt);
        if (modified.isValid()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite)
                || !file.setFileTime(modified, QFileDevice::FileModificationTime))
                qWarning() << "cannot set the time of" << path;
        }
        return mModel->addFile(QFileInfo(path), 0, nullptr);
    }

    QScopedPointer<QTemporaryDir> mDir;
    QScopedPointer<PlaylistModel> mModel;
    QScopedPointer<PlaylistDrives> mDrives;
};

void TestPlaylistDrives::init()
{
    mDir.reset(new QTemporaryDir);
    QVERIFY(mDir->isValid());
    mModel.reset(new PlaylistModel);
    mDrives.reset(new PlaylistDrives(mModel.data()));
}

void TestPlaylistDrives::cleanup()
{
    mDrives.reset();
    mModel.reset();
    mDir.reset();
}

// Rows are added out of time order; the names tell the order they take in a drive. A start
// given as seconds after the end of the first row's minute; -1 for a minute without telemetry,
// whose file was last modified, as the camera finished writing it, fileTime seconds after that
// end (as a copy that keeps the times leaves it: its creation and status change times are now).
void TestPlaylistDrives::groupsRowsByTheGap_data()
{
    QTest::addColumn<QVector<int>>("gaps"); // per row: its start after 12:01:00, or -1
    QTest::addColumn<int>("fileTime"); // of the rows without telemetry, after 12:01:00
    QTest::addColumn<QString>("expected");

    // Row 0 is 12:00:00-12:01:00 in every case.
    QTest::newRow("a gap of exactly 300 s continues") << QVector<int>{0, 300} << 0 << "0,1";
    QTest::newRow("a gap of 301 s does not") << QVector<int>{0, 301} << 0 << "0|1";
    QTest::newRow("two drives split at the boundary, rows out of order")
            << QVector<int>{0, 60 + 300 + 301, 300} << 0 << "0,2|1";
    QTest::newRow("overlapping clips continue") << QVector<int>{0, -30} << 0 << "0,1";
    QTest::newRow("no telemetry: joins by its file time")
            << QVector<int>{0, -1, 1000} << 200 << "0,1|2";
    QTest::newRow("no telemetry: its file time starts a drive of its own")
            << QVector<int>{0, -1, 1000} << 600 << "0|1|2";
    QTest::newRow("no telemetry: placed between two others by its file time")
            << QVector<int>{0, 500, -1} << 200 << "0,2,1";
    QTest::newRow("no telemetry: its minute ends at its file time")
            << QVector<int>{0, -1} << 360 << "0,1";
}

void TestPlaylistDrives::groupsRowsByTheGap()
{
    QFETCH(QVector<int>, gaps);
    QFETCH(int, fileTime);
    QFETCH(QString, expected);

    const QDateTime end = Noon.addSecs(60);
    for (int row = 0; row < gaps.size(); ++row) {
        const int gap = gaps.at(row);
        const QString name = QStringLiteral("2020010112%1F.MP4").arg(row, 4, 10, QLatin1Char('0'));
        if (row == 0) {
            QCOMPARE(add(name, Noon), 0);
        } else if (gap == -1) {
            QCOMPARE(add(name, QDateTime(), 60, -1, end.addSecs(fileTime)), row);
        } else {
            // A gap counts from the end of the minute before it in time.
            QCOMPARE(add(name, end.addSecs(gap)), row);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), expected, Patience);
    // Each drive's timeline lays its minutes end to end.
    for (int d = 0; d < mDrives->count(); ++d) {
        const QVector<PlaylistDrives::Clip> &clips = mDrives->drive(d).clips;
        for (int i = 0; i < clips.size(); ++i) {
            QCOMPARE(clips.at(i).offset, 60 * i);
            QCOMPARE(mDrives->driveOf(clips.at(i).rowId), d);
        }
    }
    QCOMPARE(mDrives->driveOf(gaps.size()), -1);
}

void TestPlaylistDrives::rearPartnerFormsNoClip()
{
    QCOMPARE(add("20200101_120000F.MP4", Noon), 0);
    // The rear file of the same moment tells another time; were it a clip, it would be a drive.
    QCOMPARE(add("20200101_120000R.MP4", Noon.addSecs(3600)), 0);
    QCOMPARE(add("20200101_120100F.MP4", Noon.addSecs(60)), 1);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0,1"), Patience);
    // Nothing else lands later.
    QTest::qWait(3 * PlaylistDrives::DebounceMs);
    QCOMPARE(layout(*mDrives), QStringLiteral("0,1"));
}

void TestPlaylistDrives::takenOverRowUsesTheNewFile()
{
    // The rear file comes first and has the row, with its own time, to itself.
    QCOMPARE(add("20200101_130000R.MP4", Noon.addSecs(3600)), 0);
    QCOMPARE(add("20200101_120100F.MP4", Noon.addSecs(60)), 1);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("1|0"), Patience);
    // Its front file takes the row over; its time puts the row before the other one.
    QCOMPARE(add("20200101_130000F.MP4", Noon), 0);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0,1"), Patience);
}

void TestPlaylistDrives::summaryTrackAndEvents()
{
    QCOMPARE(add("a_F.MP4", Noon, 60, 30), 0);
    QCOMPARE(add("b_F.MP4", Noon.addSecs(90), 45), 1);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0,1"), Patience);
    // Both lists must have landed, not only one of them with the other's file time.
    QTRY_VERIFY_WITH_TIMEOUT(!mDrives->drive(0).track.isEmpty()
                                     && mDrives->drive(0).clips.at(1).seconds == 45,
                             Patience);
    const PlaylistDrives::Drive &drive = mDrives->drive(0);
    QCOMPARE(drive.clips.at(0).offset, 0);
    QCOMPARE(drive.clips.at(1).offset, 60);
    QCOMPARE(drive.summary.seconds, qint64(105));
    QVERIFY(drive.summary.metres > 0.0);
    QVERIFY(drive.summary.topKmh > 0);
    QVERIFY(drive.track.size() <= PlaylistDrives::TrackPoints);
    QVERIFY(drive.track.size() > 90);

    // The harsh braking at second 30 of the first clip lands there, and nowhere else.
    bool braking = false;
    for (const DrivingEvent &event : drive.clips.at(0).events)
        braking = braking || (event.type == DrivingEvent::Braking && qAbs(event.peak - 31) <= 2);
    QVERIFY(braking);
    QCOMPARE(drive.clips.at(1).events.size(), 0);
}

// A header without a length (0) leaves the samples to tell it, as velqor-extract does: the gap
// then counts from the end of the samples, and the timeline lays them end to end.
void TestPlaylistDrives::lengthFromTheSamplesWithoutAHeaderLength()
{
    const QVector<PlaylistDrives::Row> rows{
            {0, 0, 0, timedSamples(Noon, 60)},
            {1, 60, 0, timedSamples(Noon.addSecs(60 + 300), 60)},
            {2, 0, 0, {}},
    };
    const std::atomic<bool> cancelled{false};
    const PlaylistDrives::Result result = PlaylistDrives::compute(rows, cancelled);
    QCOMPARE(result.drives.size(), 2);
    const QVector<PlaylistDrives::Clip> &clips = result.drives.at(1).clips;
    QCOMPARE(clips.size(), 2);
    QCOMPARE(clips.at(0).seconds, 60);
    QCOMPARE(clips.at(1).offset, 60);
    QCOMPARE(result.drives.at(1).summary.seconds, qint64(120));
    QCOMPARE(result.drives.at(0).clips.at(0).seconds, 0);
}

// The window asks for the playing row's list on every start of it: the same list again starts
// no recomputation.
void TestPlaylistDrives::sameListAgainChangesNothing()
{
    QCOMPARE(add("a_F.MP4", Noon), 0);
    QCOMPARE(add("b_F.MP4", Noon.addSecs(60)), 1);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0,1"), Patience);
    QTRY_VERIFY_WITH_TIMEOUT(!mDrives->isComputing(), Patience);
    QSignalSpy landed(mDrives.data(), &PlaylistDrives::drivesChanged);
    QSignalSpy samples(mModel.data(), &PlaylistModel::allGpsDataParserFinished);
    mModel->requestAllGpsData(0);
    QVERIFY(samples.wait(Patience));
    QVERIFY(!mDrives->isComputing());
    QTest::qWait(3 * PlaylistDrives::DebounceMs);
    QCOMPARE(landed.count(), 0);
}

// Inputs change while a computation runs, and it ends before the next one starts: its result,
// from the older inputs, must not land even for a moment.
void TestPlaylistDrives::resultOfOldInputsNeverLands()
{
    QCOMPARE(add("a_F.MP4", Noon), 0);
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0"), Patience);
    QStringList landed;
    connect(mDrives.data(), &PlaylistDrives::drivesChanged, this,
            [&] { landed << layout(*mDrives); });
    QSignalSpy samples(mModel.data(), &PlaylistModel::allGpsDataParserFinished);
    PoolHold hold;
    QVERIFY(hold.holding());
    // The computation for the second row waits for a thread...
    QCOMPARE(add("b_F.MP4", Noon.addSecs(60)), 1);
    QTRY_VERIFY_WITH_TIMEOUT(mDrives->isComputing(), Patience);
    // ...while the third row's list arrives; it then ends well before the next one starts.
    QCOMPARE(add("c_F.MP4", Noon.addSecs(120)), 2);
    QTRY_VERIFY_WITH_TIMEOUT(!samples.isEmpty() && samples.last().first().toInt() == 2, Patience);
    hold.release();
    QTRY_COMPARE_WITH_TIMEOUT(layout(*mDrives), QStringLiteral("0,1,2"), Patience);
    QCOMPARE(landed, QStringList{"0,1,2"});
}

void TestPlaylistDrives::destroyedWhileComputing()
{
    for (int row = 0; row < 6; ++row)
        add(QStringLiteral("%1_F.MP4").arg(row), Noon.addSecs(60 * row), 600);
    QTRY_VERIFY_WITH_TIMEOUT(mDrives->count() == 1 && mDrives->drive(0).clips.size() == 6,
                             Patience);
    // Another row's list lands and a computation starts, held until the object has gone.
    PoolHold hold;
    QVERIFY(hold.holding());
    add(QStringLiteral("6_F.MP4"), Noon.addSecs(3600), 600);
    QTRY_VERIFY_WITH_TIMEOUT(mDrives->isComputing(), Patience);
    mDrives.reset();
    hold.release();
    QVERIFY(QThreadPool::globalInstance()->waitForDone(Patience));
}

QTEST_GUILESS_MAIN(TestPlaylistDrives)
#include "tst_playlistdrives.moc"
