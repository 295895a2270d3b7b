// The video export's cutting of a stretch and its ffmpeg runs, end to end on the tiny demo drive.
#include "democlips.h"
#include "framecheck.h"

#include <videoexport/ffmpegcommand.h>
#include <videoexport/ffmpegprocess.h>
#include <videoexport/videoexporter.h>
#include <videoexport/videoexportplan.h>

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

#include <sys/stat.h>

Q_DECLARE_METATYPE(QVector<StretchClip>)
Q_DECLARE_METATYPE(QVector<VideoClip>)

namespace {

// What ffprobe says of an exported file.
struct Probed
{
    QString video;
    QSize size;
    int framesPerSecond = 0;
    double seconds = 0;
    QString audio;
};

Probed probe(const QString &file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_type,codec_name,width,height,r_frame_rate:"
                                  "format=duration"),
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
            const QStringList rate
                    = stream.value(QStringLiteral("r_frame_rate")).toString().split('/');
            if (rate.size() == 2 && rate.at(1).toInt() > 0)
                probed.framesPerSecond = qRound(rate.at(0).toDouble() / rate.at(1).toInt());
        }
    }
    probed.seconds = json.value(QStringLiteral("format"))
                             .toObject()
                             .value(QStringLiteral("duration"))
                             .toString()
                             .toDouble();
    return probed;
}

// Frame n of a video, decoded from its start: no seeking that could land elsewhere.
QImage decodedFrame(const QString &file, int n)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                  QStringLiteral("-vf"), QStringLiteral("select=eq(n\\,%1)").arg(n),
                  QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                  QStringLiteral("image2pipe"), QStringLiteral("-c:v"), QStringLiteral("png"),
                  QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(30000))
        return QImage();
    return QImage::fromData(ffmpeg.readAllStandardOutput(), "PNG")
            .convertToFormat(QImage::Format_RGB32);
}

// Mean difference of the colour channels, 0 to 255.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x]))
                   + qAbs(qBlue(p[x]) - qBlue(q[x]));
    }
    return double(sum) / (3.0 * a.width() * a.height());
}

// A moment of an export, and the moment of the recordings that it shows.
struct Moment
{
    double seconds;
    QString front;
    QString rear;
    double sourceSeconds;
};

