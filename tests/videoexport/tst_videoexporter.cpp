// The video export's cutting of a stretch and its ffmpeg runs, end to end on the tiny demo drive.
#include "democlips.h"

#include <videoexport/ffmpegcommand.h>
#include <videoexport/videoexporter.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <thread>

Q_DECLARE_METATYPE(QVector<StretchClip>)
Q_DECLARE_METATYPE(QVector<VideoClip>)

namespace {

// What ffprobe says of an exported file.
struct Probed
{
    QString video;
    QSize size;
    double seconds = 0;
    QString audio;
};

Probed probe(const QString &file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_type,codec_name,width,height:format=duration"),
                   QStringLiteral("-of"), QStringLiteral("json"), file});
    Probed probed;
    if (!ffprobe.waitForFinished(30000))
        return probed;
    const QJsonObject json = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    for (const QJsonValue &value : json.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString codec = stream.value(QStringLiteral("codec_name")).toString();
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio")) {
            probed.audio = codec;
        } else {
            probed.video = codec;
            probed.size = QSize(stream.value(QStringLiteral("width")).toInt(),
                                stream.value(QStringLiteral("height")).toInt());
        }
    }
    probed.seconds = json.value(QStringLiteral("format"))
                             .toObject()
                             .value(QStringLiteral("duration"))
                             .toString()
                             .toDouble();
    return probed;
}

QByteArray digest(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable
           || file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

} // namespace

class TestVideoExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cutsAStretch_data();
    void cutsAStretch();
    void chosesTheSound_data();
    void chosesTheSound();
    void sideBySideAcrossTheBoundary();
    void onePieceCopiesItsSound();
    void cancelLeavesNothing();
    void failingFfmpegLeavesNothing_data();
    void failingFfmpegLeavesNothing();
    void refusesAnOutputThatIsNoNewVideo_data();
    void refusesAnOutputThatIsNoNewVideo();

private:
    // Only the output itself, if anything, may be in the output folder after a run.
    QStringList leftInOutputs() const;

    QTemporaryDir mTemp;
    DemoClips mClips;
    QString mOutputs;
};

void TestVideoExporter::initTestCase()
{
    const QString error = writeDemoClips(mTemp, &mClips);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    mOutputs = mTemp.filePath(QStringLiteral("out"));
}

void TestVideoExporter::init()
{
    QDir(mOutputs).removeRecursively();
    QVERIFY(QDir().mkpath(mOutputs));
}

QStringList TestVideoExporter::leftInOutputs() const
{
    return QDir(mOutputs).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void TestVideoExporter::cutsAStretch_data()
{
    QTest::addColumn<QVector<StretchClip>>("clips");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QVector<VideoClip>>("pieces");

    const StretchClip a{QStringLiteral("a_F"), QStringLiteral("a_R"), 60};
    const StretchClip b{QStringLiteral("b_F"), QString(), 60};
    const StretchClip c{QStringLiteral("c_F"), QStringLiteral("c_R"), 30};
    const StretchClip none{QStringLiteral("z_F"), QString(), 0};
    QTest::newRow("inside one clip") << QVector<StretchClip>{a, b} << 70.0 << 90.0
                                     << QVector<VideoClip>{{b.front, b.rear, 10, 30}};
    QTest::newRow("across a boundary") << QVector<StretchClip>{a, b, c} << 50.0 << 130.0
                                       << QVector<VideoClip>{{a.front, a.rear, 50, 60},
                                                             {b.front, b.rear, 0, 60},
                                                             {c.front, c.rear, 0, 10}};
    QTest::newRow("ending on a boundary takes nothing of the next")
            << QVector<StretchClip>{a, b} << 30.0 << 60.0
            << QVector<VideoClip>{{a.front, a.rear, 30, 60}};
    QTest::newRow("clamped at both ends")
            << QVector<StretchClip>{a, c} << -10.0 << 200.0
            << QVector<VideoClip>{{a.front, a.rear, 0, 60}, {c.front, c.rear, 0, 30}};
    QTest::newRow("after the end")
            << QVector<StretchClip>{a} << 61.0 << 80.0 << QVector<VideoClip>{};
    QTest::newRow("empty stretch")
            << QVector<StretchClip>{a} << 20.0 << 20.0 << QVector<VideoClip>{};
    QTest::newRow("reversed stretch")
            << QVector<StretchClip>{a} << 30.0 << 20.0 << QVector<VideoClip>{};
    QTest::newRow("no clips") << QVector<StretchClip>{} << 0.0 << 10.0 << QVector<VideoClip>{};
    QTest::newRow("zero-length clips take no room")
            << QVector<StretchClip>{none, a, none, c} << 55.0 << 65.0
            << QVector<VideoClip>{{a.front, a.rear, 55, 60}, {c.front, c.rear, 0, 5}};
}

void TestVideoExporter::cutsAStretch()
{
    QFETCH(QVector<StretchClip>, clips);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QVector<VideoClip>, pieces);
    const QVector<VideoClip> cut = VideoStretch::cut(clips, from, to);
    QCOMPARE(cut.size(), pieces.size());
    for (int i = 0; i < cut.size(); ++i) {
        QCOMPARE(cut.at(i).front, pieces.at(i).front);
        QCOMPARE(cut.at(i).rear, pieces.at(i).rear);
        QCOMPARE(cut.at(i).from, pieces.at(i).from);
        QCOMPARE(cut.at(i).to, pieces.at(i).to);
    }
}

