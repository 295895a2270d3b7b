// Joins the recordings of a drive into one track, in time order, split where the camera was off.
#pragma once

#include "extractedrecording.h"
#include "track.h"

#include <QString>
#include <QVector>

struct DriveRecording
{
    ExtractedRecording recording;
    // A rear-camera file whose front partner is in the same list: the viewer shows the front
    // partner's telemetry for both, so the rear file's samples would only repeat it.
    bool rearOfListedFront = false;
};

namespace DriveAssembler {

// One track named name: the recordings, less the rear files of listed fronts, in the order of
// their first readable camera time (unreadable ones last, by file name). Samples keep their
// recording's order; a sample whose index does not grow is the parsing thread's padding copy
// of the one before and is left out. A new segment starts where a readable time does not
// continue the drive from the end of the latest reading's second (Drives::continues, the rule
// the playlist's drives follow); samples without one never split a segment.
Track assemble(const QString &name, const QVector<DriveRecording> &recordings);

// The recordings joined into drives, one track each, in the order of their first clips: the
// rear files of listed fronts left out, the rest grouped by Drives::group on their clips
// (Drives::clipOfRecording, so a recording without a readable time goes by its file's time),
// each drive assembled as above and named after its first recording's file as given.
QVector<Track> join(const QVector<ExtractedRecording> &recordings);

} // namespace DriveAssembler
