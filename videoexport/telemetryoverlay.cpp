// The telemetry drawn for one moment of an exported video. What changes once a second (the texts,
// the compass) is drawn into each panel's cache when the second changes and the map's background
// once, so a frame copies the panels and draws only the G meter's lines and the map's marker: the
// encoder, not the overlay, is to set the export's pace.
#include "telemetryoverlay.h"

#include "dial.h"
#include "export/cameraclock.h"
#include "gsensoraxes.h"
#include "minimap.h"
#include "overlayfont.h"
#include "overlaytrack.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double DesignHeight = 720; // panels are laid out for 720 lines and scaled with the frame
constexpr double Margin = 12;
constexpr double Gap = 8;
constexpr double Padding = 8;
constexpr double RowHeight = 100; // the bottom row: speed, heading, G meter
constexpr double CompassSize = 58;
constexpr double GPlotWidth = 140;
// Each G value's axis colour as a square before it: text in pure red, green or blue on the dark
// panel lives in the colour alone, which the video's half-resolution colour smears (and pure blue
// is hard to read there anyway).
constexpr double GSwatch = 10;
constexpr double MapWidth = 256;
constexpr double MapHeight = 150;
constexpr double GHistory = 5; // seconds of the G meter's trailing lines
constexpr double GRange = 2; // the G meter's scale either side of zero, as the chart starts

const QColor PanelColour(18, 20, 24);
const QColor TextColour(240, 240, 240);
const QColor DimTextColour(165, 172, 184);
const QColor GridColour(78, 82, 92);

enum Part { Time, Speed, Heading, Coordinates, GMeter, Map };

qreal textWidth(const QFont &font, const QString &text)
{
    return QFontMetricsF(font).horizontalAdvance(text);
}

qreal lineHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

// "yyyy-MM-dd hh:mm:ss" of the camera's clock, read as the recording stores it.
QString dateText(const GpsData &sample)
{
    qint64 reading;
    if (!CameraClock::reading(sample, &reading))
        return QStringLiteral("No time");
    const QString digits = QString::fromLatin1(sample.dateTime, 14);
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
            .arg(digits.left(4), digits.mid(4, 2), digits.mid(6, 2), digits.mid(8, 2),
                 digits.mid(10, 2), digits.mid(12, 2));
}

QString coordinateText(const GpsData &sample)
{
    if (!OverlayTrack::hasFix(sample))
        return QStringLiteral("No fix");
    return QStringLiteral("%1 %2°  %3 %4°")
            .arg(QLatin1Char(sample.latitude < 0 ? 'S' : 'N'))
            .arg(std::fabs(sample.latitude), 0, 'f', 5)
            .arg(QLatin1Char(sample.longitude < 0 ? 'W' : 'E'))
            .arg(std::fabs(sample.longitude), 0, 'f', 5);
}

// "NE 045°"; headings outside 0..360 wrap.
QString headingText(double heading)
{
    if (!std::isfinite(heading))
        return QStringLiteral("---");
    static const char *const names[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    double degrees = std::fmod(heading, 360.0);
    if (degrees < 0)
        degrees += 360.0;
    const int rounded = int(std::lround(degrees)) % 360;
    const int point = int(std::floor((degrees + 22.5) / 45.0)) % 8;
    return QStringLiteral("%1 %2°")
            .arg(QLatin1String(names[point]))
            .arg(rounded, 3, 10, QLatin1Char('0'));
}

} // namespace

struct TelemetryOverlay::Private
{
    struct Panel
    {
        Part part;
        QRect rect;
        QImage cache; // the panel as last drawn for its second, or its fixed background
    };

    OverlayOptions options;
    QSize frame;
    QRect avoid;
    TileSource *tiles = nullptr;
    qreal scale = 1;
    QFont timeFont, utcFont, speedFont, unitFont, smallFont, coordinateFont;

    CameraClock clock = CameraClock::systemLocal();
    OverlayTrack track;
    QVector<QVector<QString>> utc; // per piece and sample: "UTC hh:mm:ss", empty where unknown
    QVector<Panel> panels;
    std::unique_ptr<MiniMap> map;
    bool mapBuilt = false;
    // What the panels' caches show and the image last painted, so that unchanged work is skipped
    int cachedPiece = -2;
    int cachedSecond = -2;
    qint64 imageKey = 0;

    qreal px(qreal designPixels) const { return designPixels * scale; }
    void layOut();
    void keepClear(QRect *rect) const;
    void readUtc();
    void paintSecond(const OverlayTrack::Moment &moment);
    void paintGBackground(Panel &panel) const;
    QRectF gPlot(const QRect &rect) const;
    void drawG(QPainter &painter, const QRect &rect, double seconds) const;
};

