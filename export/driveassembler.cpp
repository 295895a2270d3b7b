// The camera clock is compared as it reads, without zone: within one drive it is one clock.
#include "driveassembler.h"

#include "cameraclock.h"
#include "drives.h"

#include <algorithm>

namespace DriveAssembler {

namespace {

struct Ordered
{
    const ExtractedRecording *recording;
    bool timed; // some sample has a readable time
    qint64 start; // the first readable time
};

Ordered ordered(const ExtractedRecording &recording)
{
    for (const GpsData &sample : recording.samples) {
        qint64 reading;
        if (CameraClock::reading(sample, &reading))
            return {&recording, true, reading};
    }
    return {&recording, false, 0};
}

bool before(const Ordered &a, const Ordered &b)
{
    if (a.timed != b.timed)
        return a.timed;
    if (a.start != b.start)
        return a.start < b.start;
    return a.recording->file < b.recording->file;
}

} // namespace

Track assemble(const QString &name, const QVector<DriveRecording> &recordings)
{
    QVector<Ordered> order;
    for (const DriveRecording &entry : recordings) {
        if (!entry.rearOfListedFront)
            order.append(ordered(entry.recording));
    }
    std::stable_sort(order.begin(), order.end(), before);

    Track track{name, {}};
    bool timed = false; // a sample so far had a readable time
    qint64 last = 0; // the latest readable time: its second, and so the drive, ends at last + 1
    for (const Ordered &entry : qAsConst(order)) {
        const ExtractedRecording &recording = *entry.recording;
        ExtractedRecording part;
        part.file = recording.file;
        part.info = recording.info;
        part.source = recording.source;
        const auto closePart = [&] {
            if (!part.samples.isEmpty())
                track.segments.last().parts.append(part);
            part.samples = QVector<GpsData>();
        };
        for (int i = 0; i < recording.samples.size(); ++i) {
            const GpsData &sample = recording.samples.at(i);
            if (i > 0 && sample.index <= recording.samples.at(i - 1).index)
                continue;
            qint64 reading;
            const bool readable = CameraClock::reading(sample, &reading);
            if (track.segments.isEmpty()
                || (readable && timed && !Drives::continues(last + 1, reading))) {
                closePart();
                track.segments.append(TrackSegment());
            }
            if (readable) {
                timed = true;
                last = reading;
            }
            part.samples.append(sample);
        }
        closePart();
    }
    return track;
}

} // namespace DriveAssembler
