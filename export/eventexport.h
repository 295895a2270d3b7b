// Driving events written as JSON, CSV or GeoJSON points, to a device or safely into a file.
#pragma once

#include "cameraclock.h"
#include "drivingevent.h"
#include "trackexport.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

struct RecordingEvents
{
    QString file;
    QVector<DrivingEvent> events;
};

namespace EventExport {

enum Format { Json, Csv, GeoJson };

// "json", "csv", "geojson", in the order of Format.
QStringList formatNames();
bool formatFromName(const QString &name, Format *format);

// json: an array with an object per recording, {"events": [...], "file": ...}; each event has
// type, severity (null but for impacts), start, peak and end (seconds into the recording),
// peakG, speed (km/h), latitude and longitude (null without a position), utcTime (null when the
// clock tells none) and cameraTime (the camera's own yyyyMMddhhmmss, null when unreadable).
// csv: a header row, then a row per event, the file first; an empty cell for null.
// geojson: a FeatureCollection of Point features (no geometry without a position) whose
// properties are the event's fields and its file.
// A failure's text names the device by name, or by its own file name when name is empty.
TrackExport::Status write(Format format, const QVector<RecordingEvents> &recordings,
                          QIODevice *device, const CameraClock &clock, QString *error,
                          const QString &name = QString());
// The same document through TrackExport's safe file handling (QSaveFile; devices and pipes
// written where they stand).
TrackExport::Status writeFile(Format format, const QVector<RecordingEvents> &recordings,
                              const QString &path, const CameraClock &clock, QString *error);

} // namespace EventExport
