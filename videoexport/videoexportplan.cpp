// What one video export is made of, read from its recordings before anything is encoded.
#include "videoexportplan.h"

#include "ffmpegprocess.h"
#include "videoexportlog.h"

#include "export/extractedrecording.h"
#include "maptiles/tilesource.h"
#include "parser/secondsamples.h"

namespace {

constexpr int UnknownRate = 30;

// The output rate: the first front recording's, in whole frames, every other input resampled
// to it by ffmpeg.
int outputRate(float frameRate)
{
    const int rate = qRound(frameRate);
    return rate >= 1 && rate <= 120 ? rate : UnknownRate;
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

VideoExportPlan::VideoExportPlan() = default;

VideoExportPlan::~VideoExportPlan() = default;

bool VideoExportPlan::read(const VideoExportRequest &request,
                           const std::function<bool()> &cancelled, QString *problem)
{
    mOptions = request.overlay;
    mClock = request.clock;
    mFfmpeg = FfmpegPlan();
    mOverlayClips.clear();
    mTiles.reset();
    const auto fail = [&](const QString &message) {
        *problem = cancelled() ? QString() : message;
        return false;
    };
    const auto load = [&](const QString &file, ExtractedRecording *recording) {
        QString reason;
        if (recording->load(file, &reason, cancelled))
            return true;
        return fail(QStringLiteral("%1: %2").arg(file, reason));
    };

    const bool rearShown = request.arrangement != VideoLayout::Front;
    QSize frontSize;
    QSize rearSize;
    for (const VideoClip &clip : request.clips) {
        ExtractedRecording front;
        if (!load(clip.front, &front))
            return false;
        if (&clip == &request.clips.constFirst()) {
            mFfmpeg.framesPerSecond = outputRate(front.info.frameRate);
            frontSize = QSize(front.info.width, front.info.height);
        }
        const int fps = mFfmpeg.framesPerSecond;
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
        QString probeProblem;
        if (!probeSound(request.ffprobe, clip.front, cancelled, &piece.audioCodec, &probeProblem))
            return fail(probeProblem);
        mFfmpeg.pieces.append(piece);
        fitSamplesToDuration(front.samples, front.info.duration);
        mOverlayClips.append({front.samples, from, from + double(frames) / fps});
    }
    if (mFfmpeg.pieces.isEmpty())
        return fail(QStringLiteral("The stretch to export holds no video."));

    mFfmpeg.geometry
            = VideoLayout::geometry(request.arrangement, request.resolution, frontSize, rearSize);
    mKeepClear = request.arrangement == VideoLayout::PictureInPicture ? mFfmpeg.geometry.rear
                                                                      : QRect();
    if (!request.mapFile.isEmpty()) {
        TileSourceError tileError = TileSourceError::None;
        QString detail;
        mTiles = TileSource::open(request.mapFile, &tileError, &detail);
        // The mini-map then shows the track alone, which is still worth the export.
        if (!mTiles)
            qCWarning(lcVideoExport).noquote()
                    << request.mapFile << "gives no map tiles:" << detail;
    }
    return true;
}

qint64 VideoExportPlan::frames() const
{
    qint64 total = 0;
    for (const FfmpegPiece &piece : mFfmpeg.pieces)
        total += piece.frames;
    return total;
}

std::unique_ptr<TelemetryOverlay> VideoExportPlan::overlay() const
{
    auto overlay = std::make_unique<TelemetryOverlay>(mOptions, mFfmpeg.geometry.frame, mKeepClear,
                                                      mTiles.get());
    overlay->setClock(mClock);
    overlay->setClips(mOverlayClips);
    return overlay;
}
