// Writing whole exports: tracks in one format to a device or a file, with progress and a way
// to cancel, for the command line and the viewer alike.
#pragma once

#include "cameraclock.h"
#include "track.h"
#include "trackwriter.h"

#include <QString>
#include <QVector>

#include <functional>

class QIODevice;

namespace TrackExport {

enum Status {
    Written,
    NotCreated, // the file could not be opened for writing
    NotWritten, // the device or file refused the text, or the file could not be put in place
    Cancelled,
};

// Told, after each part of a track, how many samples are written and how many there are in
// all; returning false cancels the export.
using Progress = std::function<bool(qint64 written, qint64 total)>;

// Writes the tracks as one document to an open device; a file device is flushed at the end.
// On failure error tells what went wrong, naming the device by name, or by its own file name
// when name is empty (a file opened through its descriptor has lost its own); a cancelled
// export leaves the device half written.
Status write(TrackWriter::Format format, const QVector<Track> &tracks, QIODevice *device,
             const CameraClock &clock, const Progress &progress, QString *error,
             const QString &name = QString());

// Writes the tracks as one document into a file. A regular file, or one that does not exist
// yet, goes through QSaveFile (a symbolic link is written through to its target): it appears,
// or an old one is replaced, only when the whole document is written, so a failed or cancelled
// export leaves nothing of itself behind. Character devices, pipes and files some process
// already has open are written where they stand and never replaced; a descriptor of this process
// (/dev/stdout, /dev/fd/N) is written through a copy, at the position it shares. A folder, a
// block device, a socket, or a pipe that finds no reader within two seconds is NotCreated; the
// wait for a reader is cancelled as the export is.
Status writeFile(TrackWriter::Format format, const QVector<Track> &tracks, const QString &path,
                 const CameraClock &clock, const Progress &progress, QString *error);

// What a document writer is handed: the open device and the name to report it by. It returns
// Written or NotWritten (through finish) or Cancelled.
using DocumentWriter = std::function<Status(QIODevice *device, const QString &name)>;

// Writes a document into a file with the handling writeFile tells, for any format: write puts
// it into the device it is given. cancel is asked while waiting for a pipe's reader.
Status writeDocument(const QString &path, const DocumentWriter &write,
                     const std::function<bool()> &cancel, QString *error);

// Ends a document written to a device: a file device is flushed; when ok is false or the flush
// fails, the result is NotWritten, told with name (the device's own when empty) and its error.
Status finish(QIODevice *device, bool ok, const QString &name, QString *error);

// Whether two paths name one file, also through hard and symbolic links.
bool sameFile(const QString &first, const QString &second);
// Whether a descriptor, such as standard output as the shell opened it, is the regular file at
// path.
bool isRegularFile(int descriptor, const QString &path);

} // namespace TrackExport
