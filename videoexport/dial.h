// Drawing shared by the gauges and the video overlay: where a dial face goes, how a needle half is
// painted.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QSize>

class QPainter;

// The largest square centred in the widget. Halves are truncated to whole pixels, so the needle,
// which pivots on the exact widget centre, may sit up to half a pixel off the face's centre.
QRect dialSquare(const QSize &widgetSize);

// One half of a needle in the painter's rotated frame, pivot at the origin and needle axis on
// the y axis: the quadrilateral (0, 0), (baseX, 0), outerTip, (0, outerTip.y()). Two halves in
// different tones meeting on the axis give the needle its lit and shaded sides.
void drawNeedleHalf(QPainter &painter, qreal baseX, const QPointF &outerTip, const QColor &colour);

// A compass needle in the painter's frame, pivot at the origin, turned so that -y points along
// the heading: the red end ahead, the pale end behind, a grey hub over the pivot.
void drawCompassNeedle(QPainter &painter, qreal length, qreal halfWidth, qreal hubRadius);
