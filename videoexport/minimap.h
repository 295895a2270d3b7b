// The mini-map of an exported video: a view fixed on the whole stretch's track, with its
// background (offline raster tiles or a plain ground, and the track) drawn once.
#pragma once

#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QVector>

class QPainter;
class TileSource;

class MiniMap
{
public:
    // The closest view: a track that stands still still shows its streets around it.
    static constexpr int MaxZoom = 16;

    // size: the map's pixels; scale: how much thicker than at 720 lines are drawn.
    MiniMap(const QSize &size, qreal scale);

    // Fits the view to bounds (world units, see OverlayTrack::world) and draws the background:
    // raster tiles of tiles where it has them, then the lines. No lines: the plain ground only.
    void build(const QVector<QPolygonF> &lines, const QRectF &bounds, TileSource *tiles);
    const QImage &background() const { return mBackground; }
    int zoom() const { return mZoom; }

    // Where a world position lies on the map, in its pixels.
    QPointF project(const QPointF &world) const;
    // The position's marker, painter in the map's pixels.
    void drawMarker(QPainter &painter, const QPointF &world) const;

private:
    void drawTiles(QPainter &painter, TileSource *tiles) const;

    QSize mSize;
    qreal mScale;
    int mZoom = 0;
    QPointF mCentre{0.5, 0.5};
    double mWorldPixels = 256; // the world's width in pixels at the zoom
    QImage mBackground;
};
