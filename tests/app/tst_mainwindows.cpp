// The main window end to end on a generated demo drive, and its folder and geometry rules.
#include "app/mainwindows.h"

#include "config/configuration.h"
#include "controls/controlpanel.h"
#include "instruments/gyrochartview.h"
#include "map/mapwebview.h"
#include "parser/recordingparser.h"
#include "playbacktestutil.h"
#include "player/playareamanager.h"
#include "player/playerwidget.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"
#include "recording.h"
#include "system/computeinfo.h"
#include "tests/map/mapschemetest.h"
#include "tests/system/systemfixtures.h"

#include <array>
#include <atomic>
#include <limits>
#include <memory>

#include <QAction>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

constexpr int Patience = 30000; // ms; parsing and playback on a loaded two-core machine
constexpr int ClipSeconds = 3;
constexpr int Clips = 2; // and the drive's AVI pair after them
// Clips longer than the lead of their next clip's opening.
constexpr int LongerSeconds = 7;
// A recording whose samples take seconds to read, one at a time as the parser serves them.
constexpr int LongSeconds = 150 * 3600;

template<typename T>
T *part(const MainWindows &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("the window has no %s", name);
    return widget;
}

// As a user types it: selectFile() leaves a name field that has the focus alone.
void typeFileName(QFileDialog *dialog, const QString &folder, const QString &name)
{
    dialog->setDirectory(folder);
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
}

QString coordinates(const GpsData &sample)
{
    if (!sample.fixFlag)
        return QStringLiteral("N00.000000,E000.000000");
    return QStringLiteral("%1%2,%3%4")
            .arg(QLatin1Char(sample.latitudeRef))
            .arg(qAbs(sample.latitude), 0, 'f', 6)
            .arg(QLatin1Char(sample.longitudeRef))
            .arg(qAbs(sample.longitude), 0, 'f', 6);
}

// The second the chart's cursor stands at: its line is the one series whose points share x.
int chartCursor(GyroChartView *chart)
{
    for (QtCharts::QAbstractSeries *series : chart->chart()->series()) {
        const auto *line = qobject_cast<QtCharts::QLineSeries *>(series);
        if (line && line->count() == 2 && line->at(0).x() == line->at(1).x())
            return int(line->at(0).x());
    }
    return -1;
}

QString gText(float value)
{
    return QStringLiteral(":%1G").arg(value, 0, 'f', 2);
}

QList<GpsData> samplesOf(const QString &path)
{
    std::unique_ptr<ParserObject> parser = createRecordingParser(path);
    QList<GpsData> samples;
    GpsData sample;
    for (int i = 0; parser->readSample(i, sample); ++i)
        samples.append(sample);
    return samples;
}

} // namespace

class TestMainWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // First: closing a window quits the application, after which no modal loop runs in this
    // process, so the refusal's message box would return at once.
    void largeRecordingWithoutDecoderIsRefused();
    void exportsTheDriveAndReportsFailures();
    void exportTargetFollowsTheFileType_data();
    void exportTargetFollowsTheFileType();
    void replacingTheWrittenFileIsAsked_data();
    void replacingTheWrittenFileIsAsked();
    void exportsNeverReplaceARecording_data();
    void exportsNeverReplaceARecording();
    void exportsNameFilesNotFolders_data();
    void exportsNameFilesNotFolders();
    void exportsWaitForTheAdding();
    void drivesThroughDemoDrive();
    void nextClipTakesOverWithoutStopping();
    void preparedNextClipIsLetGo_data();
    void preparedNextClipIsLetGo();
    void unparsableNextRowIsNotAskedEverySecond();
    void sampleWithoutNumbersStaysOffTheMap();
    void mapSizeChangeRestartsPlayback();
    void folderListingFiltersAndRemembersParent();
    void playlistColumnsShowTheirWholeTexts();
    void emptyFolderChangesNothing();
    void maximizeAndRestoreRectangles();
    void closingWhileMaximizedStoresRestoreRectangle();
    void closingCancelsTheExportAtOnce_data();
    void closingCancelsTheExportAtOnce();
    void escapeNeverCloses();

private:
    QString settingsFile() const;
    // A window with the demo drive in its playlist, and the playlist.
    PlaylistModel *openDrive(MainWindows *window) const;
    // Writes a demo drive of two clips of the given length and its AVI pair; the folder or empty.
    QString makeDrive(const QString &name, int clipSeconds) const;
    // The drive of LongerSeconds clips, made by the first test that needs it; empty on failure.
    QString longerDrive();
    // Opens the folder in the shown window and waits until it plays.
    void playFolder(MainWindows *window, const QString &folder);

    QTemporaryDir mDir;
    QString mDrive;
    QString mLongerDrive; // made once, by longerDrive()
    QString mLongRecording; // made once, by the first test that needs it
};

void TestMainWindows::initTestCase()
{
    QVERIFY(mDir.isValid());
    // The window's title and the settings file's place come from these, as in the program.
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    Q_INIT_RESOURCE(velqor_translations);
    mDrive = makeDrive("drive", ClipSeconds);
    QVERIFY(!mDrive.isEmpty());
}

