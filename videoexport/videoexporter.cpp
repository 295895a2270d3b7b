// One video export: the recordings decoded, laid out and encoded by ffmpeg, with the telemetry
// overlay painted here and piped in.
#include "videoexporter.h"

#include "ffmpegcommand.h"
#include "ffmpegprocess.h"
#include "telemetryoverlay.h"
#include "videoexportlog.h"

#include "export/extractedrecording.h"
#include "export/trackexport.h"
#include "maptiles/tilesource.h"
#include "parser/secondsamples.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

constexpr int UnknownRate = 30;
constexpr int ProgressMs = 200;

// The output rate: the first front recording's, in whole frames, every other input resampled
// to it by ffmpeg.
int outputRate(float frameRate)
{
    const int rate = qRound(frameRate);
    return rate >= 1 && rate <= 120 ? rate : UnknownRate;
}

// Where the video goes. A link is followed, as the other exports do, so that the file it names
// is replaced and the link stays. Refused with a reason: a path naming one of the recordings,
// and anything there that is not a regular file (a folder, a device, a pipe).
bool outputTarget(const VideoExportRequest &request, QString *target, QString *problem)
{
    if (request.output.isEmpty()) {
        *problem = QStringLiteral("No file to write the video to was given.");
        return false;
    }
    for (const VideoClip &clip : request.clips) {
        for (const QString &recording : {clip.front, clip.rear}) {
            if (!recording.isEmpty() && TrackExport::sameFile(request.output, recording)) {
                *problem = QStringLiteral("%1 is one of the recordings exported.")
                                   .arg(request.output);
                return false;
            }
        }
    }
    const QFileInfo info(request.output);
    if (info.exists() && !info.isFile()) {
        *problem = QStringLiteral("%1: exists and is not a regular file").arg(request.output);
        return false;
    }
    *target = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    return true;
}

// The codec of the recording's first sound stream; empty when it has none. ffprobe knows no
// -nostdin; finish closes its input at once, so it can never wait on a terminal.
bool probeSound(const QString &ffprobe, const QString &file, const std::function<bool()> &cancelled,
                QString *codec, QString *error)
{
    FfmpegProcess probe(QStringLiteral("ffprobe"), ffprobe, cancelled);
    const bool done = probe.start({QStringLiteral("-hide_banner"), QStringLiteral("-v"),
                                   QStringLiteral("error"), QStringLiteral("-select_streams"),
                                   QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                                   QStringLiteral("stream=codec_name"), QStringLiteral("-of"),
                                   QStringLiteral("csv=p=0"), QStringLiteral("-i"),
                                   FfmpegCommand::inputUrl(file)})
                      && probe.finish();
    *error = probe.error();
    *codec = QString::fromUtf8(probe.standardOutput()).trimmed();
    return done;
}

} // namespace

VideoExporter::VideoExporter(const VideoExportRequest &request, QObject *parent)
    : QObject(parent)
    , mRequest(request)
{ }

VideoExporter::~VideoExporter() = default;

