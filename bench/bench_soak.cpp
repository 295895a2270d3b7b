// Soak of the viewer: a drive played in a loop for a long time under seeks, view changes and nexts.
#include "app/mainwindows.h"
#include "controls/controlpanel.h"
#include "player/playareamanager.h"
#include "playlist/playlistitem.h"
#include "viewerbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMouseEvent>
#include <QMutex>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>

#include <unistd.h>

namespace {

constexpr int SampleMs = 10000;
constexpr int PingMs = 100;
constexpr double PingGoalMs = 200;
constexpr double GrowthGoal = 0.05;
// A window silent this long is hung: the run ends there instead of waiting for good.
constexpr qint64 HungMs = 60000;
// Long enough for what the window leaves to its event loop when it closes.
constexpr int CloseMs = 3000;

// This machine has no sound card and no sound server: the sound library complains on every
// player that opens one, and so does the sound server's sink of the media framework. Those lines
// are about the machine, not about the viewer.
const char *const IgnoredPatterns[] = {"ALSA lib ", "Failed to connect: Connection refused"};

// Every warning or worse from any thread, counted before it is printed as usual.
struct Warnings
{
    QMutex mutex;
    int count = 0;
    int ignored = 0;
    // Each distinct text with how often it came, in the order of first appearance.
    QStringList texts;
    QVector<int> repeats;
    QtMessageHandler previous = nullptr;
} warnings;

void countMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
        QMutexLocker lock(&warnings.mutex);
        const QByteArray bytes = text.toUtf8();
        const bool machine
                = std::any_of(std::begin(IgnoredPatterns), std::end(IgnoredPatterns),
                              [&bytes](const char *pattern) { return bytes.contains(pattern); });
        if (machine) {
            ++warnings.ignored;
        } else {
            ++warnings.count;
            const QString line = QStringLiteral("[%1] %2").arg(
                    QString::fromLatin1(context.category ? context.category : "default"), text);
            const int known = warnings.texts.indexOf(line);
            if (known >= 0) {
                ++warnings.repeats[known];
            } else {
                warnings.texts << line;
                warnings.repeats << 1;
            }
        }
    }
    warnings.previous(type, context, text);
}

// Asks the window's thread, from a thread of its own, to run a call, and measures how long the
// call waits; one call is outstanding at a time, so a stall counts once, at its full length.
class Pinger
{
public:
    // Made in the window's thread; times are read from clock, which must have been started.
    explicit Pinger(const QElapsedTimer &clock)
        : mClock(clock)
    {
        mThread = std::thread([this] { run(); });
    }
    ~Pinger() { stop(); }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (!mStopping)
                mStoppedNs = mClock.nsecsElapsed();
            mStopping = true;
        }
        mWake.notify_all();
        if (mThread.joinable())
            mThread.join();
    }

    // After stop(): answered latencies in ms, plus the wait of a call still unanswered at stop().
    QVector<double> latencies() const
    {
        QVector<double> all = mLatencies;
        const qint64 sent = mSentNs.load();
        if (sent >= 0)
            all << (mStoppedNs - sent) / 1e6;
        return all;
    }

    // When the first calls that waited longer than the goal were sent, in s, and their waits.
    QVector<QPair<double, double>> late() const { return mLate; }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        while (!mWake.wait_for(lock, std::chrono::milliseconds(PingMs),
                               [this] { return mStopping; })) {
            const qint64 now = mClock.nsecsElapsed();
            const qint64 sent = mSentNs.load();
            if (sent >= 0) {
                if (now - sent > HungMs * 1000000) {
                    // Straight to the descriptor: the hung thread may hold the lock of a stream.
                    char message[80];
                    const int size = std::snprintf(
                            message, sizeof message,
                            "the window has not answered a ping for %lld s: hung\n", HungMs / 1000);
                    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, size);
                    std::_Exit(3);
                }
                continue;
            }
            mSentNs = now;
            QMetaObject::invokeMethod(
                    &mReceiver,
                    [this, now] {
                        // Only the window's thread touches the lists.
                        const double ms = (mClock.nsecsElapsed() - now) / 1e6;
                        mLatencies << ms;
                        if (ms > PingGoalMs && mLate.size() < 10)
                            mLate.append({now / 1e9, ms});
                        mSentNs = -1;
                    },
                    Qt::QueuedConnection);
        }
    }

    // Goes with the pinger, and with it a call still queued, which would otherwise run on a
    // pinger that is gone.
    QObject mReceiver;
    const QElapsedTimer &mClock;
    QVector<QPair<double, double>> mLate;
    std::atomic<qint64> mSentNs{-1};
    QVector<double> mLatencies;
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mStopping = false;
    qint64 mStoppedNs = -1;
    std::thread mThread;
};

