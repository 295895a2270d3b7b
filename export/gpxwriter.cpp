// Track points carry speed and course in the TrackPointExtension that common GPX readers know.
#include "gpxwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"
#include "track.h"

#include <cmath>

GpxWriter::GpxWriter(QIODevice *device, const CameraClock &clock)
    : TrackWriter(device, clock)
    , mXml(mText)
{
    mXml.startDocument("gpx",
                       {{"xmlns", "http://www.topografix.com/GPX/1/1"},
                        {"xmlns:gpxtpx", "http://www.garmin.com/xmlschemas/TrackPointExtension/v2"},
                        {"version", "1.1"},
                        {"creator", "velqor-extract"}});
}

void GpxWriter::beginTrack(const Track &track)
{
    mXml.startElement("trk");
    mXml.textElement("name", track.name.toUtf8());
}

void GpxWriter::beginSegment()
{
    mXml.startElement("trkseg");
}

void GpxWriter::addPart(const ExtractedRecording &part)
{
    mText.reserve(mText.size() + part.samples.size() * 450); // about 440 bytes a point
    for (const GpsData &sample : part.samples) {
        // The clock follows every reading, points or not, as in the sample formats.
        const QByteArray time = mClock.trackTime(sample);
        if (!FieldFormat::isTrackPoint(sample))
            continue;
        mXml.startElement("trkpt");
        mXml.decimalAttribute("lat", sample.latitude);
        mXml.decimalAttribute("lon", sample.longitude);
        if (!time.isEmpty())
            mXml.textElement("time", time);
        mXml.startElement("extensions");
        mXml.startElement("gpxtpx:TrackPointExtension");
        mXml.decimalElement("gpxtpx:speed", sample.speed / 3.6);
        // The course type stops short of 360 and has no room for a heading that is not a number.
        if (std::isfinite(sample.heading))
            mXml.decimalElement("gpxtpx:course", sample.heading >= 360.0 ? 0.0 : sample.heading);
        mXml.endElement(); // TrackPointExtension
        mXml.endElement(); // extensions
        mXml.endElement(); // trkpt
    }
}

void GpxWriter::endSegment()
{
    mXml.endElement(); // trkseg
}

void GpxWriter::endTrack()
{
    mXml.endElement(); // trk
}

void GpxWriter::endDocument()
{
    mXml.endDocument();
}
