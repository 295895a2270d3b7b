// Frame capture worker: command construction, output naming and real ffmpeg captures.
#include "player/capturethread.h"

#include "config/configuration.h"
#include "playbacktestutil.h"
#include "testrecordings.h"

#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestCaptureThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void seekTimeFormat_data();
    void seekTimeFormat();
    void outputNameUsesBaseNameAndStartTime();
    void pathsStayWholeArguments();
    void capturesFrameAtRecordingResolution_data();
    void capturesFrameAtRecordingResolution();
    void queuedRequestsAreAllServedByOneRun();
    void requestForAnotherRecordingDropsQueuedTasks();
    void unusableDirectoryEndsRunAndDropsTasks_data();
    void unusableDirectoryEndsRunAndDropsTasks();
    void destructionWhileRunningWaitsAndDropsTheRest();

private:
    QStringList shots() const;

    QTemporaryDir mTemp;
    QString mShotDir;
    QString mRecording;
};

void TestCaptureThread::initTestCase()
{
    QVERIFY(mTemp.isValid());
    // Quotes and spaces in the name must not reach ffmpeg as separate arguments.
    mRecording = TestRecordings::make(mTemp.path(), QStringLiteral("my \"odd\" clip.F.mp4"));
    QVERIFY(!mRecording.isEmpty());
}

void TestCaptureThread::init()
{
    mShotDir = mTemp.filePath(QStringLiteral("shots %1").arg(QTest::currentTestFunction()));
    PlaybackTest::isolateSettings(mShotDir);
    QCOMPARE(Configuration::instance()->screenshotSavePath(), mShotDir);
}

QStringList TestCaptureThread::shots() const
{
    return QDir(mShotDir).entryList(QDir::Files, QDir::Name);
}

void TestCaptureThread::seekTimeFormat_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "00:00:00.000";
    QTest::newRow("hours") << qint64(3723456) << "01:02:03.456";
    QTest::newRow("just below a second") << qint64(999) << "00:00:00.999";
}

void TestCaptureThread::seekTimeFormat()
{
    QFETCH(qint64, position);
    QFETCH(QString, expected);
    QCOMPARE(CaptureThread::seekTime(position), expected);
}

void TestCaptureThread::outputNameUsesBaseNameAndStartTime()
{
    const QDateTime start(QDate(2021, 3, 4), QTime(5, 6, 7, 89));
    QCOMPARE(CaptureThread::outputFilePath("/shots", "/media/clip.mp4", start),
             QStringLiteral("/shots/ScreenShot_clip__210304-050607_089.jpeg"));
    // The base name ends at the first dot.
    QCOMPARE(CaptureThread::outputFilePath("/shots", "/media/20200101_120000F.part.MP4", start),
             QStringLiteral("/shots/ScreenShot_20200101_120000F__210304-050607_089.jpeg"));
}

void TestCaptureThread::pathsStayWholeArguments()
{
    const QString input = QStringLiteral("/media/a \"b\" -y c.mp4");
    const QString output = QStringLiteral("/shots/x \" y.jpeg");
    const QStringList arguments = CaptureThread::ffmpegArguments(3723456, input, output);
    QCOMPARE(arguments,
             QStringList({"-nostdin", "-ss", "01:02:03.456", "-i", input, "-t", "1", "-r", "1",
                          "-q:v", "2", "-f", "image2", "-update", "1", output}));
}

void TestCaptureThread::capturesFrameAtRecordingResolution_data()
{
    QTest::addColumn<QString>("recording");
    QTest::newRow("quote and spaces") << mRecording;
    QTest::newRow("plain") << QString();
    // ffmpeg's image writer would read these as a frame-number pattern and rename the image.
    QTest::newRow("percent signs") << QStringLiteral("clip%d 100%%.mp4");
}

void TestCaptureThread::capturesFrameAtRecordingResolution()
{
    QFETCH(QString, recording);
    if (!QFileInfo(recording).isAbsolute()) {
        const QString name = recording.isEmpty() ? QStringLiteral("plain.mp4") : recording;
        recording = TestRecordings::make(mTemp.path(), name);
        QVERIFY(!recording.isEmpty());
    }
    CaptureThread worker;
    worker.addTask(recording, 1000);
    worker.start();
    QVERIFY(worker.wait(120000));

    // The worker creates the missing directory itself.
    const QStringList files = shots();
    QCOMPARE(files.size(), 1);
    const QString base = QFileInfo(recording).baseName();
    const QRegularExpression name(QStringLiteral("^ScreenShot_%1__\\d{6}-\\d{6}_\\d{3}\\.jpeg$")
                                          .arg(QRegularExpression::escape(base)));
    QVERIFY2(name.match(files.first()).hasMatch(), qPrintable(files.first()));
    QImageReader reader(QDir(mShotDir).filePath(files.first()));
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), QSize(320, 240));
    QDir(mShotDir).removeRecursively();
}

void TestCaptureThread::queuedRequestsAreAllServedByOneRun()
{
    CaptureThread worker;
    worker.addTask(mRecording, 0);
    worker.start();
    // Queued while the first capture may already be under way.
    worker.addTask(mRecording, 1000);
    worker.addTask(mRecording, 2000);
    QVERIFY(worker.wait(120000));
    QVERIFY(!worker.hasTasks());
    QCOMPARE(shots().size(), 3);
}

void TestCaptureThread::requestForAnotherRecordingDropsQueuedTasks()
{
    const QString other = TestRecordings::make(mTemp.path(), QStringLiteral("other.R.mp4"));
    QVERIFY(!other.isEmpty());
    CaptureThread worker;
    worker.addTask(mRecording, 0);
    worker.addTask(mRecording, 1000);
    worker.addTask(other, 500);
    worker.start();
    QVERIFY(worker.wait(120000));
    const QStringList files = shots();
    QCOMPARE(files.size(), 1);
    QVERIFY(files.first().startsWith(QLatin1String("ScreenShot_other__")));
}

void TestCaptureThread::unusableDirectoryEndsRunAndDropsTasks_data()
{
    QTest::addColumn<bool>("empty");
    QTest::newRow("below a file") << false;
    QTest::newRow("empty setting") << true;
}

void TestCaptureThread::unusableDirectoryEndsRunAndDropsTasks()
{
    QFETCH(bool, empty);
    QFile blocker(mTemp.filePath(QStringLiteral("not a directory")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    mShotDir = empty ? QString() : blocker.fileName() + QStringLiteral("/shots");
    PlaybackTest::isolateSettings(mShotDir);

    CaptureThread worker;
    worker.addTask(mRecording, 0);
    worker.start();
    QVERIFY(worker.wait(120000));
    // Left queued, the tasks would have the owner restart the worker without end.
    QVERIFY(!worker.hasTasks());
    QVERIFY(empty || !QFileInfo::exists(mShotDir));
    QVERIFY(QDir(QStringLiteral("/")).entryList({QStringLiteral("ScreenShot_*")}).isEmpty());
}

void TestCaptureThread::destructionWhileRunningWaitsAndDropsTheRest()
{
    const int requests = 20;
    auto *worker = new CaptureThread;
    for (int request = 0; request < requests; ++request)
        worker->addTask(mRecording, (request % 3) * 1000);
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(!shots().isEmpty() || !worker->isRunning(), 120000);
    delete worker;
    const int written = shots().size();
    QVERIFY(written >= 1 && written < requests);
}

QTEST_GUILESS_MAIN(TestCaptureThread)
#include "tst_capturethread.moc"