// The user: every few seconds a click on the seek bar, on a view button or on next, and the
// drive started again from its first recording once it has ended.
class User : public QObject
{
public:
    User(MainWindows *window, quint32 seed, const QElapsedTimer &clock)
        : mWindow(window)
        , mRandom(seed)
        , mClock(clock)
    {
        mArea = window->findChild<PlayAreaManager *>();
        mPanel = window->findChild<ControlPanel *>();
        mSeekBar = mPanel->findChild<QSlider *>(QStringLiteral("hSlider_Seek"));
        mTable = window->findChild<QTableView *>(QStringLiteral("tbl_PlayListView"));
        mRow = currentRow();
        // Runs after the window's own handling of the same signal: an unchanged recording means
        // there was none after it.
        connect(mPanel, &ControlPanel::next, this, [this] {
            ++mAdvances;
            const int row = currentRow();
            note(QStringLiteral("next from row %1 to row %2").arg(mRow).arg(row));
            if (row == mRow && !mRestart.isActive())
                mRestart.start();
            mRow = row;
        });
        connect(mArea, &PlayAreaManager::stateChanged, this, [this](QMediaPlayer::State state) {
            if (state == QMediaPlayer::PlayingState && mArea->currentItem() != mLastPlaying) {
                mLastPlaying = mArea->currentItem();
                ++mPlayed;
                note(QStringLiteral("row %1 playing").arg(currentRow()));
            }
        });
        mActions.setSingleShot(true);
        connect(&mActions, &QTimer::timeout, this, &User::act);
        mRestart.setSingleShot(true);
        mRestart.setInterval(500);
        connect(&mRestart, &QTimer::timeout, this, &User::restart);
    }

    void start() { scheduleNext(); }
    void stop()
    {
        mActions.stop();
        mRestart.stop();
    }

    // Something seen, in the list that lastBefore() reads.
    void note(const QString &what) { mEvents.append({mClock.elapsed() / 1000.0, what}); }

    std::function<void()> onLoopEnd;
    int loops = 0;
    int seeks = 0;
    int viewChanges = 0;
    int nextClicks = 0;
    int advances() const { return mAdvances; }
    int played() const { return mPlayed; }

    // What the user did or saw last at or before the time, in s since the clock started.
    QString lastBefore(double seconds) const
    {
        QString last = QStringLiteral("nothing");
        for (const auto &event : mEvents) {
            if (event.first > seconds)
                break;
            last = QStringLiteral("%1 at %2 s").arg(event.second).arg(event.first, 0, 'f', 1);
        }
        return last;
    }

private:
    int currentRow() const
    {
        const PlaylistItem *item = mArea->currentItem();
        return item ? item->id : -1;
    }

    void scheduleNext() { mActions.start(2000 + int(mRandom.bounded(4000))); }

    void act()
    {
        switch (mRandom.bounded(3)) {
        case 0:
            seek();
            break;
        case 1:
            changeView();
            break;
        default:
            ++nextClicks;
            note(QStringLiteral("next clicked"));
            click(QStringLiteral("btn_Next"));
            break;
        }
        scheduleNext();
    }

