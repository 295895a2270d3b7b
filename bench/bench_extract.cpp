// Archive-scale benchmark: velqor-extract run as whole processes over 1,000 one-minute clips and
// 100 one-hour recordings of every telemetry storage place, for throughput, bytes read, peak
// memory and the Dask driver.
#include "processrun.h"
#include "recordingset.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <optional>

#include <unistd.h>

namespace {

constexpr int Runs = 3;
constexpr int ClipCount = 1000;
constexpr int ClipSeconds = 60;
constexpr int HourCount = 100;
constexpr int HourSeconds = 3600;
constexpr int Repeats = 10; // the large listing names every clip this many times
constexpr int RunTimeoutMs = 20 * 60 * 1000;

// Seconds of CPU time the whole machine has spent busy so far, time the host took for itself
// (steal) included: user, nice, system, irq, softirq and steal, but not idle and I/O wait, nor
// the guest times that user and nice already hold.
double machineBusySeconds()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    qint64 busy = 0;
    for (int i : {1, 2, 3, 6, 7, 8})
        busy += fields.value(i).toLongLong();
    return double(busy) / double(sysconf(_SC_CLK_TCK));
}

// A measured run, and how many cores the rest of the machine kept busy meanwhile: other work
// on a shared machine shows in every figure.
struct Figures
{
    ProcessRun run;
    double othersCores = 0.0;
};

// One untimed run to warm the caches, then the median of Runs by wall time; a failure in any
// of them shows in the status.
Figures measure(const std::function<ProcessRun()> &task)
{
    task();
    QVector<Figures> runs;
    for (int i = 0; i < Runs; ++i) {
        const double busyBefore = machineBusySeconds();
        Figures figures{task()};
        const double busy = machineBusySeconds() - busyBefore;
        figures.othersCores = qMax(0.0, (busy * 1e3 - figures.run.cpuMs) / figures.run.wallMs);
        runs.append(figures);
    }
    std::sort(runs.begin(), runs.end(),
              [](const Figures &a, const Figures &b) { return a.run.wallMs < b.run.wallMs; });
    Figures median = runs.at(Runs / 2);
    for (const Figures &figures : qAsConst(runs)) {
        if (figures.run.status != 0)
            median.run.status = figures.run.status;
    }
    return median;
}

// Compared a block at a time: the bench holding whole outputs would raise the memory a forked
// command starts from.
bool sameContents(const QString &first, const QString &second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd()) {
        if (a.read(1 << 16) != b.read(1 << 16))
            return false;
    }
    return true;
}

class Bench
{
public:
    Bench(const QString &extract, const QString &dir, QTextStream &out)
        : mExtract(extract)
        , mDir(dir)
        , mOut(out)
    {
        QFile::remove(errorLog());
    }

    QString path(const QString &name) const { return QDir(mDir).filePath(name); }
    QString errorLog() const { return path(QStringLiteral("stderr.log")); }

    std::optional<RecordingSet> prepare(const QString &name, int count, int seconds)
    {
        QElapsedTimer timer;
        timer.start();
        QString error;
        const std::optional<RecordingSet> set
                = RecordingSet::prepare(path(name), count, seconds, &error);
        if (set) {
            note(QStringLiteral("%1 %2 recordings in %3 (%4 s)")
                         .arg(set->reused ? QStringLiteral("reused") : QStringLiteral("wrote"))
                         .arg(count)
                         .arg(set->folder)
                         .arg(timer.elapsed() / 1e3, 0, 'f', 1));
        } else {
            note(error);
        }
        return set;
    }

    Figures command(const QStringList &command, const QString &output = QStringLiteral("/dev/null"))
    {
        return measure([&] { return ProcessRun::run(command, output, errorLog(), RunTimeoutMs); });
    }

    Figures extract(const QStringList &arguments)
    {
        return command(QStringList(mExtract) + arguments);
    }

    // The old way: a process per recording, one after the other, in the default format.
    Figures perFile(const QStringList &files)
    {
        return measure([&] {
            ProcessRun total;
            for (const QString &file : files)
                total += ProcessRun::run({mExtract, file}, QStringLiteral("/dev/null"), errorLog(),
                                         RunTimeoutMs);
            return total;
        });
    }

    void header(const QString &title)
    {
        mOut << '\n'
             << title << "\n"
             << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10\n")
                        .arg(QStringLiteral("run"), -32)
                        .arg(QStringLiteral("rec/s"), 8)
                        .arg(QStringLiteral("MB/s"), 9)
                        .arg(QStringLiteral("wall s"), 8)
                        .arg(QStringLiteral("CPU s"), 7)
                        .arg(QStringLiteral("cores"), 5)
                        .arg(QStringLiteral("peak MB"), 8)
                        .arg(QStringLiteral("read/rec KB"), 11)
                        .arg(QStringLiteral("read %"), 7)
                        .arg(QStringLiteral("others"), 7);
    }

