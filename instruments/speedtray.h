// Speedometer gauge: a needle over a 0 to 220 km/h (or 0 to 140 mph) dial, with the speed as text.
#pragma once

#include "export/speedunit.h"

#include <QPixmap>
#include <QWidget>

class SpeedTray : public QWidget
{
    Q_OBJECT

public:
    explicit SpeedTray(QWidget *parent = nullptr);

    static constexpr int MaxSpeed = 220;
    // The top of the mph dial, a little above MaxSpeed km/h.
    static constexpr int MaxSpeedMph = 140;

    // Speeds outside 0 to MaxSpeed km/h are ignored and leave the gauge as it was.
    void setSpeed(int speed);
    int speed() const { return mSpeed; }
    // Degrees clockwise from straight up: -135 at 0, +135 at the top of the dial.
    int angle() const { return mAngle; }
    // Shows the speed in the unit, on that unit's dial; speeds are still given in km/h.
    void setUnit(SpeedUnit::Unit unit);
    // The text drawn on the dial.
    QString text() const;

    // Where the speed text is drawn in a widget of the given size, and in which point size.
    static QRectF textRect(const QSize &widgetSize);
    static int textPointSize(const QSize &widgetSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap mDial;
    int mSpeed = 0;
    int mAngle = -135;
    SpeedUnit::Unit mUnit = SpeedUnit::Kmh;
};
