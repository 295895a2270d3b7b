// The recordings a command line names: files as given, folders expanded into their recordings,
// and lists of paths read from a file or standard input.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class InputList
{
public:
    // With recursive, folders are walked into their sub-folders as well.
    explicit InputList(bool recursive)
        : mRecursive(recursive)
    { }

    // A folder adds its recordings in name order (with recursive, then each sub-folder's, depth
    // first); anything else, even a missing file or a folder without recordings, is added as it
    // stands, to be reported when it is read, unless its walk told a problem already.
    void add(const QString &path);
    // Adds each entry of a list as add() does: entries end at a line break (a "\r" before it
    // dropped) or, nulSeparated, at a NUL; empty entries are skipped, nothing else is trimmed.
    void addList(const QByteArray &list, bool nulSeparated);

    const QStringList &paths() const { return mPaths; }
    // Why folders could not be listed, or names in them not read, one message each.
    const QStringList &problems() const { return mProblems; }

private:
    // visited holds the canonical paths of the folders walked for one argument, so a symbolic
    // link back up the tree is not walked round for ever.
    void addFolder(const QString &folder, QSet<QString> &visited);

    bool mRecursive;
    QStringList mPaths;
    QStringList mProblems;
};
