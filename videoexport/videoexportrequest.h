// What one video export is to make.
#pragma once

#include "export/cameraclock.h"
#include "overlayoptions.h"
#include "videolayout.h"
#include "videostretch.h"

#include <QString>
#include <QVector>

struct VideoExportRequest
{
    QVector<VideoClip> clips; // in playing order, each following the one before
    VideoLayout::Arrangement arrangement = VideoLayout::SideBySide;
    VideoLayout::Resolution resolution = VideoLayout::SourceSize;
    OverlayOptions overlay;
    // How the camera's clock readings become the overlay's UTC line: the camera may have been set
    // to another zone than the computer that exports.
    CameraClock clock = CameraClock::systemLocal();
    // An offline map file whose raster tiles go under the mini-map; empty, or a file without
    // raster tiles, gives the track on a plain background. Never anything from the network.
    QString mapFile;
    // The file to write. It is made under a temporary name in the same folder and renamed to
    // this only when complete; an existing file there is replaced (the caller has asked).
    QString output;
    // The programs run; tests put stand-ins here.
    QString ffmpeg = QStringLiteral("ffmpeg");
    QString ffprobe = QStringLiteral("ffprobe");
};
