// Recordings joined into drives: the one rule of what continues a drive, and a drive's figures.
#pragma once

#include "parser/gpsdata.h"

#include <QDateTime>
#include <QPointF>
#include <QVector>

struct DriveClip
{
    // Camera-clock seconds (CameraClock::reading) of the first readable sample, or the file's
    // time where the recording has none.
    qint64 start = 0;
    qint64 end = 0; // start + the recording's length in seconds
};

struct DriveSummary
{
    qint64 seconds = 0; // sum of the clips' lengths
    double metres = 0.0; // along the track (consecutive fixes, great-circle)
    double averageKmh = 0.0; // metres over seconds
    int topKmh = 0;
};

namespace Drives {

// A camera that was off longer than this ended one drive; the next reading starts another.
constexpr qint64 GapSeconds = 5 * 60;

// Whether a reading at next continues a drive whose latest reading was at last.
bool continues(qint64 last, qint64 next);

// A recording's clip: from its first readable camera time, counted back to its first second,
// or from fallbackStart (such as its file's time) where no sample has one.
DriveClip clipOf(const QVector<GpsData> &samples, int seconds, qint64 fallbackStart);
// A local time on the scale of the camera clock's readings: cameras count local time as if it
// were UTC. 0 for an invalid time.
qint64 clockSeconds(const QDateTime &localTime);

// Clip indexes grouped into drives, each drive in time order (ties: lower index first), drives
// in order of their first clip. A clip continues a drive from the latest end of its clips, so
// an overlapping clip always does.
QVector<QVector<int>> group(const QVector<DriveClip> &clips);

// The figures of one drive from its clips' samples (padding copies are skipped) and lengths.
DriveSummary summarize(const QVector<QVector<GpsData>> &clipSamples,
                       const QVector<int> &clipSeconds);

// The drive's positions in order (x longitude, y latitude), thinned evenly to at most maxPoints
// (the last position always kept) so that a long drive stays cheap to draw.
QVector<QPointF> track(const QVector<QVector<GpsData>> &clipSamples, int maxPoints);

} // namespace Drives
