// Per-recording worker thread: parses one file once, then serves its per-second samples.
#pragma once

#include "gpsdata.h"
#include "videoinfo.h"

#include <QList>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class VideoParser : public QThread
{
    Q_OBJECT

public:
    explicit VideoParser(QObject *parent = nullptr);
    ~VideoParser() override;

    // Ends a previous run and delivers its queued signals, then starts parsing url after delayMs;
    // every signal of the run carries id.
    void parseFile(const QUrl &url, int id, int delayMs);
    void stopParsing();
    // The second whose sample is wanted; -1 for none.
    void setCurrentSecond(int second);
    // Asks for the whole list once; starts the thread at once when it is not running.
    void requestAllGpsData();

    // Clears the keep-running flag of every parser first and then waits for all of them
    // together, so closing many rows costs one wait, not one per row; what the ended runs sent is
    // delivered before this returns.
    static void stopAndWait(const QList<VideoParser *> &parsers);

    // Null but in tests: called by the worker at the start of every serving round, after it saw
    // the keep-running flag set, so that a test can land a stop right there.
    static std::function<void()> serveRoundHook;

signals:
    void videoInfoChanged(int mId, VideoInfo info);
    void gpsDataChanged(int mId, GpsData data);
    void allGpsDataParserFinished(int mId, QList<GpsData> dataList);

protected:
    void run() override;

private:
    void startRun();
    void serve();
    // Sleeps up to ms (or until woken, for a negative ms) unless a request or a stop arrives
    // after the worker looked at the state numbered seenGeneration.
    void pause(int ms, quint64 seenGeneration);
    quint64 generation();
    void wake();

    std::atomic<bool> mRunning{false};
    std::atomic<bool> mSendAll{false};
    int mId = 0;
    QUrl mUrl;
    std::atomic<int> mCurrentSecond{-1};
    QList<GpsData> mGpsDataList;

    // Staggered start; a member timer so that a second parseFile replaces a pending start
    // instead of adding one, and so that destruction cancels it.
    QTimer mStartTimer;
    // Runs started, and the runs whose signals a stop has delivered; touched only by the thread
    // that owns the parser.
    int mRunsStarted = 0;
    int mRunsDelivered = 0;
    // Wakes the sleeping worker on every change of its flags or wanted second. Standard rather
    // than Qt primitives, so that the thread sanitizer sees this synchronisation.
    std::mutex mWakeMutex;
    std::condition_variable mWakeCondition;
    quint64 mWakeGeneration = 0;
    // Counted up as the last step of every run and read after waiting for the thread, so that
    // the run's work is ordered before the waiter's next step by the memory model itself, not
    // only by QThread's internal locking, which the thread sanitizer cannot see.
    std::atomic<int> mRunsEnded{0};
};
