// Where velqor-extract writes its document: standard output, a file through the export's safe
// file handling, or, when a JSON Lines run is resumed, the end of the earlier run's own output.
#pragma once

#include "export/trackexport.h"

#include <QString>

class DoneList;

class Output
{
public:
    // "-" is standard output.
    explicit Output(const QString &path)
        : mPath(path == QLatin1String("-") ? QString() : path)
    { }

    bool isStandard() const { return mPath.isEmpty(); }
    const QString &path() const { return mPath; }

    // Whether the output is the file at path, also through links, or will be once created, or
    // standard output is open on it.
    bool isFile(const QString &path) const;

    // Appends to the output instead of replacing it, after cutting off the incomplete last line
    // that the run which wrote done's file may have left.
    void resume(const DoneList *done) { mResumed = done; }

    // Opens the output and has write fill it. Standard output is written as it stands; a file
    // as TrackExport::writeDocument writes one, unless resumed.
    TrackExport::Status write(const TrackExport::DocumentWriter &write, QString *error) const;

private:
    TrackExport::Status append(const TrackExport::DocumentWriter &write, QString *error) const;

    QString mPath;
    const DoneList *mResumed = nullptr;
};
