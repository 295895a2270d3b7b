// Compass gauge: a needle turned to the heading over a fixed compass rose with north up.
#pragma once

#include <QPixmap>
#include <QWidget>

class DirectionTray : public QWidget
{
public:
    explicit DirectionTray(QWidget *parent = nullptr);

    // Degrees clockwise from north; any value is taken, the rotation wraps it.
    void setDirection(int direction);
    int direction() const { return mDirection; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap mDial;
    int mDirection = 0;
};
