// Benchmark of the viewer on a drive folder: start-up, time to the first frame, memory playing.
#include "app/mainwindows.h"
#include "config/configuration.h"
#include "player/playerwidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

// A field of /proc/self/status in kB, or -1.
qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Runs the event loop until done() holds or ms have passed; returns whether it held.
template<typename Done>
bool spinUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Starts the main window with fresh settings, opens a drive folder the way the open "
            "dialog does and prints the start-up time, the time until the first recording shows "
            "its first frame, and the resident memory while it plays.");
    options.addHelpOption();
    options.addOption(
            {"play-seconds", "How long to play before reading the memory.", "seconds", "10"});
    options.addPositionalArgument("folder", "A drive folder, e.g. one written by velqor-demo.");
    options.process(app);
    if (options.positionalArguments().size() != 1)
        options.showHelp(64);
    const QString folder = QDir(options.positionalArguments().first()).absolutePath();

    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::DataLocation)
                  + QStringLiteral("/configuration.ini"));

    MainWindows window;
    window.show();
    spinUntil([&window] { return window.isVisible(); }, 5000);
    const qint64 shownMs = sinceStart.elapsed();

    QElapsedTimer sinceOpen;
    sinceOpen.start();
    window.openUrls({QUrl::fromLocalFile(folder)});
    const qint64 listedMs = sinceOpen.elapsed();
    // The front camera's player: the first player widget of the play area.
    const QList<PlayerWidget *> players = window.findChildren<PlayerWidget *>();
    QMediaPlayer *front = players.isEmpty() ? nullptr : players.first()->mediaPlayer();
    const auto showsFrames = [front] {
        return front && front->state() == QMediaPlayer::PlayingState
               && front->mediaStatus() == QMediaPlayer::BufferedMedia && front->position() > 0;
    };
    if (!spinUntil(showsFrames, 60000)) {
        std::fprintf(stderr, "the first recording did not start playing within 60 s\n");
        return 1;
    }
    const qint64 firstFrameMs = sinceOpen.elapsed();
    const int playMs = options.value("play-seconds").toInt() * 1000;
    spinUntil([] { return false; }, playMs);

    std::printf("window shown after process start: %lld ms\n", shownMs);
    std::printf("folder listed into the playlist: %lld ms\n", listedMs);
    std::printf("first recording playing with frames, from opening the folder: %lld ms\n",
                firstFrameMs);
    std::printf("resident memory after %d s of playback: %lld MiB (peak %lld MiB)\n", playMs / 1000,
                statusField("VmRSS") / 1024, statusField("VmHWM") / 1024);
    window.close();
    return 0;
}