QString TestMainWindows::makeDrive(const QString &name, int clipSeconds) const
{
    const QString folder = mDir.filePath(name);
    QProcess demo;
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(QStringLiteral(VELQOR_DEMO),
               {"--seconds", QString::number(clipSeconds), "--clips", QString::number(Clips),
                "--size", "160x120", "--fps", "10", folder});
    if (!demo.waitForFinished(Patience * 4) || demo.exitCode() != 0) {
        qWarning() << "the demo drive was not written" << demo.readAll();
        return QString();
    }
    return folder;
}

QString TestMainWindows::longerDrive()
{
    if (mLongerDrive.isEmpty())
        mLongerDrive = makeDrive("longer", LongerSeconds);
    return mLongerDrive;
}

void TestMainWindows::playFolder(MainWindows *window, const QString &folder)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->openUrls({QUrl::fromLocalFile(folder)});
    QTRY_COMPARE_WITH_TIMEOUT(part<ControlPanel>(*window, "wgt_PlayCtrl")->state(),
                              QMediaPlayer::PlayingState, Patience);
}

void TestMainWindows::init()
{
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    Configuration::instance()->setLanguage(1);
}

QString TestMainWindows::settingsFile() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation)
           + QStringLiteral("/configuration.ini");
}

PlaylistModel *TestMainWindows::openDrive(MainWindows *window) const
{
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(*window, "tbl_PlayListView")->model());
    window->openUrls({QUrl::fromLocalFile(mDrive)});
    return model;
}

void TestMainWindows::drivesThroughDemoDrive()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Velqor"));
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *panel = part<ControlPanel>(window, "wgt_PlayCtrl");
    auto *table = part<QTableView>(window, "tbl_PlayListView");
    auto *model = qobject_cast<PlaylistModel *>(table->model());
    QVERIFY(model);

    // Playback may start only once the row's samples have been sent. They are noted in the
    // parsing thread itself, as the window's own receiver runs before any other in the GUI thread.
    std::array<std::atomic<bool>, Clips + 1> listSent{};
    QStringList starts;
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [&listSent, model, this](const QModelIndex &, int first, int last) {
                for (int id = first; id <= last; ++id) {
                    connect(
                            model->item(id)->parser, &VideoParser::allGpsDataParserFinished, this,
                            [&listSent](int rowId) { listSent.at(rowId) = true; },
                            Qt::DirectConnection);
                }
            });
    connect(area, &PlayAreaManager::stateChanged, this,
            [&starts, &listSent, area](QMediaPlayer::State state) {
                const int id = area->currentItem()->id;
                if (state == QMediaPlayer::PlayingState)
                    starts << QStringLiteral("%1 %2").arg(id).arg(listSent.at(id) ? "after"
                                                                                  : "before");
            });

    // Every sample the window shows while playing is checked as it arrives: the control bar,
    // the G values, the chart's cursor at the reported second, and (in the page's own order) the
    // map's marker. Samples lag the second they were asked for by at most one.
    auto *map = part<MapWebView>(window, "wgt_MapView");
    QSignalSpy pageLoads(map, &QWebEngineView::loadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoads.count() > 0, Patience);
    auto *chart = part<GyroChartView>(window, "gView_GyroChart");
    auto *position = part<QLabel>(window, "lbl_LongitudeAndLatitude");
    auto *gX = part<QLabel>(window, "lbl_GyroCurrentValueX");
    auto *gZ = part<QLabel>(window, "lbl_GyroCurrentValueZ");
    QHash<int, QList<GpsData>> rowSamples;
    int second = -1;
    int shown = 0;
    int markers = 0;
    QStringList mismatches;
    // A clip's last report may reach this after the next clip, opened ahead, has taken over and
    // reported its start: a report counts for the row it names only.
    connect(area, &PlayAreaManager::positionChanged, this, [&second, area](qint64 s, int rowId) {
        if (rowId == area->currentItem()->id)
            second = int(s);
    });
    connect(model, &PlaylistModel::gpsDataChanged, this, [&](int rowId, const GpsData &data) {
        if (panel->state() != QMediaPlayer::PlayingState || rowId != area->currentItem()->id)
            return;
        if (!rowSamples.contains(rowId))
            rowSamples.insert(rowId, samplesOf(model->item(rowId)->url.toLocalFile()));
        const QList<GpsData> &samples = rowSamples[rowId];
        const bool inStep = (second >= 0 && samples.value(second).index == data.index)
                            || (second >= 1 && samples.value(second - 1).index == data.index);
        const QString where = QStringLiteral("row %1 second %2 sample %3: ")
                                      .arg(rowId)
                                      .arg(second)
                                      .arg(data.index);
        if (!inStep || position->text() != coordinates(data) || gX->text() != gText(data.gsensorX)
            || gZ->text() != gText(data.gsensorZ) || chartCursor(chart) != second)
            mismatches << where + position->text() + ' ' + gX->text() + ' ' + gZ->text();
        ++shown;
        map->page()->runJavaScript(
                QStringLiteral("mapState().current"),
                [&markers, &mismatches, data, where](const QVariant &value) {
                    const QVariantList marker = value.toList();
                    ++markers;
                    if (marker.size() != 3 || qAbs(marker.at(0).toDouble() - data.longitude) > 1e-6
                        || qAbs(marker.at(1).toDouble() - data.latitude) > 1e-6
                        || marker.at(2).toInt() != data.index)
                        mismatches << where + QStringLiteral("marker ")
                                              + QVariant(marker).toStringList().join(',');
                });
    });

    window.openUrls({QUrl::fromLocalFile(mDrive)});
    QCOMPARE(Configuration::instance()->videoFilePath(), mDir.path());
    QCOMPARE(model->rowCount(), Clips + 1);
    for (int id = 0; id < model->rowCount(); ++id) {
        QVERIFY(model->item(id)->fileName.contains("F.", Qt::CaseInsensitive));
        QVERIFY(!model->rearFileUrl(model->item(id)).isEmpty());
    }
    QCOMPARE(area->currentItem(), model->item(0));
    // Loaded, at most paused on its first picture, but not playing before its samples are there.
    QVERIFY(area->state() != QMediaPlayer::PlayingState);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    QCOMPARE(starts.value(0), QStringLiteral("0 after"));
    QTRY_VERIFY_WITH_TIMEOUT(second >= 1 && markers >= 3, Patience);

    QDir().mkpath(QStringLiteral(VELQOR_SCREENSHOTS));
    QGuiApplication::primaryScreen()->grabWindow(0).save(
            QStringLiteral(VELQOR_SCREENSHOTS "/main-window.png"));

    // The end of each recording moves on, and the end of the list stops everything.
    const QString lastStart = QStringLiteral("%1 after").arg(Clips);
    QTRY_VERIFY_WITH_TIMEOUT(starts.contains(QStringLiteral("1 after")), Patience);
    QTRY_VERIFY_WITH_TIMEOUT(starts.contains(lastStart), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::StoppedState, Patience);
    QCOMPARE(area->currentItem(), model->item(Clips));
    for (PlayerWidget *player : area->findChildren<PlayerWidget *>())
        QVERIFY(!player->isVisible());
    QVERIFY2(!starts.join(' ').contains("before"), qPrintable(starts.join(", ")));
    QCOMPARE(starts.last(), lastStart);
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join('\n')));
    QVERIFY2(shown >= 2 * (Clips + 1), qPrintable(QString::number(shown)));

    QElapsedTimer closing;
    closing.start();
    window.close();
    // Only a hang fails this; closing waits 100 ms for the workers by design.
    QVERIFY2(closing.elapsed() < 10000, qPrintable(QString::number(closing.elapsed())));
    QSettings stored(settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("mainwindowsRect").toRect(), window.geometry());
    QCOMPARE(stored.value("mainwindowsIsMaximize").toBool(), false);
    QCOMPARE(stored.value("mainwindowsScreenNumber").toInt(), 0);
}

