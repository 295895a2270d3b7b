// One video export: the recordings decoded, laid out and encoded by ffmpeg, with the telemetry
// overlay painted here and piped in.
#include "videoexporter.h"

#include "ffmpegcommand.h"
#include "ffmpegprocess.h"
#include "telemetryoverlay.h"
#include "videoexportlog.h"
#include "videoexportplan.h"

#include "export/trackexport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ProgressMs = 200;
// Frames the encoder may drop or add at the very end without the video being short.
constexpr qint64 FramesSpared = 2;

// The mode open(2) gives a new file here: 0666 less the process's umask. Read from the kernel's
// status: setting the mask to learn it would, for a moment, make other threads' files as open
// as that.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            bool ok = false;
            const uint mask = line.startsWith("Umask:") ? line.mid(6).trimmed().toUInt(&ok, 8) : 0;
            if (ok)
                return 0666 & ~mask;
        }
    }
    return 0644; // the common mask of 022
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
    return VideoExporter::nameFits(*target, problem);
}

} // namespace

VideoExporter::VideoExporter(const VideoExportRequest &request, QObject *parent)
    : QObject(parent)
    , mRequest(request)
{ }

VideoExporter::~VideoExporter() = default;

bool VideoExporter::nameFits(const QString &path, QString *problem)
{
    const QFileInfo file(path);
    const QByteArray name = QFile::encodeName(file.fileName());
    const long limit = ::pathconf(QFile::encodeName(file.absolutePath()).constData(), _PC_NAME_MAX);
    if (limit <= 0 || name.size() <= limit)
        return true;
    *problem = QStringLiteral("%1: the name is longer than its folder allows (%2 bytes)")
                       .arg(path)
                       .arg(limit);
    return false;
}

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

    VideoExportPlan plan;
    if (!plan.read(mRequest, cancelled, &problem))
        return fail(problem);
    const std::unique_ptr<TelemetryOverlay> overlay = plan.overlay();

    // ffmpeg writes under a hidden name beside the output, renamed over it only when complete:
    // a failed or cancelled export leaves the old file as it was and nothing of its own. The
    // name is short whatever the output's: past the folder's name limit QTemporaryFile would
    // make a file without a name, which ffmpeg cannot be told.
    const QFileInfo target(output);
    QTemporaryFile part(target.dir().filePath(QStringLiteral(".velqor-XXXXXX.part.mp4")));
    if (!part.open())
        return fail(QStringLiteral("%1: %2").arg(output, part.errorString()));
    if (part.fileName().isEmpty())
        return fail(
                QStringLiteral("%1: no temporary file could be named in its folder").arg(output));
    part.close();
    plan.ffmpeg().output = part.fileName();

    FfmpegProcess ffmpeg(QStringLiteral("ffmpeg"), mRequest.ffmpeg, cancelled);
    if (!ffmpeg.start(FfmpegCommand::arguments(plan.ffmpeg())))
        return fail(ffmpeg.error());

    const qint64 total = plan.frames();
    QImage image(plan.ffmpeg().geometry.frame, QImage::Format_ARGB32_Premultiplied);
    const qint64 frameBytes = image.sizeInBytes();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    emit progressed(0, total);
    for (qint64 n = 0; n < total; ++n) {
        overlay->renderFrame(n, &image);
        // ffmpeg takes the overlay with straight alpha (see FfmpegCommand); the overlay keeps
        // painting premultiplied, which is what QPainter draws fastest into.
        const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
        // At most one frame waits while the next one is added: memory stays at two frames.
        if (!ffmpeg.write(reinterpret_cast<const char *>(straight.constBits()), frameBytes,
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
    // An exit code of 0 does not prove a whole video (an input that runs short ends the output
    // early without an error): the file is judged by what it holds. The count comes from the
    // MP4's index, so the check takes no time however large the file; counting the packets
    // read the whole file, which on slow storage outlasted ffprobe's bound.
    QString counted;
    if (!FfmpegProcess::probe(mRequest.ffprobe,
                              {QStringLiteral("-hide_banner"), QStringLiteral("-v"),
                               QStringLiteral("error"), QStringLiteral("-select_streams"),
                               QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                               QStringLiteral("stream=nb_frames"), QStringLiteral("-of"),
                               QStringLiteral("csv=p=0"), QStringLiteral("-i"),
                               FfmpegCommand::inputUrl(partName)},
                              cancelled, &counted, &problem))
        return fail(problem);
    const qint64 written = counted.toLongLong();
    if (written + FramesSpared < total)
        return fail(QStringLiteral("ffmpeg ended before the video was complete (%1 of %2 frames)")
                            .arg(written)
                            .arg(total));
    // A temporary file is private to its owner; the video is to be shared like the file it
    // replaces, or like any new file. Only now: ffmpeg opens the file by name, and a mode without
    // the owner's write (a read-only file replaced, a umask of 0277) would lock it out. Never
    // the set-id bits of a file that was replaced.
    struct stat replaced;
    const mode_t mode = ::stat(QFile::encodeName(output).constData(), &replaced) == 0
                                ? replaced.st_mode & 0777
                                : newFileMode();
    if (::chmod(QFile::encodeName(partName).constData(), mode) != 0)
        return fail(QStringLiteral("%1: %2").arg(partName, qt_error_string(errno)));
    // rename(2) replaces the old file in one step; there is never a moment without either.
    if (std::rename(QFile::encodeName(partName).constData(), QFile::encodeName(output).constData())
        != 0)
        return fail(QStringLiteral("%1: %2").arg(output, qt_error_string(errno)));
    part.setAutoRemove(false);
    emit progressed(total, total);
    return true;
}
