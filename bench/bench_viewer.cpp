// Benchmark of the viewer on a drive folder: start-up, time to the first frame, memory playing.
#include "app/mainwindows.h"
#include "config/configuration.h"
#include "player/playerwidget.h"
#include "viewerbench.h"

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

namespace { } // namespace

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
    const QString folder = ViewerBench::driveFolderArgument(options);

    ViewerBench::useFreshSettings();

    MainWindows window;
    window.show();
    ViewerBench::spinUntil([&window] { return window.isVisible(); }, 5000);
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
    if (!ViewerBench::spinUntil(showsFrames, 60000)) {
        std::fprintf(stderr, "the first recording did not start playing within 60 s\n");
        return 1;
    }
    const qint64 firstFrameMs = sinceOpen.elapsed();
    const int playMs = options.value("play-seconds").toInt() * 1000;
    ViewerBench::spinUntil([] { return false; }, playMs);

    std::printf("window shown after process start: %lld ms\n", shownMs);
    std::printf("folder listed into the playlist: %lld ms\n", listedMs);
    std::printf("first recording playing with frames, from opening the folder: %lld ms\n",
                firstFrameMs);
    std::printf("resident memory after %d s of playback: %lld MiB (peak %lld MiB)\n", playMs / 1000,
                ViewerBench::statusKb(QStringLiteral("self"), "VmRSS") / 1024,
                ViewerBench::statusKb(QStringLiteral("self"), "VmHWM") / 1024);
    window.close();
    return 0;
}
