// Track points carry speed and course in the TrackPointExtension that common GPX readers know.
#include "gpxwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"

#include <cmath>

static const QString GpxNamespace = QStringLiteral("http://www.topografix.com/GPX/1/1");
static const QString ExtensionNamespace
        = QStringLiteral("http://www.garmin.com/xmlschemas/TrackPointExtension/v2");

GpxWriter::GpxWriter(QIODevice *device)
    : RecordingWriter(device)
    , mXml(device)
{
    mXml.setAutoFormatting(true);
    mXml.writeStartDocument();
    mXml.writeDefaultNamespace(GpxNamespace);
    mXml.writeNamespace(ExtensionNamespace, QStringLiteral("gpxtpx"));
    mXml.writeStartElement(GpxNamespace, QStringLiteral("gpx"));
    mXml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    mXml.writeAttribute(QStringLiteral("creator"), QStringLiteral("velqor-extract"));
}

void GpxWriter::add(const ExtractedRecording &recording)
{
    mXml.writeStartElement(GpxNamespace, QStringLiteral("trk"));
    mXml.writeTextElement(GpxNamespace, QStringLiteral("name"),
                          FieldFormat::xmlText(recording.file));
    mXml.writeStartElement(GpxNamespace, QStringLiteral("trkseg"));
    for (const GpsData &sample : recording.samples) {
        if (!FieldFormat::isTrackPoint(sample))
            continue;
        mXml.writeStartElement(GpxNamespace, QStringLiteral("trkpt"));
        mXml.writeAttribute(QStringLiteral("lat"), FieldFormat::decimalText(sample.latitude));
        mXml.writeAttribute(QStringLiteral("lon"), FieldFormat::decimalText(sample.longitude));
        const QString time = FieldFormat::sampleTime(sample);
        if (!time.isEmpty())
            mXml.writeTextElement(GpxNamespace, QStringLiteral("time"), time);
        mXml.writeStartElement(GpxNamespace, QStringLiteral("extensions"));
        mXml.writeStartElement(ExtensionNamespace, QStringLiteral("TrackPointExtension"));
        mXml.writeTextElement(ExtensionNamespace, QStringLiteral("speed"),
                              FieldFormat::decimalText(sample.speed / 3.6));
        // The course type stops short of 360 and has no room for a heading that is not a number.
        if (std::isfinite(sample.heading)) {
            const double course = sample.heading >= 360.0 ? 0.0 : sample.heading;
            mXml.writeTextElement(ExtensionNamespace, QStringLiteral("course"),
                                  FieldFormat::decimalText(course));
        }
        mXml.writeEndElement(); // TrackPointExtension
        mXml.writeEndElement(); // extensions
        mXml.writeEndElement(); // trkpt
    }
    mXml.writeEndElement(); // trkseg
    mXml.writeEndElement(); // trk
}

void GpxWriter::finish()
{
    mXml.writeEndDocument();
}
