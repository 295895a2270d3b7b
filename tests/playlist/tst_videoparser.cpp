// Tests of the per-recording parsing thread: fit to the video's length, serving cadence, stops.
#include "parser/videoparser.h"

#include "mp4writer.h"
#include "recording.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace {

constexpr int Patience = 10000; // ms; generous for a loaded two-core machine

// A recording with its records in a top-level "gps0" box, as many cameras write them.
void writeRecording(const QString &path, int seconds, int records, QSize size = QSize(1920, 1080))
{
    Drive drive;
    drive.seconds = records;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    recording.seconds = seconds;
    recording.width = size.width();
    recording.height = size.height();
    QVERIFY(recording.write(path));
}

// The parser under test, with what a receiver in the test's thread gets (the worker's signals
// arrive queued) and when the worker sent each sample (taken in the worker itself, so that
// delivery delays do not count).
class Harness : public QObject
{
public:
    Harness()
    {
        mClock.start();
        connect(&parser, &VideoParser::videoInfoChanged, this,
                [this](int id, const VideoInfo &info) {
                    infos.append({id, info});
                });
        connect(&parser, &VideoParser::allGpsDataParserFinished, this,
                [this](int id, const QList<GpsData> &list) {
                    lists.append({id, list});
                });
        connect(&parser, &VideoParser::gpsDataChanged, this, [this](int id, const GpsData &data) {
            samples.append({id, data});
        });
        connect(
                &parser, &VideoParser::gpsDataChanged, this,
                [this](int, const GpsData &) {
                    const std::lock_guard<std::mutex> lock(mMutex);
                    mSendTimes.append(mClock.nsecsElapsed() / 1e6);
                },
                Qt::DirectConnection);
    }

    // Parses path and waits for its list, so the thread is serving afterwards. Forgets what was
    // seen before.
    QList<GpsData> parseAndFetch(const QString &path, int id = 3)
    {
        parser.parseFile(QUrl::fromLocalFile(path), id, 0);
        forget();
        parser.requestAllGpsData();
        const bool arrived = QTest::qWaitFor([this] { return !lists.isEmpty(); }, Patience);
        // A stray entry makes every check of the result fail.
        if (!arrived || lists.size() != 1 || lists.first().first != id) {
            return {GpsData()};
        }
        return lists.first().second;
    }

    void forget()
    {
        infos.clear();
        lists.clear();
        samples.clear();
        const std::lock_guard<std::mutex> lock(mMutex);
        mSendTimes.clear();
    }

    int sent() const
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mSendTimes.size();
    }
    QVector<double> sendTimes() const
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mSendTimes;
    }

    QList<QPair<int, VideoInfo>> infos;
    QList<QPair<int, QList<GpsData>>> lists;
    QList<QPair<int, GpsData>> samples;

private:
    QElapsedTimer mClock;
    mutable std::mutex mMutex;
    QVector<double> mSendTimes;

public:
    // Last, so that its thread has ended before anything it reports to goes away.
    VideoParser parser;
};

// Polls done without delivering anything queued to this thread meanwhile.
bool waitUndelivered(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(Patience);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(5);
    }
    return true;
}

// Once armed, holds the worker at the start of its next serving round until released.
class RoundGate
{
public:
    RoundGate()
    {
        VideoParser::serveRoundHook = [this] {
            std::unique_lock<std::mutex> lock(mMutex);
            if (mArmed) {
                mArmed = false;
                mHeld = true;
                mChanged.notify_all();
                mChanged.wait(lock, [this] { return mReleased; });
            }
        };
    }
    // Only once no worker can call the hook any more.
    ~RoundGate() { VideoParser::serveRoundHook = nullptr; }

    void arm()
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mArmed = true;
    }
    bool waitHeld()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, std::chrono::milliseconds(Patience),
                                 [this] { return mHeld; });
    }
    void release()
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mReleased = true;
        mChanged.notify_all();
    }

private:
    std::mutex mMutex;
    std::condition_variable mChanged;
    bool mArmed = false;
    bool mHeld = false;
    bool mReleased = false;
};

} // namespace

class TestVideoParser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fitsListToDuration_data();
    void fitsListToDuration();
    void limitsPaddingOfAbsurdLength();
    void unreadableFile();
    void picksAviParserByExtension();
    void servesWantedSecond();
    void secondBeyondListIsNotAnswered();
    void requestWhileReadingSendsCompleteListOnce();
    void parseFileAgainEndsFirstRun_data();
    void parseFileAgainEndsFirstRun();
    void stopAtStartOfServingRoundEndsRun();

