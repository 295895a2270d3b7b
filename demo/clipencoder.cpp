// ffmpeg command lines for demo clips and the processes that run them.
#include "clipencoder.h"

namespace {

// Long enough for a minute of video on a busy two-core machine.
constexpr int FfmpegTimeoutMs = 15 * 60 * 1000;

// Options that hold no space, written as one line.
QStringList words(const char *options)
{
    return QString::fromLatin1(options).split(QLatin1Char(' '));
}

QString clockFilter(const ClipVideo &clip)
{
    // The wall-clock time counted as UTC, so the clock shows it whatever the time zone.
    const qint64 epoch
            = QDateTime(clip.start.date(), clip.start.time(), Qt::UTC).toSecsSinceEpoch();
    const int fontSize = qMax(8, clip.size.height() / 16);
    return QStringLiteral("drawtext=font=monospace:fontsize=%1:fontcolor=white:box=1"
                          ":boxcolor=black@0.6:boxborderw=%2:x=%2:y=h-th-2*%2"
                          ":text='%3  %{pts\\:gmtime\\:%4}'")
            .arg(fontSize)
            .arg(qMax(2, fontSize / 4))
            .arg(clip.label)
            .arg(epoch);
}

} // namespace

QStringList clipArguments(const ClipVideo &clip, bool drawClock)
{
    QStringList arguments = words("-nostdin -y -loglevel error -f lavfi -i")
                            << QStringLiteral("testsrc=size=%1x%2:rate=%3")
                                       .arg(clip.size.width())
                                       .arg(clip.size.height())
                                       .arg(clip.framesPerSecond);
    // Brown noise sounds like a road, where a tone would grate for minutes.
    if (clip.sound)
        arguments << words("-f lavfi -i anoisesrc=color=brown:amplitude=0.05:sample_rate=48000");
    arguments << QStringLiteral("-t") << QString::number(clip.seconds);
    if (drawClock)
        arguments << QStringLiteral("-vf") << clockFilter(clip);
    // ffmpeg's own H.265 tags are "hev1" in MP4, which readers do not name the codec by, and
    // one in AVI that GStreamer does not know.
    if (clip.codec == ClipVideo::H264)
        arguments << words("-c:v libx264");
    else
        arguments << words("-c:v libx265 -x265-params log-level=error -tag:v")
                  << (clip.avi ? QStringLiteral("H265") : QStringLiteral("hvc1"));
    // A key frame a second, so that seeking lands close to where it was asked to.
    arguments << words("-preset ultrafast -pix_fmt yuv420p -g")
              << QString::number(clip.framesPerSecond);
    if (clip.sound)
        arguments << QStringLiteral("-c:a")
                  << (clip.avi ? QStringLiteral("pcm_s16le") : QStringLiteral("aac"));
    if (!clip.avi && clip.start.isValid()) {
        // Track headers hold the local wall-clock time, which readers add to 1904-01-01 as
        // local time; written as UTC, ffmpeg stores exactly that.
        const QDateTime wallClock(clip.start.date(), clip.start.time(), Qt::UTC);
        arguments << QStringLiteral("-metadata")
                  << QStringLiteral("creation_time=%1").arg(wallClock.toString(Qt::ISODate));
    }
    return arguments;
}

void FfmpegRun::start(const ClipVideo &clip, bool drawClock, const QString &path)
{
    start(clipArguments(clip, drawClock)
          << QStringLiteral("-f") << (clip.avi ? QStringLiteral("avi") : QStringLiteral("mp4"))
          << path);
}

void FfmpegRun::start(const QStringList &arguments)
{
    mProcess.setProcessChannelMode(QProcess::MergedChannels);
    mProcess.start(QStringLiteral("ffmpeg"), arguments);
}

QString FfmpegRun::finish()
{
    if (!mProcess.waitForStarted(-1) && failedToStart())
        return QStringLiteral("cannot start ffmpeg (%1); install it, for example with "
                              "\"apt-get install ffmpeg\"")
                .arg(mProcess.errorString());
    if (!mProcess.waitForFinished(FfmpegTimeoutMs)) {
        mProcess.kill();
        mProcess.waitForFinished();
        return QStringLiteral("ffmpeg did not finish in %1 minutes").arg(FfmpegTimeoutMs / 60000);
    }
    const QString output = QString::fromLocal8Bit(mProcess.readAll()).trimmed();
    if (mProcess.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("ffmpeg crashed: %1").arg(output);
    if (mProcess.exitCode() != 0)
        return QStringLiteral("ffmpeg exited with %1: %2").arg(mProcess.exitCode()).arg(output);
    return QString();
}

bool probeFfmpeg(bool *drawsText, QString *error)
{
    ClipVideo probe;
    probe.size = QSize(64, 64);
    probe.framesPerSecond = 1;
    probe.seconds = 1;
    probe.label = QStringLiteral("PROBE");
    probe.start = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    FfmpegRun run;
    run.start(clipArguments(probe, true) << words("-f null -"));
    const QString failure = run.finish();
    *drawsText = failure.isEmpty();
    if (run.failedToStart()) {
        *error = failure;
        return false;
    }
    return true;
}
