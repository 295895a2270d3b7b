// Speedometer gauge: a needle over a 0 to 220 km/h dial, with the speed as text.
#pragma once

#include <QPixmap>
#include <QWidget>

class SpeedTray : public QWidget
{
    Q_OBJECT

public:
    explicit SpeedTray(QWidget *parent = nullptr);

    static constexpr int MaxSpeed = 220;

    // Speeds outside 0 to MaxSpeed km/h are ignored and leave the gauge as it was.
    void setSpeed(int speed);
    int speed() const { return mSpeed; }
    // Degrees clockwise from straight up: -135 at 0 km/h, +135 at MaxSpeed.
    int angle() const { return mAngle; }

    // Where the speed text is drawn in a widget of the given size, and in which point size.
    static QRectF textRect(const QSize &widgetSize);
    static int textPointSize(const QSize &widgetSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap mDial;
    int mSpeed = 0;
    int mAngle = -135;
};
