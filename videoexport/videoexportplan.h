// What one video export is made of, read from its recordings before anything is encoded: the
// ffmpeg plan and the overlay drawn over it, so that whatever checks an export builds them alike.
#pragma once

#include "ffmpegcommand.h"
#include "telemetryoverlay.h"
#include "videoexportrequest.h"

#include <QRect>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class TileSource;

class VideoExportPlan
{
public:
    VideoExportPlan();
    ~VideoExportPlan();

    // Reads the request's recordings (their size, rate, sound and samples) and its map file.
    // False with the message for the user in problem when a recording cannot be read or the
    // stretch holds no video; when cancelled, false with an empty message.
    bool read(const VideoExportRequest &request, const std::function<bool()> &cancelled,
              QString *problem);

    // The ffmpeg plan, without its output file until the caller sets one.
    FfmpegPlan &ffmpeg() { return mFfmpeg; }
    const FfmpegPlan &ffmpeg() const { return mFfmpeg; }
    qint64 frames() const;
    // The overlay of the export's frames, frame n drawn at n / framesPerSecond seconds. It uses
    // the plan's map tiles: the plan outlives it, and both stay in the thread that renders.
    std::unique_ptr<TelemetryOverlay> overlay() const;
    // The samples behind the overlay, piece by piece.
    const QVector<OverlayClip> &overlayClips() const { return mOverlayClips; }

private:
    OverlayOptions mOptions;
    CameraClock mClock = CameraClock::systemLocal();
    FfmpegPlan mFfmpeg;
    QVector<OverlayClip> mOverlayClips;
    QRect mKeepClear;
    std::unique_ptr<TileSource> mTiles;
};
