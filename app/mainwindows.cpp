// The main window's road: open recordings, start one once its telemetry is parsed, follow it.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "config/configuration.h"
#include "edgeresizer.h"
#include "export/recordingname.h"
#include "map/webengineurlrequestinterceptor.h"
#include "movefilter.h"
#include "platform.h"
#include "playlist/playlistmodel.h"
#include "setting.h"
#include "system/computeinfo.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QWebEngineProfile>

#include <algorithm>

namespace {

const char HorizontalScrollBarStyle[]
        = "QScrollBar:horizontal{height:8px;background:transparent;background-color:rgb(40, 40, "
          "48);margin:0px,0px,0px,0px;padding-left:0px;padding-right:0px;}QScrollBar::handle:"
          "horizontal{height:8px;background:rgb(160, 160, "
          "160);border-radius:5px;/*min-height:20;*/}QScrollBar::handle:horizontal:hover{height:"
          "8px;background:lightgray;border-radius:5px;/*min-height:20;*/}QScrollBar::add-line:"
          "horizontal{height:0px;width:0px;}QScrollBar::sub-line:horizontal{height:0px;width:0px;}"
          "QScrollBar::add-page:horizontal,QScrollBar::sub-page:horizontal{background:transparent;"
          "border-radius:5px;}";
const char VerticalScrollBarStyle[]
        = "QScrollBar:vertical{width:8px;background:transparent;background-color:rgb(40, 40, "
          "48);margin:0px,0px,0px,0px;padding-top:0px;padding-bottom:0px;}QScrollBar::handle:"
          "vertical{width:8px;background:rgb(160, 160, "
          "160);border-radius:5px;/*min-width:20;*/}QScrollBar::handle:vertical:hover{width:8px;"
          "background:lightgray;border-radius:5px;/*min-width:20;*/}QScrollBar::add-line:vertical{"
          "height:0px;width:0px;}QScrollBar::sub-line:vertical{height:0px;width:0px;}QScrollBar::"
          "add-page:vertical,QScrollBar::sub-page:vertical{background:transparent;border-radius:"
          "5px;}";

constexpr int ParseStagger = 500; // ms between the parse starts of one batch of files
// How long before the end of a clip its next clip is opened: its samples and players need about
// half a second on a loaded machine, and a seek near the end should still find it ready.
constexpr int PrepareLeadSeconds = 5;

QString coordinateText(char ref, double value)
{
    return QLatin1Char(ref) + QString::number(qAbs(value), 'f', 6);
}

} // namespace

// Outside any namespace, where the resource's registration function is declared.
static void initImageResources()
{
    Q_INIT_RESOURCE(velqor_images);
}

WebEngineUrlRequestInterceptor &MainWindows::requestInterceptor()
{
    // Process-wide like the profile it serves, and one for every window; it keeps only a count.
    static WebEngineUrlRequestInterceptor interceptor;
    return interceptor;
}

MainWindows::MainWindows(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MainWindows)
{
    // The form's style sheets name the images, so they must be registered before it is built.
    initImageResources();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/image/velqor.png")));
    setWindowTitle(QCoreApplication::applicationName());
    ui->wgt_Direction->hide();
    ui->wgt_Speed->hide();
    ui->wgt_MapView->setAttribute(Qt::WA_DeleteOnClose);
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&requestInterceptor());

    mMoveFilter = new MoveFilter(this);
    connect(mMoveFilter, &MoveFilter::doubleClicked, this, &MainWindows::on_pBtn_Maximize_clicked);
    mMoveFilter->setDragCallback(
            [this](QObject *, bool finished) { setMovingWindowFlag(finished); });
    if (!Platform::consumesNativeEdgeEvents()) {
        mEdgeResizer = new EdgeResizer(this, [this] { return hitTest(); });
    }

    ui->wgt_Grip->setEnabled(false);
    setSizeGripEnabled(true);
    ui->wgt_PlayCtrl->setFocusPolicy(Qt::StrongFocus);

    mModel = new PlaylistModel(this);
    setUpPlaylistTable();
    connectParts();
    setUpExport();
    setUpDrives();

    Configuration *config = Configuration::instance();
    ControlPanel *panel = ui->wgt_PlayCtrl;
    panel->setState(ui->wgt_PlayArea->state());
    panel->setVolume(config->volume());
    panel->setMuted(config->isMute());
    panel->setLastVolume(config->volume());
    qDebug() << "** vol:" << config->volume() << ", mute:" << config->isMute();

    setSystemFontSize(true);
    restoreWindowGeometry();
    // Only the size: the restart that follows a change of it would, a second from now, start
    // over a recording opened meanwhile whose samples are still on their way.
    applyMapSize();
    onSpeedUnitChanged();
    mTimerId = startTimer(50);
    onStop();
}

