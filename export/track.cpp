// A recording makes one segment as it stands: its samples are one run of the camera.
#include "track.h"

Track Track::fromRecording(const ExtractedRecording &recording)
{
    return {recording.file, {TrackSegment{{recording}}}};
}

int Track::sampleCount() const
{
    int count = 0;
    for (const TrackSegment &segment : segments) {
        for (const ExtractedRecording &part : segment.parts)
            count += part.samples.size();
    }
    return count;
}
