// The camera clock is compared as it reads, without zone: within one drive it is one clock.
#include "driveassembler.h"

#include "cameraclock.h"
#include "drives.h"

#include <QStringList>

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
    // Where the drive's recordings end, the latest of them: a recording continues the drive from
    // there, or inside it where recordings overlap, as the drives list counts it.
    qint64 end = 0;
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
        bool fresh = true; // no readable time of this recording yet
        for (int i = 0; i < recording.samples.size(); ++i) {
            const GpsData &sample = recording.samples.at(i);
            if (i > 0 && sample.index <= recording.samples.at(i - 1).index)
                continue;
            qint64 reading;
            const bool readable = CameraClock::reading(sample, &reading);
            const bool splits = readable && timed
                                && (fresh ? reading > end && !Drives::continues(end, reading)
                                          : !Drives::continues(last + 1, reading));
            if (track.segments.isEmpty() || splits) {
                closePart();
                track.segments.append(TrackSegment());
                end = 0;
            }
            if (readable) {
                timed = true;
                fresh = false;
                last = reading;
                end = std::max(end, reading + 1);
            }
            part.samples.append(sample);
        }
        // The drive runs to the recording's end, though its telemetry may stop before it.
        if (timed && entry.timed) {
            const int seconds = Drives::lengthOf(recording.info.duration, recording.samples.size());
            end = std::max(end, Drives::clipOf(recording.samples, seconds, last).end);
        }
        closePart();
    }
    return track;
}

QVector<Track> join(const QVector<ExtractedRecording> &recordings)
{
    QStringList files;
    for (const ExtractedRecording &recording : recordings)
        files.append(recording.file);
    // Left out before grouping, not only in assemble: a rear camera's clock may be set apart
    // from the front's, and its clips would then bridge drives or make drives of their own.
    const QVector<bool> rears = Drives::rearsOfListedFronts(files);
    QVector<int> kept;
    QVector<DriveClip> clips;
    for (int i = 0; i < recordings.size(); ++i) {
        if (!rears.at(i)) {
            kept.append(i);
            clips.append(Drives::clipOfRecording(recordings.at(i)));
        }
    }

    QVector<Track> tracks;
    for (const QVector<int> &drive : Drives::group(clips)) {
        QVector<DriveRecording> members;
        for (int clip : drive)
            members.append({recordings.at(kept.at(clip)), false});
        tracks.append(assemble(members.first().recording.file, members));
    }
    return tracks;
}

} // namespace DriveAssembler
