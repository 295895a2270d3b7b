// Benchmark of a playlist of many one-minute recordings: first list, parse time, memory, idle CPU.
#include "playlist/playlistmodel.h"
#include "recording.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

// A field of /proc/self/status in kB, or -1.
qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for ms, as the main window's would.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Adds generated one-minute recordings to a playlist model the way the main window "
            "does and prints the time to the first row's list, the time until every row is "
            "parsed, the resident memory and the CPU used while all rows sit serving.");
    options.addHelpOption();
    const QCommandLineOption filesOption("files", "Number of recordings (1000).", "n", "1000");
    const QCommandLineOption staggerOption(
            "stagger", "Parse start delay added per new row in ms (500, as the main window does).",
            "ms", "500");
    const QCommandLineOption idleOption("idle", "Seconds of idle serving to measure (10).", "s",
                                        "10");
    options.addOptions({filesOption, staggerOption, idleOption});
    options.process(app);
    const int files = qMax(1, options.value(filesOption).toInt());
    const int stagger = qMax(0, options.value(staggerOption).toInt());
    const int idleSeconds = qMax(1, options.value(idleOption).toInt());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a scratch directory\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    Drive drive;
    drive.seconds = 60;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        paths.append(
                dir.filePath(QString("2020010%1_%2F.MP4").arg(i % 10).arg(i, 6, 10, QChar('0'))));
        if (!recording.write(paths.last())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(paths.last()));
            return 1;
        }
    }
    std::printf("recordings:              %d one-minute MP4 files with 60 gps0 records, "
                "written in %lld ms\n",
                files, clock.elapsed());
    std::printf("parse start stagger:     %d ms per row (%s)\n", stagger,
                stagger == 500 ? "as the main window does" : "shortened");
    const qint64 rssBefore = statusField("VmRSS");

    auto *model = new PlaylistModel;
    qint64 firstListMs = -1;
    qint64 lastListMs = -1;
    int listsDelivered = 0;
    QObject::connect(model, &PlaylistModel::allGpsDataParserFinished,
                     [&](int id, const QList<GpsData> &list) {
                         if (id == 0 && firstListMs < 0) {
                             firstListMs = clock.elapsed();
                         }
                         if (list.size() != 61) {
                             std::fprintf(stderr, "row %d: %d samples\n", id, list.size());
                         }
                         ++listsDelivered;
                         lastListMs = clock.elapsed();
                     });

    // Rows report their file information once the container is parsed; their list is asked for
    // then, so that its arrival tells when the row has read its samples and serves.
    clock.restart();
    int delay = 0;
    for (int i = 0; i < files; ++i) {
        bool isNew = false;
        const int id = model->addFile(QFileInfo(paths.at(i)), delay, &isNew);
        if (isNew) {
            delay += stagger;
            QObject::connect(model->item(id)->parser, &VideoParser::videoInfoChanged, model,
                             [model, id] {
                                 if (id != 0) {
                                     model->requestAllGpsData(id);
                                 }
                             });
        }
        if (i == 0) {
            model->requestAllGpsData(id);
        }
        QCoreApplication::processEvents();
    }
    const qint64 addMs = clock.elapsed();
    while (listsDelivered < model->rowCount()) {
        spin(100);
    }
    const qint64 threads = statusField("Threads");
    const qint64 rssServing = statusField("VmRSS");

    const double cpuStart = cpuSeconds();
    QElapsedTimer idleClock;
    idleClock.start();
    spin(idleSeconds * 1000);
    const double cpuShare = (cpuSeconds() - cpuStart) / (idleClock.elapsed() / 1000.0);

    clock.restart();
    delete model;
    const qint64 teardownMs = clock.elapsed();

    std::printf("rows:                    %d (%d lists delivered), all added in %lld ms\n", files,
                listsDelivered, addMs);
    std::printf("first row's list:        %lld ms after the first addFile (goal < 200 ms)\n",
                firstListMs);
    std::printf("all rows parsed:         %lld ms after the first addFile\n", lastListMs);
    std::printf("threads while serving:   %lld\n", threads);
    std::printf("resident memory:         %.1f MiB serving (%.1f MiB before the model, "
                "%.1f KiB per row; goal < 300 MiB)\n",
                rssServing / 1024.0, rssBefore / 1024.0, double(rssServing - rssBefore) / files);
    std::printf("idle CPU:                %.2f %% of one core over %d s of serving "
                "(goal < 2 %%)\n",
                100.0 * cpuShare, idleSeconds);
    std::printf("model destruction:       %lld ms (every thread stopped and ended)\n", teardownMs);
    return 0;
}
