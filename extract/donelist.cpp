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
        if (name.isString())
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
