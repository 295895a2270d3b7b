// Strip under the seek slider: the whole drive's clips side by side, the position and the events.
#pragma once

#include "export/speedunit.h"
#include "playlist/playlistdrives.h"

#include <QWidget>

class DriveTimeline : public QWidget
{
    Q_OBJECT

public:
    explicit DriveTimeline(QWidget *parent = nullptr);

    // Shows the drive, the clip of currentRowId marked as the one playing from its start.
    void setDrive(const PlaylistDrives::Drive &drive, int currentRowId);
    // Back to an empty strip, as when no recording belongs to a drive.
    void clear();
    void setPosition(int rowId, int second);
    void setSpeedUnit(SpeedUnit::Unit unit);

    const PlaylistDrives::Drive &drive() const { return mDrive; }
    bool hasDrive() const { return length() > 0; }
    // The drive's seconds: its clips' lengths added up.
    int length() const;
    // The clip and second that x (in the widget) stands for; false off the drive.
    bool momentAt(int x, int *rowId, int *second) const;
    // Where the moment is drawn, in the widget; -1 when the row is not in the drive.
    int xOf(int rowId, int second) const;

    // Seconds from the drive's start of a moment of one of its clips; -1 for another row.
    static int driveSecond(const PlaylistDrives::Drive &drive, int rowId, int second);
    // The clip and second at a number of seconds from the drive's start, held to the drive.
    static bool momentOf(const PlaylistDrives::Drive &drive, int driveSecond, int *rowId,
                         int *second);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void seekRequested(int rowId, int second);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRect stripRect() const;
    // The event drawn nearest to x within a few pixels, or null.
    const DrivingEvent *eventNear(int x, int *rowId) const;
    QString toolTipAt(int x) const;

    PlaylistDrives::Drive mDrive;
    int mRowId = -1;
    int mSecond = 0;
    SpeedUnit::Unit mUnit = SpeedUnit::Kmh;
};