// Empty when every camera's picture in the export is the recording's own at each moment, else
// what is not. The pictures change every frame; a piece that starts off the mark is told by a
// frame a second apart matching better.
QString misplacedPictures(const QString &exported, const VideoLayout::Geometry &geometry,
                          const QVector<Moment> &moments)
{
    // The export's rate is the first recording's as its parser reads it, not always the demo's.
    const int exportedFps = probe(exported).framesPerSecond;
    const int fps = DemoClips::FramesPerSecond;
    QStringList misplaced;
    for (const Moment &moment : moments) {
        const int sourceFrame = int(moment.sourceSeconds * fps + 1e-6);
        const QImage frame = decodedFrame(exported, qRound(moment.seconds * exportedFps));
        const QVector<QPair<QRect, QString>> views
                = {{geometry.front, moment.front}, {geometry.rear, moment.rear}};
        for (const auto &view : views) {
            if (view.first.isEmpty())
                continue;
            const QImage shown = frame.copy(view.first);
            const auto source = [&](int n) {
                return decodedFrame(view.second, n)
                        .scaled(view.first.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            };
            const int other = sourceFrame < fps ? sourceFrame + fps : sourceFrame - fps;
            const double same = difference(shown, source(sourceFrame));
            const double apart = difference(shown, source(other));
            if (same >= 12 || same >= apart)
                misplaced << QStringLiteral("%1 at %2 s: %3 off, a second apart %4")
                                     .arg(QFileInfo(view.second).fileName())
                                     .arg(moment.seconds)
                                     .arg(same)
                                     .arg(apart);
        }
    }
    return misplaced.join(QStringLiteral("; "));
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
    void aviPieceFromWithin();
    void onePieceOfEachLayout_data();
    void onePieceOfEachLayout();
    void burnsInTheOverlayItDraws_data();
    void burnsInTheOverlayItDraws();
    void cancelLeavesNothing();
    void failingFfmpegLeavesNothing_data();
    void failingFfmpegLeavesNothing();
    void finishWaitsOutTheLastPass_data();
    void finishWaitsOutTheLastPass();
    void outputFile_data();
    void outputFile();
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
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("codecs");
    QTest::addColumn<int>("sound");
    const QString mp4 = QStringLiteral("F.MP4");
    const auto row = [](const char *name, const QString &file, const QStringList &codecs,
                        FfmpegCommand::Sound sound) {
        QTest::newRow(name) << file << codecs << int(sound);
    };
    row("one piece of AAC", mp4, {QStringLiteral("aac")}, FfmpegCommand::Sound::Copy);
    row("one piece of Opus", mp4, {QStringLiteral("opus")}, FfmpegCommand::Sound::Copy);
    row("one piece of PCM", mp4, {QStringLiteral("pcm_s16le")}, FfmpegCommand::Sound::Aac);
    // Copied sound is cut by input seeking, which AVI files are not.
    row("one piece of an AVI", QStringLiteral("F.avi"), {QStringLiteral("mp3")},
        FfmpegCommand::Sound::Aac);
    row("two pieces of AAC", mp4, {QStringLiteral("aac"), QStringLiteral("aac")},
        FfmpegCommand::Sound::Aac);
    row("one piece silent", mp4, {QStringLiteral("aac"), QString()}, FfmpegCommand::Sound::Aac);
    row("no sound at all", mp4, {QString(), QString()}, FfmpegCommand::Sound::None);
}

void TestVideoExporter::chosesTheSound()
{
    QFETCH(QString, file);
    QFETCH(QStringList, codecs);
    QFETCH(int, sound);
    QVector<FfmpegPiece> pieces;
    for (const QString &codec : codecs)
        pieces.append({file, QString(), 0, 10, codec});
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

    // The MP4 from 2 s, then the AVI from its start.
    const QString misplaced = misplacedPictures(request.output, geometry,
                                                {{0.5, mClips.frontMp4, mClips.rearMp4, 2.5},
                                                 {1.5, mClips.frontAvi, mClips.rearAvi, 0.5},
                                                 {2.2, mClips.frontAvi, mClips.rearAvi, 1.2}});
    QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
}

void TestVideoExporter::aviPieceFromWithin()
{
    // Input seeking lands off the mark in an AVI's H.265 rear camera.
    VideoExportRequest request;
    request.clips = {{mClips.frontAvi, mClips.rearAvi, 0.5, 2.0}};
    request.arrangement = VideoLayout::SideBySide;
    request.output = QDir(mOutputs).filePath(QStringLiteral("avi.mp4"));
    VideoExporter exporter(request);
    QVERIFY2(exporter.run(), qPrintable(exporter.error()));
    const VideoLayout::Geometry geometry
            = VideoLayout::geometry(VideoLayout::SideBySide, VideoLayout::SourceSize,
                                    DemoClips::frontSize(), DemoClips::frontSize() / 2);
    const QString misplaced = misplacedPictures(request.output, geometry,
                                                {{0.0, mClips.frontAvi, mClips.rearAvi, 0.5},
                                                 {0.6, mClips.frontAvi, mClips.rearAvi, 1.1},
                                                 {1.3, mClips.frontAvi, mClips.rearAvi, 1.8}});
    QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
}

void TestVideoExporter::onePieceOfEachLayout_data()
{
    QTest::addColumn<int>("arrangement");
    QTest::addColumn<bool>("withRear");
    QTest::newRow("front") << int(VideoLayout::Front) << true;
    QTest::newRow("rear") << int(VideoLayout::Rear) << true;
    QTest::newRow("picture in picture") << int(VideoLayout::PictureInPicture) << true;
    QTest::newRow("side by side, no rear camera") << int(VideoLayout::SideBySide) << false;
    QTest::newRow("rear, no rear camera") << int(VideoLayout::Rear) << false;
}

void TestVideoExporter::onePieceOfEachLayout()
{
    QFETCH(int, arrangement);
    QFETCH(bool, withRear);
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, withRear ? mClips.rearMp4 : QString(), 0.5, 2.5}};
    request.arrangement = VideoLayout::Arrangement(arrangement);
    request.output = QDir(mOutputs).filePath(QStringLiteral("piece.mp4"));
    VideoExporter exporter(request);
    QVERIFY2(exporter.run(), qPrintable(exporter.error()));
    const Probed probed = probe(request.output);
    const QSize rearSize = withRear ? DemoClips::frontSize() / 2 : QSize();
    QCOMPARE(probed.size, VideoLayout::geometry(request.arrangement, VideoLayout::SourceSize,
                                                DemoClips::frontSize(), rearSize)
                                  .frame);
    QVERIFY2(qAbs(probed.seconds - 2.0) <= 2.0 / DemoClips::FramesPerSecond,
             qPrintable(QString::number(probed.seconds)));
    // The front camera's sound in every layout, copied: one piece of AAC.
    QCOMPARE(probed.audio, probe(mClips.frontMp4).audio);
}

