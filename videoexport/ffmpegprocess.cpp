// ffmpeg or ffprobe as the video export runs them: by argument list, every wait bounded, a
// failure told in one message with the program's exit code and the end of what it said.
#include "ffmpegprocess.h"

#include "videoexportlog.h"

namespace {

constexpr int SliceMs = 100;
constexpr int TerminateMs = 2000;
constexpr int KillMs = 5000;
// Enough of the error output for the reason, which ffmpeg gives last.
constexpr int TailBytes = 2048;

} // namespace

FfmpegProcess::FfmpegProcess(const QString &name, const QString &program,
                             const std::function<bool()> &cancelled)
    : mName(name)
    , mProgram(program)
    , mIsCancelled(cancelled)
{ }

FfmpegProcess::~FfmpegProcess()
{
    stop();
}

bool FfmpegProcess::probe(const QString &program, const QStringList &arguments,
                          const std::function<bool()> &cancelled, QString *output, QString *error)
{
    // ffprobe knows no -nostdin; finish closes its input at once, so it can never wait on a
    // terminal.
    FfmpegProcess process(QStringLiteral("ffprobe"), program, cancelled);
    const bool done = process.start(arguments) && process.finish();
    *error = process.error();
    *output = QString::fromUtf8(process.standardOutput()).trimmed();
    return done;
}

bool FfmpegProcess::start(const QStringList &arguments)
{
    mProcess.start(mProgram, arguments);
    if (!mProcess.waitForStarted(KillMs))
        return fail(QStringLiteral("%1 could not be started (%2); install it, for example with "
                                   "\"apt-get install ffmpeg\"")
                            .arg(mName, mProcess.errorString()));
    return true;
}

bool FfmpegProcess::write(const char *data, qint64 size, qint64 queued)
{
    if (!drain(queued))
        return false;
    // Gone with room in the pipe: its exit tells why, where a failed write would not.
    if (mProcess.state() == QProcess::NotRunning)
        return endedEarly();
    if (mProcess.write(data, size) != size)
        return fail(QStringLiteral("%1: %2").arg(mName, mProcess.errorString()));
    return true;
}

bool FfmpegProcess::drain(qint64 queued)
{
    // Asked before every frame too, which the pipe may take without a wait.
    if (stopWhenCancelled())
        return false;
    QElapsedTimer still;
    still.start();
    qint64 waiting = mProcess.bytesToWrite();
    while (waiting > queued) {
        if (!waitSlice([this] { return mProcess.waitForBytesWritten(SliceMs); }))
            return false;
        if (mProcess.bytesToWrite() < waiting) {
            waiting = mProcess.bytesToWrite();
            still.restart();
        } else if (still.hasExpired(mStallMs)) {
            return fail(QStringLiteral("%1 stopped reading").arg(mName));
        }
    }
    return true;
}

bool FfmpegProcess::finish(const std::function<qint64()> &work)
{
    // What is queued goes first: closing the channel would otherwise wait for it unbounded.
    if (!drain(0))
        return false;
    mProcess.closeWriteChannel();
    QElapsedTimer still;
    still.start();
    qint64 done = work ? work() : 0;
    while (mProcess.state() != QProcess::NotRunning) {
        if (!waitSlice([this] { return mProcess.waitForFinished(SliceMs); }))
            break;
        const qint64 now = work ? work() : 0;
        if (now != done) {
            done = now;
            still.restart();
        } else if (still.hasExpired(mStallMs + done / (1 << 20) * mStallMsPerMegabyte)) {
            return fail(QStringLiteral("%1 did not finish").arg(mName));
        }
    }
    if (mCancelled)
        return false;
    keepErrorTail();
    if (mProcess.exitStatus() != QProcess::NormalExit || mProcess.exitCode() != 0)
        return failExited();
    return true;
}

bool FfmpegProcess::waitSlice(const std::function<bool()> &waitOnce)
{
    if (stopWhenCancelled())
        return false;
    // With nothing left to write, finish looks at the exit itself.
    if (mProcess.state() == QProcess::NotRunning)
        return mProcess.bytesToWrite() > 0 ? endedEarly() : false;
    waitOnce();
    keepErrorTail();
    return true;
}

bool FfmpegProcess::endedEarly()
{
    // Its own message says why, when it failed.
    keepErrorTail();
    if (mProcess.exitStatus() != QProcess::NormalExit || mProcess.exitCode() != 0)
        return failExited();
    return fail(QStringLiteral("%1 ended before the video was complete").arg(mName));
}

bool FfmpegProcess::stopWhenCancelled()
{
    if (!mIsCancelled || !mIsCancelled())
        return false;
    mCancelled = true;
    stop();
    return true;
}

void FfmpegProcess::stop()
{
    if (mProcess.state() == QProcess::NotRunning)
        return;
    mProcess.terminate();
    if (!mProcess.waitForFinished(TerminateMs)) {
        mProcess.kill();
        if (!mProcess.waitForFinished(KillMs))
            qCWarning(lcVideoExport) << mName << "did not end after being killed";
    }
}

void FfmpegProcess::keepErrorTail()
{
    mErrorTail += mProcess.readAllStandardError();
    if (mErrorTail.size() > TailBytes)
        mErrorTail = mErrorTail.right(TailBytes);
}

bool FfmpegProcess::failExited()
{
    const QString tail = QString::fromLocal8Bit(mErrorTail).trimmed();
    QString message = mProcess.exitStatus() != QProcess::NormalExit
                              ? QStringLiteral("%1 crashed").arg(mName)
                              : QStringLiteral("%1 exited with code %2")
                                        .arg(mName)
                                        .arg(mProcess.exitCode());
    if (!tail.isEmpty())
        message += QStringLiteral(": ") + tail;
    return fail(message);
}

bool FfmpegProcess::fail(const QString &message)
{
    // The first reason is the one told; what follows from it (a kill, a pipe closed) is not.
    if (mError.isEmpty()) {
        mError = message;
        qCWarning(lcVideoExport).noquote() << message;
    }
    stop();
    return false;
}
