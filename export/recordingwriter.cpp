// Picks the writer for a format name.
#include "recordingwriter.h"

#include "csvwriter.h"
#include "gpxwriter.h"
#include "jsonwriter.h"
#include "kmlwriter.h"

QStringList RecordingWriter::formats()
{
    return {QStringLiteral("json"), QStringLiteral("csv"), QStringLiteral("gpx"),
            QStringLiteral("kml")};
}

std::unique_ptr<RecordingWriter> RecordingWriter::create(const QString &format, QIODevice *device)
{
    if (format == QLatin1String("json"))
        return std::make_unique<JsonWriter>(device);
    if (format == QLatin1String("csv"))
        return std::make_unique<CsvWriter>(device);
    if (format == QLatin1String("gpx"))
        return std::make_unique<GpxWriter>(device);
    if (format == QLatin1String("kml"))
        return std::make_unique<KmlWriter>(device);
    return nullptr;
}
