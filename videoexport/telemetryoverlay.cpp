// The telemetry drawn for one moment of an exported video, as a transparent frame-sized image.
#include "telemetryoverlay.h"

struct TelemetryOverlay::Private
{
    OverlayOptions options;
    QSize frame;
    QRect avoid;
    TileSource *tiles = nullptr;
    QVector<OverlayClip> clips;
};

TelemetryOverlay::TelemetryOverlay(const OverlayOptions &options, const QSize &frame,
                                   const QRect &avoid, TileSource *tiles)
    : d(new Private{options, frame, avoid, tiles, {}})
{ }

TelemetryOverlay::~TelemetryOverlay() = default;

void TelemetryOverlay::setClips(const QVector<OverlayClip> &clips)
{
    d->clips = clips;
}

double TelemetryOverlay::duration() const
{
    double total = 0;
    for (const OverlayClip &clip : d->clips)
        total += clip.to - clip.from;
    return total;
}

void TelemetryOverlay::render(double seconds, QImage *image)
{
    Q_UNUSED(seconds)
    image->fill(Qt::transparent);
}

QVector<QRect> TelemetryOverlay::panelRects() const
{
    return {};
}

QString TelemetryOverlay::speedText(double seconds) const
{
    Q_UNUSED(seconds)
    return QString();
}
