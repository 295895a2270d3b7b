// A resumed run must never replace its output: QSaveFile would put a file holding only the new
// lines where the earlier run's lines were.
#include "output.h"

#include "donelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

bool Output::isFile(const QString &path) const
{
    if (isStandard())
        return TrackExport::isRegularFile(STDOUT_FILENO, path);
    // A file that does not exist yet has no inode to compare, only a place.
    return TrackExport::sameFile(mPath, path)
           || QDir::cleanPath(QFileInfo(mPath).absoluteFilePath())
                      == QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

TrackExport::Status Output::write(const TrackExport::DocumentWriter &write, QString *error) const
{
    if (mResumed)
        return append(write, error);
    if (!isStandard())
        return TrackExport::writeDocument(
                mPath, write, [] { return false; }, error);
    QFile standardOutput;
    standardOutput.open(stdout, QIODevice::WriteOnly);
    return write(&standardOutput, QString());
}

TrackExport::Status Output::append(const TrackExport::DocumentWriter &write, QString *error) const
{
    QFile device;
    int descriptor = STDOUT_FILENO;
    if (isStandard()) {
        device.open(stdout, QIODevice::WriteOnly);
    } else {
        descriptor = ::open(QFile::encodeName(mPath).constData(),
                            O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (descriptor < 0
            || !device.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            *error = QStringLiteral("cannot open %1: %2").arg(mPath, qt_error_string(errno));
            if (descriptor >= 0)
                ::close(descriptor);
            return TrackExport::NotCreated;
        }
    }
    const QString name = isStandard() ? QStringLiteral("the output") : mPath;
    QString problem;
    if (!mResumed->cutIncompleteLine(descriptor, &problem)) {
        *error = QStringLiteral("cannot write %1: %2").arg(name, problem);
        return TrackExport::NotWritten;
    }
    return write(&device, name);
}