private:
    QTemporaryDir mDir;
    QString mMinute; // 60 s with 62 records
};

void TestVideoParser::initTestCase()
{
    QVERIFY(mDir.isValid());
    mMinute = mDir.filePath("minute.MP4");
    writeRecording(mMinute, 60, 62);
}

void TestVideoParser::fitsListToDuration_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("lastRead");
    QTest::newRow("more records than seconds") << 62 << 60;
    QTest::newRow("fewer records than seconds") << 58 << 57;
    QTest::newRow("one record per second") << 61 << 60;
}

void TestVideoParser::fitsListToDuration()
{
    QFETCH(int, records);
    QFETCH(int, lastRead);
    const QString path = mDir.filePath(QString("fit%1.mp4").arg(records));
    writeRecording(path, 60, records, QSize(1280, 720));

    Harness seen;
    const QList<GpsData> list = seen.parseAndFetch(path, 7);
    QCOMPARE(list.size(), 61);
    QCOMPARE(seen.infos.size(), 1);
    QCOMPARE(seen.infos.first().first, 7);
    const VideoInfo info = seen.infos.first().second;
    QCOMPARE(info.duration, 60);
    QCOMPARE(QSize(info.width, info.height), QSize(1280, 720));
    for (int s = 0; s < list.size(); ++s) {
        QCOMPARE(list.at(s).index, qMin(s, lastRead));
        QCOMPARE(QByteArray(list.at(s).dateTime), QByteArray(list.at(qMin(s, lastRead)).dateTime));
    }
}

void TestVideoParser::limitsPaddingOfAbsurdLength()
{
    // A damaged movie header claiming 136 years must not make the worker pad without end.
    const QString path = mDir.filePath("absurd.mp4");
    {
        Mp4Writer w(path);
        w.begin("gps0");
        for (const SampleRecord &record : Drive().records()) {
            w.bytes(record.scrambled().left(311));
        }
        w.end();
        w.begin("moov");
        w.mvhd(1, 0xFFFFFFFF);
        w.end();
        QVERIFY(w.close());
    }
    Harness seen;
    const QList<GpsData> list = seen.parseAndFetch(path);
    QVERIFY(list.size() > 60);
    QVERIFY(list.size() <= 24 * 3600 + 1);
    QCOMPARE(list.last().index, 59);
}

void TestVideoParser::unreadableFile()
{
    Harness seen;
    QVERIFY(seen.parseAndFetch(mDir.filePath("missing.mp4")).isEmpty());
    QCOMPARE(seen.infos.size(), 1);
    const VideoInfo info = seen.infos.first().second;
    QCOMPARE(info.width, 0);
    QCOMPARE(info.duration, 0);
    QVERIFY(info.creationTime.isNull());
    QCOMPARE(info.videoCodec, 0);
    seen.parser.setCurrentSecond(0);
    QTest::qWait(250);
    QCOMPARE(seen.sent(), 0);
}

void TestVideoParser::picksAviParserByExtension()
{
    // The same MP4 bytes under an AVI name go to the AVI parser, which finds nothing in them.
    const QString aviName = mDir.filePath("renamed.Avi");
    QVERIFY(QFile::copy(mMinute, aviName));
    Harness seen;
    QVERIFY(seen.parseAndFetch(aviName).isEmpty());
    QCOMPARE(seen.infos.first().second.duration, 0);

    const QString movName = mDir.filePath("renamed.mov");
    QVERIFY(QFile::copy(mMinute, movName));
    QCOMPARE(seen.parseAndFetch(movName).size(), 61);
}

