// Per-recording worker thread: parses one file once, then serves its per-second samples.
#include "videoparser.h"

#include "recordingparser.h"
#include "secondsamples.h"

#include <QCoreApplication>
#include <QDebug>
#include <QVector>

#include <chrono>
#include <memory>

namespace {

// A wanted second is repeated every RepeatMs so that the receivers can refresh their displays.
// With nothing wanted there is nothing to send until a request, a second or a stop arrives, and
// each of those wakes the worker; so an idle row sleeps until then (UntilWoken) instead of
// polling, which keeps a playlist of a thousand rows from waking thousands of times a second.
constexpr int RepeatMs = 100;
constexpr int UntilWoken = -1;

} // namespace

std::function<void()> VideoParser::serveRoundHook;

VideoParser::VideoParser(QObject *parent)
    : QThread(parent)
{
    registerRecordMetaTypes();
    mStartTimer.setSingleShot(true);
    connect(&mStartTimer, &QTimer::timeout, this, [this] { startRun(); });
}

VideoParser::~VideoParser()
{
    stopAndWait({this});
}

void VideoParser::parseFile(const QUrl &url, int id, int delayMs)
{
    stopAndWait({this});
    mUrl = url;
    mId = id;
    mRunning = true;
    mStartTimer.start(qMax(0, delayMs));
}

void VideoParser::stopParsing()
{
    // A stopped parser must not start later either, from a staggered start still pending.
    mStartTimer.stop();
    mRunning = false;
    wake();
}

void VideoParser::setCurrentSecond(int second)
{
    if (mCurrentSecond.exchange(second) != second) {
        wake();
    }
}

void VideoParser::requestAllGpsData()
{
    mSendAll = true;
    wake();
    if (!isRunning()) {
        // The pending staggered start is taken over by this one.
        mStartTimer.stop();
        startRun();
    }
}

void VideoParser::stopAndWait(const QList<VideoParser *> &parsers)
{
    QVector<int> started;
    started.reserve(parsers.size());
    bool undelivered = false;
    for (VideoParser *parser : parsers) {
        parser->mStartTimer.stop();
        parser->stopParsing();
        started.append(parser->mRunsStarted);
        undelivered = undelivered || parser->mRunsStarted != parser->mRunsDelivered;
    }

    // Whether a thread is still running cannot tell whether its signals are still queued: a run
    // may end, by this stop or an earlier one, before anyone looks. A parser that never ran since
    // the last delivery has left nothing, though, and a parseFile of it delivers nothing else.
    const bool dispatching = undelivered && QCoreApplication::instance()
                             && QThread::currentThread()->eventDispatcher();
    // Nothing is delivered while waiting: a stopped worker needs nothing from this thread to end,
    // so the wait depends on nothing but the workers themselves, and no delivered signal can run
    // code that finds this stop half done.
    for (VideoParser *parser : parsers) {
        parser->wait();
        parser->mRunsEnded.load(std::memory_order_acquire);
    }
    if (dispatching) {
        // Everything the runs sent is posted by now and is delivered before the caller moves on
        // (a row taken over by another file would get it under the same id). Directly rather than
        // by an event loop iteration, which may dispatch other sources instead, or sleep.
        QCoreApplication::sendPostedEvents();
    }
    for (int i = 0; i < parsers.size(); ++i) {
        parsers.at(i)->mRunsDelivered = started.at(i);
    }
}

void VideoParser::startRun()
{
    ++mRunsStarted;
    start();
}

void VideoParser::run()
{
    std::unique_ptr<ParserObject> parser = createRecordingParser(mUrl.toLocalFile());
    const VideoInfo info = parser->videoInfo();
    emit videoInfoChanged(mId, info);

    mGpsDataList.clear();
    for (int i = 0; mRunning; ++i) {
        GpsData sample;
        if (!parser->readSample(i, sample)) {
            break;
        }
        mGpsDataList.append(sample);
    }
    fitSamplesToDuration(mGpsDataList, info.duration);

    serve();

    mCurrentSecond = -1;
    parser.reset();
    qDebug() << "end run" << mId;
    mRunsEnded.fetch_add(1, std::memory_order_release);
}

void VideoParser::serve()
{
    int lastSent = -1;
    while (mRunning) {
        if (serveRoundHook) {
            serveRoundHook();
        }
        const quint64 seen = generation();
        if (mSendAll.exchange(false)) {
            emit allGpsDataParserFinished(mId, mGpsDataList);
        }
        const int current = mCurrentSecond;
        if (current != lastSent) {
            if (current >= 0 && current < mGpsDataList.size()) {
                emit gpsDataChanged(mId, mGpsDataList.at(current));
                lastSent = current;
                continue;
            }
            pause(current >= 0 ? RepeatMs : UntilWoken, seen);
        } else if (current >= 0) {
            emit gpsDataChanged(mId, mGpsDataList.at(current));
            pause(RepeatMs, seen);
        } else {
            pause(UntilWoken, seen);
        }
    }
}

void VideoParser::pause(int ms, quint64 seenGeneration)
{
    std::unique_lock<std::mutex> lock(mWakeMutex);
    // A stop that came after the worker looked at the keep-running flag but before it took
    // seenGeneration is already counted in seenGeneration; the flag, which a stop clears before
    // it takes this mutex, is what still tells of it.
    const auto woken
            = [this, seenGeneration] { return !mRunning || mWakeGeneration != seenGeneration; };
    if (ms == UntilWoken)
        mWakeCondition.wait(lock, woken);
    else
        mWakeCondition.wait_for(lock, std::chrono::milliseconds(ms), woken);
}

quint64 VideoParser::generation()
{
    std::lock_guard<std::mutex> lock(mWakeMutex);
    return mWakeGeneration;
}

void VideoParser::wake()
{
    std::lock_guard<std::mutex> lock(mWakeMutex);
    ++mWakeGeneration;
    mWakeCondition.notify_all();
}
