// A stretch of a drive's timeline cut into the pieces of each recording it covers.
#pragma once

#include <QString>
#include <QVector>

// One piece of the exported video: a span of one front recording and its rear partner.
struct VideoClip
{
    QString front;
    QString rear; // empty when the recording has no rear partner
    double from = 0; // seconds into the recording
    double to = -1; // seconds into the recording; negative: to its end
};

// One recording laid on a drive's timeline, the next one starting where it ends.
struct StretchClip
{
    QString front;
    QString rear;
    double seconds = 0; // its length
};

namespace VideoStretch {

// The pieces of [from, to) of the clips laid end to end (seconds from the first clip's start),
// clamped to the timeline; empty when nothing of it is left.
QVector<VideoClip> cut(const QVector<StretchClip> &clips, double from, double to);

} // namespace VideoStretch