    void seek()
    {
        // A click at a random place of the bar, as a mouse gives it.
        const QPoint at(int(mRandom.bounded(mSeekBar->width())), mSeekBar->height() / 2);
        const QPoint global = mSeekBar->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(mSeekBar, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(mSeekBar, &release);
        ++seeks;
        note(QStringLiteral("seek click at %1 of %2 px").arg(at.x()).arg(mSeekBar->width()));
    }

    void changeView()
    {
        // Another view than the one shown, so that every change is one.
        const QStringList views = {QStringLiteral("btn_Front"), QStringLiteral("btn_Rear"),
                                   QStringLiteral("btn_FrontRear")};
        QStringList others;
        for (const QString &name : views) {
            const auto *button = mPanel->findChild<QPushButton *>(name);
            if (button->isEnabled() && !button->isChecked())
                others << name;
        }
        if (others.isEmpty())
            return;
        const QString chosen = others.at(int(mRandom.bounded(others.size())));
        note(chosen + QStringLiteral(" clicked"));
        click(chosen);
        ++viewChanges;
    }

    void click(const QString &button) { mPanel->findChild<QPushButton *>(button)->click(); }

    void restart()
    {
        ++loops;
        if (onLoopEnd)
            onLoopEnd();
        note(QStringLiteral("first row started again"));
        mWindow->onTableDoubleClicked(mTable->model()->index(0, 0));
        mRow = currentRow();
    }

    MainWindows *mWindow;
    PlayAreaManager *mArea;
    ControlPanel *mPanel;
    QSlider *mSeekBar;
    QTableView *mTable;
    QRandomGenerator mRandom;
    const QElapsedTimer &mClock;
    QVector<QPair<double, QString>> mEvents;
    QTimer mActions;
    QTimer mRestart;
    int mRow = -1;
    int mAdvances = 0;
    int mPlayed = 0;
    const PlaylistItem *mLastPlaying = nullptr;
};

qint64 residentKb()
{
    return ViewerBench::statusKb(QStringLiteral("self"), "VmRSS");
}

} // namespace

