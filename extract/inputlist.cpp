// Folders are listed the viewer's way (RecordingName), so the command indexes what the viewer
// would open.
#include "inputlist.h"

#include "export/recordingname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>

void InputList::add(const QString &path)
{
    if (!QFileInfo(path).isDir()) {
        mPaths.append(path);
        return;
    }
    // A folder without a recording is kept as it stands, to be reported where it was given
    // like any other path that is no recording: an empty or wrong folder is seldom meant. One
    // that had a problem of its own told has been reported already.
    QSet<QString> visited;
    const int listed = mPaths.size();
    const int problems = mProblems.size();
    addFolder(path, visited);
    if (mPaths.size() == listed && mProblems.size() == problems)
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

namespace {

// A name that is not valid in the file names' encoding, shown byte for byte: anything beyond
// printable ASCII, and the backslash itself, as \xNN.
QString escapedName(const QByteArray &name)
{
    QString text;
    for (const char byte : name) {
        const auto code = static_cast<unsigned char>(byte);
        if (code >= 0x20 && code < 0x7f && code != '\\')
            text += QLatin1Char(byte);
        else
            text += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
    return text;
}

enum class EntryType { Folder, File, Other };

// Links are followed, as a folder's listing in the viewer follows them; a broken link is no file.
EntryType typeOf(DIR *folder, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return EntryType::Folder;
    case DT_REG:
        return EntryType::File;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryType::Other;
    }
    struct stat status;
    if (::fstatat(::dirfd(folder), entry->d_name, &status, 0) != 0)
        return EntryType::Other;
    if (S_ISDIR(status.st_mode))
        return EntryType::Folder;
    return S_ISREG(status.st_mode) ? EntryType::File : EntryType::Other;
}

} // namespace

void InputList::addFolder(const QString &folder, QSet<QString> &visited)
{
    visited.insert(QFileInfo(folder).canonicalFilePath());
    // QDir lists a folder it cannot open as an empty one, and silently leaves out the names it
    // cannot decode; the archive would miss them without a word.
    DIR *opened = ::opendir(QFile::encodeName(folder).constData());
    if (!opened) {
        mProblems.append(QStringLiteral("cannot list %1: %2").arg(folder, qt_error_string(errno)));
        return;
    }

    // Only the names are kept while the folder is read: a camera's folder may hold thousands of
    // recordings, and a QFileInfo each would cost more than the whole run's parsing.
    QStringList recordings;
    QStringList folders;
    QStringList undecodable; // escaped, told in name order
    const QDir dir(folder);
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(opened);
        if (!entry) {
            // What was read before the failure is still listed.
            if (errno != 0)
                mProblems.append(
                        QStringLiteral("cannot list %1: %2").arg(folder, qt_error_string(errno)));
            break;
        }
        const QByteArray raw(entry->d_name);
        if (raw.startsWith('.')) // hidden, and the folder itself and its parent
            continue;
        const QString name = QFile::decodeName(raw);
        const EntryType type = typeOf(opened, entry);
        QStringList *names = nullptr;
        if (type == EntryType::Folder && mRecursive)
            names = &folders;
        else if (type == EntryType::File && RecordingName::isRecordingFile(name))
            names = &recordings;
        if (!names)
            continue;
        // Spelt back into bytes, the name would open another file or none: told, not dropped.
        if (QFile::encodeName(name) != raw)
            undecodable.append(escapedName(raw));
        else
            names->append(name);
    }
    ::closedir(opened);
    std::sort(undecodable.begin(), undecodable.end());
    for (const QString &name : qAsConst(undecodable))
        mProblems.append(
                QStringLiteral("cannot read %1: the name is not UTF-8").arg(dir.filePath(name)));

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
}
