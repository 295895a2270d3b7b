// Runs velqor-extract --video on the tiny demo drive: what it refuses, what it writes, and that an
// interrupted export leaves nothing behind.
#include "democlips.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1; // -1 when the program crashed, was killed or did not finish
    QByteArray err;
};

// Starts the command with its output folder as working folder.
void start(QProcess &process, const QStringList &arguments, const QString &folder,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(VELQOR_EXTRACT_PATH), arguments);
}

Run runExtract(const QStringList &arguments, const QString &folder,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    start(process, arguments, folder, environment);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.err = process.readAllStandardError();
    return run;
}

// What ffprobe tells of the first video stream and the container.
QJsonObject probe(const QString &file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-select_streams", "v:0", "-show_entries",
                   "stream=codec_name,width,height:format=format_name", "-of", "json", file});
    ffprobe.closeWriteChannel();
    if (!ffprobe.waitForFinished(30000)) {
        ffprobe.kill();
        ffprobe.waitForFinished(5000);
        return {};
    }
    const QJsonObject all = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    QJsonObject result = all.value(QLatin1String("streams")).toArray().first().toObject();
    result.insert(
            QStringLiteral("format"),
            all.value(QLatin1String("format")).toObject().value(QLatin1String("format_name")));
    return result;
}

QByteArray digest(const QString &file)
{
    QFile f(file);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

} // namespace

class TestExtractVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void refused_data();
    void refused();
    void exported_data();
    void exported();
    void platformThatCannotStart_data();
    void platformThatCannotStart();
    void interruptedLeavesNothing_data();
    void interruptedLeavesNothing();

private:
    QStringList outputFolder() const;

    QTemporaryDir mDir;
    DemoClips mClips;
    QString mOut; // an empty folder for each test's output
    QVector<QByteArray> mDigests; // of the recordings, which nothing may change
};

void TestExtractVideo::initTestCase()
{
    const QString problem = writeDemoClips(mDir, &mClips);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    for (const QString &file : {mClips.frontMp4, mClips.rearMp4, mClips.frontAvi, mClips.rearAvi})
        mDigests.append(digest(file));
}

void TestExtractVideo::init()
{
    static int count = 0;
    mOut = mDir.filePath(QStringLiteral("out%1").arg(++count));
    QVERIFY(QDir().mkpath(mOut));
}

// Every entry of the output folder, hidden ones included.
QStringList TestExtractVideo::outputFolder() const
{
    return QDir(mOut).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                | QDir::NoDotAndDotDot);
}

void TestExtractVideo::refused_data()
{
    QTest::addColumn<QStringList>("arguments"); // FRONT and REAR stand for the MP4 pair's files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList video = {"--video", "out.mp4"};
    const auto row = [&](const char *name, const QStringList &arguments, const char *message,
                         int exitCode = 64) {
        QTest::newRow(name) << arguments << exitCode << QString::fromLatin1(message);
    };
    row("format", video + QStringList{"-f", "json", "FRONT"}, "--video takes no --format");
    row("output", video + QStringList{"-o", "x.json", "FRONT"}, "--video takes no --output");
    row("summary", video + QStringList{"--summary", "FRONT"}, "--video takes no --summary");
    row("join", video + QStringList{"--join", "FRONT"}, "--video takes no --join");
    row("events", video + QStringList{"--events", "FRONT"}, "--video takes no --events");
    row("shard", video + QStringList{"--shard", "0/2", "FRONT"}, "--video takes no --shard");
    row("list", video + QStringList{"--list", "FRONT"}, "--video takes no --list");
    row("jobs", video + QStringList{"-j", "2", "FRONT"}, "--video takes no --jobs");
    row("layout alone", {"--layout", "pip", "FRONT"}, "--layout needs --video");
    row("from alone", {"-f", "ass", "--from", "1", "FRONT"}, "--from needs --video");
    row("layout", video + QStringList{"--layout", "diagonal", "FRONT"}, "unknown layout");
    row("resolution", video + QStringList{"--resolution", "4k", "FRONT"}, "unknown resolution");
    row("overlay part", video + QStringList{"--overlay", "speed,colour", "FRONT"},
        "invalid overlay 'speed,colour'");
    row("unit", video + QStringList{"--unit", "knots", "FRONT"}, "unknown unit");
    row("offset", video + QStringList{"--camera-utc-offset", "+25:00", "FRONT"},
        "invalid camera UTC offset");
    row("from after to", video + QStringList{"--from", "2", "--to", "2", "FRONT"},
        "--from must come before --to");
    row("negative from", video + QStringList{"--from", "-1", "FRONT"}, "invalid --from");
    row("past the end", video + QStringList{"--from", "60", "FRONT"}, "nothing to export");
    row("missing map", video + QStringList{"--map", "none.mbtiles", "FRONT"}, "no map file");
    row("standard output", {"--video", "-", "FRONT"}, "not standard output");
    row("folder", {"--video", ".", "FRONT"}, "is no regular file");
    row("empty name", {"--video", "", "FRONT"}, "empty output file name");
    row("missing folder", {"--video", "none/out.mp4", "FRONT"}, "the folder", 73);
    // Root writes into any folder.
    if (::geteuid() != 0)
        row("read-only folder", {"--video", "READONLY/out.mp4", "FRONT"}, "not writable", 73);
    row("a recording", {"--video", "FRONT", "FRONT"}, "is the recording");
    // The rear partner is not on the command line, only found beside its front.
    row("the rear partner", {"--video", "REAR", "FRONT"}, "is the recording");
    // A drive with a piece missing would be a different drive.
    row("unreadable recording", video + QStringList{"FRONT", "missing_F.MP4"},
        "cannot open missing_F.MP4", 2);
}

