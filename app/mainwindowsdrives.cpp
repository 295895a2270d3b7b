// The main window's drives: the timeline, the events on the chart, the map and in the list, the
// jumps between them and their export.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "applog.h"
#include "config/configuration.h"
#include "controls/drivetexts.h"
#include "controls/drivetimeline.h"
#include "controls/eventsdialog.h"
#include "export/eventexport.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"

#include <QFileInfo>
#include <QMessageBox>

#include <cmath>
#include <limits>

namespace {

const char CsvType[] = "CSV (*.csv)";
const char GeoJsonType[] = "GeoJSON (*.geojson)";

SpeedUnit::Unit speedUnit()
{
    return SpeedUnit::fromStored(Configuration::instance()->speedUnit());
}

} // namespace

void MainWindows::setUpDrives()
{
    mDrives = new PlaylistDrives(mModel, this);
    connect(mDrives, &PlaylistDrives::drivesChanged, this, &MainWindows::showCurrentDrive);
    DriveTimeline *timeline = ui->wgt_PlayCtrl->driveTimeline();
    connect(timeline, &DriveTimeline::seekRequested, this, &MainWindows::playMoment);
    connect(ui->wgt_PlayCtrl, &ControlPanel::showEvents, this, &MainWindows::showEvents);
    connect(ui->wgt_MapView, &MapWebView::eventClicked, this, [this](int index) {
        int rowId = -1;
        int second = 0;
        // A marker the list no longer has (a page behind the drive) plays nothing.
        const int start = eventStart(index);
        if (start >= 0 && DriveTimeline::momentOf(mDrive, start, &rowId, &second))
            playMoment(rowId, second);
    });
    PlayAreaManager *area = ui->wgt_PlayArea;
    connect(area, &PlayAreaManager::positionChanged, this, &MainWindows::onDrivePosition);
    // A recording started for a moment is sent there once it plays: a player still opening its
    // file would not keep the position.
    connect(area, &PlayAreaManager::stateChanged, this, [this](QMediaPlayer::State state) {
        if (state == QMediaPlayer::PlayingState && mPendingSeek.rowId >= 0
            && mPendingSeek.rowId == currentRowId()) {
            ui->wgt_PlayArea->seek(std::exchange(mPendingSeek, {}).second);
        }
    });
    connect(Configuration::instance(), &Configuration::speedUnitChanged, this,
            &MainWindows::showCurrentDrive);
}

void MainWindows::showCurrentDrive()
{
    const int row = currentRowId();
    const int index = row >= 0 ? mDrives->driveOf(row) : -1;
    mDrive = index >= 0 ? mDrives->drive(index) : PlaylistDrives::Drive();
    mShownRow = row;
    // A jump still on its way counts from where it goes, not from where the player last was.
    const int rowSecond = mPendingSeek.rowId == row ? mPendingSeek.second : mRowSecond;
    mDriveSecond = std::max(DriveTimeline::driveSecond(mDrive, row, rowSecond), 0);

    DriveTimeline *timeline = ui->wgt_PlayCtrl->driveTimeline();
    timeline->setDrive(mDrive, row);
    timeline->setPosition(row, rowSecond);

    const SpeedUnit::Unit unit = speedUnit();
    mEventMoments.clear();
    QVector<MapEvent> markers;
    QVector<int> marks;
    QVector<QColor> colours;
    for (const PlaylistDrives::Clip &clip : qAsConst(mDrive.clips)) {
        for (const DrivingEvent &event : clip.events) {
            mEventMoments.append({clip.rowId, clip.offset + event.peak});
            // Events without a position keep their places, so that a click tells the right one.
            const double nowhere = std::numeric_limits<double>::quiet_NaN();
            markers.append({event.hasPosition ? event.longitude : nowhere,
                            event.hasPosition ? event.latitude : nowhere,
                            DriveTexts::colour(event.type).name(),
                            DriveTexts::describe(event, unit)});
            if (clip.rowId == row) {
                marks.append(event.peak);
                colours.append(DriveTexts::colour(event.type));
            }
        }
    }
    MapWebView *map = ui->wgt_MapView;
    map->setDriveTrack(mDrive.track);
    map->setEvents(markers);
    // The chart is emptied when a recording starts and filled once its samples are in.
    if (mTrackDrawn)
        ui->gView_GyroChart->setEventMarks(marks, colours);
    if (mEventsDialog) {
        mEventsDialog->setSpeedUnit(unit);
        mEventsDialog->setDrive(mDrive);
    }
}

