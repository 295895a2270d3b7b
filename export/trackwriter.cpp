// Picks the writer for a format and walks tracks for it. Text collects in a buffer and goes to
// the device after each part: many small device writes cost more than writing an hour's text.
#include "trackwriter.h"

#include "asswriter.h"
#include "csvwriter.h"
#include "geojsonwriter.h"
#include "gpxwriter.h"
#include "jsonwriter.h"
#include "kmlwriter.h"
#include "track.h"

#include <QIODevice>

QStringList TrackWriter::formatNames()
{
    return {QStringLiteral("json"), QStringLiteral("csv"),     QStringLiteral("gpx"),
            QStringLiteral("kml"),  QStringLiteral("geojson"), QStringLiteral("jsonl"),
            QStringLiteral("ass")};
}

bool TrackWriter::formatFromName(const QString &name, Format *format)
{
    const int index = formatNames().indexOf(name);
    if (index < 0)
        return false;
    *format = Format(index);
    return true;
}

std::unique_ptr<TrackWriter> TrackWriter::create(Format format, QIODevice *device,
                                                 const CameraClock &clock, SpeedUnit::Unit unit)
{
    switch (format) {
    case Json:
        return std::make_unique<JsonWriter>(device, clock);
    case Csv:
        return std::make_unique<CsvWriter>(device, clock);
    case Gpx:
        return std::make_unique<GpxWriter>(device, clock);
    case Kml:
        return std::make_unique<KmlWriter>(device, clock);
    case GeoJson:
        return std::make_unique<GeoJsonWriter>(device, clock);
    case JsonLines:
        return std::make_unique<JsonWriter>(device, clock, JsonWriter::Lines);
    case Ass:
        return std::make_unique<AssWriter>(device, clock, unit);
    }
    return nullptr;
}

bool TrackWriter::add(const Track &track, const std::function<bool(int samples)> &partWritten)
{
    beginTrack(track);
    mClock.startRun();
    for (const TrackSegment &segment : track.segments) {
        mClock.resumeAfterPause();
        beginSegment();
        for (const ExtractedRecording &part : segment.parts) {
            addPart(part);
            if (!flush() || (partWritten && !partWritten(part.samples.size())))
                return false;
        }
        endSegment();
    }
    endTrack();
    return flush();
}

bool TrackWriter::finish()
{
    endDocument();
    return flush();
}

bool TrackWriter::flush()
{
    const bool written = mDevice->write(mText) == mText.size();
    mText.clear();
    return written;
}