void TestVideoExporter::burnsInTheOverlayItDraws_data()
{
    QTest::addColumn<int>("arrangement");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("pieces");
    QTest::newRow("side by side in one clip") << int(VideoLayout::SideBySide) << 0.5 << 2.5 << 1;
    QTest::newRow("picture in picture across the boundary")
            << int(VideoLayout::PictureInPicture) << 2.0 << 4.5 << 2;
}

// The frames, also on both sides of a boundary, carry the overlay a plan of the same request draws
// for their moment: the export's pieces, rate and samples are the plan's, frame n is drawn for
// n / fps, and the panels keep their colours through the encoder.
void TestVideoExporter::burnsInTheOverlayItDraws()
{
    QFETCH(int, arrangement);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, pieces);
    VideoExportRequest request;
    request.clips = VideoStretch::cut({{mClips.frontMp4, mClips.rearMp4, DemoClips::Seconds},
                                       {mClips.frontAvi, mClips.rearAvi, DemoClips::Seconds}},
                                      from, to);
    request.arrangement = VideoLayout::Arrangement(arrangement);
    // Panels at 720p, as drivers export them: at the demo's 320x180 they are too small to read.
    request.resolution = VideoLayout::Hd720;
    request.output = QDir(mOutputs).filePath(QStringLiteral("overlay.mp4"));

    VideoExportPlan plan;
    QString problem;
    QVERIFY2(plan.read(
                     request, [] { return false; }, &problem),
             qPrintable(problem));
    const int fps = plan.ffmpeg().framesPerSecond;
    QCOMPARE(fps, DemoClips::FramesPerSecond);
    QCOMPARE(plan.frames(), qRound64((to - from) * fps));
    QCOMPARE(plan.overlayClips().size(), pieces);
    QCOMPARE(plan.overlayClips().constFirst().from, from);
    VideoExporter exporter(request);
    QVERIFY2(exporter.run(), qPrintable(exporter.error()));

    const QSize frame = plan.ffmpeg().geometry.frame;
    const qint64 boundary = plan.ffmpeg().pieces.constFirst().frames;
    for (const qint64 n : {qint64(0), boundary - 1, qMin(boundary, plan.frames() - 1)}) {
        QString error;
        const QImage decoded = FrameCheck::decodeFrame(request.output, n, fps, frame, &error);
        QVERIFY2(!decoded.isNull(), qPrintable(error));
        const std::unique_ptr<TelemetryOverlay> overlay = plan.overlay();
        QImage drawn(frame, QImage::Format_ARGB32_Premultiplied);
        overlay->renderFrame(n, &drawn);
        QVERIFY(!overlay->panelRects().isEmpty());
        for (const QRect &rect : overlay->panelRects()) {
            const double psnr = FrameCheck::psnr(decoded, drawn, rect);
            // Near the benchmark's 30 dB: at this clip's few small frames x264 leaves the small
            // text of some panels at 29.5 to 33 dB. A panel off by the luma's black level reads
            // about 21 dB.
            QVERIFY2(psnr > 28, qPrintable(QStringLiteral("frame %1, panel at %2,%3: %4 dB")
                                                   .arg(n)
                                                   .arg(rect.x())
                                                   .arg(rect.y())
                                                   .arg(psnr)));
        }
    }
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
    // The first progress waits for the stand-in to have told its id, and for the cancel, made
    // from another thread, to land.
    QSemaphore started;
    QSemaphore landed;
    connect(
            &exporter, &VideoExporter::progressed, this,
            [&](qint64, qint64) {
                if (!exporter.wasCancelled()) {
                    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 10000);
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
    QTest::newRow("closes its input, then fails")
            << QByteArray("#!/bin/sh\nexec 0<&-\nsleep 1\necho 'Invalid data' >&2\nexit 2\n")
            << QStringList{QStringLiteral("ffmpeg exited with code 2: Invalid data")};
    // A few frames of real video, then an exit as if all went well.
    QTest::newRow("exits 0, frames missing")
            << QByteArray("#!/bin/sh\nfor last; do :; done\ncat > /dev/null\n"
                          "exec ffmpeg -v error -f lavfi -i color=size=64x64:rate=10 -frames:v 2 "
                          "-y \"$last\"\n")
            << QStringList{QStringLiteral("ffmpeg ended before the video was complete")};
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

void TestVideoExporter::finishWaitsOutTheLastPass_data()
{
    QTest::addColumn<int>("kilobytes"); // written before ffmpeg goes quiet for two seconds
    QTest::addColumn<bool>("finished");
    // At a stall bound lowered to half a second, and half a second more for each megabyte.
    QTest::newRow("a large file's rewrite") << 8192 << true;
    QTest::newRow("a small file standing still") << 100 << false;
}

// ffmpeg's last pass moves a large file's index to its front, rewriting the file in place
// without growing it: the wait allows for that the more the larger the file, still bounded.
void TestVideoExporter::finishWaitsOutTheLastPass()
{
    QFETCH(int, kilobytes);
    const QString out = QDir(mOutputs).filePath(QStringLiteral("rewritten.mp4"));
    const QString script = mTemp.filePath(QStringLiteral("rewriting-ffmpeg.sh"));
    QVERIFY(writeFile(script,
                      QStringLiteral("#!/bin/sh\ncat > /dev/null\nhead -c %1 /dev/zero > \"$1\"\n"
                                     "exec sleep 2\n")
                              .arg(kilobytes * 1024)
                              .toLocal8Bit(),
                      true));
    FfmpegProcess ffmpeg(QStringLiteral("ffmpeg"), script, [] { return false; });
    ffmpeg.setStallBounds(500, 500);
    QVERIFY(ffmpeg.start({out}));
    QVERIFY(ffmpeg.write("frames", 6, 0));
    const bool finished = ffmpeg.finish([&out] { return QFileInfo(out).size(); });
    QTEST(finished, "finished");
    QCOMPARE(ffmpeg.error().contains(QStringLiteral("ffmpeg did not finish")), !finished);
}

void TestVideoExporter::outputFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("oldMode"); // of a file replaced; -1 for none
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("mode");
    QTest::newRow("new, umask 027") << "new.mp4" << -1 << 027 << 0640;
    QTest::newRow("new, umask 002") << "new.mp4" << -1 << 002 << 0664;
    QTest::newRow("replaced keeps its mode") << "old.mp4" << 0600 << 022 << 0600;
    QTest::newRow("a name near the limit") << QString(236, 'v') + ".mp4" << -1 << 022 << 0644;
    // The owner cannot write a file of this mode: it is set only once ffmpeg is done with it.
    QTest::newRow("new, umask 0277") << "new.mp4" << -1 << 0277 << 0400;
    QTest::newRow("replaced, without its set-id bits") << "old.mp4" << 06755 << 022 << 0755;
}

void TestVideoExporter::outputFile()
{
    QFETCH(QString, name);
    QFETCH(int, oldMode);
    QFETCH(int, umask);
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, QString(), 0, 1}};
    request.arrangement = VideoLayout::Front;
    request.output = QDir(mOutputs).filePath(name);
    if (oldMode >= 0) {
        QVERIFY(writeFile(request.output, "an earlier export"));
        QCOMPARE(::chmod(QFile::encodeName(request.output).constData(), mode_t(oldMode)), 0);
    }
    const mode_t before = ::umask(mode_t(umask));
    VideoExporter exporter(request);
    const bool done = exporter.run();
    ::umask(before);
    QVERIFY2(done, qPrintable(exporter.error()));
    QCOMPARE(leftInOutputs(), QStringList{name});
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(request.output).constData(), &status), 0);
    QTEST(int(status.st_mode & 07777), "mode");
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
    // Else the rename would fail only after the whole video was made.
    QTest::newRow("a name past the folder's limit")
            << QDir(mOutputs).filePath(QString(300, 'v') + ".mp4")
            << QStringLiteral("longer than its folder allows");
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
