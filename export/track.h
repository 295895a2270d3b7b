// What the writers write: named tracks whose segments are stretches of recordings' samples.
#pragma once

#include "extractedrecording.h"

#include <QString>
#include <QVector>

// A stretch of telemetry without a pause, in time order. Each part is a run of samples of one
// recording (with its file information), so the sample formats still tell every sample's file.
struct TrackSegment
{
    QVector<ExtractedRecording> parts;
};

struct Track
{
    // The GPX track's and KML placemark's name, GeoJSON's "file" property.
    QString name;
    QVector<TrackSegment> segments;

    // A recording as a track of one segment, named after its file.
    static Track fromRecording(const ExtractedRecording &recording);
    int sampleCount() const;
};