void TestVideoParser::servesWantedSecond()
{
    Harness seen;
    VideoParser &parser = seen.parser;
    QCOMPARE(seen.parseAndFetch(mMinute).size(), 61);

    parser.setCurrentSecond(10);
    QTRY_VERIFY_WITH_TIMEOUT(seen.sent() >= 5, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(!seen.samples.isEmpty(), Patience);
    for (const auto &sample : qAsConst(seen.samples)) {
        QCOMPARE(sample.first, 3);
        QCOMPARE(sample.second.index, 10);
    }

    // Twice at once, then never faster than every 100 ms.
    const QVector<double> times = seen.sendTimes();
    QVERIFY2(times[1] - times[0] < times[2] - times[1],
             qPrintable(QString("gaps %1 and %2 ms")
                                .arg(times[1] - times[0])
                                .arg(times[2] - times[1])));
    for (int i = 2; i < times.size(); ++i) {
        QVERIFY2(times[i] - times[i - 1] >= 99.0,
                 qPrintable(QString::number(times[i] - times[i - 1])));
    }

    // A change is sent at once: the wait for the next repetition is cut short.
    parser.setCurrentSecond(20);
    QTRY_COMPARE_WITH_TIMEOUT(seen.samples.last().second.index, 20, Patience);

    // -1 stops the repetitions; at most one send already under way may still happen.
    parser.setCurrentSecond(-1);
    const int atStop = seen.sent();
    QTest::qWait(350);
    QVERIFY(seen.sent() <= atStop + 1);
}

void TestVideoParser::secondBeyondListIsNotAnswered()
{
    Harness seen;
    VideoParser &parser = seen.parser;
    QCOMPARE(seen.parseAndFetch(mMinute).size(), 61);
    parser.setCurrentSecond(61);
    QTest::qWait(250);
    parser.setCurrentSecond(100000);
    QTest::qWait(250);
    QCOMPARE(seen.sent(), 0);
    parser.setCurrentSecond(60);
    QTRY_VERIFY_WITH_TIMEOUT(!seen.samples.isEmpty(), Patience);
    QCOMPARE(seen.samples.first().second.index, 60);
}

void TestVideoParser::requestWhileReadingSendsCompleteListOnce()
{
    // The request starts the worker, so it is pending all through the reading of an hour of
    // records.
    const QString path = mDir.filePath("hour.mp4");
    writeRecording(path, 3600, 3600);
    Harness seen;
    VideoParser &parser = seen.parser;
    parser.parseFile(QUrl::fromLocalFile(path), 5, 0);
    parser.requestAllGpsData();
    QTRY_COMPARE_WITH_TIMEOUT(seen.lists.size(), 1, Patience);
    QCOMPARE(seen.infos.size(), 1);
    QCOMPARE(seen.lists.first().second.size(), 3601);
    QTest::qWait(300);
    QCOMPARE(seen.lists.size(), 1);
}

void TestVideoParser::parseFileAgainEndsFirstRun_data()
{
    QTest::addColumn<bool>("stoppedBefore");
    QTest::newRow("first run serving") << false;
    // As after the playlist's stop of all rows: the run has ended before anyone waits for it,
    // but what it sent is still queued.
    QTest::newRow("first run stopped already") << true;
}

void TestVideoParser::parseFileAgainEndsFirstRun()
{
    QFETCH(bool, stoppedBefore);
    const QString second = mDir.filePath("second.mp4");
    writeRecording(second, 30, 30);
    Harness seen;
    VideoParser &parser = seen.parser;
    QCOMPARE(seen.parseAndFetch(mMinute, 1).size(), 61);
    parser.setCurrentSecond(5);
    // Waited for without delivering, so that the take-over finds the sends still queued.
    QVERIFY(waitUndelivered([&seen] { return seen.sent() >= 2; }));
    QVERIFY(seen.samples.isEmpty());
    if (stoppedBefore) {
        parser.stopParsing();
        QVERIFY(parser.wait(Patience));
    }

    parser.parseFile(QUrl::fromLocalFile(second), 2, 0);
    // The first run has ended by now (the second one is only scheduled), and all its sends were
    // delivered before the take-over returned.
    QVERIFY(!parser.isRunning());
    const int sentByFirst = seen.sent();
    QCOMPARE(seen.samples.size(), sentByFirst);
    seen.forget();
    QTRY_COMPARE_WITH_TIMEOUT(seen.infos.size(), 1, Patience);
    QCOMPARE(seen.infos.first().first, 2);
    QCOMPARE(seen.infos.first().second.duration, 30);
    // The wanted second belonged to the first run.
    QTest::qWait(250);
    QCOMPARE(seen.sent(), 0);
}

void TestVideoParser::stopAtStartOfServingRoundEndsRun()
{
    RoundGate gate;
    Harness seen;
    const auto release = qScopeGuard([&gate] { gate.release(); });
    VideoParser &parser = seen.parser;
    QCOMPARE(seen.parseAndFetch(mMinute).size(), 61);

    // The request starts a round that, with no second wanted, ends sleeping until woken.
    gate.arm();
    parser.requestAllGpsData();
    QVERIFY(gate.waitHeld());
    parser.stopParsing();
    gate.release();
    const bool ended = parser.wait(Patience);
    if (!ended) {
        // Frees the worker, so that the failure does not hang the rest of the run.
        parser.stopParsing();
    }
    QVERIFY(ended);
}

QTEST_GUILESS_MAIN(TestVideoParser)
#include "tst_videoparser.moc"
