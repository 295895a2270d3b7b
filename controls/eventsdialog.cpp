// The drive's events as a list; a double-click plays one from a little before it.
#include "eventsdialog.h"

#include "config/configuration.h"
#include "drivetexts.h"
#include "drivetimeline.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int RowIdRole = Qt::UserRole;
constexpr int SecondRole = Qt::UserRole + 1;

// The look of the window's playlist and menus.
const char Style[]
        = "QDialog{background-color: rgb(40, 40, 48);}"
          "QLabel{color: rgb(204, 204, 214);}"
          "QTableWidget{background-color: rgb(32, 32, 38); alternate-background-color: rgb(40, "
          "40, 48); color: rgb(220, 220, 220); border: none;"
          " selection-background-color: rgb(38, 153, 238);}"
          "QTableWidget::item{padding: 0px 12px;}"
          "QHeaderView::section{background-color: rgb(22, 22, 22); color: rgb(170, 170, 170);"
          " border: none; padding: 4px;}";

} // namespace

EventsDialog::EventsDialog(QWidget *parent)
    : QDialog(parent)
    , mTable(new QTableWidget(this))
    , mSummary(new QLabel(this))
{
    setStyleSheet(QLatin1String(Style));
    setModal(false);
    resize(560, 360);
    mTable->setColumnCount(4);
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mTable->setAlternatingRowColors(true);
    mTable->setShowGrid(false);
    mTable->verticalHeader()->setVisible(false);
    mTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    mTable->horizontalHeader()->setStretchLastSection(true);
    mTable->horizontalHeader()->setHighlightSections(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mSummary);
    layout->addWidget(mTable);
    connect(mTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { playEvent(row); });
    connect(Configuration::instance(), &Configuration::updateLanguage, this,
            &EventsDialog::onUpdateLanguage);
    onUpdateLanguage();
}

void EventsDialog::setDrive(const PlaylistDrives::Drive &drive)
{
    mDrive = drive;
    fill();
}

void EventsDialog::setSpeedUnit(SpeedUnit::Unit unit)
{
    mUnit = unit;
    fill();
}

void EventsDialog::onUpdateLanguage()
{
    setWindowTitle(tr("Events"));
    mTable->setHorizontalHeaderLabels({tr("Type"), tr("Time"), tr("Speed"), tr("Peak G")});
    fill();
}

void EventsDialog::fill()
{
    // The drive is recomputed whenever telemetry arrives: the event chosen stays chosen.
    const QList<QTableWidgetItem *> chosen = mTable->selectedItems();
    const int chosenRowId = chosen.isEmpty() ? -1 : chosen.first()->data(RowIdRole).toInt();
    const int chosenSecond = chosen.isEmpty() ? -1 : chosen.first()->data(SecondRole).toInt();
    int chosenRow = -1;
    mTable->setRowCount(0);
    int count = 0;
    for (const PlaylistDrives::Clip &clip : mDrive.clips)
        count += clip.events.size();
    mTable->setRowCount(count);
    int row = 0;
    for (const PlaylistDrives::Clip &clip : mDrive.clips) {
        for (const DrivingEvent &event : clip.events) {
            const QString time = DriveTexts::cameraTime(event);
            const int driveSecond = DriveTimeline::driveSecond(mDrive, clip.rowId, event.peak);
            const QStringList texts{DriveTexts::name(event),
                                    time.isEmpty() ? DriveTexts::duration(driveSecond) : time,
                                    SpeedUnit::text(event.speed, mUnit, 1),
                                    DriveTexts::peakG(event)};
            for (int column = 0; column < texts.size(); ++column) {
                auto *item = new QTableWidgetItem(texts.at(column));
                item->setData(RowIdRole, clip.rowId);
                item->setData(SecondRole, event.peak);
                if (column == 0)
                    item->setForeground(DriveTexts::colour(event.type));
                mTable->setItem(row, column, item);
            }
            if (clip.rowId == chosenRowId && event.peak == chosenSecond)
                chosenRow = row;
            ++row;
        }
    }
    if (chosenRow >= 0)
        mTable->selectRow(chosenRow);
    if (mDrive.clips.isEmpty())
        mSummary->setText(tr("No drive is playing."));
    else if (count == 0)
        mSummary->setText(
                tr("No events in this drive: %1").arg(DriveTexts::summary(mDrive.summary, mUnit)));
    else
        mSummary->setText(tr("Drive: %1. Double-click an event to play it.")
                                  .arg(DriveTexts::summary(mDrive.summary, mUnit)));
}

void EventsDialog::playEvent(int row)
{
    const QTableWidgetItem *item = mTable->item(row, 0);
    if (!item)
        return;
    // From a little before, where the moment may lie in the clip before.
    const int at = DriveTimeline::driveSecond(mDrive, item->data(RowIdRole).toInt(),
                                              item->data(SecondRole).toInt());
    int rowId = -1;
    int second = 0;
    if (at >= 0 && DriveTimeline::momentOf(mDrive, std::max(at - LeadSeconds, 0), &rowId, &second))
        emit playRequested(rowId, second);
}