void TelemetryOverlay::Private::layOut()
{
    timeFont = overlayFont(px(20), true);
    utcFont = overlayFont(px(15));
    speedFont = overlayFont(px(52), true);
    unitFont = overlayFont(px(17));
    smallFont = overlayFont(px(14));
    coordinateFont = overlayFont(px(17));

    const qreal pad = px(Padding);
    QVector<QPair<Part, QRectF>> placed;
    if (options.dateTime || options.utc) {
        qreal width = 0;
        qreal height = 2 * pad;
        if (options.dateTime) {
            width = std::max(width, textWidth(timeFont, QStringLiteral("0000-00-00 00:00:00")));
            height += lineHeight(timeFont);
        }
        if (options.utc) {
            width = std::max(width, textWidth(utcFont, QStringLiteral("UTC 00:00:00")));
            height += lineHeight(utcFont);
        }
        placed << qMakePair(Time, QRectF(px(Margin), px(Margin), width + 2 * pad, height));
    }

    // The bottom row from the left, the coordinates above it, the map in the corner.
    const qreal rowTop = frame.height() - px(Margin) - px(RowHeight);
    qreal x = px(Margin);
    const auto addToRow = [&](Part part, qreal width) {
        placed << qMakePair(part, QRectF(x, rowTop, width, px(RowHeight)));
        x += width + px(Gap);
    };
    if (options.speed) {
        addToRow(Speed, 2 * pad
                                + std::max(textWidth(speedFont, QStringLiteral("888")),
                                           textWidth(unitFont, SpeedUnit::symbol(options.unit))));
    }
    if (options.heading) {
        addToRow(Heading, 2 * pad
                                  + std::max(px(CompassSize),
                                             textWidth(smallFont, QStringLiteral("NW 000°"))));
    }
    if (options.gMeter) {
        addToRow(GMeter, 4 * pad + px(GPlotWidth) + px(GSwatch)
                                 + textWidth(smallFont, QStringLiteral("X +00.00")));
    }
    if (options.coordinates) {
        const qreal height = 2 * pad + lineHeight(coordinateFont);
        const qreal bottom = x > px(Margin) ? rowTop - px(Gap) : frame.height() - px(Margin);
        const qreal width
                = 2 * pad + textWidth(coordinateFont, QStringLiteral("N 00.00000°  W 000.00000°"));
        placed << qMakePair(Coordinates, QRectF(px(Margin), bottom - height, width, height));
    }
    if (options.miniMap) {
        placed << qMakePair(Map, QRectF(frame.width() - px(Margin) - px(MapWidth),
                                        frame.height() - px(Margin) - px(MapHeight), px(MapWidth),
                                        px(MapHeight)));
    }

    const QRect whole(QPoint(0, 0), frame);
    for (const auto &entry : placed) {
        QRect rect(qRound(entry.second.x()), qRound(entry.second.y()), qRound(entry.second.width()),
                   qRound(entry.second.height()));
        keepClear(&rect);
        rect &= whole;
        if (rect.isEmpty())
            continue;
        Panel panel{entry.first, rect, QImage(rect.size(), QImage::Format_ARGB32_Premultiplied)};
        panel.cache.fill(PanelColour);
        if (panel.part == GMeter)
            paintGBackground(panel);
        if (panel.part == Map)
            map = std::make_unique<MiniMap>(rect.size(), scale);
        panels << panel;
    }
}

// A panel over the picture-in-picture view moves below it, else above it, else to its left.
void TelemetryOverlay::Private::keepClear(QRect *rect) const
{
    if (!rect->intersects(avoid))
        return;
    const int gap = qRound(px(Gap));
    const QPoint places[] = {{rect->x(), avoid.bottom() + 1 + gap},
                             {rect->x(), avoid.top() - gap - rect->height()},
                             {avoid.left() - gap - rect->width(), rect->y()}};
    const QRect whole(QPoint(0, 0), frame);
    for (const QPoint &place : places) {
        const QRect moved(place, rect->size());
        if (whole.contains(moved) && !moved.intersects(avoid)) {
            *rect = moved;
            return;
        }
    }
}

QRectF TelemetryOverlay::Private::gPlot(const QRect &rect) const
{
    const qreal pad = px(Padding);
    return QRectF(pad, pad, px(GPlotWidth), rect.height() - 2 * pad);
}