void MainWindows::onDrivePosition(qint64 second, int rowId)
{
    if (rowId != currentRowId())
        return;
    // A jump still on its way counts from where it goes.
    mRowSecond = mPendingSeek.rowId == rowId ? mPendingSeek.second : int(second);
    if (rowId != mShownRow)
        showCurrentDrive();
    mDriveSecond = std::max(DriveTimeline::driveSecond(mDrive, rowId, mRowSecond), 0);
    ui->wgt_PlayCtrl->driveTimeline()->setPosition(rowId, mRowSecond);
    // Should the player have reported playing before it took the position, it reports here.
    if (mPendingSeek.rowId == rowId)
        ui->wgt_PlayArea->seek(std::exchange(mPendingSeek, {}).second);
}

void MainWindows::playMoment(int rowId, int second)
{
    PlaylistItem *item = mModel->item(rowId);
    if (!item || mClosing)
        return;
    const int driveSecond = DriveTimeline::driveSecond(mDrive, rowId, second);
    if (driveSecond >= 0)
        mDriveSecond = driveSecond;
    if (rowId == currentRowId() && mTrackDrawn
        && ui->wgt_PlayCtrl->state() != QMediaPlayer::StoppedState) {
        ui->wgt_PlayArea->seek(second);
        return;
    }
    playRecord(item);
    if (second > 0)
        mPendingSeek = {rowId, second};
}

int MainWindows::eventStart(int index) const
{
    if (index < 0 || index >= mEventMoments.size())
        return -1;
    return std::max(mEventMoments.at(index).driveSecond - EventsDialog::LeadSeconds, 0);
}

void MainWindows::jumpToEvent(bool forward)
{
    // Forward goes to the first event whose lead-in is still ahead, so that the one just jumped
    // to is not taken again; back to the last one whose peak has passed.
    int target = -1;
    for (int i = 0; i < mEventMoments.size(); ++i) {
        if (forward && eventStart(i) > mDriveSecond) {
            target = eventStart(i);
            break;
        }
        if (!forward && mEventMoments.at(i).driveSecond < mDriveSecond)
            target = eventStart(i);
    }
    int rowId = -1;
    int second = 0;
    if (target >= 0 && DriveTimeline::momentOf(mDrive, target, &rowId, &second))
        playMoment(rowId, second);
}

void MainWindows::showEvents()
{
    if (!mEventsDialog) {
        mEventsDialog = new EventsDialog(this);
        connect(mEventsDialog, &EventsDialog::playRequested, this, &MainWindows::playMoment);
        mEventsDialog->setSpeedUnit(speedUnit());
        mEventsDialog->setDrive(mDrive);
    }
    mEventsDialog->show();
    mEventsDialog->raise();
    mEventsDialog->activateWindow();
}

QString MainWindows::drivesNote() const
{
    QStringList lines;
    for (int i = 0; i < mDrives->count(); ++i)
        lines << tr("Drive %1: %2")
                         .arg(i + 1)
                         .arg(DriveTexts::summary(mDrives->drive(i).summary, speedUnit()));
    return lines.join(QLatin1Char('\n'));
}

void MainWindows::exportEvents()
{
    if (mDrive.clips.isEmpty() || mAddingFiles)
        return;
    QVector<RecordingEvents> recordings;
    QStringList files;
    for (const PlaylistDrives::Clip &clip : qAsConst(mDrive.clips)) {
        if (const PlaylistItem *item = mModel->item(clip.rowId)) {
            recordings.append({item->url.toLocalFile(), clip.events});
            files << recordingFiles(item);
        }
    }
    if (recordings.isEmpty())
        return;
    const QString title = tr("Export events");
    const QStringList types{QLatin1String(CsvType), QLatin1String(GeoJsonType)};
    EventExport::Format format = EventExport::Csv;
    const QString path = askSavePath(
            title, types,
            QFileInfo(recordings.first().file).completeBaseName() + QLatin1String("_events"),
            tr("Drive: %1").arg(DriveTexts::summary(mDrive.summary, speedUnit())), files,
            [&format](const QString &chosen, const QString &type) {
                // A typed extension of an events format picks it; otherwise the file type does.
                if (EventExport::formatFromName(QFileInfo(chosen).suffix().toLower(), &format))
                    return chosen;
                format = type == QLatin1String(GeoJsonType) ? EventExport::GeoJson
                                                            : EventExport::Csv;
                return chosen + QLatin1Char('.') + EventExport::formatNames().at(format);
            });
    if (path.isEmpty())
        return;
    QString error;
    const TrackExport::Status status
            = EventExport::writeFile(format, recordings, path, CameraClock::systemLocal(), &error);
    if (status != TrackExport::Written) {
        qCWarning(lcApp) << "events not exported to" << path << error;
        QMessageBox::warning(this, title, tr("The events could not be written.") + "\n\n" + error);
    }
}
