// Work on many items spread over a pool of threads, with the results handed over one by one in
// the items' order, as if they had been worked through one after the other.
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QRunnable>
#include <QThreadPool>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

template<typename Result>
class OrderedRun
{
public:
    // Makes item index's result; it may run on any thread, several at once.
    using Work = std::function<Result(int index)>;
    // Told each result in order on the calling thread; returning false ends the run.
    using Take = std::function<bool(int index, Result &result)>;

    // jobs threads work at once; with one, the items are worked on the calling thread.
    explicit OrderedRun(int jobs)
        : mJobs(jobs < 1 ? 1 : jobs)
    { }

    // Works through the items 0 to count - 1; false when take ended the run. At most
    // windowFor(jobs) results exist at any time, taken or not, so memory stays bounded however
    // many items there are and however slow take is.
    bool run(int count, const Work &work, const Take &take);

    // Whether the run is ending early: work still in progress may give up and return anything,
    // its result is not taken.
    bool stopping() const { return mStopping.load(std::memory_order_relaxed); }

    // Items cost very different amounts (an hour-long AVI takes ten times a clip of another
    // kind), and a window of only a couple per thread left the threads idle behind one slow
    // item about half the time; a few dozen more keep them busy for little memory.
    static int windowFor(int jobs) { return 2 * jobs + 30; }

private:
    struct Slot
    {
        Result result;
        bool done = false;
        QRunnable *queued = nullptr; // the pool's task until it finishes
    };

    // Works on one item and puts the result in its slot; the pool deletes it after run().
    class Task : public QRunnable
    {
    public:
        Task(OrderedRun &run, const Work &work, int index)
            : mRun(run)
            , mWork(work)
            , mIndex(index)
        { }
        void run() override { mRun.finish(mIndex, mWork(mIndex)); }

    private:
        OrderedRun &mRun;
        const Work &mWork;
        int mIndex;
    };

    Slot &slotOf(int index) { return mSlots[size_t(index) % mSlots.size()]; }
    void finish(int index, Result &&result)
    {
        QMutexLocker locker(&mMutex);
        Slot &slot = slotOf(index);
        slot.result = std::move(result);
        slot.done = true;
        slot.queued = nullptr;
        mFinished.wakeAll();
    }
    bool runInline(int count, const Work &work, const Take &take);

    const int mJobs;
    std::atomic<bool> mStopping{false};
    QMutex mMutex;
    QWaitCondition mFinished;
    std::vector<Slot> mSlots;
};

template<typename Result>
bool OrderedRun<Result>::runInline(int count, const Work &work, const Take &take)
{
    for (int index = 0; index < count; ++index) {
        Result result = work(index);
        if (!take(index, result))
            return false;
    }
    return true;
}

// The items start in order and the pool runs them first come, first served, so the result
// waited for is always of a task that has started or is next in the queue. A queued one is
// taken back and worked on here: this thread then never waits for a task that no thread may
// pick up, and only ever for one that is running to its end.
template<typename Result>
bool OrderedRun<Result>::run(int count, const Work &work, const Take &take)
{
    mStopping = false;
    if (mJobs == 1 || count <= 1)
        return runInline(count, work, take);

    mSlots.assign(size_t(windowFor(mJobs)), Slot());
    QThreadPool pool;
    pool.setMaxThreadCount(mJobs);
    int started = 0;
    bool completed = true;
    for (int next = 0; next < count && completed; ++next) {
        for (; started < count && started - next < int(mSlots.size()); ++started) {
            auto task = std::make_unique<Task>(*this, work, started);
            QMutexLocker locker(&mMutex);
            slotOf(started).queued = task.get();
            locker.unlock();
            pool.start(task.release());
        }
        Result result;
        {
            QMutexLocker locker(&mMutex);
            Slot &slot = slotOf(next);
            if (!slot.done && slot.queued && pool.tryTake(slot.queued)) {
                const std::unique_ptr<QRunnable> task(slot.queued);
                locker.unlock();
                task->run();
                locker.relock();
            }
            while (!slot.done)
                mFinished.wait(&mMutex);
            result = std::move(slot.result);
            slot = Slot();
        }
        if (!take(next, result)) {
            mStopping = true;
            completed = false;
        }
    }
    if (!completed)
        pool.clear(); // what has not started is of no use any more
    pool.waitForDone();
    mSlots.clear();
    return completed;
}