void TelemetryOverlay::Private::paintGBackground(Panel &panel) const
{
    QPainter painter(&panel.cache);
    const QRectF plot = gPlot(panel.rect);
    painter.setPen(QPen(GridColour, std::max(1.0, px(1))));
    painter.drawRect(plot);
    painter.drawLine(QPointF(plot.left(), plot.center().y()),
                     QPointF(plot.right(), plot.center().y()));
    painter.setFont(smallFont);
    painter.setPen(DimTextColour);
    painter.drawText(plot.adjusted(px(3), 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("%1G").arg(GRange));
}

void TelemetryOverlay::Private::paintSecond(const OverlayTrack::Moment &moment)
{
    const GpsData *sample = track.sample(moment);
    const qreal pad = px(Padding);
    for (Panel &panel : panels) {
        if (panel.part == GMeter || panel.part == Map)
            continue;
        panel.cache.fill(PanelColour);
        QPainter painter(&panel.cache);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF inner = QRectF(panel.cache.rect()).adjusted(pad, pad, -pad, -pad);
        switch (panel.part) {
        case Time: {
            qreal y = inner.top();
            if (options.dateTime) {
                painter.setFont(timeFont);
                painter.setPen(TextColour);
                painter.drawText(QRectF(inner.left(), y, inner.width(), lineHeight(timeFont)),
                                 Qt::AlignLeft | Qt::AlignVCenter,
                                 sample ? dateText(*sample) : QStringLiteral("No time"));
                y += lineHeight(timeFont);
            }
            const QString utcText = sample ? utc.at(moment.piece).value(moment.second) : QString();
            if (options.utc && !utcText.isEmpty()) {
                painter.setFont(utcFont);
                painter.setPen(DimTextColour);
                painter.drawText(QRectF(inner.left(), y, inner.width(), lineHeight(utcFont)),
                                 Qt::AlignLeft | Qt::AlignVCenter, utcText);
            }
            break;
        }
        case Speed: {
            const qreal unitHeight = lineHeight(unitFont);
            painter.setFont(speedFont);
            painter.setPen(TextColour);
            painter.drawText(
                    inner.adjusted(0, 0, 0, -unitHeight), Qt::AlignCenter,
                    sample ? QString::number(SpeedUnit::convert(sample->speed, options.unit))
                           : QStringLiteral("--"));
            painter.setFont(unitFont);
            painter.setPen(DimTextColour);
            painter.drawText(
                    QRectF(inner.left(), inner.bottom() - unitHeight, inner.width(), unitHeight),
                    Qt::AlignCenter, SpeedUnit::symbol(options.unit));
            break;
        }
        case Heading: {
            const qreal textHeight = lineHeight(smallFont);
            const qreal radius = std::min(px(CompassSize), inner.height() - textHeight) / 2;
            const QPointF centre(inner.center().x(), inner.top() + radius);
            painter.setPen(QPen(GridColour, px(1.5)));
            painter.setBrush(QColor(34, 37, 44));
            painter.drawEllipse(centre, radius, radius);
            // North is up: a tick at the top of the ring.
            painter.setPen(QPen(DimTextColour, px(2)));
            painter.drawLine(centre - QPointF(0, radius), centre - QPointF(0, radius * 0.78));
            const double heading = sample ? sample->heading : 0.0;
            painter.save();
            painter.translate(centre);
            painter.rotate(std::isfinite(heading) ? heading : 0.0);
            drawCompassNeedle(painter, radius * 0.8, radius * 0.14, px(2.5));
            painter.restore();
            painter.setFont(smallFont);
            painter.setPen(TextColour);
            painter.drawText(
                    QRectF(inner.left(), inner.bottom() - textHeight, inner.width(), textHeight),
                    Qt::AlignCenter, sample ? headingText(sample->heading) : QStringLiteral("---"));
            break;
        }
        case Coordinates:
            painter.setFont(coordinateFont);
            painter.setPen(TextColour);
            painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                             sample ? coordinateText(*sample) : QStringLiteral("No fix"));
            break;
        case GMeter:
        case Map:
            break;
        }
    }
    cachedPiece = moment.piece;
    cachedSecond = moment.second;
}

