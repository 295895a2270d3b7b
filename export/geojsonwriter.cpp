// A feature per segment rather than a MultiLineString per track keeps the point properties flat
// arrays parallel to the coordinates, which readers take as plain lists.
#include "geojsonwriter.h"

#include "cameraclock.h"
#include "extractedrecording.h"
#include "fieldformat.h"
#include "track.h"

#include <cmath>

namespace {

// Seven decimals are about a centimetre, finer than any receiver, so more would be noise.
void appendCoordinate(QByteArray &out, double degrees)
{
    FieldFormat::appendDecimal(out, std::round(degrees * 1e7) / 1e7);
}

void appendPosition(QByteArray &out, const GpsData &point)
{
    out += '[';
    appendCoordinate(out, point.longitude);
    out += ", ";
    appendCoordinate(out, point.latitude);
    out += ']';
}

} // namespace

GeoJsonWriter::GeoJsonWriter(QIODevice *device, const CameraClock &clock)
    : TrackWriter(device, clock)
{
    mText += "{\n\"type\": \"FeatureCollection\",\n\"features\": [";
}

void GeoJsonWriter::beginTrack(const Track &track)
{
    mName = track.name.toUtf8();
    mSegment = 0;
}

void GeoJsonWriter::addPart(const ExtractedRecording &part)
{
    for (const GpsData &sample : part.samples) {
        const QByteArray time = mClock.trackTime(sample); // the clock follows every reading
        if (FieldFormat::isTrackPoint(sample)) {
            mPoints.append(&sample);
            mTimes.append(time);
        }
    }
}

void GeoJsonWriter::endSegment()
{
    mText.reserve(mText.size() + mName.size() + mPoints.size() * 80); // about 75 bytes a point
    mText += mEmpty ? "\n" : ",\n";
    mEmpty = false;
    mText += "{\"type\": \"Feature\", \"properties\": {\"file\": ";
    FieldFormat::appendJsonString(mText, mName);
    mText += ", \"segment\": " + QByteArray::number(mSegment++) + ", \"times\": [";
    for (int i = 0; i < mTimes.size(); ++i) {
        const QByteArray &time = mTimes.at(i);
        mText += i ? ", " : "";
        if (time.isEmpty())
            mText += "null";
        else
            FieldFormat::appendJsonString(mText, time);
    }
    mText += "], \"speeds\": [";
    for (int i = 0; i < mPoints.size(); ++i) {
        mText += i ? ", " : "";
        FieldFormat::appendNumber(mText, mPoints.at(i)->speed);
    }
    mText += "], \"headings\": [";
    for (int i = 0; i < mPoints.size(); ++i) {
        const double heading = mPoints.at(i)->heading;
        mText += i ? ", " : "";
        if (std::isfinite(heading))
            FieldFormat::appendNumber(mText, heading);
        else
            mText += "null";
    }
    // A line needs two positions; a lone one is a point, and none leaves the geometry null.
    mText += "]}, \"geometry\": ";
    if (mPoints.isEmpty()) {
        mText += "null";
    } else if (mPoints.size() == 1) {
        mText += "{\"type\": \"Point\", \"coordinates\": ";
        appendPosition(mText, *mPoints.first());
        mText += '}';
    } else {
        mText += "{\"type\": \"LineString\", \"coordinates\": [";
        for (int i = 0; i < mPoints.size(); ++i) {
            mText += i ? ", " : "";
            appendPosition(mText, *mPoints.at(i));
        }
        mText += "]}";
    }
    mText += '}';
    mPoints.clear();
    mTimes.clear();
}

void GeoJsonWriter::endDocument()
{
    mText += "\n]\n}\n";
}
