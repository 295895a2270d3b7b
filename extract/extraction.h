// The recordings of one run of velqor-extract, parsed on several threads at once and written in
// the order given, whatever the number of threads.
#pragma once

#include "export/cameraclock.h"
#include "export/extractedrecording.h"
#include "export/jsonwriter.h"
#include "export/speedunit.h"
#include "export/trackexport.h"
#include "export/trackwriter.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;

class Extraction
{
public:
    struct Settings
    {
        TrackWriter::Format format = TrackWriter::Json;
        bool summary = false; // a summary per recording instead of its samples
        int jobs = 1; // recordings parsed at once
        CameraClock clock = CameraClock::unzoned();
        SpeedUnit::Unit unit = SpeedUnit::Kmh; // of the formats that write speeds for reading
        // Told, in the order of the files, why each one that could not be read was not.
        std::function<void(const QString &message)> report;
    };

    Extraction(const QStringList &files, const Settings &settings)
        : mFiles(files)
        , mSettings(settings)
    { }

    // Writes the document, one recording after the other as they are parsed, so that memory
    // holds a few recordings however many there are. A file that cannot be read is reported and
    // left out, but in JSON Lines gets an error line of its own; each JSON Lines line reaches
    // the device as soon as it is written.
    TrackExport::Status write(QIODevice *device, const QString &name, QString *error);
    // Every recording that could be read, in the order of the files, for the outputs that need
    // them all at once.
    QVector<ExtractedRecording> readAll();

    // Whether every file so far could be read.
    bool allRead() const { return mAllRead; }

private:
    // One file's outcome, made on a worker thread.
    struct Parsed
    {
        bool loaded = false;
        QString problem;
        ExtractedRecording recording; // when it is to be written here
        QByteArray text; // the record, when it was rendered on the worker
    };

    // Whether the format's records are rendered on the workers, leaving this thread only to
    // write them in order; the others go through one TrackWriter here.
    bool rendersRecords() const;
    JsonWriter::Layout layout() const;
    // Reads a file; with render, leaves only its record's text (or its error line).
    Parsed parse(int index, bool render, const std::function<bool()> &stopping) const;
    // Tells why a file could not be read, and remembers that one could not.
    void reportProblem(int index, const Parsed &parsed);
    // Parses every file, handing each outcome to take in order; false when take ended the run.
    bool run(bool render, const std::function<bool(Parsed &parsed)> &take);
    TrackExport::Status writeRecords(QIODevice *device, const QString &name, QString *error);
    TrackExport::Status writeTracks(QIODevice *device, const QString &name, QString *error);

    const QStringList mFiles;
    const Settings mSettings;
    bool mAllRead = true;
};