// At the end of a clip the next one, opened ahead, plays on at once: the control bar never sees
// the players stop between them, and the table and the track follow.
void TestMainWindows::nextClipTakesOverWithoutStopping()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *panel = part<ControlPanel>(window, "wgt_PlayCtrl");
    auto *table = part<QTableView>(window, "tbl_PlayListView");
    PlaylistModel *model = openDrive(&window);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    QCOMPARE(area->currentItem(), model->item(0));
    // The clips are shorter than the lead: the next one is opened as soon as the first plays.
    QTRY_COMPARE_WITH_TIMEOUT(area->preparedItem(), model->item(1), Patience);

    QList<QMediaPlayer::State> states;
    QList<QPair<int, int>> reports; // row, second
    // Gone before the lists: closing the window still reports.
    QObject listener;
    connect(area, &PlayAreaManager::stateChanged, &listener,
            [&states](QMediaPlayer::State state) { states << state; });
    connect(area, &PlayAreaManager::positionChanged, &listener,
            [&reports](qint64 second, int rowId) {
                reports.append({rowId, int(second)});
            });
    QTRY_COMPARE_WITH_TIMEOUT(area->currentItem(), model->item(1), Patience);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    QVERIFY2(!states.contains(QMediaPlayer::StoppedState), "the players stopped between clips");
    QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(area->media().request().url(), model->item(1)->url);
    QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(reports.cbegin(), reports.cend(), [](auto r) { return r.first == 1; }),
            Patience);
    const auto firstOfNext = *std::find_if(reports.cbegin(), reports.cend(),
                                           [](auto report) { return report.first == 1; });
    QCOMPARE(firstOfNext.second, 0);
    // And the one after is opened ahead in turn.
    QTRY_COMPARE_WITH_TIMEOUT(area->preparedItem(), model->item(2), Patience);
    window.close();
}

void TestMainWindows::preparedNextClipIsLetGo_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("seek back") << "seek back";
    QTest::newRow("stop") << "stop";
    QTest::newRow("another row opened") << "another row";
    QTest::newRow("next file gone") << "file gone";
}

