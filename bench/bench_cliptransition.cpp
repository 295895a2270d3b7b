// Benchmark of the change from one clip of a drive to the next, from a recording of the X screen.
#include "app/mainwindows.h"
#include "player/playareamanager.h"
#include "player/playerwidget.h"
#include "playlist/playlistitem.h"
#include "viewerbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Fps = 25; // of the screen recording
constexpr int Width = 160; // the video area is scaled to this for the comparison
constexpr int BlackLevel = 24; // mean of the channels, 0..255; the test pattern lies far above
constexpr int LeadSeconds = 4; // recording starts this long before the end of the first clip
constexpr int RecordSeconds = 8;

using Frame = QByteArray; // rgb24, Width x height

// The rectangle of the picture inside a player: it keeps the recording's shape, with bars.
QRect pictureRect(const QRect &widget, const QSize &video)
{
    QSize size = video.scaled(widget.size(), Qt::KeepAspectRatio);
    size = QSize(size.width() & ~1, size.height() & ~1);
    return QRect(widget.center() - QPoint(size.width() / 2, size.height() / 2), size);
}

// One frame of a recording at a time, scaled like the screen's.
Frame stillOf(const QString &file, const QString &at, int height, bool fromEnd)
{
    QProcess ffmpeg;
    QStringList arguments{"-v", "error"};
    arguments << (fromEnd ? QStringLiteral("-sseof") : QStringLiteral("-ss")) << at;
    arguments << "-i" << file << "-frames:v"
              << "1"
              << "-vf" << QStringLiteral("scale=%1:%2").arg(Width).arg(height) << "-pix_fmt"
              << "rgb24"
              << "-f"
              << "rawvideo"
              << "-";
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    ffmpeg.waitForFinished(30000);
    return ffmpeg.readAllStandardOutput();
}

int meanLevel(const Frame &frame)
{
    qint64 sum = 0;
    for (const char c : frame)
        sum += uchar(c);
    return frame.isEmpty() ? 0 : int(sum / frame.size());
}

qint64 distance(const Frame &a, const Frame &b)
{
    qint64 sum = 0;
    for (int i = 0; i < qMin(a.size(), b.size()); ++i)
        sum += qAbs(int(uchar(a.at(i))) - int(uchar(b.at(i))));
    return sum;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Plays the end of a drive folder's first clip into the second, records the X screen "
            "meanwhile and prints the time between the last frame of the one and the first of the "
            "other, and how many frames of it were black.");
    options.addHelpOption();
    options.addOption({"keep", "Keep the screen recording in this file (raw rgb24).", "file"});
    const QString folder = ViewerBench::driveFolderArgument(options);
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        std::fprintf(stderr, "no X display: run under xvfb-run\n");
        return 64;
    }
    ViewerBench::useFreshSettings();

    MainWindows window;
    window.show();
    window.setGeometry(0, 0, 1600, 900);
    ViewerBench::spinUntil([&window] { return window.isVisible(); }, 5000);
    ViewerBench::spinUntil([] { return false; }, 1000);

    auto *area = window.findChild<PlayAreaManager *>(QStringLiteral("wgt_PlayArea"));
    window.openUrls({QUrl::fromLocalFile(folder)});
    const auto playing = [area] {
        return area->currentItem() && area->state() == QMediaPlayer::PlayingState
               && area->currentItem()->duration > LeadSeconds;
    };
    if (!ViewerBench::spinUntil(playing, 60000)) {
        std::fprintf(stderr, "the first clip did not start playing within 60 s\n");
        return 1;
    }
    const PlaylistItem *first = area->currentItem();
    const int duration = first->duration;
    const QString firstFile = first->url.toLocalFile();
    area->seek(duration - LeadSeconds - 1);
    ViewerBench::spinUntil([] { return false; }, 700);

    // The front player, where the picture is: the first visible player widget.
    PlayerWidget *front = nullptr;
    for (PlayerWidget *player : area->findChildren<PlayerWidget *>()) {
        if (player->isVisible()) {
            front = player;
            break;
        }
    }
    if (!front) {
        std::fprintf(stderr, "no player is shown\n");
        return 1;
    }
    const QRect widget(front->mapToGlobal(QPoint(0, 0)), front->size());
    const QRect picture = pictureRect(widget, first->resolution);
    const int height = (Width * picture.height() / picture.width()) & ~1;

    QTemporaryDir work;
    const QString raw = options.isSet("keep") ? options.value("keep") : work.filePath("screen.raw");
    QProcess grab;
    grab.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    grab.start(QStringLiteral("ffmpeg"),
               {"-v",
                "error",
                "-y",
                "-f",
                "x11grab",
                "-framerate",
                QString::number(Fps),
                "-video_size",
                QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()),
                "-i",
                QStringLiteral("%1+%2,%3").arg(display).arg(picture.x()).arg(picture.y()),
                "-t",
                QString::number(RecordSeconds),
                "-vf",
                QStringLiteral("scale=%1:%2").arg(Width).arg(height),
                "-pix_fmt",
                "rgb24",
                "-f",
                "rawvideo",
                raw});
    if (!grab.waitForStarted(10000)) {
        std::fprintf(stderr, "ffmpeg does not start\n");
        return 1;
    }
    ViewerBench::spinUntil([&grab] { return grab.state() == QProcess::NotRunning; },
                           (RecordSeconds + 20) * 1000);
    const QString second = area->currentItem() ? area->currentItem()->url.toLocalFile() : QString();
    window.close();
    if (second.isEmpty() || second == firstFile) {
        std::fprintf(stderr, "the second clip was not reached\n");
        return 1;
    }

    // Each screen frame is the first clip's end, the second clip's start, black, or neither.
    const Frame end = stillOf(firstFile, QStringLiteral("-0.2"), height, true);
    const Frame start = stillOf(second, QStringLiteral("0"), height, false);
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly) || end.isEmpty() || start.isEmpty()) {
        std::fprintf(stderr, "no screen recording or no reference frames\n");
        return 1;
    }
    const int frameBytes = Width * height * 3;
    QString kinds;
    while (true) {
        const Frame frame = file.read(frameBytes);
        if (frame.size() < frameBytes)
            break;
        if (meanLevel(frame) < BlackLevel)
            kinds += QLatin1Char('B');
        else
            kinds += distance(frame, end) <= distance(frame, start) ? QLatin1Char('1')
                                                                    : QLatin1Char('2');
    }
    const int lastOfFirst = kinds.lastIndexOf(QLatin1Char('1'), kinds.indexOf(QLatin1Char('2')));
    const int firstOfSecond = kinds.indexOf(QLatin1Char('2'), qMax(lastOfFirst, 0));
    if (lastOfFirst < 0 || firstOfSecond < 0) {
        std::fprintf(stderr, "the boundary is not in the recording: %s\n", qPrintable(kinds));
        return 1;
    }
    const QString between = kinds.mid(lastOfFirst + 1, firstOfSecond - lastOfFirst - 1);
    // Later frames of the second clip may look more like the first's end than its start: only
    // the frames around the boundary tell anything.
    std::printf("screen frames around the boundary (%d fps; 1 first clip, 2 second clip, B "
                "black): %s\n",
                Fps, qPrintable(kinds.mid(qMax(0, lastOfFirst - 10), between.size() + 22)));
    std::printf("gap between the last frame of the first clip and the first of the second: "
                "%d frames, %d ms\n",
                int(between.size()), int(between.size()) * 1000 / Fps);
    std::printf("black frames in the gap: %d; black frames in the whole recording: %d\n",
                int(between.count(QLatin1Char('B'))), int(kinds.count(QLatin1Char('B'))));
    return 0;
}
