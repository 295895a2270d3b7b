// The ffmpeg argument list of one video export, worked out from what was read of the recordings.
#pragma once

#include "videolayout.h"

#include <QString>
#include <QStringList>
#include <QVector>

// One piece as ffmpeg is to cut it from its recordings.
struct FfmpegPiece
{
    QString front;
    QString rear; // empty: black where the layout shows the rear camera
    double from = 0; // seconds into the recordings
    int frames = 0; // its length in output frames
    QString audioCodec; // of the front recording's first sound stream; empty without sound
};

struct FfmpegPlan
{
    QVector<FfmpegPiece> pieces; // in playing order
    VideoLayout::Geometry geometry;
    int framesPerSecond = 30;
    QString output; // the file ffmpeg writes
};

namespace FfmpegCommand {

enum class Sound {
    None, // no piece has sound: no sound track
    Copy, // one piece whose sound MP4 takes as it is
    Aac, // encoded, with silence for the pieces without sound so that the pieces join
};
Sound sound(const QVector<FfmpegPiece> &pieces);

// A file as ffmpeg and ffprobe are to take it: a name that starts with "-" or holds a colon
// would otherwise be read as an option or a protocol.
QString inputUrl(const QString &file);

// Everything after the program's name. The overlay frames come on standard input as raw BGRA
// of the frame size at the plan's rate, one for every output frame.
QStringList arguments(const FfmpegPlan &plan);

} // namespace FfmpegCommand