// A next clip opened ahead and not used is let go, and its row is then started the usual way.
void TestMainWindows::preparedNextClipIsLetGo()
{
    QFETCH(QString, how);
    const QString drive = longerDrive();
    QVERIFY(!drive.isEmpty());
    // A copy of its own, as one case removes a file.
    QTemporaryDir copy;
    for (const QFileInfo &file : QDir(drive).entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), copy.filePath(file.fileName())));

    MainWindows window;
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *panel = part<ControlPanel>(window, "wgt_PlayCtrl");
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(window, "tbl_PlayListView")->model());
    playFolder(&window, copy.path());
    if (QTest::currentTestFailed())
        return;
    const auto players = [area] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return area->findChildren<PlayerWidget *>().size();
    };
    QCOMPARE(players(), 2);
    if (how == "file gone")
        QVERIFY(QFile::remove(model->item(1)->url.toLocalFile()));
    area->seek(LongerSeconds - 3);
    // A file that has gone fails as it opens, maybe before anyone looks.
    if (how != "file gone")
        QTRY_COMPARE_WITH_TIMEOUT(area->preparedItem(), model->item(1), Patience);

    if (how == "seek back") {
        area->seek(0);
        QTRY_VERIFY_WITH_TIMEOUT(!area->preparedItem(), Patience);
        QCOMPARE(players(), 2);
        // Near the end again it is opened anew, and used.
        area->seek(LongerSeconds - 3);
        QTRY_COMPARE_WITH_TIMEOUT(area->preparedItem(), model->item(1), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(area->currentItem(), model->item(1), Patience);
    } else if (how == "stop") {
        panel->stopPlayback();
        QVERIFY(!area->preparedItem());
        QCOMPARE(players(), 2);
        QCOMPARE(panel->state(), QMediaPlayer::StoppedState);
    } else if (how == "another row") {
        window.onTableDoubleClicked(model->index(2, 0));
        QVERIFY(!area->preparedItem());
        QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
        QCOMPARE(area->currentItem(), model->item(2));
        QCOMPARE(players(), 2);
    } else {
        // It fails as it opens, is let go, and its row starts the usual way at the boundary:
        // there the missing file stops the players, as any missing recording does.
        QTRY_VERIFY_WITH_TIMEOUT(!area->preparedItem(), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(area->currentItem(), model->item(1), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::StoppedState, Patience);
        QCOMPARE(players(), 2);
    }
    window.close();
}

// A next row that has no picture to open ahead is not read again for every second of the lead.
void TestMainWindows::unparsableNextRowIsNotAskedEverySecond()
{
    const QString drive = longerDrive();
    QVERIFY(!drive.isEmpty());
    QTemporaryDir folder;
    const QFileInfo first = QDir(drive).entryInfoList({"*F.MP4"}, QDir::Files).value(0);
    QVERIFY(QFile::copy(first.filePath(), folder.filePath(first.fileName())));
    QFile junk(folder.filePath("zz_F.MP4")); // after it in the playlist
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    MainWindows window;
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(window, "tbl_PlayListView")->model());
    playFolder(&window, folder.path());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(model->rowCount(), 2);
    PlaylistItem *playing = model->item(0);
    QCOMPARE(area->currentItem(), playing);
    int asked = 0;
    connect(model, &PlaylistModel::allGpsDataParserFinished, area, [&](int id) {
        if (id == 1 && area->currentItem() == playing)
            ++asked;
    });
    // The whole lead of the clip's end, until the next row's turn comes.
    QTRY_VERIFY_WITH_TIMEOUT(area->currentItem() != playing, Patience);
    QVERIFY(model->item(1)->resolution.isEmpty());
    // The drives ask every row once, and the lead once: not once a second for five seconds.
    QVERIFY2(asked <= 2, qPrintable(QString::number(asked)));
    window.close();
}

// A damaged record's coordinates that are no numbers: the map never hears of them, so it has
// nothing to warn about, once a second.
void TestMainWindows::sampleWithoutNumbersStaysOffTheMap()
{
    MainWindows window;
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(window, "tbl_PlayListView")->model());
    playFolder(&window, mDrive);
    if (QTest::currentTestFailed())
        return;
    GpsData sample;
    sample.latitude = std::numeric_limits<double>::quiet_NaN();
    sample.longitude = 7.5;
    LogCapture log;
    emit model->gpsDataChanged(area->currentItem()->id, sample);
    const QString lines = log.lines().join(QLatin1Char('\n'));
    QVERIFY2(!lines.contains(QStringLiteral("map point dropped")), qPrintable(lines));
}

void TestMainWindows::mapSizeChangeRestartsPlayback()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *area = part<PlayAreaManager>(window, "wgt_PlayArea");
    auto *panel = part<ControlPanel>(window, "wgt_PlayCtrl");
    window.openUrls({QUrl::fromLocalFile(mDrive)});
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    const PlaylistItem *playing = area->currentItem();

    // What saving the settings does: the language, then the map size.
    Configuration::instance()->setLanguage(0);
    Configuration::instance()->setMapSize(2);
    QCOMPARE(panel->state(), QMediaPlayer::StoppedState);
    auto *map = part<MapWebView>(window, "wgt_MapView");
    QCOMPARE(map->size(), QSize(200, 150));
    QCOMPARE(part<QTableView>(window, "tbl_PlayListView")->maximumWidth(), 200);
    // A second later the selected recording plays again from its beginning, and the map page,
    // reloaded in the new language, gets its track again.
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);
    QCOMPARE(area->currentItem(), playing);
    QVERIFY(part<QLabel>(window, "lbl_PlayTime")->text().startsWith("00:0"));
    QCOMPARE(map->url().fileName(), QStringLiteral("GoogleMapIndex_ja.html"));
    // Shared with the callbacks, which the page still calls while it is destroyed.
    auto trackPoints = std::make_shared<int>(0);
    QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                map->page()->runJavaScript(
                        QStringLiteral("typeof mapState === 'function' && mapState().current ? "
                                       "mapState().track.length : 0"),
                        [trackPoints](const QVariant &value) { *trackPoints = value.toInt(); });
                return *trackPoints > 0;
            }(),
            Patience);
    QGuiApplication::primaryScreen()->grabWindow(0).save(
            QStringLiteral(VELQOR_SCREENSHOTS "/main-window-ja.png"));
}

