// Video export benchmark: a minute of the demo drive exported side by side with the whole overlay,
// its speed against real time, then frames read back and compared with the overlay drawn for them.
#include "framecheck.h"

#include <export/drives.h>
#include <export/extractedrecording.h>
#include <export/recordingname.h>
#include <parser/secondsamples.h>
#include <videoexport/videoexporter.h>
#include <videoexport/videoexportplan.h>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

constexpr double GoalRatio = 1.0; // at least real time
constexpr double GoalPsnr = 30.0; // dB, in every panel of every frame checked

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// In MB; Linux counts ru_maxrss in KB.
double peakRssMb(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024.0;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).trimmed();
}

// The drive's recordings in name order, each front with its rear partner, laid end to end as the
// viewer's timeline lays them; the partners and lengths as velqor-extract --video finds them, the
// samples as the viewer reads them.
struct Drive
{
    QVector<StretchClip> clips;
    QMap<QString, QVector<GpsData>> samples; // per front recording, one a second
};

bool readDrive(const QString &folder, Drive *drive, QString *error)
{
    const QStringList names
            = QDir(folder).entryList(RecordingName::nameFilters(), QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (!RecordingName::isFront(name))
            continue;
        ExtractedRecording front;
        const QString path = QDir(folder).filePath(name);
        if (!front.load(path, error)) {
            *error = QStringLiteral("%1: %2").arg(path, *error);
            return false;
        }
        drive->clips.append({path, Drives::rearPartner(path),
                             double(Drives::lengthOf(front.info.duration, front.samples.size()))});
        fitSamplesToDuration(front.samples, front.info.duration);
        drive->samples.insert(path, front.samples);
    }
    if (drive->clips.isEmpty()) {
        *error = QStringLiteral("%1 holds no front camera recording").arg(folder);
        return false;
    }
    return true;
}

// The speed the drive's own samples give for frame n: the second of the recording it falls in.
QString sampleSpeed(const Drive &drive, const FfmpegPlan &plan, qint64 n, SpeedUnit::Unit unit)
{
    qint64 first = 0;
    for (const FfmpegPiece &piece : plan.pieces) {
        if (n < first + piece.frames) {
            const double at = piece.from + double(n - first) / plan.framesPerSecond;
            const QVector<GpsData> samples = drive.samples.value(piece.front);
            const int second = int(std::floor(at + 1e-9));
            if (second < 0 || second >= samples.size())
                return QStringLiteral("(none)");
            return SpeedUnit::text(samples.at(second).speed, unit, 1);
        }
        first += piece.frames;
    }
    return QStringLiteral("(none)");
}

// Ten frames: spread over the stretch, and around the first clip boundary (its last frame, the
// first after it and one half a second later, between two samples).
QVector<qint64> chosenFrames(const FfmpegPlan &plan, qint64 total)
{
    const int fps = plan.framesPerSecond;
    const qint64 boundary = plan.pieces.constFirst().frames;
    std::set<qint64> frames{fps,
                            total / 6,
                            total / 3,
                            boundary - 1,
                            boundary,
                            boundary + fps / 2,
                            boundary + (total - boundary) / 3,
                            total - 2 * fps - fps / 3,
                            total - fps,
                            total - 1};
    for (qint64 n = 0; frames.size() < 10 && n < total; n += fps)
        frames.insert(n);
    QVector<qint64> inRange;
    for (qint64 n : frames) {
        if (n >= 0 && n < total)
            inRange << n;
    }
    return inRange;
}

} // namespace

