// Compass gauge: a needle turned to the heading over a fixed compass rose with north up.
#include "directiontray.h"
#include "videoexport/dial.h"

#include <QPainter>

#include <algorithm>

DirectionTray::DirectionTray(QWidget *parent)
    : QWidget(parent)
{
    // The images live in a static library, whose unreferenced resource object the linker drops.
    Q_INIT_RESOURCE(velqor_images);
    mDial.load(QStringLiteral(":/image/direction.png"));
}

void DirectionTray::setDirection(int direction)
{
    mDirection = direction;
    update();
}

void DirectionTray::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(dialSquare(size())), mDial, QRectF(mDial.rect()));

    painter.translate(width() * 0.5, height() * 0.5);
    painter.rotate(mDirection);
    const qreal s = std::min(width(), height());
    const qreal b = s * 0.06 * 0.5;
    const qreal length = s * 0.24;
    // The red end points along the heading, the pale end behind.
    drawNeedleHalf(painter, -b, QPointF(0, -length), Qt::darkRed);
    drawNeedleHalf(painter, b, QPointF(0, -length), QColor(78, 18, 18));
    drawNeedleHalf(painter, -b, QPointF(0, length), QColor(240, 240, 240));
    drawNeedleHalf(painter, b, QPointF(0, length), QColor(190, 190, 190));
    const QColor hub(120, 120, 120);
    painter.setPen(hub);
    painter.setBrush(hub);
    painter.drawEllipse(QPointF(0, 0), 4, 4);
}