void TestMainWindows::largeRecordingWithoutDecoderIsRefused()
{
    // Whatever this computer decodes, the window must refuse what the check refuses.
    const QScopedValueRollback<bool> noDecoder(ComputeInfo::instance()->isHDDecodeH265, false);
    QTemporaryDir folder;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    Drive drive;
    drive.seconds = 5;
    recording.records = drive.records();
    recording.width = 2688;
    recording.height = 1520;
    recording.sampleEntry = "hvc1";
    QVERIFY(recording.write(folder.filePath("20240101_120000_F.MP4")));

    MainWindows window;
    QString warning;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&warning] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            warning = box->windowTitle() + ": " + box->text();
            box->accept();
        }
    });
    closer.start(20);
    window.openUrls({QUrl::fromLocalFile(folder.path())});
    QTRY_VERIFY_WITH_TIMEOUT(!warning.isEmpty(), Patience);
    QCOMPARE(warning,
             QStringLiteral("Error: This computer cannot play this video because it does not have "
                            "the video playback support function required to play H.265 (HEVC)."));
    QTest::qWait(200);
    QCOMPARE(part<ControlPanel>(window, "wgt_PlayCtrl")->state(), QMediaPlayer::StoppedState);
}

// The drive goes out from the playlist's menu through the save dialog as one GPX track in time
// order; a file that cannot be created is reported once and leaves nothing behind.
void TestMainWindows::exportsTheDriveAndReportsFailures()
{
    MainWindows window;
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(window, "tbl_PlayListView")->model());
    window.openUrls({QUrl::fromLocalFile(mDrive)});
    QCOMPARE(model->rowCount(), Clips + 1);
    QSignalSpy finished(&window, &MainWindows::exportFinished);

    QTemporaryDir out;
    const QString gpx = out.filePath("drive.gpx");
    QString message;
    int ticks = 0;
    int boxTicks = 0;
    bool progressOverMessage = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (++ticks > 200) { // a dialog nobody answers fails the test instead of hanging it
            modal->close();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->selectNameFilter(QStringLiteral("GPX (*.gpx)"));
            typeFileName(dialog, out.path(), "drive"); // the extension comes from the filter
            static_cast<QDialog *>(dialog)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            // Left open past the progress dialog's delayed show, which must not come over it.
            if (++boxTicks < 15)
                return;
            for (const QWidget *widget : QApplication::topLevelWidgets())
                progressOverMessage
                        |= qobject_cast<const QProgressDialog *>(widget) && widget->isVisible();
            message = box->text();
            box->accept();
        }
    });
    driver.start(50);
    QVERIFY(QMetaObject::invokeMethod(&window, "exportDrive"));
    // Its end is still on its way to the window, so a second export must wait.
    QVERIFY(!window.startExport({{}, true, QString(), TrackWriter::Gpx, out.filePath("x.gpx")}));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Patience);
    QCOMPARE(finished.first().at(0).toBool(), true);

    QFile file(gpx);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(text.count(QStringLiteral("<trkseg>")), 1);
    int expected = 0;
    for (int row = 0; row < model->rowCount(); ++row)
        expected += samplesOf(model->item(row)->url.toLocalFile()).size();
    QCOMPARE(text.count(QStringLiteral("<trkpt ")), expected);
    // In time order, and without the rear files' copies of the front's samples.
    const QRegularExpression time(QStringLiteral("<trkpt [^>]*>\\s*.*?<time>([^<]+)</time>"),
                                  QRegularExpression::DotMatchesEverythingOption);
    QString previous;
    for (auto match = time.globalMatch(text); match.hasNext();) {
        const QString at = match.next().captured(1);
        QVERIFY2(at > previous, qPrintable(at));
        previous = at;
    }

    QFile blocker(out.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not-a-folder")));
    QVERIFY(window.startExport({{model->item(0)->url.toLocalFile()},
                                false,
                                QString(),
                                TrackWriter::Gpx,
                                out.filePath("not-a-folder/track.gpx")}));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, Patience);
    QCOMPARE(finished.last().at(0).toBool(), false);
    QVERIFY(message.startsWith(QStringLiteral("The export could not be written.")));
    QVERIFY(message.contains(QStringLiteral("not-a-folder")));
    QVERIFY(!progressOverMessage);
    const QStringList left = QDir(out.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList({"drive.gpx", "not-a-folder"}));
}

void TestMainWindows::exportTargetFollowsTheFileType_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("format");

    const struct
    {
        const char *row, *chosen, *fileType, *path, *format;
    } rows[] = {
            {"type adds its extension", "drive", "CSV (*.csv)", "drive.csv", "csv"},
            {"typed extension wins", "drive.KML", "GPX (*.gpx)", "drive.KML", "kml"},
            {"dots in the name", "5.1.24", "JSON (*.json)", "5.1.24.json", "json"},
            {"no type: the first", "drive", "", "drive.gpx", "gpx"},
            {"unknown type: the first", "drive", "Text (*.txt)", "drive.gpx", "gpx"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.row) << QString(row.chosen) << QString(row.fileType) << QString(row.path)
                               << QString(row.format);
}