void TestExtractVideo::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^FRONT$")), mClips.frontMp4);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^REAR$")), mClips.rearMp4);
    const QString readOnly = mDir.filePath(QStringLiteral("readonly"));
    QVERIFY(QDir().mkpath(readOnly));
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
    arguments.replaceInStrings(QStringLiteral("READONLY"), readOnly);

    const Run run = runExtract(arguments, mOut);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    QCOMPARE(outputFolder(), QStringList());
    QCOMPARE(digest(mClips.frontMp4), mDigests.at(0));
    QCOMPARE(digest(mClips.rearMp4), mDigests.at(1));
}

void TestExtractVideo::exported_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("frame");
    QTest::newRow("defaults") << QStringList() << DemoClips::frontSize();
    QTest::newRow("front 720p, no overlay")
            << QStringList{"--layout", "front", "--resolution", "720p", "--overlay", "none"}
            << QSize(1280, 720);
    QTest::newRow("pip, a stretch across the clips, mph, camera on UTC+9") << QStringList{
            "--layout", "pip", "--from", "2", "--to", "4", "--unit", "mph", "--camera-utc-offset",
            "+09:00"} << DemoClips::frontSize();
}

// The drive folder as the recordings: its rear files are the fronts' partners, not pieces.
void TestExtractVideo::exported()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, frame);
    const QString output = QDir(mOut).filePath(QStringLiteral("clip.mp4"));
    const Run run = runExtract(QStringList{"--video", output} + options
                                       + QStringList{QFileInfo(mClips.frontMp4).path()},
                               mOut);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // Progress is for terminals only.
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    QCOMPARE(outputFolder(), QStringList{"clip.mp4"});
    const QJsonObject video = probe(output);
    QCOMPARE(video.value(QLatin1String("codec_name")).toString(), QStringLiteral("h264"));
    QVERIFY(video.value(QLatin1String("format")).toString().contains(QLatin1String("mp4")));
    QCOMPARE(QSize(video.value(QLatin1String("width")).toInt(),
                   video.value(QLatin1String("height")).toInt()),
             frame);
}

void TestExtractVideo::platformThatCannotStart_data()
{
    QTest::addColumn<QString>("platform");
    QTest::newRow("xcb without a display") << "xcb";
    QTest::newRow("not installed") << "nosuchplatform";
}

// Qt aborts when the platform asked for cannot start; the command says why and exits.
void TestExtractVideo::platformThatCannotStart()
{
    QFETCH(QString, platform);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.remove(QStringLiteral("DISPLAY"));
    const Run run = runExtract({"--video", "clip.mp4", mClips.frontMp4}, mOut, environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("could not start; unset QT_QPA_PLATFORM"), run.err.constData());
    QCOMPARE(outputFolder(), QStringList());
}

void TestExtractVideo::interruptedLeavesNothing_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    // A closed terminal or ssh session.
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGQUIT") << SIGQUIT;
}

// A signal once ffmpeg has begun the file: the command ends by the signal, and neither the
// output nor its temporary file is left.
void TestExtractVideo::interruptedLeavesNothing()
{
    QFETCH(int, signal);
    const QString output = QDir(mOut).filePath(QStringLiteral("clip.mp4"));
    QProcess process;
    start(process,
          {"--video", output, "--resolution", "1080p", "--layout", "pip", mClips.frontMp4,
           mClips.frontAvi},
          mOut);
    QVERIFY(process.waitForStarted(10000));
    QElapsedTimer waiting;
    waiting.start();
    while (outputFolder().isEmpty() && process.state() == QProcess::Running
           && !waiting.hasExpired(60000))
        QTest::qWait(5);
    QVERIFY2(process.state() == QProcess::Running, "the export ended before it could be stopped");
    QVERIFY(!outputFolder().contains(QStringLiteral("clip.mp4")));
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QVERIFY(process.readAllStandardError().contains("cancelled"));
    // SIGQUIT's default dumps core, into the working folder where the system allows it.
    QCOMPARE(outputFolder().filter(QRegularExpression(QStringLiteral("^(?!core)"))), QStringList());
}

QTEST_GUILESS_MAIN(TestExtractVideo)
#include "tst_extractvideo.moc"
