// Failures are logged as well as returned: the viewer shows the text, the log keeps it.
#include "trackexport.h"

#include "exportlog.h"

#include <QDir>
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

static Status cancelled(QString *error)
{
    return fail(Cancelled, QStringLiteral("the export was cancelled"), error);
}

static qint64 sampleCount(const QVector<Track> &tracks)
{
    qint64 total = 0;
    for (const Track &track : tracks)
        total += track.sampleCount();
    return total;
}

Status write(TrackWriter::Format format, const QVector<Track> &tracks, QIODevice *device,
             const CameraClock &clock, const Progress &progress, QString *error,
             const QString &name)
{
    const qint64 total = sampleCount(tracks);
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
        return TrackExport::cancelled(error);
    return finish(device, ok && writer->finish(), name, error);
}

Status finish(QIODevice *device, bool ok, const QString &name, QString *error)
{
    if (auto *file = qobject_cast<QFileDevice *>(device))
        ok = file->flush() && ok;
    if (!ok)
        return fail(NotWritten,
                    QStringLiteral("cannot write %1: %2")
                            .arg(name.isEmpty() ? deviceName(device) : name, device->errorString()),
                    error);
    return Written;
}

// Long enough for a reader started alongside the export, short enough not to look hung.
constexpr int PipeReaderWaitMs = 2000;

// The first symbolic link under /proc on the way to the file, such as /dev/stdout's target, with
// its folder spelt canonically; none (an empty name) when there is no such link. It names a file
// that a process has open already.
static QFileInfo procLink(const QString &path)
{
    QFileInfo link(path);
    for (int depth = 0; depth < 40 && link.isSymLink(); ++depth) {
        const QString folder = QFileInfo(link.absolutePath()).canonicalFilePath();
        if (folder.startsWith(QLatin1String("/proc/")))
            return QFileInfo(QDir(folder), link.fileName());
        link.setFile(link.symLinkTarget());
    }
    return {};
}

// Writes through a copy of a descriptor of this process (/dev/stdout, /dev/fd/N), sharing its
// position with whoever else writes to it, such as the shell before and after the command.
// Opened anew, a file would be written from a position of its own, and a socket not at all.
static int shareDescriptor(int descriptor, QString *problem)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
        *problem = QStringLiteral("it is open for reading only");
        return -1;
    }
    const int copy = flags < 0 ? -1 : ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        *problem = qt_error_string(errno);
    return copy;
}

// Appends rather than truncates: a device does not care, and a file opened by the shell keeps
// what it holds. Opening a pipe blocks until somebody reads it, so it is tried without blocking
// for a while instead, unless the export is cancelled meanwhile.
static int openInPlace(const QString &path, bool pipe, const std::function<bool()> &cancel,
                       QString *problem)
{
    const QByteArray name = QFile::encodeName(path);
    QElapsedTimer waited;
    waited.start();
    int descriptor;
    int failure = 0;
    while ((descriptor = ::open(name.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC))
           < 0) {
        failure = errno;
        if (failure != ENXIO || !pipe || waited.elapsed() >= PipeReaderWaitMs || cancel())
            break;
        QThread::msleep(20);
    }
    if (descriptor < 0) {
        if (failure != ENXIO || !pipe)
            *problem = qt_error_string(failure);
        else if (waited.elapsed() >= PipeReaderWaitMs)
            *problem = QStringLiteral("nobody reads the pipe");
        return -1;
    }
    // Writing may wait for a slow reader like any other output does.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return descriptor;
}

// A descriptor to write an existing file where it stands; -1 with the problem, or with none
// when the export was cancelled. A disk is never written to: it would lose its file system.
static int openWhereItStands(const QString &path, const struct stat &target,
                             const std::function<bool()> &cancel, QString *problem)
{
    const QFileInfo link = procLink(path);
    bool isNumber = false;
    const int number = link.fileName().toInt(&isNumber);
    if (isNumber && link.absolutePath() == QStringLiteral("/proc/%1/fd").arg(::getpid()))
        return shareDescriptor(number, problem);
    if (S_ISBLK(target.st_mode))
        *problem = QStringLiteral("it is a block device");
    else if (S_ISSOCK(target.st_mode))
        *problem = QStringLiteral("it is a socket");
    else
        return openInPlace(path, S_ISFIFO(target.st_mode), cancel, problem);
    return -1;
}

// Through QSaveFile: the file appears, or replaces the old one, only once it is whole.
static Status writeReplacing(const QString &path, const DocumentWriter &write, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(NotCreated,
                    QStringLiteral("cannot create %1: %2").arg(path, file.errorString()), error);
    const Status status = write(&file, path);
    if (status != Written) {
        file.cancelWriting();
        return status;
    }
    if (!file.commit())
        return fail(NotWritten, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()),
                    error);
    return Written;
}

Status writeDocument(const QString &path, const DocumentWriter &write,
                     const std::function<bool()> &cancel, QString *error)
{
    struct stat target;
    if (::stat(QFile::encodeName(path).constData(), &target) != 0
        || (S_ISREG(target.st_mode) && procLink(path).fileName().isEmpty()))
        return writeReplacing(path, write, error);
    if (S_ISDIR(target.st_mode))
        return fail(NotCreated, QStringLiteral("cannot create %1: it is a folder").arg(path),
                    error);

    QString problem;
    const int descriptor = openWhereItStands(path, target, cancel, &problem);
    if (descriptor < 0 && problem.isEmpty())
        return cancelled(error);
    QFile device;
    if (descriptor >= 0
        && !device.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        problem = device.errorString();
        ::close(descriptor);
    }
    if (!device.isOpen())
        return fail(NotCreated, QStringLiteral("cannot open %1: %2").arg(path, problem), error);
    return write(&device, path);
}

Status writeFile(TrackWriter::Format format, const QVector<Track> &tracks, const QString &path,
                 const CameraClock &clock, const Progress &progress, QString *error)
{
    return writeDocument(
            path,
            [&](QIODevice *device, const QString &name) {
                return write(format, tracks, device, clock, progress, error, name);
            },
            [&] { return progress && !progress(0, sampleCount(tracks)); }, error);
}

static bool sameInode(const struct stat &a, const QString &path)
{
    struct stat b;
    return ::stat(QFile::encodeName(path).constData(), &b) == 0 && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}

// The canonical paths are compared as well because some file systems do not keep inode numbers
// unique.
bool sameFile(const QString &first, const QString &second)
{
    const QString canonical = QFileInfo(first).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == QFileInfo(second).canonicalFilePath())
        return true;
    struct stat a;
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 && sameInode(a, second);
}

bool isRegularFile(int descriptor, const QString &path)
{
    struct stat open;
    return ::fstat(descriptor, &open) == 0 && S_ISREG(open.st_mode) && sameInode(open, path);
}

} // namespace TrackExport