    // A row of figures for count recordings of bytes in all. "cores" is how many the run kept
    // busy on average, "others" how many the rest of the machine did meanwhile: on a shared
    // machine a ratio of wall times alone says little.
    void row(const QString &name, const Figures &figures, int count, qint64 bytes)
    {
        const ProcessRun &run = figures.run;
        const double seconds = run.wallMs / 1e3;
        mOut << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10%11\n")
                        .arg(name, -32)
                        .arg(count / seconds, 8, 'f', 1)
                        .arg(bytes / 1e6 / seconds, 9, 'f', 0)
                        .arg(seconds, 8, 'f', 3)
                        .arg(run.cpuMs / 1e3, 7, 'f', 3)
                        .arg(run.cpuMs / run.wallMs, 5, 'f', 2)
                        .arg(run.peakKb / 1024.0, 8, 'f', 1)
                        .arg(run.bytesRead / 1024.0 / count, 11, 'f', 1)
                        .arg(100.0 * run.bytesRead / bytes, 7, 'f', 3)
                        .arg(figures.othersCores, 7, 'f', 2)
                        .arg(run.status == 0 ? QString()
                                             : QStringLiteral("  (exit %1, see %2)")
                                                       .arg(run.status)
                                                       .arg(errorLog()));
        mOut.flush();
    }

    void note(const QString &text)
    {
        mOut << text << '\n';
        mOut.flush();
    }

    // -j 1 and -j 2 over a whole set given as its folder, and their ratio.
    void scaling(const RecordingSet &set, const QString &title)
    {
        header(title);
        const int count = set.files.size();
        const QStringList jsonl{QStringLiteral("--format"), QStringLiteral("jsonl")};
        const Figures one = extract(
                jsonl + QStringList{QStringLiteral("-j"), QStringLiteral("1"), set.folder});
        row(QStringLiteral("one process, -j 1"), one, count, set.bytes);
        const Figures two = extract(
                jsonl + QStringList{QStringLiteral("-j"), QStringLiteral("2"), set.folder});
        row(QStringLiteral("one process, -j 2"), two, count, set.bytes);
        note(QStringLiteral("-j 2 / -j 1: %1x the recordings per second (goal: at least 1.8x)")
                     .arg(one.run.wallMs / two.run.wallMs, 0, 'f', 2));
    }

