// Failures are logged as well as returned: the viewer shows the text, the log keeps it.
#include "trackexport.h"

#include "exportlog.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TrackExport {

static Status fail(Status status, const QString &message, QString *error)
{
    *error = message;
    if (status != Cancelled)
        qCWarning(lcExport).noquote() << message;
    return status;
}

// A file by its name; anything else, such as standard output, as "the output".
static QString deviceName(QIODevice *device)
{
    const auto *file = qobject_cast<QFileDevice *>(device);
    return file && !file->fileName().isEmpty() ? file->fileName() : QStringLiteral("the output");
}

// The name is the one to report: a file opened through its descriptor has lost its own.
static Status writeNamed(TrackWriter::Format format, const QVector<Track> &tracks,
                         QIODevice *device, const QString &name, const CameraClock &clock,
                         const Progress &progress, QString *error)
{
    qint64 total = 0;
    for (const Track &track : tracks)
        total += track.sampleCount();
    qint64 written = 0;
    bool cancelled = false;
    const auto partWritten = [&](int samples) {
        written += samples;
        cancelled = progress && !progress(written, total);
        return !cancelled;
    };

    const std::unique_ptr<TrackWriter> writer = TrackWriter::create(format, device, clock);
    bool ok = true;
    for (const Track &track : tracks) {
        ok = writer->add(track, partWritten);
        if (!ok)
            break;
    }
    if (cancelled)
        return fail(Cancelled, QStringLiteral("the export was cancelled"), error);
    ok = ok && writer->finish();
    if (auto *file = qobject_cast<QFileDevice *>(device))
        ok = file->flush() && ok;
    if (!ok)
        return fail(NotWritten,
                    QStringLiteral("cannot write %1: %2").arg(name, device->errorString()), error);
    return Written;
}

Status write(TrackWriter::Format format, const QVector<Track> &tracks, QIODevice *device,
             const CameraClock &clock, const Progress &progress, QString *error)
{
    return writeNamed(format, tracks, device, deviceName(device), clock, progress, error);
}

// Long enough for a reader started alongside the export, short enough not to look hung.
constexpr int PipeReaderWaitMs = 2000;

// Links under /proc, such as /dev/stdout, name a file that a process has open already: it is
// written where it stands, so that a shell's ">>" still appends to it.
static bool reachedThroughProc(const QString &path)
{
    QFileInfo link(path);
    for (int depth = 0; depth < 40 && link.isSymLink(); ++depth) {
        if (QFileInfo(link.absolutePath()).canonicalFilePath().startsWith(QLatin1String("/proc/")))
            return true;
        link.setFile(link.symLinkTarget());
    }
    return false;
}

// Appends rather than truncates: a device does not care, and a file opened by the shell keeps
// what it holds. Opening a pipe blocks until somebody reads it, so it is tried without blocking
// for a while instead.
static bool openInPlace(QFile *file, bool pipe, QString *problem)
{
    const QByteArray name = QFile::encodeName(file->fileName());
    QElapsedTimer waited;
    waited.start();
    int descriptor;
    int failure = 0;
    while ((descriptor = ::open(name.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC))
           < 0) {
        failure = errno;
        if (failure != ENXIO || !pipe || waited.elapsed() >= PipeReaderWaitMs)
            break;
        QThread::msleep(20);
    }
    if (descriptor < 0) {
        *problem = failure == ENXIO && pipe ? QStringLiteral("nobody reads the pipe")
                                            : qt_error_string(failure);
        return false;
    }
    // Writing may wait for a slow reader like any other output does.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (!file->open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *problem = file->errorString();
        ::close(descriptor);
        return false;
    }
    return true;
}

Status writeFile(TrackWriter::Format format, const QVector<Track> &tracks, const QString &path,
                 const CameraClock &clock, const Progress &progress, QString *error)
{
    struct stat target;
    if (::stat(QFile::encodeName(path).constData(), &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return fail(NotCreated, QStringLiteral("cannot create %1: it is a folder").arg(path),
                        error);
        if (!S_ISREG(target.st_mode) || reachedThroughProc(path)) {
            QFile device(path);
            QString problem;
            if (!openInPlace(&device, S_ISFIFO(target.st_mode), &problem))
                return fail(NotCreated, QStringLiteral("cannot open %1: %2").arg(path, problem),
                            error);
            return writeNamed(format, tracks, &device, path, clock, progress, error);
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(NotCreated,
                    QStringLiteral("cannot create %1: %2").arg(path, file.errorString()), error);
    const Status status = write(format, tracks, &file, clock, progress, error);
    if (status != Written) {
        file.cancelWriting();
        return status;
    }
    if (!file.commit())
        return fail(NotWritten, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()),
                    error);
    return Written;
}

// The canonical paths are compared as well because some file systems do not keep inode numbers
// unique.
bool sameFile(const QString &first, const QString &second)
{
    const QString canonical = QFileInfo(first).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == QFileInfo(second).canonicalFilePath())
        return true;
    struct stat a;
    struct stat b;
    return ::stat(QFile::encodeName(first).constData(), &a) == 0
           && ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}

} // namespace TrackExport