int main(int argc, char *argv[])
{
    // Only images are drawn: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The parsers' debug lines would bury the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QTextStream out(stdout);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Exports a stretch of a demo drive side by side with the whole overlay and prints its "
            "speed, then compares frames read back with the overlay drawn for them."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DRIVE_FOLDER"),
                                 QStringLiteral("Made by: velqor-demo DRIVE_FOLDER"));
    const QCommandLineOption fromOption(QStringLiteral("from"),
                                        QStringLiteral("Start of the stretch in seconds (30)."),
                                        QStringLiteral("seconds"), QStringLiteral("30"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Length of the stretch (60)."),
                                           QStringLiteral("seconds"), QStringLiteral("60"));
    const QCommandLineOption keepOption(QStringLiteral("keep"),
                                        QStringLiteral("Keep the exported video as FILE."),
                                        QStringLiteral("FILE"));
    parser.addOptions({fromOption, secondsOption, keepOption});
    parser.process(app);
    bool fromOk = false;
    bool secondsOk = false;
    const double from = parser.value(fromOption).toDouble(&fromOk);
    const double seconds = parser.value(secondsOption).toDouble(&secondsOk);
    if (parser.positionalArguments().size() != 1 || !fromOk || !secondsOk || from < 0
        || seconds <= 0) {
        out << parser.helpText();
        return 2;
    }
    const QString folder = parser.positionalArguments().constFirst();

    Drive drive;
    QString error;
    if (!readDrive(folder, &drive, &error)) {
        out << error << "\nMake the demo drive first: build/demo/velqor-demo " << folder << '\n';
        return 1;
    }
    QTemporaryDir temp;
    if (!temp.isValid()) {
        out << "no temporary folder: " << temp.errorString() << '\n';
        return 1;
    }

    // The request as the viewer's dialog makes it, with every overlay part on.
    VideoExportRequest request;
    request.clips = VideoStretch::cut(drive.clips, from, from + seconds);
    request.arrangement = VideoLayout::SideBySide;
    request.resolution = VideoLayout::Hd720;
    request.overlay = OverlayOptions();
    request.output = parser.isSet(keepOption) ? parser.value(keepOption)
                                              : temp.filePath(QStringLiteral("export.mp4"));
    if (request.clips.isEmpty()) {
        out << "the drive has nothing between " << from << " s and " << from + seconds << " s\n";
        return 1;
    }

    out << "Video export of " << folder << ", " << from << " s to " << from + seconds
        << " s, side by side at 720p, overlay parts " << request.overlay.names().join(',') << ", "
        << request.clips.size() << " pieces\n";
    out << "load before: " << loadAverage() << "  (" << QThread::idealThreadCount() << " cores)\n";
    out.flush();

    // The same reading of the recordings the export does, timed alone for scale.
    QElapsedTimer timer;
    timer.start();
    VideoExportPlan plan;
    if (!plan.read(
                request, [] { return false; }, &error)) {
        out << error << '\n';
        return 1;
    }
    const double planSeconds = timer.nsecsElapsed() / 1e9;
    const qint64 total = plan.frames();
    const int fps = plan.ffmpeg().framesPerSecond;
    const QSize frame = plan.ffmpeg().geometry.frame;

    // The export, run the way the viewer's worker runs it.
    const double selfBefore = cpuSeconds(RUSAGE_SELF);
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
    VideoExporter exporter(request);
    timer.restart();
    const bool exported = exporter.run();
    const double wall = timer.nsecsElapsed() / 1e9;
    const double selfCpu = cpuSeconds(RUSAGE_SELF) - selfBefore;
    const double childrenCpu = cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
    if (!exported) {
        out << "export failed: " << exporter.error() << '\n';
        return 1;
    }
    const double ratio = (double(total) / fps) / wall;
    out << QStringLiteral("reading the recordings   %1 s\n").arg(planSeconds, 0, 'f', 2);
    out << QStringLiteral("frames                   %1 (%2x%3 at %4 fps, %5 s of video)\n")
                    .arg(total)
                    .arg(frame.width())
                    .arg(frame.height())
                    .arg(fps)
                    .arg(double(total) / fps, 0, 'f', 2);
    out << QStringLiteral("wall                     %1 s\n").arg(wall, 0, 'f', 2);
    out << QStringLiteral("frames per second        %1\n").arg(total / wall, 0, 'f', 1);
    out << QStringLiteral("ratio to real time       %1 (goal >= %2)%3\n")
                    .arg(ratio, 0, 'f', 2)
                    .arg(GoalRatio, 0, 'f', 1)
                    .arg(ratio >= GoalRatio ? QString() : QStringLiteral("  MISSED"));
    out << QStringLiteral("CPU this process         %1 s\n").arg(selfCpu, 0, 'f', 2);
    out << QStringLiteral("CPU children (ffmpeg)    %1 s\n").arg(childrenCpu, 0, 'f', 2);
    out << QStringLiteral("peak RSS                 %1 MB this process, %2 MB largest child\n")
                    .arg(peakRssMb(RUSAGE_SELF), 0, 'f', 1)
                    .arg(peakRssMb(RUSAGE_CHILDREN), 0, 'f', 1);
    out.flush();

    // The overlay alone over the same frames, to tell its share from the encoder's.
    const std::unique_ptr<TelemetryOverlay> timed = plan.overlay();
    QImage image(frame, QImage::Format_ARGB32_Premultiplied);
    timer.restart();
    for (qint64 n = 0; n < total; ++n)
        timed->renderFrame(n, &image);
    out << QStringLiteral("overlay render alone     %1 ms a frame\n")
                    .arg(timer.nsecsElapsed() / 1e6 / total, 0, 'f', 3);
    // What the exporter adds to each frame before piping it: the change to straight alpha.
    timer.restart();
    qint64 copied = 0;
    for (qint64 n = 0; n < total; ++n)
        copied += image.convertToFormat(QImage::Format_ARGB32).sizeInBytes();
    out << QStringLiteral("straight alpha copy      %1 ms a frame (%2 MB)\n")
                    .arg(timer.nsecsElapsed() / 1e6 / total, 0, 'f', 3)
                    .arg(copied / 1e6, 0, 'f', 0);

    // Frames read back against the overlay drawn for the same moment by a fresh overlay, so
    // nothing cached from the frames before can hide a fault. One column for each panel, named
    // by its corner.
    out << "\nPSNR dB of each panel (at x,y), the lowest, and the speed text against the sample\n"
        << QStringLiteral("%1 %2").arg(QStringLiteral("frame"), 5).arg(QStringLiteral("time s"), 8);
    for (const QRect &rect : timed->panelRects())
        out << QStringLiteral(" %1").arg(QStringLiteral("%1,%2").arg(rect.x()).arg(rect.y()), 8);
    out << QStringLiteral(" %1 %2 %3 %4\n")
                    .arg(QStringLiteral("lowest"), 7)
                    .arg(QStringLiteral("speedText"), 11)
                    .arg(QStringLiteral("sample's"), 11)
                    .arg(QStringLiteral("agree"), 6);
    double worst = std::numeric_limits<double>::infinity();
    bool speedsAgree = true;
    for (qint64 n : chosenFrames(plan.ffmpeg(), total)) {
        const double t = double(n) / fps;
        const QImage decoded = FrameCheck::decodeFrame(request.output, n, fps, frame, &error);
        if (decoded.isNull()) {
            out << error << '\n';
            return 1;
        }
        const std::unique_ptr<TelemetryOverlay> overlay = plan.overlay();
        QImage drawn(frame, QImage::Format_ARGB32_Premultiplied);
        overlay->renderFrame(n, &drawn);
        out << QStringLiteral("%1 %2").arg(n, 5).arg(t, 8, 'f', 3);
        double least = std::numeric_limits<double>::infinity();
        for (const QRect &rect : overlay->panelRects()) {
            const double psnr = FrameCheck::psnr(decoded, drawn, rect);
            least = std::min(least, psnr);
            out << QStringLiteral(" %1").arg(psnr, 8, 'f', 2);
        }
        worst = std::min(worst, least);
        const QString shown = overlay->speedText(t);
        const QString expected = sampleSpeed(drive, plan.ffmpeg(), n, request.overlay.unit);
        const bool agree = shown == expected;
        speedsAgree = speedsAgree && agree;
        out << QStringLiteral(" %1 %2 %3 %4\n")
                        .arg(least, 7, 'f', 2)
                        .arg(shown, 11)
                        .arg(expected, 11)
                        .arg(agree ? QStringLiteral("yes") : QStringLiteral("NO"), 6);
        out.flush();
    }
    out << QStringLiteral("minimum PSNR             %1 dB (goal > %2)%3\n")
                    .arg(worst, 0, 'f', 2)
                    .arg(GoalPsnr, 0, 'f', 0)
                    .arg(worst > GoalPsnr ? QString() : QStringLiteral("  MISSED"));
    out << "speed texts              "
        << (speedsAgree ? "all read the sample's speed" : "SOME DIFFER from the sample's speed")
        << '\n';
    out << "load after: " << loadAverage() << '\n';
    return ratio >= GoalRatio && worst > GoalPsnr && speedsAgree ? 0 : 1;
}
