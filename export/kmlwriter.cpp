// A gx:Track lists all its times first and then all its coordinates, pairing them by position.
#include "kmlwriter.h"

#include "extractedrecording.h"
#include "fieldformat.h"
#include "track.h"

KmlWriter::KmlWriter(QIODevice *device, const CameraClock &clock)
    : TrackWriter(device, clock)
    , mXml(mText)
{
    mXml.startDocument("kml", {{"xmlns", "http://www.opengis.net/kml/2.2"},
                               {"xmlns:gx", "http://www.google.com/kml/ext/2.2"}});
    mXml.startElement("Document");
}

void KmlWriter::beginTrack(const Track &track)
{
    mXml.startElement("Placemark");
    mXml.textElement("name", track.name.toUtf8());
    mMultiTrack = track.segments.size() > 1;
    if (mMultiTrack)
        mXml.startElement("gx:MultiTrack");
}

// The parts stay alive until the track is written, so the samples are kept by address.
void KmlWriter::addPart(const ExtractedRecording &part)
{
    // Every coordinate needs its time, so a point whose stored time does not parse is left out.
    for (const GpsData &sample : part.samples) {
        const QByteArray time = mClock.trackTime(sample); // the clock follows every reading
        if (time.isEmpty() || !FieldFormat::isTrackPoint(sample))
            continue;
        mWhens.append(time);
        mPoints.append(&sample);
    }
}

void KmlWriter::endSegment()
{
    mText.reserve(mText.size() + mPoints.size() * 120); // about 110 bytes a point
    mXml.startElement("gx:Track");
    for (const QByteArray &when : qAsConst(mWhens))
        mXml.textElement("when", when);
    QByteArray coord;
    for (const GpsData *point : qAsConst(mPoints)) {
        coord.clear();
        FieldFormat::appendDecimal(coord, point->longitude);
        coord += ' ';
        FieldFormat::appendDecimal(coord, point->latitude);
        coord += " 0";
        mXml.textElement("gx:coord", coord);
    }
    mXml.endElement(); // gx:Track
    mWhens.clear();
    mPoints.clear();
}

void KmlWriter::endTrack()
{
    if (mMultiTrack)
        mXml.endElement(); // gx:MultiTrack
    mXml.endElement(); // Placemark
}

void KmlWriter::endDocument()
{
    mXml.endDocument();
}