void TelemetryOverlay::Private::drawG(QPainter &painter, const QRect &rect, double seconds) const
{
    const QRectF plot = gPlot(rect).translated(rect.topLeft());
    const auto toPlot = [&](const QPointF &point) {
        const double value = std::clamp(point.y(), -GRange, GRange);
        return QPointF(plot.right() - (seconds - point.x()) / GHistory * plot.width(),
                       plot.center().y() - value / GRange * plot.height() / 2);
    };
    const auto lines = track.gLines(seconds - GHistory, seconds);
    std::array<double, 3> now;
    const bool hasNow = track.gForce(seconds, &now);
    painter.save();
    painter.setClipRect(plot);
    for (int axis = 0; axis < GSensorAxes::Count; ++axis) {
        painter.setPen(QPen(GSensorAxes::Colours[axis], px(2), Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
        for (const QPolygonF &line : lines[axis]) {
            QPolygonF points;
            points.reserve(line.size());
            for (const QPointF &point : line)
                points << toPlot(point);
            painter.drawPolyline(points);
        }
    }
    painter.restore();

    const qreal pad = px(Padding);
    const qreal rowHeight = (rect.height() - 2 * pad) / GSensorAxes::Count;
    painter.setFont(smallFont);
    for (int axis = 0; axis < GSensorAxes::Count; ++axis) {
        const QRectF row(plot.right() + pad, rect.top() + pad + axis * rowHeight,
                         rect.right() + 1 - pad - plot.right() - pad, rowHeight);
        const qreal swatch = px(GSwatch);
        painter.fillRect(QRectF(row.left(), row.center().y() - swatch / 2, swatch, swatch),
                         GSensorAxes::Colours[axis]);
        painter.setPen(TextColour);
        const QString value = hasNow ? QString::asprintf("%+.2f", now[axis]) : QStringLiteral("--");
        painter.drawText(row.adjusted(swatch + pad, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QLatin1String(GSensorAxes::Names[axis]) + QLatin1Char(' ') + value);
    }
}

TelemetryOverlay::TelemetryOverlay(const OverlayOptions &options, const QSize &frame,
                                   const QRect &avoid, TileSource *tiles)
    : d(new Private)
{
    d->options = options;
    d->frame = frame;
    d->avoid = avoid;
    d->tiles = tiles;
    d->scale = frame.height() / DesignHeight;
    d->layOut();
}

TelemetryOverlay::~TelemetryOverlay() = default;

void TelemetryOverlay::Private::readUtc()
{
    // The clock follows the readings as one run through the pieces, which follow each other.
    CameraClock run = clock;
    run.startRun();
    utc.clear();
    for (const OverlayClip &clip : track.clips()) {
        QVector<QString> texts;
        texts.reserve(clip.samples.size());
        for (const GpsData &sample : clip.samples) {
            const QByteArray time = options.utc ? run.utcTime(sample) : QByteArray();
            texts << (time.size() >= 19
                              ? QStringLiteral("UTC ") + QString::fromLatin1(time.mid(11, 8))
                              : QString());
        }
        utc << texts;
    }
    cachedPiece = cachedSecond = -2;
}

void TelemetryOverlay::setClock(const CameraClock &clock)
{
    d->clock = clock;
    d->readUtc();
}

void TelemetryOverlay::setClips(const QVector<OverlayClip> &clips)
{
    d->track.setClips(clips);
    d->readUtc();
    d->mapBuilt = false;
}

double TelemetryOverlay::duration() const
{
    return d->track.duration();
}

void TelemetryOverlay::render(double seconds, QImage *image)
{
    if (image->size() != d->frame || image->format() != QImage::Format_ARGB32_Premultiplied) {
        *image = QImage(d->frame, QImage::Format_ARGB32_Premultiplied);
        d->imageKey = 0;
    }
    // Outside the panels the image stays as this left it, unless someone else painted on it.
    if (image->cacheKey() != d->imageKey)
        image->fill(Qt::transparent);

    const OverlayTrack::Moment moment = d->track.moment(seconds);
    if (moment.piece != d->cachedPiece || moment.second != d->cachedSecond)
        d->paintSecond(moment);
    if (d->map && !d->mapBuilt) {
        d->map->build(d->track.lines(), d->track.bounds(), d->tiles);
        d->mapBuilt = true;
    }

    QPainter painter(image);
    for (const Private::Panel &panel : d->panels) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(panel.rect.topLeft(),
                          panel.part == Map ? d->map->background() : panel.cache);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setRenderHint(QPainter::Antialiasing);
        if (panel.part == GMeter) {
            d->drawG(painter, panel.rect, seconds);
        } else if (panel.part == Map) {
            QPointF world;
            if (d->track.position(seconds, &world)) {
                painter.save();
                painter.setClipRect(panel.rect);
                painter.translate(panel.rect.topLeft());
                d->map->drawMarker(painter, world);
                painter.restore();
            }
        }
    }
    painter.end();
    d->imageKey = image->cacheKey();
}

QVector<QRect> TelemetryOverlay::panelRects() const
{
    QVector<QRect> rects;
    for (const Private::Panel &panel : d->panels)
        rects << panel.rect;
    return rects;
}

QString TelemetryOverlay::speedText(double seconds) const
{
    const GpsData *sample = d->track.sample(d->track.moment(seconds));
    if (!d->options.speed || !sample)
        return QString();
    return SpeedUnit::text(sample->speed, d->options.unit, 1);
}