MainWindows::~MainWindows()
{
    // Nothing may reach this window's slots while its parts go: a late parse result or timer
    // would otherwise load a row into the play area after it has let go of the rows.
    mClosing = true;
    killTimer(mTimerId);
    stopExport();
    disconnect(mModel, nullptr, this, nullptr);
    disconnect(ui->wgt_PlayArea, nullptr, this, nullptr);
    disconnect(ui->wgt_PlayCtrl, nullptr, this, nullptr);
    disconnect(Configuration::instance(), nullptr, this, nullptr);
    // The play area points at a row of the model; it must let go before the rows go.
    ui->wgt_PlayArea->setMedia(nullptr, QUrl());
    delete mModel;
    delete ui;
}

void MainWindows::setUpPlaylistTable()
{
    QTableView *table = ui->tbl_PlayListView;
    table->setModel(mModel);
    table->setAlternatingRowColors(true);
    table->setFocusPolicy(Qt::NoFocus);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(38);
    table->setShowGrid(false);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStretchLastSection(true);
    // Texts arrive with each parsed recording, many in a burst when a folder opens: the widths
    // are fitted once the burst is over, as measuring a column reads up to a thousand rows.
    auto *columnFit = new QTimer(this);
    columnFit->setSingleShot(true);
    columnFit->setInterval(100);
    connect(columnFit, &QTimer::timeout, this, [this] { fitPlaylistColumns(false); });
    connect(mModel, &QAbstractItemModel::rowsInserted, columnFit, qOverload<>(&QTimer::start));
    connect(mModel, &QAbstractItemModel::dataChanged, columnFit, qOverload<>(&QTimer::start));
    fitPlaylistColumns(true);
    table->horizontalScrollBar()->setStyleSheet(QLatin1String(HorizontalScrollBarStyle));
    table->verticalScrollBar()->setStyleSheet(QLatin1String(VerticalScrollBarStyle));
}

void MainWindows::fitPlaylistColumns(bool anew)
{
    // The least widths suit one platform's fonts only; a length or date cut short helps nobody.
    // Columns only widen as texts arrive, so that a width the user chose stays; a new font
    // fits them anew.
    constexpr int LeastWidths[] = {260, 80, 180, 80};
    QAbstractItemView *view = ui->tbl_PlayListView;
    QHeaderView *header = ui->tbl_PlayListView->horizontalHeader();
    for (int column = 0; column < 4; ++column) {
        const int wanted = std::max({LeastWidths[column], view->sizeHintForColumn(column),
                                     header->sectionSizeHint(column)});
        if (anew || wanted > header->sectionSize(column))
            header->resizeSection(column, wanted);
    }
}

