// The main window's telemetry displays: map track and position, G chart and values, speed.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "config/configuration.h"
#include "playlist/playlistmodel.h"
#include "system/computeinfo.h"
#include "tracksampling.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <cmath>

namespace {

MapPoint mapPointOf(const GpsData &sample)
{
    return MapPoint{sample.index, sample.longitude, sample.latitude};
}

// A damaged record can hold coordinates that are no numbers; the map would leave them out, and
// tell of each.
bool hasPosition(const GpsData &sample)
{
    return std::isfinite(sample.latitude) && std::isfinite(sample.longitude)
           && (sample.latitude != 0.0 || sample.longitude != 0.0);
}

} // namespace

void MainWindows::showSpeed(int kmh)
{
    mSpeed = kmh;
    ui->pBtn_Speed->setText(SpeedUnit::text(kmh, mSpeedUnit, 3));
    ui->wgt_Speed->setSpeed(kmh);
}

void MainWindows::onSpeedUnitChanged()
{
    mSpeedUnit = SpeedUnit::fromStored(Configuration::instance()->speedUnit());
    ui->wgt_Speed->setUnit(mSpeedUnit);
    showSpeed(mSpeed);
}

void MainWindows::resetTelemetryDisplays()
{
    showSpeed(0);
    showGyroCurrentValue(0, 0, 0);
    ui->gView_GyroChart->clearSeries();
    ui->wgt_MapView->clearAll();
}

bool MainWindows::isSuportH264orH265(int id)
{
    const int codec = mModel->videoCodec(id);
    const QSize size = mModel->resolution(id);
    if (ComputeInfo::instance()->canPlay(codec, size.width(), size.height()))
        return true;
    // The box's own event loop may deliver the same recording's samples again; one box is enough.
    if (mDecoderWarningShown)
        return false;
    mDecoderWarningShown = true;
    const QString text
            = codec == 2 ? tr(
                      "This computer cannot play this video because it does not have the video "
                      "playback support function required to play H.265 (HEVC).")
                         : tr("This computer cannot play this video because it does not have the "
                              "video "
                              "playback support function required to play H.264 (AVC).");
    QMessageBox::warning(nullptr, tr("Error"), text, QMessageBox::Ok);
    mDecoderWarningShown = false;
    return false;
}

void MainWindows::drawTrack(int id, const QList<GpsData> &dataList)
{
    GyroChartView *chart = ui->gView_GyroChart;
    MapWebView *map = ui->wgt_MapView;
    chart->clearSeries();
    map->clearAll();

    const TrackSampling sampling
            = trackSampling(dataList.size(), mModel->duration(id), mModel->frameRate(id));
    chart->setSampleCount(sampling.sampleCount);
    QVector<MapPoint> track;
    track.reserve(sampling.indexes.size());
    for (const int index : sampling.indexes) {
        const GpsData &sample = dataList.at(index);
        chart->appendSample(sample.gsensorX, sample.gsensorY, sample.gsensorZ);
        if (hasPosition(sample))
            track.append(mapPointOf(sample));
    }
    map->addPoints(track);
    if (!track.isEmpty() && track.first().latitude != 0.0 && track.first().longitude != 0.0)
        map->setCurrentPoint(track.first());
}

void MainWindows::showSampleTelemetry(const GpsData &data)
{
    showSpeed(data.speed);
    // A damaged record can leave the heading undefined; the compass keeps its last one then.
    if (std::isfinite(data.heading))
        ui->wgt_Direction->setDirection(int(data.heading));
    showGyroCurrentValue(data.gsensorX, data.gsensorY, data.gsensorZ);
    if (hasPosition(data))
        ui->wgt_MapView->setCurrentPoint(mapPointOf(data));
}

void MainWindows::showGyroCurrentValue(float fX, float fY, float fZ)
{
    const auto text = [](float value) { return QStringLiteral(":%1G").arg(value, 0, 'f', 2); };
    ui->lbl_GyroCurrentValueX->setText(text(fX));
    ui->lbl_GyroCurrentValueY->setText(text(fY));
    ui->lbl_GyroCurrentValueZ->setText(text(fZ));
}

void MainWindows::changeMapWindowSize()
{
    const QMediaPlayer::State state = ui->wgt_PlayCtrl->state();
    if (state == QMediaPlayer::PlayingState || state == QMediaPlayer::PausedState)
        onStop();
    applyMapSize();
    QTimer::singleShot(1000, this, &MainWindows::changeMapStarPlay);
}

void MainWindows::changeMapStarPlay()
{
    if (ui->wgt_PlayCtrl->state() != QMediaPlayer::StoppedState || mClosing)
        return;
    qDebug() << "changemap start play";
    playClicked();
}

void MainWindows::applyMapSize()
{
    static const QSize MapSizes[] = {{800, 600}, {400, 300}, {200, 150}};
    const int size = Configuration::instance()->mapSize();
    if (size < 0 || size > 2)
        return;
    // Without limits of its own the column is exactly as wide as the map; a minimum as large as
    // the screen would instead force the window open past every screen.
    ui->wgt_Right->setMinimumSize(0, 0);
    ui->wgt_Right->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    ui->wgt_MapView->setFixedSize(MapSizes[size]);
    ui->tbl_PlayListView->setMaximumWidth(MapSizes[size].width());
}
