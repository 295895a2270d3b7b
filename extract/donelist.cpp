// A line counts only when it parses whole: a run cut off while writing leaves a partial last
// line, and its recording has to be written again.
#include "donelist.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// An error that reading again would meet again: the path is a folder, a device or no recording
// the parsers open. A missing file may yet be copied in, and a batch that failed or a run that
// was cancelled says nothing of the file itself; so do codes this version does not know.
bool lasts(const QJsonValue &error)
{
    const QString code = error.toObject().value(QLatin1String("code")).toString();
    return code == QLatin1String("directory") || code == QLatin1String("not-regular")
           || code == QLatin1String("unreadable");
}

} // namespace

bool DoneList::read(const QString &path, QString *problem)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    // A pipe would keep the run waiting for a writer; a folder or device holds no earlier run.
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        *problem = info.isFile() ? file.errorString() : QStringLiteral("not a regular file");
        return false;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break;
        mCompleteSize += line.size();
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QJsonValue name = object.value(QLatin1String("file"));
        const auto error = object.constFind(QLatin1String("error"));
        if (name.isString() && (error == object.constEnd() || lasts(*error)))
            mFiles.insert(name.toString());
    }
    if (file.error() != QFileDevice::NoError) {
        *problem = file.errorString();
        return false;
    }
    return true;
}

bool DoneList::cutIncompleteLine(int descriptor, QString *problem) const
{
    struct stat status;
    if (::fstat(descriptor, &status) != 0
        || (status.st_size > mCompleteSize && ::ftruncate(descriptor, mCompleteSize) != 0)
        || ::lseek(descriptor, 0, SEEK_END) < 0) {
        *problem = qt_error_string(errno);
        return false;
    }
    return true;
}