bool VideoExporter::run()
{
    mError.clear();
    const std::function<bool()> cancelled = [this] { return mCancelled.load(); };
    // A cancel is no failure: it leaves no message.
    const auto fail = [&](const QString &message) {
        if (!cancelled() && !message.isEmpty()) {
            mError = message;
            qCWarning(lcVideoExport).noquote() << message;
        }
        return false;
    };

    QString output;
    QString problem;
    if (!outputTarget(mRequest, &output, &problem))
        return fail(problem);

    const auto load = [&](const QString &file, ExtractedRecording *recording) {
        if (recording->load(file, &problem, cancelled))
            return true;
        return fail(QStringLiteral("%1: %2").arg(file, problem));
    };
    const bool rearShown = mRequest.arrangement != VideoLayout::Front;
    FfmpegPlan plan;
    QVector<OverlayClip> overlayClips;
    QSize frontSize;
    QSize rearSize;
    for (const VideoClip &clip : mRequest.clips) {
        ExtractedRecording front;
        if (!load(clip.front, &front))
            return false;
        if (&clip == &mRequest.clips.constFirst()) {
            plan.framesPerSecond = outputRate(front.info.frameRate);
            frontSize = QSize(front.info.width, front.info.height);
        }
        const int fps = plan.framesPerSecond;
        const double length = front.info.duration;
        const double from = qMax(0.0, clip.from);
        const double to = clip.to < 0 ? length : (length > 0 ? qMin(clip.to, length) : clip.to);
        const int frames = qRound((to - from) * fps);
        if (frames <= 0)
            continue;

        FfmpegPiece piece{clip.front, QString(), from, frames, QString()};
        if (rearShown && !clip.rear.isEmpty()) {
            ExtractedRecording rear;
            if (!load(clip.rear, &rear))
                return false;
            if (rearSize.isEmpty())
                rearSize = QSize(rear.info.width, rear.info.height);
            piece.rear = clip.rear;
        }
        if (!probeSound(mRequest.ffprobe, clip.front, cancelled, &piece.audioCodec, &problem))
            return fail(problem);
        plan.pieces.append(piece);
        fitSamplesToDuration(front.samples, front.info.duration);
        overlayClips.append({front.samples, from, from + double(frames) / fps});
    }
    if (plan.pieces.isEmpty())
        return fail(QStringLiteral("The stretch to export holds no video."));

    plan.geometry
            = VideoLayout::geometry(mRequest.arrangement, mRequest.resolution, frontSize, rearSize);
    const QSize frame = plan.geometry.frame;
    std::unique_ptr<TileSource> tiles;
    if (!mRequest.mapFile.isEmpty()) {
        TileSourceError tileError = TileSourceError::None;
        QString detail;
        tiles = TileSource::open(mRequest.mapFile, &tileError, &detail);
        // The mini-map then shows the track alone, which is still worth the export.
        if (!tiles)
            qCWarning(lcVideoExport).noquote()
                    << mRequest.mapFile << "gives no map tiles:" << detail;
    }
    const QRect keepClear
            = mRequest.arrangement == VideoLayout::PictureInPicture ? plan.geometry.rear : QRect();
    TelemetryOverlay overlay(mRequest.overlay, frame, keepClear, tiles.get());
    overlay.setClips(overlayClips);

    // ffmpeg writes under a hidden name beside the output, renamed over it only when complete:
    // a failed or cancelled export leaves the old file as it was and nothing of its own.
    const QFileInfo target(output);
    QTemporaryFile part(target.dir().filePath(QLatin1Char('.') + target.fileName()
                                              + QStringLiteral(".XXXXXX.part.mp4")));
    if (!part.open())
        return fail(QStringLiteral("%1: %2").arg(output, part.errorString()));
    // A temporary file is private to its owner; the video is to be shared like the file it
    // replaces, or like any new file.
    part.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                  | QFile::ReadOther);
    part.close();
    plan.output = part.fileName();

    FfmpegProcess ffmpeg(QStringLiteral("ffmpeg"), mRequest.ffmpeg, cancelled);
    if (!ffmpeg.start(FfmpegCommand::arguments(plan)))
        return fail(ffmpeg.error());

    qint64 total = 0;
    for (const FfmpegPiece &piece : qAsConst(plan.pieces))
        total += piece.frames;
    QImage image(frame, QImage::Format_ARGB32_Premultiplied);
    const qint64 frameBytes = image.sizeInBytes();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    emit progressed(0, total);
    for (qint64 n = 0; n < total; ++n) {
        overlay.render(double(n) / plan.framesPerSecond, &image);
        // At most one frame waits while the next one is added: memory stays at two frames.
        if (!ffmpeg.write(reinterpret_cast<const char *>(image.constBits()), frameBytes,
                          frameBytes))
            return fail(ffmpeg.error());
        if (sinceProgress.hasExpired(ProgressMs)) {
            sinceProgress.restart();
            emit progressed(n + 1, total);
        }
    }
    const QString partName = part.fileName();
    if (!ffmpeg.finish([&partName] { return QFileInfo(partName).size(); }))
        return fail(ffmpeg.error());
    if (cancelled())
        return false;
    // rename(2) replaces the old file in one step; there is never a moment without either.
    if (std::rename(QFile::encodeName(partName).constData(), QFile::encodeName(output).constData())
        != 0)
        return fail(QStringLiteral("%1: %2").arg(output, qt_error_string(errno)));
    part.setAutoRemove(false);
    emit progressed(total, total);
    return true;
}
