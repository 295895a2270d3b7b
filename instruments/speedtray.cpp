// Speedometer gauge: a needle over a km/h or mph dial, with the speed as text.
#include "speedtray.h"
#include "videoexport/dial.h"

#include <QPainter>

#include <algorithm>

SpeedTray::SpeedTray(QWidget *parent)
    : QWidget(parent)
{
    // The images live in a static library, whose unreferenced resource object the linker drops.
    Q_INIT_RESOURCE(velqor_images);
    mDial.load(QStringLiteral(":/image/speed.png"));
    update();
}

void SpeedTray::setSpeed(int speed)
{
    if (speed < 0 || speed > MaxSpeed)
        return;
    mSpeed = speed;
    // The scale spans 270 degrees through the top; integer division, as the dial is marked in
    // whole degrees.
    if (mUnit == SpeedUnit::Mph)
        mAngle = SpeedUnit::convert(speed, mUnit) * 270 / MaxSpeedMph - 135;
    else
        mAngle = speed * 270 / MaxSpeed - 135;
    update();
}

void SpeedTray::setUnit(SpeedUnit::Unit unit)
{
    mUnit = unit;
    mDial.load(unit == SpeedUnit::Mph ? QStringLiteral(":/image/speed_mph.png")
                                      : QStringLiteral(":/image/speed.png"));
    setSpeed(mSpeed);
}

QString SpeedTray::text() const
{
    return SpeedUnit::text(mSpeed, mUnit, 1);
}

QRectF SpeedTray::textRect(const QSize &widgetSize)
{
    const int w = widgetSize.width();
    const int h = widgetSize.height();
    const QRect square = dialSquare(widgetSize);
    // Into the empty box low on the dial face.
    return QRectF(w / 2 - (w / 3) * 0.5, square.height() * 0.76 + square.y(), w / 3, h / 12);
}

int SpeedTray::textPointSize(const QSize &widgetSize)
{
    return dialSquare(widgetSize).height() > 200 ? 12 : 9;
}

void SpeedTray::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(QRectF(dialSquare(size())), mDial, QRectF(mDial.rect()));

    painter.setPen(QPen(QColor(245, 41, 56), 3));
    QFont font(QStringLiteral("Calibri"));
    font.setPointSize(textPointSize(size()));
    painter.setFont(font);
    // Not clipped: in a small gauge a three-digit speed is wider than a third of the widget.
    painter.drawText(textRect(size()), Qt::AlignCenter | Qt::TextDontClip, text());

    painter.translate(width() * 0.5, height() * 0.5);
    painter.rotate(mAngle);
    const qreal s = std::min(width(), height());
    const qreal b = s * 0.02;
    const qreal length = s * 0.3;
    drawNeedleHalf(painter, -b, QPointF(-0.5, -length), QColor(78, 18, 18));
    drawNeedleHalf(painter, b, QPointF(0.5, -length), Qt::darkRed);
    // The hub in the right half's dark red, which the painter still holds.
    const qreal hub = s * 0.04 - 1;
    painter.drawEllipse(QPointF(0, 0), hub, hub);
}
