// The telemetry drawn for one moment of an exported video, as a transparent frame-sized image.
#pragma once

#include "export/cameraclock.h"
#include "overlayoptions.h"
#include "parser/gpsdata.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QVector>

#include <memory>

class TileSource;

// The samples of one piece of the video: entry s is second s of the recording, and the piece
// runs from `from` to `to` seconds of it.
struct OverlayClip
{
    QVector<GpsData> samples;
    double from = 0;
    double to = 0;
};

class TelemetryOverlay
{
public:
    // avoid: a part of the frame the panels keep clear of (the picture-in-picture view).
    // tiles: an offline map for the mini-map, not owned, may be null; used only from the thread
    // that renders.
    TelemetryOverlay(const OverlayOptions &options, const QSize &frame, const QRect &avoid = {},
                     TileSource *tiles = nullptr);
    ~TelemetryOverlay();

    // How the UTC line reads the camera's clock; this computer's zone until set.
    void setClock(const CameraClock &clock);
    // The pieces in playing order; the overlay's time runs over them end to end.
    void setClips(const QVector<OverlayClip> &clips);
    double duration() const;

    // Paints the overlay for `seconds` from the start into image, which must be of the frame's
    // size and QImage::Format_ARGB32_Premultiplied: the panels opaque, the rest transparent.
    void render(double seconds, QImage *image);
    // Where the shown parts' panels lie in the frame.
    QVector<QRect> panelRects() const;
    // The speed text drawn for that moment (empty when speed is off or there is no sample), so
    // that a frame read back can be checked against it.
    QString speedText(double seconds) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