void MainWindows::connectParts()
{
    ControlPanel *panel = ui->wgt_PlayCtrl;
    PlayAreaManager *area = ui->wgt_PlayArea;
    connect(panel, &ControlPanel::pause, area, &PlayAreaManager::pause);
    connect(panel, &ControlPanel::changeVolume, area, &PlayAreaManager::setVolume);
    connect(panel, &ControlPanel::changeMuting, area, &PlayAreaManager::setMuted);
    connect(panel, &ControlPanel::changeRate, area, &PlayAreaManager::setPlaybackRate);
    connect(panel, &ControlPanel::screenshot, area, &PlayAreaManager::screenshot);
    connect(panel, &ControlPanel::sliderMoved, area, &PlayAreaManager::seek);
    connect(panel, &ControlPanel::sliderStatusChanged, area,
            &PlayAreaManager::onSliderStatusChanged);
    connect(panel, &ControlPanel::stop, this, &MainWindows::onStop);
    connect(panel, &ControlPanel::openFile, this, &MainWindows::openFile);
    connect(panel, &ControlPanel::play, this, &MainWindows::playClicked);
    connect(panel, &ControlPanel::previous, this, &MainWindows::previousClicked);
    connect(panel, &ControlPanel::next, this, &MainWindows::nextClicked);
    connect(panel, &ControlPanel::frontView, this, &MainWindows::onFrontView);
    connect(panel, &ControlPanel::rearView, this, &MainWindows::onRearView);
    connect(panel, &ControlPanel::frontRearView, this, &MainWindows::onFrontRearView);
    connect(area, &PlayAreaManager::stateChanged, panel, &ControlPanel::setState);
    connect(area, &PlayAreaManager::volumeChanged, panel, &ControlPanel::setVolume);
    connect(area, &PlayAreaManager::mutedChanged, panel, &ControlPanel::setMuted);
    connect(area, &PlayAreaManager::durationChanged, this, &MainWindows::durationChanged);
    connect(area, &PlayAreaManager::positionChanged, this, &MainWindows::positionChanged);
    connect(area, &PlayAreaManager::keyPressSignals, this, &MainWindows::onKeyPressEvent);
    connect(area, &PlayAreaManager::changeFontSizeAll, this, &MainWindows::setSystemFontSize);
    // Queued, so that the application the files came from is not kept waiting while they are
    // added.
    connect(area, &PlayAreaManager::dropFile, this, &MainWindows::onDropFile, Qt::QueuedConnection);
    connect(area, &PlayAreaManager::showModeChanged, panel, &ControlPanel::onShowModeChanged);
    connect(ui->tbl_PlayListView, &QTableView::doubleClicked, this,
            &MainWindows::onTableDoubleClicked);
    connect(mModel, &PlaylistModel::gpsDataChanged, this, &MainWindows::onGpsDataChanged);
    connect(mModel, &PlaylistModel::allGpsDataParserFinished, this,
            &MainWindows::onAllGpsDataParserFinished);
    Configuration *config = Configuration::instance();
    connect(config, &Configuration::updateLanguage, this, &MainWindows::onUpdateLanguage,
            Qt::DirectConnection);
    connect(config, &Configuration::mapsChanged, ui->wgt_MapView, &MapWebView::setMapType);
    connect(config, &Configuration::mapSizeChanged, this, &MainWindows::changeMapWindowSize);
    connect(config, &Configuration::speedUnitChanged, this, &MainWindows::onSpeedUnitChanged);
}

void MainWindows::onUpdateLanguage()
{
    ui->wgt_MapView->setMapType(MapTypes(Configuration::instance()->mapType()));
    ui->retranslateUi(this);
    // The form's speed placeholder names km/h; in another unit it would contradict the setting.
    if (mSpeedUnit != SpeedUnit::Kmh)
        ui->pBtn_Speed->setText(SpeedUnit::text(0, mSpeedUnit, 3));
    retranslateExport();
    QCoreApplication::setApplicationName(tr("Velqor"));
    QCoreApplication::setOrganizationName(tr("Tamrix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.090311"));
    setWindowTitle(QCoreApplication::applicationName());
    // The form's own text is the normal state's; a maximized window keeps saying "Restore Down".
    updateMaximizeButton();
}

