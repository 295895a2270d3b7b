// The drive's events as a list; a double-click plays one from a little before it.
#pragma once

#include "export/speedunit.h"
#include "playlist/playlistdrives.h"

#include <QDialog>

class QLabel;
class QTableWidget;

class EventsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EventsDialog(QWidget *parent = nullptr);

    // Seconds of the drive shown before an event that is played from the list.
    static constexpr int LeadSeconds = 5;

    void setDrive(const PlaylistDrives::Drive &drive);
    void setSpeedUnit(SpeedUnit::Unit unit);
    // Plays the listed event at row (of the list) as a double-click does.
    void playEvent(int row);
    QTableWidget *table() const { return mTable; }

signals:
    void playRequested(int rowId, int second);

private slots:
    void onUpdateLanguage();

private:
    void fill();

    PlaylistDrives::Drive mDrive;
    SpeedUnit::Unit mUnit = SpeedUnit::Kmh;
    QTableWidget *mTable;
    QLabel *mSummary;
};