void TestVideoExporter::chosesTheSound_data()
{
    QTest::addColumn<QStringList>("codecs");
    QTest::addColumn<int>("sound");
    const auto row = [](const char *name, const QStringList &codecs, FfmpegCommand::Sound sound) {
        QTest::newRow(name) << codecs << int(sound);
    };
    row("one piece of AAC", {QStringLiteral("aac")}, FfmpegCommand::Sound::Copy);
    row("one piece of Opus", {QStringLiteral("opus")}, FfmpegCommand::Sound::Copy);
    row("one piece of PCM", {QStringLiteral("pcm_s16le")}, FfmpegCommand::Sound::Aac);
    row("two pieces of AAC", {QStringLiteral("aac"), QStringLiteral("aac")},
        FfmpegCommand::Sound::Aac);
    row("one piece silent", {QStringLiteral("aac"), QString()}, FfmpegCommand::Sound::Aac);
    row("no sound at all", {QString(), QString()}, FfmpegCommand::Sound::None);
}

void TestVideoExporter::chosesTheSound()
{
    QFETCH(QStringList, codecs);
    QFETCH(int, sound);
    QVector<FfmpegPiece> pieces;
    for (const QString &codec : codecs)
        pieces.append({QStringLiteral("F.MP4"), QString(), 0, 10, codec});
    QCOMPARE(int(FfmpegCommand::sound(pieces)), sound);
}

void TestVideoExporter::sideBySideAcrossTheBoundary()
{
    VideoExportRequest request;
    request.clips = VideoStretch::cut({{mClips.frontMp4, mClips.rearMp4, DemoClips::Seconds},
                                       {mClips.frontAvi, mClips.rearAvi, DemoClips::Seconds}},
                                      2.0, 4.5);
    QCOMPARE(request.clips.size(), 2);
    request.arrangement = VideoLayout::SideBySide;
    request.output = QDir(mOutputs).filePath(QStringLiteral("clip.mp4"));
    // An older export there is replaced.
    QVERIFY(writeFile(request.output, "an older export"));
    VideoExporter exporter(request);
    qint64 lastDone = -1;
    qint64 lastTotal = -1;
    connect(&exporter, &VideoExporter::progressed, this, [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
    });
    QVERIFY2(exporter.run(), qPrintable(exporter.error()));
    QVERIFY(exporter.error().isEmpty());
    QCOMPARE(lastTotal, qint64(2.5 * DemoClips::FramesPerSecond));
    QCOMPARE(lastDone, lastTotal);

    const Probed probed = probe(request.output);
    QCOMPARE(probed.video, QStringLiteral("h264"));
    const VideoLayout::Geometry geometry
            = VideoLayout::geometry(VideoLayout::SideBySide, VideoLayout::SourceSize,
                                    DemoClips::frontSize(), DemoClips::frontSize() / 2);
    QCOMPARE(probed.size, geometry.frame);
    QVERIFY2(qAbs(probed.seconds - 2.5) <= 2.0 / DemoClips::FramesPerSecond,
             qPrintable(QString::number(probed.seconds)));
    // The MP4's AAC and the AVI's PCM joined: encoded.
    QCOMPARE(probed.audio, QStringLiteral("aac"));
    QCOMPARE(leftInOutputs(), QStringList{QStringLiteral("clip.mp4")});
}

void TestVideoExporter::onePieceCopiesItsSound()
{
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, mClips.rearMp4, 0.5, 2.5}};
    request.arrangement = VideoLayout::Front;
    request.output = QDir(mOutputs).filePath(QStringLiteral("front.mp4"));
    VideoExporter exporter(request);
    QVERIFY2(exporter.run(), qPrintable(exporter.error()));
    const Probed source = probe(mClips.frontMp4);
    const Probed probed = probe(request.output);
    QCOMPARE(probed.audio, source.audio);
    QCOMPARE(probed.size, DemoClips::frontSize());
    QVERIFY2(qAbs(probed.seconds - 2.0) <= 2.0 / DemoClips::FramesPerSecond,
             qPrintable(QString::number(probed.seconds)));
}