void TestMainWindows::exportTargetFollowsTheFileType()
{
    QFETCH(QString, chosen);
    QFETCH(QString, fileType);
    QFETCH(QString, path);
    QFETCH(QString, format);
    QCOMPARE(ExportJob::fileTypes(),
             QStringList({"GPX (*.gpx)", "KML (*.kml)", "GeoJSON (*.geojson)", "CSV (*.csv)",
                          "JSON (*.json)"}));
    TrackWriter::Format chosenFormat = TrackWriter::Csv;
    QCOMPARE(ExportJob::targetPath(chosen, fileType, &chosenFormat), path);
    QCOMPARE(TrackWriter::formatNames().at(chosenFormat), format);
}

// The question is about the file that would be written, with the extension the file type adds;
// a no leaves it alone and goes back to the dialog.
void TestMainWindows::replacingTheWrittenFileIsAsked_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<int>("answer"); // to the question, if asked
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("pipe"); // in the file's place, which is refused

    QTest::newRow("no") << "GPX (*.gpx)" << int(QMessageBox::No) << true << false << false;
    QTest::newRow("yes") << "GPX (*.gpx)" << int(QMessageBox::Yes) << true << true << false;
    QTest::newRow("another file") << "KML (*.kml)" << int(QMessageBox::No) << false << false
                                  << false;
    QTest::newRow("a pipe") << "GPX (*.gpx)" << int(QMessageBox::Ok) << false << false << true;
}

void TestMainWindows::replacingTheWrittenFileIsAsked()
{
    QFETCH(QString, fileType);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, replaced);
    QFETCH(bool, pipe);
    MainWindows window;
    openDrive(&window);
    QSignalSpy finished(&window, &MainWindows::exportFinished);
    QTemporaryDir out;
    QFile old(out.filePath("trip.gpx"));
    if (pipe) {
        QCOMPARE(::mkfifo(QFile::encodeName(old.fileName()).constData(), 0600), 0);
    } else {
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
    }

    QString question;
    QString firstType;
    int dialogs = 0;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            if (++dialogs > 1) // back after a no
                return dialog->reject();
            firstType = dialog->nameFilters().first();
            dialog->selectNameFilter(fileType);
            typeFileName(dialog, out.path(), "trip");
            static_cast<QDialog *>(dialog)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            question = box->text();
            box->button(QMessageBox::StandardButton(answer))->click();
        }
    });
    driver.start(50);
    QVERIFY(QMetaObject::invokeMethod(&window, "exportDrive"));
    driver.stop();
    QCOMPARE(question.contains(QStringLiteral("trip.gpx already exists")), asked);
    QCOMPARE(question.contains(QStringLiteral("not a file that an export can replace")), pipe);
    QCOMPARE(firstType, QStringLiteral("GPX (*.gpx)"));
    const bool askedAgain = (asked && !replaced) || pipe;
    QCOMPARE(dialogs, askedAgain ? 2 : 1);
    if (askedAgain)
        QCOMPARE(finished.count(), 0);
    else
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Patience);
    if (pipe) {
        QVERIFY(QFileInfo(old.fileName()).exists() && !QFileInfo(old.fileName()).isFile());
        return;
    }
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray written = old.readAll();
    QCOMPARE(written != "old", replaced);
    // The drive takes the name the user chose, not its folder's, which can be anybody's.
    if (replaced)
        QVERIFY2(written.contains("<name>trip</name>"), written.left(400).constData());
    QCOMPARE(QFile::exists(out.filePath("trip.kml")), !asked);
}

void TestMainWindows::exportsNeverReplaceARecording_data()
{
    QTest::addColumn<QByteArray>("exporter"); // the window's slot
    QTest::addColumn<bool>("rear"); // the name links to the row's rear partner, not to the row

    QTest::newRow("drive onto a recording") << QByteArray("exportDrive") << false;
    QTest::newRow("drive onto a rear partner") << QByteArray("exportDrive") << true;
    QTest::newRow("track onto its recording") << QByteArray("exportTrack") << false;
    QTest::newRow("track onto its rear partner") << QByteArray("exportTrack") << true;
}

void TestMainWindows::exportsNeverReplaceARecording()
{
    QFETCH(QByteArray, exporter);
    QFETCH(bool, rear);
    // A copy of its own: on a fault the export would spoil the drive.
    QTemporaryDir copy;
    for (const QFileInfo &file : QDir(mDrive).entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), copy.filePath(file.fileName())));
    MainWindows window;
    auto *table = part<QTableView>(window, "tbl_PlayListView");
    auto *model = qobject_cast<PlaylistModel *>(table->model());
    window.openUrls({QUrl::fromLocalFile(copy.path())});
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() > 0, Patience);
    table->selectRow(0);
    const QString recording = rear ? model->rearFileUrl(model->item(0)).toLocalFile()
                                   : model->item(0)->url.toLocalFile();
    QVERIFY(!recording.isEmpty());
    QFile input(recording);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QByteArray before = input.readAll();
    input.close();
    QSignalSpy finished(&window, &MainWindows::exportFinished);
    QTemporaryDir out;
    QVERIFY(QFile::link(recording, out.filePath("trip.gpx")));

    // A user who would say yes to anything, and gives up once the dialog comes back.
    QString shown;
    int dialogs = 0;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            if (++dialogs > 1)
                return dialog->reject();
            dialog->selectNameFilter("GPX (*.gpx)");
            typeFileName(dialog, out.path(), "trip");
            static_cast<QDialog *>(dialog)->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown += box->text() + '|';
            QAbstractButton *yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
        }
    });
    driver.start(50);
    QVERIFY(QMetaObject::invokeMethod(&window, exporter.constData()));
    driver.stop();
    QVERIFY2(shown.contains(QStringLiteral("trip.gpx is one of the recordings exported")),
             qPrintable(shown));
    QCOMPARE(dialogs, 2);
    QTest::qWait(200);
    QCOMPARE(finished.count(), 0);
    QVERIFY(input.open(QIODevice::ReadOnly));
    QVERIFY2(input.readAll() == before, "the recording was replaced by the export");
}

