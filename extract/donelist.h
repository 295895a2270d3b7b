// The recordings that an earlier, possibly interrupted JSON Lines run has already written, so
// that a run can be resumed where it stopped.
#pragma once

#include <QSet>
#include <QString>

class DoneList
{
public:
    // Reads the "file" member of every complete line of the file: ended by a line break and a
    // JSON object, a recording's, or an error's whose code tells that reading again would fail
    // again ("directory", "not-regular", "unreadable"); the other errors are tried again, their
    // new line after the old one. A file that does not exist holds nothing done; false, with
    // the problem, for one that cannot be read or is no regular file.
    bool read(const QString &path, QString *problem);

    bool contains(const QString &file) const { return mFiles.contains(file); }

    // Cuts off what follows the last complete line of the file open at descriptor, the one read,
    // and moves the descriptor to its end, so that the lines a resumed run appends never glue
    // onto a line an interrupted one left unfinished.
    bool cutIncompleteLine(int descriptor, QString *problem) const;

private:
    QSet<QString> mFiles;
    qint64 mCompleteSize = 0; // the bytes up to the end of the last complete line
};