int main(int argc, char *argv[])
{
    // Every return puts the usual handler back: messages can still come after main, when
    // warnings is already destroyed.
    struct Counting
    {
        Counting() { warnings.previous = qInstallMessageHandler(countMessage); }
        ~Counting() { qInstallMessageHandler(warnings.previous); }
    } counting;
    // Root under a virtual display has no login session, hence no runtime folder; one is made up
    // here as a login would, so that the window system's code has nothing to say about it.
    std::unique_ptr<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
    }
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Plays a drive folder in a loop in the main window, with a seek, a view change or a "
            "next every 2 to 6 s, and checks that resident memory at the end of each loop stays "
            "within 5 % of its level at the end of the first, that nothing is warned and that the "
            "window answers within 200 ms throughout. Exits with 1 when a goal is missed.");
    options.addHelpOption();
    options.addOption({"minutes", "How long to play, at most a day.", "minutes", "30"});
    options.addOption({"seed", "Seed of the user's choices and pauses.", "number", "1"});
    double minutes = 0;
    const QString folder = ViewerBench::driveFolderArgument(options, [&] {
        bool valid = false;
        minutes = options.value("minutes").toDouble(&valid);
        return valid && minutes > 0 && minutes <= 24 * 60;
    });

    ViewerBench::useFreshSettings();
    MainWindows window;
    window.show();
    ViewerBench::spinUntil([&window] { return window.isVisible(); }, 5000);
    window.openUrls({QUrl::fromLocalFile(folder)});
    auto *area = window.findChild<PlayAreaManager *>();
    if (!ViewerBench::spinUntil([area] { return area->state() == QMediaPlayer::PlayingState; },
                                60000)) {
        std::fprintf(stderr, "the first recording did not start playing within 60 s\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    struct Sample
    {
        qint64 ms;
        qint64 kb;
    };
    QVector<Sample> samples;
    // Taken at the same point of every loop, as the drive starts again, so that one loop's
    // reading compares with another's; the samples fall anywhere in playing.
    QVector<qint64> loopEndKb;
    int samplesInFirstLoop = 0;
    const auto sample = [&] {
        qint64 helpers = 0;
        const qint64 engineKb = ViewerBench::webEngineKb(&helpers);
        samples.append({clock.elapsed(), residentKb()});
        std::printf("%6lld s  resident %5lld MiB  web engine %5lld MiB in %lld processes\n",
                    samples.last().ms / 1000, samples.last().kb / 1024, engineKb / 1024, helpers);
        std::fflush(stdout);
    };

    User user(&window, quint32(options.value("seed").toUInt()), clock);
    user.onLoopEnd = [&] {
        loopEndKb << residentKb();
        if (loopEndKb.size() == 1)
            samplesInFirstLoop = samples.size();
        std::printf("%6lld s  loop %d ended, resident %5lld MiB\n", clock.elapsed() / 1000,
                    user.loops, loopEndKb.last() / 1024);
    };
    Pinger pinger(clock);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sample();
    sampler.start(SampleMs);
    user.start();
    const int runMs = int(minutes * 60000);
    QEventLoop soak;
    QTimer::singleShot(runMs, &soak, &QEventLoop::quit);
    soak.exec();
    user.stop();
    sampler.stop();
    sample();
    const qint64 playedMs = clock.elapsed();

    // Closing is watched as playing is: the pinger still runs and warnings still count. The
    // window quits the application as it closes, which makes every later event loop return at
    // once; events are handled one wait at a time instead.
    user.note(QStringLiteral("window closed"));
    window.close();
    QTimer closing;
    closing.setSingleShot(true);
    closing.start(CloseMs);
    while (closing.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pinger.stop();

    bool met = true;
    std::printf("\nplayed %.1f min: %d loops of the drive completed, %d recordings started "
                "playing\n",
                playedMs / 60000.0, user.loops, user.played());
    std::printf("seeks %d, view changes %d, next clicks %d, nexts in all (with ends of "
                "recordings) %d\n",
                user.seeks, user.viewChanges, user.nextClicks, user.advances());

    if (loopEndKb.size() < 2) {
        std::printf("memory: %d loops ended, growth needs two, not measured\n",
                    int(loopEndKb.size()));
        met = false;
    } else {
        const qint64 laterKb = *std::max_element(loopEndKb.cbegin() + 1, loopEndKb.cend());
        const double growth = double(laterKb) / loopEndKb.first() - 1;
        std::printf("memory at loop ends: %lld MiB after the first, at most %lld MiB after the "
                    "%d later (%+.1f %%); goal at most +%.0f %%\n",
                    loopEndKb.first() / 1024, laterKb / 1024, int(loopEndKb.size()) - 1,
                    growth * 100, GrowthGoal * 100);
        met = met && growth <= GrowthGoal;
    }
    // Shown, not judged: the first loop's samples include the start.
    if (samplesInFirstLoop > 0 && samplesInFirstLoop < samples.size()) {
        const auto highestKb = [&samples](int from, int to) {
            qint64 kb = 0;
            for (int i = from; i < to; ++i)
                kb = std::max(kb, samples.at(i).kb);
            return kb;
        };
        const qint64 firstKb = highestKb(0, samplesInFirstLoop);
        const qint64 laterKb = highestKb(samplesInFirstLoop, samples.size());
        std::printf("memory while playing: highest sample %lld MiB in the first loop, %lld MiB "
                    "after it (%+.1f %%)\n",
                    firstKb / 1024, laterKb / 1024, (double(laterKb) / firstKb - 1) * 100);
    }

    {
        QMutexLocker lock(&warnings.mutex);
        std::printf("warnings: %d (goal 0); audio-device lines of a machine without sound "
                    "ignored: %d\n",
                    warnings.count, warnings.ignored);
        for (int i = 0; i < std::min(int(warnings.texts.size()), 8); ++i)
            std::printf("  %4dx %s\n", warnings.repeats.at(i), qPrintable(warnings.texts.at(i)));
        if (warnings.texts.size() > 8)
            std::printf("  and %d other texts\n", int(warnings.texts.size()) - 8);
        met = met && warnings.count == 0;
    }

    QVector<double> latencies = pinger.latencies();
    std::sort(latencies.begin(), latencies.end());
    if (latencies.isEmpty()) {
        std::printf("ping: no answer\n");
        met = false;
    } else {
        const double mean
                = std::accumulate(latencies.cbegin(), latencies.cend(), 0.0) / latencies.size();
        const double p99 = latencies.at(int(std::ceil(0.99 * latencies.size())) - 1);
        const auto late = std::count_if(latencies.cbegin(), latencies.cend(),
                                        [](double ms) { return ms > PingGoalMs; });
        std::printf("ping: %d answered, max %.1f ms, p99 %.1f ms, mean %.2f ms, over %.0f ms: "
                    "%d; goal max %.0f ms\n",
                    latencies.size(), latencies.last(), p99, mean, PingGoalMs, int(late),
                    PingGoalMs);
        for (const auto &call : pinger.late())
            std::printf("  sent at %.1f s, answered after %.1f ms; before it: %s\n", call.first,
                        call.second, qPrintable(user.lastBefore(call.first)));
        met = met && latencies.last() <= PingGoalMs;
    }
    std::printf("verdict: %s\n", met ? "PASS, every goal met" : "FAIL, a goal was missed");
    std::fflush(stdout);
    return met ? 0 : 1;
}
