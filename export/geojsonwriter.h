// GeoJSON (RFC 7946) output: a FeatureCollection with a LineString feature per track segment,
// whose properties carry the track's file and each point's time, speed and heading.
#pragma once

#include "trackwriter.h"

#include <QVector>

class GeoJsonWriter : public TrackWriter
{
public:
    GeoJsonWriter(QIODevice *device, const CameraClock &clock);

protected:
    void beginTrack(const Track &track) override;
    void addPart(const ExtractedRecording &part) override;
    void endSegment() override;
    void endDocument() override;

private:
    QByteArray mName; // of the track being written
    int mSegment = 0;
    bool mEmpty = true;
    // The positioned samples of the segment being written. The parts stay alive until the
    // track is written, so they are kept by address.
    QVector<const GpsData *> mPoints;
    QVector<QByteArray> mTimes; // of the points, empty where a reading is not valid
};
