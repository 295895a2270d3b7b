// The playlist's drives and their events, worked out in the background as telemetry arrives.
#include "playlistdrives.h"

#include "export/eventdetector.h"
#include "playlistmodel.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>

namespace {

bool sameSample(const GpsData &a, const GpsData &b)
{
    return a.index == b.index && std::memcmp(a.dateTime, b.dateTime, sizeof a.dateTime) == 0
           && std::memcmp(a.auxText, b.auxText, sizeof a.auxText) == 0 && a.fixFlag == b.fixFlag
           && a.latitudeRef == b.latitudeRef && a.latitude == b.latitude
           && a.longitudeRef == b.longitudeRef && a.longitude == b.longitude
           && a.auxValue == b.auxValue && a.speed == b.speed && a.gsensorX == b.gsensorX
           && a.gsensorY == b.gsensorY && a.gsensorZ == b.gsensorZ && a.heading == b.heading;
}

bool sameSamples(const QVector<GpsData> &held, const QList<GpsData> &delivered)
{
    return held.size() == delivered.size()
           && std::equal(held.begin(), held.end(), delivered.begin(), sameSample);
}

} // namespace

PlaylistDrives::PlaylistDrives(PlaylistModel *model, QObject *parent)
    : QObject(parent)
    , mModel(model)
{
    mDebounce.setSingleShot(true);
    mDebounce.setInterval(DebounceMs);
    // A computation still running is stale by now: its end starts the next one.
    connect(&mDebounce, &QTimer::timeout, this, [this] {
        if (!mWatcher.isRunning())
            startComputation();
    });
    connect(&mWatcher, &QFutureWatcherBase::finished, this, &PlaylistDrives::onComputed);

    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                onDataChanged(topLeft.row(), bottomRight.row());
            });
    connect(model, &QAbstractItemModel::modelReset, this, &PlaylistDrives::onModelReset);
    connect(model, &PlaylistModel::allGpsDataParserFinished, this, &PlaylistDrives::onSamples);
    if (model->rowCount() > 0)
        onRowsInserted(0, model->rowCount() - 1);
}

PlaylistDrives::~PlaylistDrives()
{
    // The computation holds copies and its own flag only, so it may end after this object; the
    // watcher goes with it, and nobody hears of the result.
    if (mCancelled)
        *mCancelled = true;
}

void PlaylistDrives::onRowsInserted(int first, int last)
{
    for (int id = first; id <= last; ++id) {
        const PlaylistItem *row = mModel->item(id);
        if (!row)
            continue;
        setFile(&mRows[id], row->url);
        // The file information comes once the thread has walked the file; its samples are then
        // being read, and a request is answered once they all are.
        connect(row->parser, &VideoParser::videoInfoChanged, this,
                [this](int rowId) { onVideoInfo(rowId); });
        // A row that is past that already is asked at once.
        onVideoInfo(id);
    }
}

void PlaylistDrives::onDataChanged(int first, int last)
{
    if (!mModel)
        return;
    for (int id = first; id <= last; ++id) {
        const PlaylistItem *row = mModel->item(id);
        const auto state = mRows.find(id);
        if (!row || state == mRows.end())
            continue;
        if (state->url != row->url) {
            // Another file took the row over: what was known belongs to the old one.
            *state = RowState();
            setFile(&*state, row->url);
            inputsChanged();
        } else if (state->hasSamples) {
            inputsChanged();
        }
    }
}

void PlaylistDrives::onVideoInfo(int rowId)
{
    const PlaylistItem *row = mModel ? mModel->item(rowId) : nullptr;
    const auto state = mRows.find(rowId);
    if (!row || state == mRows.end() || state->requested || state->url != row->url)
        return;
    // Only a running thread is asked: a request would start a stopped one again, and one that a
    // new file is waiting for (the row being taken over) asks its next run anyway.
    if (!row->parser->isRunning())
        return;
    state->requested = true;
    mModel->requestAllGpsData(rowId);
}

