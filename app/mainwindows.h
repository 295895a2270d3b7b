// The one top-level window: wires the playlist, the players and the control bar together.
#pragma once

#include "export/speedunit.h"
#include "exportjob.h"
#include "map/mappoint.h"
#include "parser/gpsdata.h"
#include "playlist/playlistdrives.h"
#include "videoexportdialog.h"
#include "windowgeometry.h"

#include <QAbstractNativeEventFilter>
#include <QDialog>
#include <QFileInfoList>
#include <QList>
#include <QMediaPlayer>
#include <QModelIndex>
#include <QRect>
#include <QUrl>

#include <functional>

namespace Ui {
class MainWindows;
}

class EdgeResizer;
class EventsDialog;
class VideoExportJob;
class MoveFilter;
class PlaylistItem;
class PlaylistModel;
class QAction;
class WebEngineUrlRequestInterceptor;
class QMenu;
class QKeyEvent;

class MainWindows : public QDialog, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit MainWindows(QWidget *parent = nullptr);
    ~MainWindows() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

    // What the open dialog does once accepted: lists each folder's recordings into the playlist
    // and starts the first of the last folder's.
    void openUrls(const QList<QUrl> &urls);

    // Where the window opens when the stored rectangle lies on no screen.
    static const QRect DefaultRect;

    // The hook every window puts on the web engine's default profile; it counts what went out.
    static WebEngineUrlRequestInterceptor &requestInterceptor();

    // Writes the request's recordings in the background with a progress dialog; false while
    // another export runs. exportFinished tells the outcome, after any message about it.
    bool startExport(const ExportJob::Request &request);
    // The same for a video, with a progress dialog that leaves the window usable; false while
    // another video export runs. videoExportFinished tells the outcome, after any message.
    bool startVideoExport(const VideoExportRequest &request);

signals:
    void exportFinished(bool written, const QString &error);
    void videoExportFinished(bool written, const QString &error);

public slots:
    bool isSuportH264orH265(int id);
    void onUpdateLanguage();
    void openFile();
    void onDropFile(QFileInfoList fileInfoList);
    void onStop();
    void playClicked();
    void previousClicked();
    void nextClicked();
    void durationChanged(qint64 duration);
    void positionChanged(qint64 second, int rowId);
    void on_pBtn_Step_clicked();
    void on_pBtn_Minimize_clicked();
    void on_pBtn_Maximize_clicked();
    void on_pBtn_Close_clicked();
    void onTableDoubleClicked(QModelIndex index);
    void onGpsDataChanged(int rowId, GpsData data);
    void onAllGpsDataParserFinished(int id, QList<GpsData> dataList);
    void onKeyPressEvent(QKeyEvent *e);
    void onFrontView(bool checked);
    void onRearView(bool checked);
    void onFrontRearView(bool checked);
    void changeMapWindowSize();
    void changeMapStarPlay();
    void showGyroCurrentValue(float fX, float fY, float fZ);
    void setSystemFontSize(bool changeOnce = false);
    void setMovingWindowFlag(bool bIsStop);
    void onSpeedUnitChanged();
    void exportTrack();
    void exportDrive();
    void showExportMenu(const QPoint &globalPos);
    void exportEvents();
    void exportVideo();
    void showEvents();
    // Plays a moment of a recording: seeks when it is the one playing, else starts it there.
    void playMoment(int rowId, int second);
    // The next (or previous) event of the drive from the current position, from a little before.
    void jumpToEvent(bool forward);

