// The playlist's drives and their events, worked out in the background as telemetry arrives.
#pragma once

#include "export/drives.h"
#include "export/drivingevent.h"
#include "parser/gpsdata.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVector>

#include <atomic>
#include <memory>

class PlaylistModel;

class PlaylistDrives : public QObject
{
    Q_OBJECT

public:
    struct Clip
    {
        int rowId = -1;
        int seconds = 0; // the recording's length
        int offset = 0; // seconds from the drive's start on the timeline (sum of earlier lengths)
        QVector<DrivingEvent> events;
    };
    struct Drive
    {
        QVector<Clip> clips; // time order
        DriveSummary summary;
        QVector<QPointF> track; // x longitude, y latitude: the whole drive, thinned
    };

    // The drive line's points at most: plenty for a map, cheap to hand to its page.
    static constexpr int TrackPoints = 2000;
    // Telemetry arrives row by row; one recomputation follows a burst of it.
    static constexpr int DebounceMs = 200;

    explicit PlaylistDrives(PlaylistModel *model, QObject *parent = nullptr);
    // A computation still running is abandoned: it works on copies only and is told to stop.
    ~PlaylistDrives() override;

    int count() const { return mDrives.size(); }
    const Drive &drive(int index) const { return mDrives.at(index); }
    int driveOf(int rowId) const { return mDriveOfRow.value(rowId, -1); } // -1 while unknown
    // A recomputation is under way (or waiting for a thread); its result lands only if no
    // input changed meanwhile.
    bool isComputing() const { return mWatcher.isRunning(); }

    // The inputs of one recomputation, copied on the GUI thread.
    struct Row
    {
        int rowId = -1;
        int seconds = 0; // the header's length; 0 where it gives none (the samples tell then)
        qint64 fileTime = 0; // Drives::fileTime
        QVector<GpsData> samples;
    };
    struct Result
    {
        QVector<Drive> drives;
        QHash<int, int> driveOfRow;
    };
    // The drives of rows, without a thread: grouping, events, summary and track. Stops early,
    // with what it has, when cancelled is set.
    static Result compute(const QVector<Row> &rows, const std::atomic<bool> &cancelled);

signals:
    void drivesChanged(); // a recomputation has landed

private:
    struct RowState
    {
        QUrl url; // the file the samples belong to
        qint64 fileTime = 0; // of url
        bool requested = false;
        bool hasSamples = false;
        QVector<GpsData> samples;
    };

    void onRowsInserted(int first, int last);
    void onDataChanged(int first, int last);
    void onVideoInfo(int rowId);
    void onSamples(int rowId, const QList<GpsData> &samples);
    void onModelReset();
    void setFile(RowState *state, const QUrl &url);
    void inputsChanged();
    void startComputation();
    void onComputed();

    QPointer<PlaylistModel> mModel;
    QHash<int, RowState> mRows;
    QTimer mDebounce;
    QFutureWatcher<Result> mWatcher;
    std::shared_ptr<std::atomic<bool>> mCancelled; // of the computation running, if any
    bool mStale
            = false; // inputs changed since the latest computation started: its result is dropped
    QVector<Drive> mDrives;
    QHash<int, int> mDriveOfRow;
};
