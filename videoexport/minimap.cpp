// The mini-map's view and background. Tiles are read and decoded once per export, never per
// frame, and only from the file given: there is no network here.
#include "minimap.h"

#include "maptiles/tilesource.h"
#include "overlayfont.h"
#include "videoexportlog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>

namespace {

constexpr int TileSize = 256;
// A file whose levels are far from the view's zoom would need thousands of tiles scaled down;
// beyond this many the ground stays plain.
constexpr int MaxTiles = 64;

const QColor Ground(44, 48, 56);
const QColor TrackCasing(10, 20, 40);
const QColor TrackColour(60, 150, 255);
const QColor MarkerColour(255, 64, 32);

} // namespace

MiniMap::MiniMap(const QSize &size, qreal scale)
    : mSize(size)
    , mScale(scale)
    , mBackground(size, QImage::Format_ARGB32_Premultiplied)
{
    mBackground.fill(Ground);
}

void MiniMap::build(const QVector<QPolygonF> &lines, const QRectF &bounds, TileSource *tiles)
{
    mBackground.fill(Ground);
    if (lines.isEmpty())
        return;
    // The track keeps a margin from the edges, where the marker would be cut.
    const double margin = 12 * mScale;
    const double width = std::max(1.0, mSize.width() - 2 * margin);
    const double height = std::max(1.0, mSize.height() - 2 * margin);
    double zoom = MaxZoom;
    if (bounds.width() > 0)
        zoom = std::min(zoom, std::log2(width / (bounds.width() * TileSize)));
    if (bounds.height() > 0)
        zoom = std::min(zoom, std::log2(height / (bounds.height() * TileSize)));
    mZoom = std::clamp(int(std::floor(zoom)), 0, int(MaxZoom));
    mWorldPixels = std::ldexp(double(TileSize), mZoom);
    mCentre = bounds.center();

    QPainter painter(&mBackground);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const bool raster = tiles && !tiles->info().isVector();
    if (raster)
        drawTiles(painter, tiles);

    QPainterPath path;
    for (const QPolygonF &line : lines) {
        QPolygonF projected;
        projected.reserve(line.size());
        for (const QPointF &point : line)
            projected << project(point);
        path.addPolygon(projected);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(TrackCasing, 5 * mScale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.setPen(QPen(TrackColour, 3 * mScale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);

    // A clip shared with others carries the credit the map's makers ask for.
    const QString attribution = raster ? QTextDocumentFragment::fromHtml(tiles->info().attribution)
                                                 .toPlainText()
                                                 .simplified()
                                       : QString();
    if (!attribution.isEmpty()) {
        const QFont font = overlayFont(std::max(6.0, 9 * mScale));
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        const QString text
                = metrics.elidedText(attribution, Qt::ElideRight, mSize.width() - 4 * mScale);
        const QRectF box(0, mSize.height() - metrics.height(), mSize.width(), metrics.height());
        painter.fillRect(box, QColor(18, 20, 24));
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(box.adjusted(2 * mScale, 0, -2 * mScale, 0),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
}

void MiniMap::drawTiles(QPainter &painter, TileSource *tiles) const
{
    const TileSourceInfo &info = tiles->info();
    const int level = std::clamp(mZoom, std::max(0, info.minZoom),
                                 std::clamp(info.maxZoom, 0, int(TileSource::MaxZoom)));
    const double grid = std::ldexp(1.0, level);
    const QPointF halfView(mSize.width() / 2.0 / mWorldPixels, mSize.height() / 2.0 / mWorldPixels);
    const QPointF topLeft = (mCentre - halfView) * grid;
    const QPointF bottomRight = (mCentre + halfView) * grid;
    const int last = int(grid) - 1;
    const int x0 = std::clamp(int(std::floor(topLeft.x())), 0, last);
    const int x1 = std::clamp(int(std::floor(bottomRight.x())), 0, last);
    const int y0 = std::clamp(int(std::floor(topLeft.y())), 0, last);
    const int y1 = std::clamp(int(std::floor(bottomRight.y())), 0, last);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > MaxTiles)
        return;

    bool undecodable = false;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const QByteArray bytes = tiles->tile(level, x, y);
            if (bytes.isEmpty())
                continue;
            QImage image;
            if (!image.loadFromData(bytes)) {
                undecodable = true;
                continue;
            }
            // Whole-pixel edges shared with the neighbours, so no seam of ground shows between.
            const QPoint corner = project(QPointF(x / grid, y / grid)).toPoint();
            const QPoint farCorner = project(QPointF((x + 1) / grid, (y + 1) / grid)).toPoint();
            painter.drawImage(QRect(corner, farCorner - QPoint(1, 1)), image);
        }
    }
    if (undecodable)
        qCWarning(lcVideoExport) << "Some map tiles could not be decoded; the mini-map shows the "
                                    "plain ground there";
}

QPointF MiniMap::project(const QPointF &world) const
{
    return (world - mCentre) * mWorldPixels + QPointF(mSize.width() / 2.0, mSize.height() / 2.0);
}

void MiniMap::drawMarker(QPainter &painter, const QPointF &world) const
{
    const qreal radius = 6 * mScale;
    painter.setPen(QPen(Qt::white, 2 * mScale));
    painter.setBrush(MarkerColour);
    painter.drawEllipse(project(world), radius, radius);
}