protected:
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setUpPlaylistTable();
    void fitPlaylistColumns(bool anew);
    void connectParts();
    int addFiles(const QFileInfoList &files);
    void playRecord(PlaylistItem *item);
    // The camera buttons and the play area's idea of which cameras the row offers.
    void applyCameras(const PlaylistItem *item, const QUrl &rearUrl);
    // Near the end of the current clip, opens the next row ahead; away from it, lets go of it.
    void prepareOrDropNext(int second, int rowId);
    // Continues with the prepared next row in place of a fresh start; false when it is not ready.
    bool continueWithPrepared(PlaylistItem *next);
    void playCurrentTableRow();
    int currentRowId() const;
    void forgetCurrentSecond();

    // Telemetry displays.
    void resetTelemetryDisplays();
    void drawTrack(int id, const QList<GpsData> &dataList);
    void showSampleTelemetry(const GpsData &data);
    // The speed text and the speedometer, in the user's unit.
    void showSpeed(int kmh);
    void applyMapSize();

    // Exports.
    void setUpExport();
    void retranslateExport();
    // The local files of the selected rows, or of every row, in playlist order; with their rear
    // partners added to recordings when given.
    QStringList exportRows(bool all, QStringList *recordings = nullptr) const;
    // A row's local files: its recording and its rear partner, if any.
    QStringList recordingFiles(const PlaylistItem *item) const;
    void askAndExport(const QString &title, const QStringList &files, const QStringList &recordings,
                      bool asDrive, QString name);
    // Cancels the exports running and waits for them, bounded.
    void stopExport();
    // What the video export dialog offers: the current recording, its drive and the selection.
    VideoExportDialog::Source videoSource() const;
    // Asks where to save; target turns the dialog's choice (file, type) into the file written.
    // note, when not empty, shows in the dialog; none of the recordings may be the file written.
    // Empty when the user gives up.
    QString askSavePath(const QString &title, const QStringList &types, const QString &name,
                        const QString &note, const QStringList &recordings,
                        const std::function<QString(const QString &, const QString &)> &target);

    // Drives and events.
    void setUpDrives();
    // The drive of the recording playing, on the timeline, the map, the chart and the list.
    void showCurrentDrive();
    void onDrivePosition(qint64 second, int rowId);
    // Where the event at index of the drive is played from.
    int eventStart(int index) const;
    QString drivesNote() const;
    // Off while files are added: an export then would hold the adding up and miss the rest.

    // Window chrome.
    void toggleMaximize(bool fromConstructor);
    void updateMaximizeButton();
    void restoreWindowGeometry();
    void saveWindowGeometry();
    int currentScreenNumber() const;
    WindowGeometry::Edge hitTest();

    Ui::MainWindows *ui;
    PlaylistModel *mModel = nullptr;
    QMenu *mExportMenu = nullptr;
    QAction *mExportTrackAction = nullptr;
    QAction *mExportDriveAction = nullptr;
    QAction *mExportEventsAction = nullptr;
    QAction *mExportVideoAction = nullptr;
    ExportJob *mExportJob = nullptr;
    VideoExportJob *mVideoJob = nullptr;
    MoveFilter *mMoveFilter = nullptr;
    EdgeResizer *mEdgeResizer = nullptr;

    bool mIsNormal = true;
    QRect mRestoreRect;
    int mTimerId = -1;
    int mPlayStateBeforeDrag = 2; // 1 when a drag paused playback
    int mPressScreen = 0;
    double mFontRate = 1.0;
    WindowGeometry::Edge mEdge = WindowGeometry::NoEdge;
    bool mDecoderWarningShown = false;
    int mSpeed = 0; // km/h, the last speed shown
    SpeedUnit::Unit mSpeedUnit = SpeedUnit::Kmh;
    // Adding files lets events through, so a second folder or a close can arrive meanwhile.
    bool mAddingFiles = false;
    bool mClosing = false;

    PlaylistDrives *mDrives = nullptr;
    EventsDialog *mEventsDialog = nullptr;
    // The drive shown, of the row mShownRow, and its events in order with their clips.
    PlaylistDrives::Drive mDrive;
    int mShownRow = -1;
    struct EventMoment
    {
        int rowId;
        int driveSecond; // of the peak
    };
    QVector<EventMoment> mEventMoments;
    // Where playback is on the drive; a jump moves it at once, before the players report.
    int mDriveSecond = 0;
    int mRowSecond = 0;
    // A started recording's samples arrive once per start and more often when the drives ask
    // for them too; they are drawn once.
    bool mSamplesHandled = false;
    bool mTrackDrawn = false;
    // Where a recording being started is to be played from once it plays.
    struct
    {
        int rowId = -1;
        int second = 0;
    } mPendingSeek;
    // The row whose end last led to opening its next row ahead (-1: none), so that a next row that
    // cannot be opened is not tried again every second; and the samples of that next row.
    int mPreparedAfter = -1;
    int mPreparedSamplesRow = -1;
    QList<GpsData> mPreparedSamples;
    // The unparsed next row whose samples were asked for, so that it is asked once.
    int mNextAskedFor = -1;
};