    // The Dask driver on a local cluster of two workers against one process with -j 2, both
    // writing the same JSON Lines file, over a set and over a listing ten times its size, where
    // the cluster's start and stop weigh less. The driver does not tell how long those took, so
    // a run over a single clip stands for them.
    void dask(const QString &driver, const RecordingSet &set, const QString &repeatedList)
    {
        header(QStringLiteral("The Dask driver (LocalCluster, 2 workers) against one process "
                              "with -j 2, JSON Lines to a file"));
        const QString single = path(QStringLiteral("single.jsonl"));
        const QString dask = path(QStringLiteral("dask.jsonl"));
        const auto driverOver = [&](const QStringList &input) {
            return command(QStringList{QStringLiteral("/usr/bin/python3"), driver,
                                       QStringLiteral("--workers"), QStringLiteral("2"),
                                       QStringLiteral("--extract"), mExtract, QStringLiteral("-o"),
                                       dask}
                           + input);
        };
        const Figures startStop = driverOver({set.files.constFirst()});
        const int count = set.files.size();
        const struct
        {
            QString name;
            QStringList input;
            int count;
            qint64 bytes;
        } inputs[] = {
                {QStringLiteral("%1 clips").arg(count), {set.folder}, count, set.bytes},
                {QStringLiteral("%1 clips").arg(count * Repeats),
                 {QStringLiteral("--files-from"), repeatedList},
                 count * Repeats,
                 set.bytes * Repeats},
        };
        for (const auto &input : inputs) {
            const Figures one
                    = extract(QStringList{QStringLiteral("--format"), QStringLiteral("jsonl"),
                                          QStringLiteral("-j"), QStringLiteral("2"),
                                          QStringLiteral("-o"), single}
                              + input.input);
            row(input.name + QStringLiteral(", one process -j 2"), one, input.count, input.bytes);
            const Figures cluster = driverOver(input.input);
            row(input.name + QStringLiteral(", Dask driver"), cluster, input.count, input.bytes);
            note(QStringLiteral("  Dask / one process: %1x the wall time (goal: at most 1.2x), "
                                "%2x without the cluster's start and stop; the outputs are %3")
                         .arg(cluster.run.wallMs / one.run.wallMs, 0, 'f', 2)
                         .arg((cluster.run.wallMs - startStop.run.wallMs) / one.run.wallMs, 0, 'f',
                              2)
                         .arg(sameContents(single, dask) ? QStringLiteral("identical")
                                                         : QStringLiteral("different")));
        }
        note(QStringLiteral("cluster start and stop (the driver over one clip): %1 s, %2 s of "
                            "CPU%3")
                     .arg(startStop.run.wallMs / 1e3, 0, 'f', 3)
                     .arg(startStop.run.cpuMs / 1e3, 0, 'f', 3)
                     .arg(startStop.run.status == 0
                                  ? QString()
                                  : QStringLiteral(" (exit %1)").arg(startStop.run.status)));
    }

private:
    QString mExtract;
    QString mDir;
    QTextStream &mOut;
};

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed()
                                          : QStringLiteral("unknown");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
            "Runs velqor-extract over many generated recordings and prints its figures."));
    options.addHelpOption();
    const QCommandLineOption dirOption(
            QStringLiteral("dir"),
            QStringLiteral("Folder for the recordings, reused by later runs (default: a "
                           "temporary one)."),
            QStringLiteral("dir"));
    const QCommandLineOption extractOption(
            QStringLiteral("extract"), QStringLiteral("The velqor-extract to run."),
            QStringLiteral("path"), QStringLiteral(VELQOR_EXTRACT_PATH));
    const QCommandLineOption skipHoursOption(QStringLiteral("skip-hours"),
                                             QStringLiteral("Leave out the one-hour recordings."));
    const QCommandLineOption skipDaskOption(QStringLiteral("skip-dask"),
                                            QStringLiteral("Leave out the Dask driver."));
    options.addOptions({dirOption, extractOption, skipHoursOption, skipDaskOption});
    options.process(app);
    QTextStream out(stdout);

    QTemporaryDir temporary;
    const QString dir = options.isSet(dirOption) ? options.value(dirOption) : temporary.path();
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        out << "cannot create a folder for the recordings\n";
        return 1;
    }
    const QString extract = QFileInfo(options.value(extractOption)).absoluteFilePath();
    Bench bench(extract, dir, out);
    bench.note(QStringLiteral("velqor-extract %1 as whole processes, warm cache (one untimed run "
                              "first), median of %2 runs; output JSON Lines to /dev/null")
                       .arg(extract)
                       .arg(Runs));
    bench.note(QStringLiteral("load average at the start: %1").arg(loadAverage()));

    const std::optional<RecordingSet> clips
            = bench.prepare(QStringLiteral("clips"), ClipCount, ClipSeconds);
    if (!clips)
        return 1;
    bench.scaling(*clips,
                  QStringLiteral("%1 one-minute clips, %2 places, %3 GB (video as sparse holes)")
                          .arg(ClipCount)
                          .arg(RecordingSet::PlaceCount)
                          .arg(clips->bytes / 1e9, 0, 'f', 1));
    const Figures perFile = bench.perFile(clips->files);
    bench.row(QStringLiteral("a process per file"), perFile, ClipCount, clips->bytes);
    const Figures startUp = bench.extract({QStringLiteral("--version")});
    bench.note(QStringLiteral("start-up alone (--version): %1 ms, %2 KB read")
                       .arg(startUp.run.wallMs, 0, 'f', 1)
                       .arg(startUp.run.bytesRead / 1024.0, 0, 'f', 1));

    // The same clips listed ten times: as many recordings to go through as ten cards, while the
    // page cache stays as warm as for one.
    const QString repeatedList = bench.path(QStringLiteral("clips-x%1.list").arg(Repeats));
    {
        QFile list(repeatedList);
        if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out << "cannot write " << repeatedList << '\n';
            return 1;
        }
        const QByteArray names = QFile::encodeName(clips->files.join(QLatin1Char('\n')) + '\n');
        for (int i = 0; i < Repeats; ++i)
            list.write(names);
    }
    bench.header(QStringLiteral("Peak memory: %1 clips (the %2 listed %3 times by --files-from)")
                         .arg(ClipCount * Repeats)
                         .arg(ClipCount)
                         .arg(Repeats));
    for (const char *jobs : {"1", "2"}) {
        bench.row(QStringLiteral("%1 clips, -j %2").arg(ClipCount * Repeats).arg(jobs),
                  bench.extract({QStringLiteral("--format"), QStringLiteral("jsonl"),
                                 QStringLiteral("-j"), QLatin1String(jobs),
                                 QStringLiteral("--files-from"), repeatedList}),
                  ClipCount * Repeats, clips->bytes * Repeats);
    }

    const QString driver = QStringLiteral(VELQOR_DASK_DRIVER);
    if (options.isSet(skipDaskOption)) {
        bench.note(QStringLiteral("\nDask driver: left out (--skip-dask)"));
    } else if (!QFileInfo::exists(driver)) {
        bench.note(QStringLiteral("\nDask driver: left out, %1 is not there").arg(driver));
    } else {
        bench.dask(driver, *clips, repeatedList);
    }

    if (!options.isSet(skipHoursOption)) {
        const std::optional<RecordingSet> hours
                = bench.prepare(QStringLiteral("hours"), HourCount, HourSeconds);
        if (!hours)
            return 1;
        bench.scaling(*hours, QStringLiteral("%1 one-hour recordings, %2 places, %3 GB")
                                      .arg(HourCount)
                                      .arg(RecordingSet::PlaceCount)
                                      .arg(hours->bytes / 1e9, 0, 'f', 1));
    }
    bench.note(QStringLiteral("load average at the end: %1").arg(loadAverage()));
    return 0;
}
