// Planning and writing the demo drive: names, cameras, storage places, encoding and injection.
#include "demodrive.h"

#include "telemetryinjector.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <vector>

namespace {

const QDateTime DriveStart(QDate(2024, 10, 5), QTime(14, 30));

// Frames in AVI headers last whole microseconds, so at 30 fps a minute would read as 59.99
// seconds and be reported as 59; the PAL rate keeps whole seconds whole.
int aviFramesPerSecond(int framesPerSecond)
{
    return 1000000 % framesPerSecond == 0 ? framesPerSecond : 25;
}

QSize rearSize(const QSize &front)
{
    // Halved and kept even, which 4:2:0 video needs.
    return QSize(qMax(16, front.width() / 4 * 2), qMax(16, front.height() / 4 * 2));
}

} // namespace

QVector<DemoFile> demoFiles(const DemoOptions &options)
{
    Drive drive = Drive::demoRoute((options.clips + 1) * options.seconds);
    drive.start = DriveStart;
    const QVector<SampleRecord> records = drive.records();

    const ParserObject::SampleSource mp4Places[]
            = {ParserObject::Gps0Box, ParserObject::GpsBox, ParserObject::GpsMetaTrack};
    QVector<DemoFile> files;
    for (int clip = 0; clip <= options.clips; ++clip) {
        const bool avi = clip == options.clips;
        const QDateTime start = DriveStart.addSecs(qint64(clip) * options.seconds);
        for (const bool rear : {false, true}) {
            DemoFile file;
            file.name = start.toString(QStringLiteral("yyyyMMdd_hhmmss_"))
                        + (rear ? QLatin1Char('R') : QLatin1Char('F'))
                        + (avi ? QLatin1String(".AVI") : QLatin1String(".MP4"));
            file.video.size = rear ? rearSize(options.size) : options.size;
            file.video.framesPerSecond
                    = avi ? aviFramesPerSecond(options.framesPerSecond) : options.framesPerSecond;
            file.video.seconds = options.seconds;
            file.video.codec = rear ? ClipVideo::H265 : ClipVideo::H264;
            file.video.sound = !rear;
            file.video.avi = avi;
            file.video.label = rear ? QStringLiteral("REAR") : QStringLiteral("FRONT");
            file.video.start = start;
            file.source = avi ? ParserObject::AviGpsList : mp4Places[files.size() % 3];
            file.records = records.mid(clip * options.seconds, options.seconds);
            files.append(file);
        }
    }
    return files;
}

QString writeDemoDrive(const QDir &dir, const QVector<DemoFile> &files, QTextStream &log)
{
    QVector<DemoFile> missing;
    for (const DemoFile &file : files) {
        if (!QFileInfo::exists(dir.filePath(file.name)))
            missing.append(file);
    }
    if (missing.isEmpty()) {
        log << "The demo drive in " << dir.path() << " is complete." << Qt::endl;
        return QString();
    }
    bool drawClock = false;
    QString error;
    if (!probeFfmpeg(&drawClock, &error))
        return error;
    if (!dir.mkpath(QStringLiteral(".")))
        return QStringLiteral("cannot create %1").arg(dir.path());
    if (!drawClock)
        log << "ffmpeg cannot draw text here (no font found); the clips show the test "
               "pattern's frame counter only."
            << Qt::endl;

    const auto partPath = [&dir](const DemoFile &file) {
        return dir.filePath(QLatin1Char('.') + file.name + QLatin1String(".part"));
    };
    // Both cameras of a clip are encoded at once, as each encoder keeps about one core busy.
    QElapsedTimer timer;
    timer.start();
    for (int first = 0; first < missing.size(); first += 2) {
        const QVector<DemoFile> batch = missing.mid(first, 2);
        std::vector<std::unique_ptr<FfmpegRun>> runs;
        for (const DemoFile &file : batch) {
            log << "Writing " << file.name << " (" << file.video.size.width() << 'x'
                << file.video.size.height() << ", " << file.video.seconds << " s)" << Qt::endl;
            // A new file rather than the old one, which an ffmpeg left over from an interrupted
            // run might still be writing.
            QFile::remove(partPath(file));
            runs.push_back(std::make_unique<FfmpegRun>());
            runs.back()->start(file.video, drawClock, partPath(file));
        }
        // Every run is waited for before a failure is reported, so no ffmpeg outlives us.
        QStringList failures;
        for (int i = 0; i < batch.size(); ++i) {
            const DemoFile &file = batch.at(i);
            const QString part = partPath(file);
            QString failure = runs.at(size_t(i))->finish();
            if (failure.isEmpty())
                failure = injectTelemetry(part, file.source, file.records);
            if (failure.isEmpty() && !QFile::rename(part, dir.filePath(file.name)))
                failure = QStringLiteral("cannot rename to the final name");
            if (!failure.isEmpty()) {
                QFile::remove(part);
                failures << QStringLiteral("%1: %2").arg(file.name, failure);
            }
        }
        if (!failures.isEmpty())
            return failures.join(QLatin1Char('\n'));
    }
    log << "Wrote " << missing.size() << " files to " << dir.path() << " in "
        << timer.elapsed() / 1000 << " s." << Qt::endl;
    return QString();
}