// Exports get shared: neither a track's name nor a file field tells where the recordings lay.
void TestMainWindows::exportsNameFilesNotFolders_data()
{
    QTest::addColumn<int>("format");
    for (const TrackWriter::Format format : {TrackWriter::Json, TrackWriter::Csv, TrackWriter::Gpx,
                                             TrackWriter::Kml, TrackWriter::GeoJson})
        QTest::newRow(qPrintable(TrackWriter::formatNames().at(format))) << int(format);
}

void TestMainWindows::exportsNameFilesNotFolders()
{
    QFETCH(int, format);
    MainWindows window;
    PlaylistModel *model = openDrive(&window);
    QSignalSpy finished(&window, &MainWindows::exportFinished);
    QTemporaryDir out;
    const QString file = model->item(0)->url.toLocalFile();
    const QString path = out.filePath("track");
    QVERIFY(window.startExport({{file}, false, QString(), TrackWriter::Format(format), path}));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Patience);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    QVERIFY(text.contains(QFileInfo(file).fileName()));
    QVERIFY2(!text.contains(mDir.path()), qPrintable(text.left(2000)));
}

// Exports would be of the rows so far, and their dialog would hold the adding up.
void TestMainWindows::exportsWaitForTheAdding()
{
    MainWindows window;
    auto *model
            = qobject_cast<PlaylistModel *>(part<QTableView>(window, "tbl_PlayListView")->model());
    auto *button = part<QPushButton>(window, "btn_Export");
    auto *menu = window.findChild<QMenu *>();
    const auto offered = [&] {
        window.showExportMenu(QPoint(0, 0));
        menu->hide();
        QStringList offered;
        for (const QAction *action : menu->actions()) {
            if (action->isEnabled())
                offered << action->text();
        }
        return offered << (button->isEnabled() ? button->objectName() : QString());
    };
    QStringList whileAdding; // one entry per row added
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [&] { whileAdding << offered().join(QLatin1Char(',')); });
    window.openUrls({QUrl::fromLocalFile(mDrive)});
    QCOMPARE(whileAdding.size(), model->rowCount());
    QCOMPARE(whileAdding.join(QString()), QString());
    // The video of the recording that started playing too.
    QCOMPARE(offered(),
             QStringList({"Export track...", "Export drive...", "Export video...", "btn_Export"}));
}

void TestMainWindows::folderListingFiltersAndRemembersParent()
{
    QTemporaryDir root;
    const QString folder = root.filePath("cam/2024");
    QVERIFY(QDir().mkpath(folder + "/inner"));
    for (const char *name : {"A.MP4", "b.mov", "c.Avi", "notes.txt", "inner/d.mp4"}) {
        QFile file(folder + '/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    MainWindows window;
    window.openUrls({QUrl::fromLocalFile(folder)});
    auto *model = part<QTableView>(window, "tbl_PlayListView")->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    QCOMPARE(names, QStringList({"A.MP4", "b.mov", "c.Avi"}));
    QCOMPARE(Configuration::instance()->videoFilePath(), root.filePath("cam"));
}

void TestMainWindows::playlistColumnsShowTheirWholeTexts()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = part<QTableView>(window, "tbl_PlayListView");
    window.openUrls({QUrl::fromLocalFile(mDrive)});
    const QAbstractItemModel *model = table->model();
    QVERIFY(model->rowCount() > 0);
    // Lengths and dates come with each parsed recording.
    QTRY_VERIFY_WITH_TIMEOUT(model->index(model->rowCount() - 1, 1).data().toString()
                                     != QLatin1String("00:00:00"),
                             Patience);
    const QFontMetrics metrics(table->font());
    // What the item view keeps free on either side of a cell's text.
    const int margins = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const auto firstCutText = [&]() -> QString {
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < 4; ++column) {
                const QString text = model->index(row, column).data().toString();
                if (metrics.horizontalAdvance(text) + margins > table->columnWidth(column))
                    return QStringLiteral("%1 in a column %2 wide")
                            .arg(text)
                            .arg(table->columnWidth(column));
            }
        }
        return QString();
    };
    // The widths follow the texts a moment later, once for a burst of changes.
    QTRY_COMPARE_WITH_TIMEOUT(firstCutText(), QString(), Patience);
    // A column the user widened stays so when more rows and texts arrive.
    table->setColumnWidth(1, 300);
    QTemporaryDir more;
    const QString first = model->index(0, 0).data().toString();
    QVERIFY(QFile::copy(QDir(mDrive).filePath(first), more.filePath("MORE_" + first)));
    const int rows = model->rowCount();
    window.openUrls({QUrl::fromLocalFile(more.path())});
    QCOMPARE(model->rowCount(), rows + 1);
    QTRY_VERIFY_WITH_TIMEOUT(model->index(rows, 1).data().toString() != QLatin1String("00:00:00"),
                             Patience);
    QTRY_COMPARE_WITH_TIMEOUT(firstCutText(), QString(), Patience);
    QCOMPARE(table->columnWidth(1), 300);
    window.close();
}

