// Folders are listed the viewer's way (RecordingName), so the command indexes what the viewer
// would open.
#include "inputlist.h"

#include "export/recordingname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <dirent.h>

void InputList::add(const QString &path)
{
    if (!QFileInfo(path).isDir()) {
        mPaths.append(path);
        return;
    }
    // A folder without a recording is kept as it stands, to be reported where it was given
    // like any other path that is no recording: an empty or wrong folder is seldom meant.
    QSet<QString> visited;
    const int listed = mPaths.size();
    if (addFolder(path, visited) && mPaths.size() == listed)
        mPaths.append(path);
}

void InputList::addList(const QByteArray &list, bool nulSeparated)
{
    for (QByteArray entry : list.split(nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && entry.endsWith('\r'))
            entry.chop(1);
        if (!entry.isEmpty())
            add(QFile::decodeName(entry));
    }
}

bool InputList::addFolder(const QString &folder, QSet<QString> &visited)
{
    visited.insert(QFileInfo(folder).canonicalFilePath());
    // QDir lists a folder it cannot open as an empty one; the archive would silently miss it.
    DIR *opened = ::opendir(QFile::encodeName(folder).constData());
    if (!opened) {
        mProblems.append(QStringLiteral("cannot list %1: %2").arg(folder, qt_error_string(errno)));
        return false;
    }
    ::closedir(opened);

    QFileInfoList folders;
    const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir()) {
            if (mRecursive)
                folders.append(entry);
        } else if (RecordingName::isRecordingFile(entry.fileName())) {
            mPaths.append(entry.filePath());
        }
    }
    for (const QFileInfo &entry : qAsConst(folders)) {
        if (!visited.contains(entry.canonicalFilePath()))
            addFolder(entry.filePath(), visited);
    }
    return true;
}
