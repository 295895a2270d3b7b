// Recordings joined into drives: the one rule of what continues a drive, and a drive's figures.
#pragma once

#include "parser/gpsdata.h"

#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QVector>

class QFileInfo;
class QStringList;
struct ExtractedRecording;

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
// A fix the car cannot have come to from the one before is the receiver's glitch: it neither
// sets the top speed nor adds distance. A speed reading counts for the top only when it is
// within MaxKmhPerSecond (about 1 g: no car brakes or speeds up harder) per second of the fix
// before or after it in the drive, in its clip or the one next to it, so a lone spike is left
// out; a step between consecutive fixes counts for the distance only when it needs at most
// MaxKmh. The seconds between two fixes are counted along the clips as if each followed the
// other at once, each clip lasting its length or its samples, whichever is more.
constexpr double MaxKmhPerSecond = 36.0;
constexpr double MaxKmh = 300.0;

// Whether a drive whose time ran to last (a clip's end; a reading's second ends at reading + 1)
// goes on with a clip or reading starting at next.
bool continues(qint64 last, qint64 next);

// A recording's clip: from its first readable camera time, counted back to its first second,
// or from fallbackStart (such as its file's time) where no sample has one.
DriveClip clipOf(const QVector<GpsData> &samples, int seconds, qint64 fallbackStart);
// A recording's clip: its length (lengthOf) from its first readable camera time, or else from
// its file's time (fileStart of fileTime; a file that cannot be found has time 0).
DriveClip clipOfRecording(const ExtractedRecording &recording);
// For each file, whether it is a rear camera's file whose front file is among them too, in the
// same folder as the paths spell it: the viewer shows the front's telemetry for both, and its
// camera is mounted otherwise.
QVector<bool> rearsOfListedFronts(const QStringList &files);
// The files less those rearsOfListedFronts finds, in their order: one camera's recordings for
// an output whose timeline lays them end to end.
QStringList withoutListedRears(const QStringList &files);
// The rear camera's file that pairs with a front camera's file as rearsOfListedFronts pairs
// them, looked up in the front's folder (the first by name if several do), spelt as the front's
// path is; empty for a file that is no front file or has no partner there.
QString rearPartner(const QString &front);
// A local time on the scale of the camera clock's readings: cameras count local time as if it
// were UTC. 0 for an invalid time.
qint64 clockSeconds(const QDateTime &localTime);
// The time that places a recording without readable samples, on the camera clock's scale: its
// file's modification time, which the camera sets as it writes and a copy usually keeps (the
// creation and status change times are those of the copy).
qint64 fileTime(const QFileInfo &file);
// Where a recording of the given length starts by its file's time: the camera sets that as it
// finishes writing, so at the recording's end.
qint64 fileStart(qint64 fileTime, int seconds);
// A recording's length in seconds: its header's, or one a sample where the header gives none.
int lengthOf(int headerSeconds, int sampleCount);

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
