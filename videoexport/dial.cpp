// Drawing shared by the gauges and the video overlay: where a dial face goes, how a needle half is
// painted.
#include "dial.h"

#include <QPainter>
#include <QPolygonF>

QRect dialSquare(const QSize &widgetSize)
{
    const int w = widgetSize.width();
    const int h = widgetSize.height();
    if (h > w)
        return QRect(0, (h - w) / 2, w, w);
    return QRect((w - h) / 2, 0, h, h);
}

void drawNeedleHalf(QPainter &painter, qreal baseX, const QPointF &outerTip, const QColor &colour)
{
    painter.setPen(colour);
    painter.setBrush(colour);
    painter.drawPolygon(
            QPolygonF({QPointF(0, 0), QPointF(baseX, 0), outerTip, QPointF(0, outerTip.y())}),
            Qt::OddEvenFill);
}

void drawCompassNeedle(QPainter &painter, qreal length, qreal halfWidth, qreal hubRadius)
{
    drawNeedleHalf(painter, -halfWidth, QPointF(0, -length), Qt::darkRed);
    drawNeedleHalf(painter, halfWidth, QPointF(0, -length), QColor(78, 18, 18));
    drawNeedleHalf(painter, -halfWidth, QPointF(0, length), QColor(240, 240, 240));
    drawNeedleHalf(painter, halfWidth, QPointF(0, length), QColor(190, 190, 190));
    const QColor hub(120, 120, 120);
    painter.setPen(hub);
    painter.setBrush(hub);
    painter.drawEllipse(QPointF(0, 0), hubRadius, hubRadius);
}