void TestVideoExporter::cancelLeavesNothing()
{
    // A stand-in that tells its process id, so that the test can see ffmpeg is gone.
    const QString pidFile = mTemp.filePath(QStringLiteral("ffmpeg.pid"));
    const QString wrapper = mTemp.filePath(QStringLiteral("ffmpeg-pid.sh"));
    QVERIFY(writeFile(wrapper,
                      QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec ffmpeg \"$@\"\n")
                              .arg(pidFile)
                              .toLocal8Bit(),
                      true));
    VideoExportRequest request;
    request.clips
            = {{mClips.frontMp4, mClips.rearMp4, 0, -1}, {mClips.frontAvi, mClips.rearAvi, 0, -1}};
    request.output = QDir(mOutputs).filePath(QStringLiteral("cancelled.mp4"));
    request.ffmpeg = wrapper;
    VideoExporter exporter(request);
    // The first progress waits for the cancel, made from another thread, to land.
    QSemaphore started;
    QSemaphore landed;
    connect(
            &exporter, &VideoExporter::progressed, this,
            [&](qint64, qint64) {
                if (!exporter.wasCancelled()) {
                    started.release();
                    landed.acquire();
                }
            },
            Qt::DirectConnection);
    std::thread canceller([&] {
        started.acquire();
        exporter.cancel();
        landed.release();
    });
    const bool done = exporter.run();
    started.release(); // should the run have failed before its first progress
    canceller.join();
    QVERIFY(!done);
    QVERIFY2(exporter.error().isEmpty(), qPrintable(exporter.error()));
    QVERIFY(leftInOutputs().isEmpty());
    QFile pid(pidFile);
    QVERIFY(pid.open(QIODevice::ReadOnly));
    const int ffmpegPid = pid.readAll().trimmed().toInt();
    QVERIFY(ffmpegPid > 0);
    QCOMPARE(::kill(ffmpegPid, 0), -1);
}

void TestVideoExporter::failingFfmpegLeavesNothing_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("exits 1") << QByteArray("#!/bin/sh\necho 'opening the output' >&2\n"
                                           "echo 'No space left on device' >&2\nexit 1\n")
                             << QStringList{QStringLiteral("ffmpeg exited with code 1"),
                                            QStringLiteral("No space left on device")};
    QTest::newRow("reads a little, then dies")
            << QByteArray("#!/bin/sh\nhead -c 1000 > /dev/null\necho 'Killed' >&2\nexit 137\n")
            << QStringList{QStringLiteral("ffmpeg exited with code 137: Killed")};
    QTest::newRow("missing") << QByteArray()
                             << QStringList{QStringLiteral("ffmpeg could not be started"),
                                            QStringLiteral("apt-get install ffmpeg")};
}

void TestVideoExporter::failingFfmpegLeavesNothing()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, told);
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, mClips.rearMp4, 0, -1}};
    request.output = QDir(mOutputs).filePath(QStringLiteral("kept.mp4"));
    request.ffmpeg = mTemp.filePath(QStringLiteral("no-such-ffmpeg"));
    if (!script.isEmpty()) {
        request.ffmpeg = mTemp.filePath(QStringLiteral("failing-ffmpeg.sh"));
        QVERIFY(writeFile(request.ffmpeg, script, true));
    }
    QVERIFY(writeFile(request.output, "an earlier export"));
    VideoExporter exporter(request);
    QVERIFY(!exporter.run());
    for (const QString &part : told)
        QVERIFY2(exporter.error().contains(part), qPrintable(exporter.error()));
    QCOMPARE(leftInOutputs(), QStringList{QStringLiteral("kept.mp4")});
    QFile kept(request.output);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("an earlier export"));
}

void TestVideoExporter::refusesAnOutputThatIsNoNewVideo_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("told");
    QTest::newRow("a recording exported")
            << mClips.frontMp4 << mClips.frontMp4 + QStringLiteral(" is one of the recordings");
    QTest::newRow("a rear recording exported")
            << mClips.rearMp4 << mClips.rearMp4 + QStringLiteral(" is one of the recordings");
    QTest::newRow("a folder") << mOutputs << QStringLiteral("is not a regular file");
    QTest::newRow("a device") << QStringLiteral("/dev/null")
                              << QStringLiteral("is not a regular file");
}

void TestVideoExporter::refusesAnOutputThatIsNoNewVideo()
{
    QFETCH(QString, output);
    QFETCH(QString, told);
    const QByteArray before = digest(mClips.frontMp4);
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, mClips.rearMp4, 0, -1}};
    request.output = output;
    VideoExporter exporter(request);
    QVERIFY(!exporter.run());
    QVERIFY2(exporter.error().contains(told), qPrintable(exporter.error()));
    QCOMPARE(digest(mClips.frontMp4), before);
    QVERIFY(leftInOutputs().isEmpty());
}

QTEST_MAIN(TestVideoExporter)
#include "tst_videoexporter.moc"