void MainWindows::openFile()
{
    QFileDialog dialog(this, QString(), QString(), QString());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowTitle(tr("Open Files"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(Configuration::instance()->videoFilePath());
    if (dialog.exec() == QDialog::Accepted)
        openUrls(dialog.selectedUrls());
}

void MainWindows::openUrls(const QList<QUrl> &urls)
{
    if (mAddingFiles || mClosing) {
        qDebug() << "still adding files, open ignored";
        return;
    }
    int row = -1;
    QString folder;
    for (const QUrl &url : urls) {
        folder = QDir::cleanPath(url.toLocalFile());
        const QFileInfoList files
                = QDir(folder).entryInfoList(RecordingName::nameFilters(), QDir::Files, QDir::Name);
        row = addFiles(files);
    }
    if (row < 0 || mClosing)
        return;
    // The next dialog opens one level above, where the camera's other folders are.
    Configuration::instance()->setVideoFilePath(QFileInfo(folder).absolutePath());
    ui->tbl_PlayListView->selectRow(row);
    playCurrentTableRow();
}

void MainWindows::onDropFile(QFileInfoList fileInfoList)
{
    if (mAddingFiles || mClosing) {
        qDebug() << "still adding files, drop ignored";
        return;
    }
    const int row = addFiles(fileInfoList);
    if (row < 0 || mClosing)
        return;
    ui->tbl_PlayListView->selectRow(row);
    playCurrentTableRow();
}

int MainWindows::addFiles(const QFileInfoList &files)
{
    int first = -1;
    int delay = 0;
    mAddingFiles = true;
    ui->wgt_PlayCtrl->setExportEnabled(false);
    for (const QFileInfo &info : files) {
        if (mClosing)
            break;
        bool isNew = false;
        const int id = mModel->addFile(info, delay, &isNew);
        if (first < 0 && id >= 0)
            first = id;
        if (isNew)
            delay += ParseStagger;
        QCoreApplication::processEvents();
    }
    mAddingFiles = false;
    ui->wgt_PlayCtrl->setExportEnabled(true);
    return first;
}

void MainWindows::playCurrentTableRow()
{
    playRecord(mModel->item(ui->tbl_PlayListView->currentIndex().row()));
}

void MainWindows::playRecord(PlaylistItem *item)
{
    if (!item || !item->url.isValid() || mClosing)
        return;
    forgetCurrentSecond();
    mSamplesHandled = mTrackDrawn = false;
    mPendingSeek = {};
    mRowSecond = 0;
    ui->tbl_PlayListView->selectRow(item->id);
    PlayAreaManager *area = ui->wgt_PlayArea;
    area->stop();

    mPreparedAfter = -1;
    mNextAskedFor = -1;

    const QUrl rearUrl = mModel->rearFileUrl(item);
    applyCameras(item, rearUrl);
    area->setPlayerCount(rearUrl.isEmpty() ? 1 : 2);
    area->setMedia(item, rearUrl);

    // While the samples are on their way the players open paused, so that the first picture is
    // decoded when playback starts; only where the decoder check cannot refuse the row later.
    if (!item->resolution.isEmpty()
        && ComputeInfo::instance()->canPlay(item->videoCodec, item->resolution.width(),
                                            item->resolution.height()))
        area->pause();

    ui->wgt_PlayCtrl->setLatitudeLongitude(QStringLiteral("N00.000000"),
                                           QStringLiteral("E000.000000"));
    resetTelemetryDisplays();
    // Playback starts when the row's whole sample list arrives.
    mModel->requestAllGpsData(item->id);
}

void MainWindows::applyCameras(const PlaylistItem *item, const QUrl &rearUrl)
{
    const bool hasFront = RecordingName::isFront(item->fileName);
    const bool hasRear = !rearUrl.isEmpty() || RecordingName::isRear(item->fileName);
    ui->wgt_PlayCtrl->disableBtn(!hasFront, !hasRear, !(hasFront && hasRear));
    ui->wgt_PlayArea->setPlayFrontOrRear(hasFront, hasRear);
}

void MainWindows::prepareOrDropNext(int second, int rowId)
{
    PlayAreaManager *area = ui->wgt_PlayArea;
    const int duration = mModel->duration(rowId);
    if (rowId != currentRowId() || duration <= 0 || mClosing)
        return;
    if (second < duration - PrepareLeadSeconds) {
        // Seeking back leaves the end far away: the players opened ahead are let go.
        if (area->preparedItem())
            area->dropPrepared();
        mPreparedAfter = -1;
        return;
    }
    if (mPreparedAfter == rowId || second >= duration)
        return;
    PlaylistItem *next = mModel->nextItem(area->media().request().url());
    if (!next || !next->url.isValid())
        return;
    if (next->resolution.isEmpty()) {
        // Not parsed yet, its start still staggered: the request starts it now, and the next
        // second looks again. Once: a row that cannot be parsed would be read again every second.
        if (mNextAskedFor != next->id) {
            mNextAskedFor = next->id;
            mModel->requestAllGpsData(next->id);
        }
        return;
    }
    mPreparedAfter = rowId;
    // A clip the decoder check would refuse takes the usual way, where the refusal is shown.
    if (!ComputeInfo::instance()->canPlay(next->videoCodec, next->resolution.width(),
                                          next->resolution.height())
        || !area->prepareNext(next, mModel->rearFileUrl(next)))
        return;
    mPreparedSamplesRow = -1;
    mPreparedSamples.clear();
    mModel->requestAllGpsData(next->id);
}

bool MainWindows::continueWithPrepared(PlaylistItem *next)
{
    PlayAreaManager *area = ui->wgt_PlayArea;
    // A rear partner that came or went since the clip was prepared is opened the usual way.
    if (!next || next != area->preparedItem() || mPreparedSamplesRow != next->id
        || !area->isPreparedReady() || area->preparedRearUrl() != mModel->rearFileUrl(next))
        return false;
    const QList<GpsData> samples = mPreparedSamples;
    mPreparedSamples.clear();
    mPreparedSamplesRow = -1;
    mPreparedAfter = -1;
    forgetCurrentSecond();
    ui->tbl_PlayListView->selectRow(next->id);
    applyCameras(next, area->preparedRearUrl());
    ui->wgt_PlayCtrl->setLatitudeLongitude(QStringLiteral("N00.000000"),
                                           QStringLiteral("E000.000000"));
    // Drawn while the last picture of the clip before still shows: the swap itself is instant.
    resetTelemetryDisplays();
    drawTrack(next->id, samples);
    mSamplesHandled = mTrackDrawn = true;
    mPendingSeek = {};
    if (!area->playPrepared())
        return false;
    // The clip before's last second is no second of this one.
    mRowSecond = 0;
    showCurrentDrive();
    return true;
}

int MainWindows::currentRowId() const
{
    const PlaylistItem *item = ui->wgt_PlayArea->currentItem();
    return item ? item->id : -1;
}

void MainWindows::forgetCurrentSecond()
{
    // A row whose second is still wanted sends its sample ten times a second, for good.
    const int id = currentRowId();
    if (id >= 0)
        mModel->setCurrentSecond(id, -1);
}

void MainWindows::onStop()
{
    forgetCurrentSecond();
    resetTelemetryDisplays();
    ui->wgt_PlayArea->stop();
    ui->wgt_PlayCtrl->reset();
    ui->lbl_FileName->clear();
}

void MainWindows::playClicked()
{
    const QModelIndexList selected = ui->tbl_PlayListView->selectionModel()->selectedRows(0);
    if (selected.isEmpty()) {
        ui->wgt_PlayCtrl->setPlayChecked(false);
        qDebug() << " not load files...";
        return;
    }
    if (ui->wgt_PlayCtrl->state() == QMediaPlayer::PausedState)
        ui->wgt_PlayArea->play();
    else
        onTableDoubleClicked(selected.first());
}

void MainWindows::previousClicked()
{
    playRecord(mModel->previousItem(ui->wgt_PlayArea->media().request().url()));
}

void MainWindows::nextClicked()
{
    PlaylistItem *next = mModel->nextItem(ui->wgt_PlayArea->media().request().url());
    if (continueWithPrepared(next))
        return;
    if (next) {
        playRecord(next);
        return;
    }
    ui->wgt_PlayArea->hidePlayers();
    ui->wgt_PlayCtrl->stopPlayback();
}

void MainWindows::durationChanged(qint64 duration)
{
    ui->wgt_PlayCtrl->setDuration(int(float(duration) / 1000.0f + 0.5f));
}

void MainWindows::positionChanged(qint64 second, int rowId)
{
    ui->gView_GyroChart->setCursorPosition(int(second));
    // Before the control bar hears it: the last second of a clip moves on to the next one, which
    // lets go of this row's second.
    mModel->setCurrentSecond(rowId, int(second));
    ui->wgt_PlayCtrl->setPosition(int(second));
    prepareOrDropNext(int(second), rowId);
}

void MainWindows::on_pBtn_Step_clicked()
{
    // Adding files lets events through from inside its loop; a modal dialog opened there would
    // hold the adding up until it is closed.
    if (!mAddingFiles) {
        Setting dialog(this);
        dialog.exec();
    }
    // The button is checkable for its look only; it must not stay pressed once the dialog is gone.
    ui->pBtn_Step->setChecked(false);
}

void MainWindows::on_pBtn_Minimize_clicked()
{
    showMinimized();
}

void MainWindows::on_pBtn_Maximize_clicked()
{
    toggleMaximize(false);
}

void MainWindows::on_pBtn_Close_clicked()
{
    close();
}

void MainWindows::onTableDoubleClicked(QModelIndex index)
{
    if (index.isValid())
        playRecord(mModel->item(index.row()));
}

void MainWindows::onGpsDataChanged(int rowId, GpsData data)
{
    if (ui->wgt_PlayCtrl->state() != QMediaPlayer::PlayingState || rowId != currentRowId())
        return;
    ControlPanel *panel = ui->wgt_PlayCtrl;
    if (data.fixFlag) {
        panel->setLatitudeLongitude(coordinateText(data.latitudeRef, data.latitude),
                                    coordinateText(data.longitudeRef, data.longitude));
    } else {
        panel->setLatitudeLongitude(QStringLiteral("N00.000000"), QStringLiteral("E000.000000"));
    }
    panel->setGpsDateTime(QDateTime::fromString(QString::fromLatin1(data.dateTime, 14),
                                                QStringLiteral("yyyyMMddhhmmss")));
    panel->setSpeed(data.speed);
    showSampleTelemetry(data);
}

void MainWindows::onAllGpsDataParserFinished(int id, QList<GpsData> dataList)
{
    // The next clip's samples wait, drawn when it takes over.
    const PlaylistItem *prepared = ui->wgt_PlayArea->preparedItem();
    if (prepared && prepared->id == id && id != currentRowId()) {
        mPreparedSamplesRow = id;
        mPreparedSamples = dataList;
        return;
    }
    if (id != currentRowId() || mClosing || mSamplesHandled)
        return;
    mSamplesHandled = true;
    // A refused recording stays loaded and silent until another one is started.
    if (!isSuportH264orH265(id))
        return;
    drawTrack(id, dataList);
    mTrackDrawn = true;
    showCurrentDrive();
    ui->wgt_PlayArea->play();
}

void MainWindows::keyPressEvent(QKeyEvent *event)
{
    qDebug() << "MainWindows::keyPressEvent" << event->key();
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_N:
        onKeyPressEvent(event);
        break;
    case Qt::Key_Escape:
        // A dialog closes on Escape; this one is the whole program.
        event->accept();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MainWindows::onKeyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Left:
        ui->wgt_PlayCtrl->step(-1);
        break;
    case Qt::Key_Right:
        ui->wgt_PlayCtrl->step(1);
        break;
    case Qt::Key_Space:
        ui->wgt_PlayCtrl->playClicked();
        break;
    case Qt::Key_N:
        jumpToEvent(!e->modifiers().testFlag(Qt::ShiftModifier));
        break;
    default:
        e->ignore();
        return;
    }
    e->accept();
}

void MainWindows::onFrontView(bool checked)
{
    if (checked)
        ui->wgt_PlayArea->setShowMode(Front);
}

void MainWindows::onRearView(bool checked)
{
    if (checked)
        ui->wgt_PlayArea->setShowMode(Rear);
}

void MainWindows::onFrontRearView(bool checked)
{
    if (checked)
        ui->wgt_PlayArea->setShowMode(FrontRear);
}

void MainWindows::closeEvent(QCloseEvent *event)
{
    mClosing = true;
    stopExport();
    onStop();
    mModel->stopAllParsers();
    QThread::msleep(100);
    saveWindowGeometry();
    QCoreApplication::quit();
    event->accept();
}