void TestMainWindows::emptyFolderChangesNothing()
{
    QTemporaryDir empty;
    Configuration::instance()->setVideoFilePath(QStringLiteral("/stored"));
    MainWindows window;
    window.openUrls({QUrl::fromLocalFile(empty.path())});
    QCOMPARE(part<QTableView>(window, "tbl_PlayListView")->model()->rowCount(), 0);
    QCOMPARE(Configuration::instance()->videoFilePath(), QStringLiteral("/stored"));
}

void TestMainWindows::maximizeAndRestoreRectangles()
{
    const QRect normal(100, 80, 900, 640);
    Configuration::instance()->setMainWindowsRect(normal);
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.geometry(), normal);
    auto *maximize = part<QPushButton>(window, "pBtn_Maximize");

    maximize->click();
    const QRect available = window.screen()->availableGeometry();
    QTRY_COMPARE(window.geometry(), available.adjusted(0, 0, 0, -1));
    QVERIFY(maximize->isChecked());
    QCOMPARE(maximize->toolTip(), QStringLiteral("Restore Down"));
    QCOMPARE(Configuration::instance()->mainWindowsRect(), normal);

    maximize->click();
    QTRY_COMPARE(window.geometry(), normal);
    QVERIFY(!maximize->isChecked());
    QCOMPARE(maximize->toolTip(), QStringLiteral("Maximize"));
}

void TestMainWindows::closingWhileMaximizedStoresRestoreRectangle()
{
    const QRect normal(120, 90, 860, 620);
    Configuration::instance()->setMainWindowsRect(normal);
    {
        MainWindows window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        part<QPushButton>(window, "pBtn_Maximize")->click();
        window.close();
    }
    QSettings stored(settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("mainwindowsRect").toRect(), normal);
    QCOMPARE(stored.value("mainwindowsIsMaximize").toBool(), true);

    // The next start opens maximized; a rectangle on no screen falls back to the default one.
    Configuration::instance()->setMainWindowsRect(QRect(-30000, -30000, 800, 600));
    MainWindows next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QVERIFY(part<QPushButton>(next, "pBtn_Maximize")->isChecked());
    part<QPushButton>(next, "pBtn_Maximize")->click();
    QTRY_COMPARE(next.geometry(), MainWindows::DefaultRect);
}

// Closing waits for the export: it must stop inside a long recording's reading; neither then
// nor after a cancel in the writing is the file or a temporary of it left behind.
void TestMainWindows::closingCancelsTheExportAtOnce_data()
{
    QTest::addColumn<bool>("whileWriting");
    QTest::newRow("closed while reading") << false;
    QTest::newRow("cancelled while writing") << true;
}

void TestMainWindows::closingCancelsTheExportAtOnce()
{
    QFETCH(bool, whileWriting);
    if (mLongRecording.isEmpty()) {
        Recording recording;
        recording.source = ParserObject::Gps0Box;
        Drive drive;
        drive.seconds = LongSeconds;
        recording.records = drive.records();
        mLongRecording = mDir.filePath("long/20240101_120000_F.MP4");
        QVERIFY(QDir().mkpath(QFileInfo(mLongRecording).path()));
        QVERIFY(recording.write(mLongRecording));
    }
    QTemporaryDir out;
    MainWindows window;
    PlaylistModel *model = openDrive(&window);
    QSignalSpy finished(&window, &MainWindows::exportFinished);
    // The long recording takes long enough to read for the test to be in time to cancel the
    // writing; closing while reading should not wait for its end.
    const QStringList files{model->item(0)->url.toLocalFile(), mLongRecording};
    QVERIFY(window.startExport(
            {files, false, QString(), TrackWriter::Gpx, out.filePath("track.gpx")}));
    auto *job = window.findChild<ExportJob *>();
    QSignalSpy progressed(job, &ExportJob::progressed);
    std::atomic<bool> longRead{false};
    connect(
            job, &ExportJob::progressed, job,
            [&longRead, &files](int step) {
                if (step >= files.size())
                    longRead = true;
            },
            Qt::DirectConnection);
    if (whileWriting) {
        // Read in full, so the part is written before the cancel is seen.
        connect(
                job, &ExportJob::progressed, job,
                [job](int step) {
                    if (step == job->steps() - 1)
                        job->cancel();
                },
                Qt::DirectConnection);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Patience);
        QCOMPARE(finished.first(), QVariantList({false, QString()}));
    } else {
        // The short recording is read: the long one is being read now.
        QTRY_VERIFY_WITH_TIMEOUT(!progressed.isEmpty(), Patience);
    }
    const bool longReadBeforeClose = longRead;
    window.close();
    // The close has waited for the job. Stopped inside the long recording, it never told that
    // recording read; a close that let the reading run to its end would have. (On a machine
    // slow enough to finish the reading before the close began, nothing can be told.)
    if (!whileWriting && !longReadBeforeClose)
        QVERIFY2(!longRead, "the long recording was read to its end");
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestMainWindows::escapeNeverCloses()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::qWait(50);
    QVERIFY(window.isVisible());
}

VELQOR_MAP_TEST_MAIN(TestMainWindows)
#include "tst_mainwindows.moc"