void PlaylistDrives::onSamples(int rowId, const QList<GpsData> &samples)
{
    const auto state = mRows.find(rowId);
    if (state == mRows.end())
        return;
    // The window asks for the current row's list too, on every start of the row: the same list
    // again changes nothing.
    if (state->hasSamples && sameSamples(state->samples, samples))
        return;
    state->samples = QVector<GpsData>::fromList(samples);
    state->hasSamples = true;
    inputsChanged();
}

void PlaylistDrives::onModelReset()
{
    mRows.clear();
    inputsChanged();
}

void PlaylistDrives::setFile(RowState *state, const QUrl &url)
{
    state->url = url;
    state->fileTime = Drives::fileTime(QFileInfo(url.toLocalFile()));
}

void PlaylistDrives::inputsChanged()
{
    // Whatever is computing now, or has finished without its result delivered yet, works on the
    // old inputs: its result must not land, not even in the moment before the next one starts.
    // Told to stop, it frees its thread sooner.
    mStale = true;
    if (mCancelled)
        *mCancelled = true;
    mDebounce.start();
}

void PlaylistDrives::startComputation()
{
    // Rows in id order, so that clips starting at the same moment keep the playlist's order.
    QVector<Row> rows;
    const int rowCount = mModel ? mModel->rowCount() : 0;
    for (int id = 0; id < rowCount; ++id) {
        const auto state = mRows.constFind(id);
        const PlaylistItem *item = mModel->item(id);
        if (state == mRows.constEnd() || !state->hasSamples || !item)
            continue;
        rows.append({id, item->duration, state->fileTime, state->samples});
    }
    mStale = false;
    mCancelled = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancelled = mCancelled;
    mWatcher.setFuture(QtConcurrent::run([rows, cancelled] { return compute(rows, *cancelled); }));
}

void PlaylistDrives::onComputed()
{
    if (mStale) {
        // Newer inputs still settling start their own computation once the debounce ends.
        if (!mDebounce.isActive())
            startComputation();
        return;
    }
    Result result = mWatcher.result();
    mDrives = std::move(result.drives);
    mDriveOfRow = std::move(result.driveOfRow);
    emit drivesChanged();
}

PlaylistDrives::Result PlaylistDrives::compute(const QVector<Row> &rows,
                                               const std::atomic<bool> &cancelled)
{
    QVector<DriveClip> clips;
    clips.reserve(rows.size());
    QVector<int> lengths;
    lengths.reserve(rows.size());
    for (const Row &row : rows) {
        lengths.append(Drives::lengthOf(row.seconds, row.samples.size()));
        clips.append(Drives::clipOf(row.samples, lengths.last(),
                                    Drives::fileStart(row.fileTime, lengths.last())));
    }

    Result result;
    const QVector<QVector<int>> groups = Drives::group(clips);
    for (const QVector<int> &members : groups) {
        if (cancelled)
            break;
        Drive drive;
        QVector<QVector<GpsData>> samples;
        QVector<int> seconds;
        int offset = 0;
        for (int index : members) {
            const Row &row = rows.at(index);
            samples.append(row.samples);
            seconds.append(lengths.at(index));
            Clip clip;
            clip.rowId = row.rowId;
            clip.seconds = lengths.at(index);
            clip.offset = offset;
            offset += clip.seconds;
            drive.clips.append(clip);
            result.driveOfRow.insert(row.rowId, result.drives.size());
        }
        const QVector<QVector<DrivingEvent>> events = EventDetector::detectDrive(samples);
        for (int i = 0; i < drive.clips.size() && i < events.size(); ++i)
            drive.clips[i].events = events.at(i);
        drive.summary = Drives::summarize(samples, seconds);
        drive.track = Drives::track(samples, TrackPoints);
        result.drives.append(drive);
    }
    return result;
}
