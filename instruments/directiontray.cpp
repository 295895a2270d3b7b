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
    drawCompassNeedle(painter, s * 0.24, s * 0.06 * 0.5, 4);
}
