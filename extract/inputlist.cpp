// Folders are listed the viewer's way (RecordingName), so the command indexes what the viewer
// would open.
#include "inputlist.h"

#include "export/recordingname.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

    // Only the names are kept while the folder is read: a camera's folder may hold thousands of
    // recordings, and a QFileInfo each would cost more than the whole run's parsing.
    QStringList recordings;
    QStringList folders;
    const QDir dir(folder);
    QDirIterator entries(dir.path(), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (entries.fileInfo().isDir()) {
            if (mRecursive)
                folders.append(name);
        } else if (RecordingName::isRecordingFile(name)) {
            recordings.append(name);
        }
    }
    // By character code, as QDir::Name sorts.
    std::sort(recordings.begin(), recordings.end());
    std::sort(folders.begin(), folders.end());
    for (const QString &name : qAsConst(recordings))
        mPaths.append(dir.filePath(name));
    for (const QString &name : qAsConst(folders)) {
        const QString path = dir.filePath(name);
        if (!visited.contains(QFileInfo(path).canonicalFilePath()))
            addFolder(path, visited);
    }
    return true;
}
