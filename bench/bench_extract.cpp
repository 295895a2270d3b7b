// Archive-scale benchmark: velqor-extract run as whole processes over 1,000 one-minute clips and
// 100 one-hour recordings of every telemetry storage place, for throughput, bytes read, peak
// memory and the Dask driver.
#include "mp4writer.h"
#include "recording.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int Runs = 3;
constexpr int ClipCount = 1000;
constexpr int ClipSeconds = 60;
constexpr int HourCount = 100;
constexpr int HourSeconds = 3600;
constexpr int Repeats = 10; // the large listing names every clip this many times
constexpr int RunTimeoutMs = 20 * 60 * 1000;

// Every place a camera stores its telemetry, in the container and picture size it comes with.
struct Place
{
    ParserObject::SampleSource source;
    const char *suffix;
    int width;
    int height;
};

const Place Places[] = {
        {ParserObject::ExtTrack, "MP4", 1920, 1080},
        {ParserObject::GpsBox, "MOV", 1920, 1080},
        {ParserObject::SoundTrack, "MP4", 1920, 1080},
        {ParserObject::Gps0Box, "MP4", 2560, 1440},
        {ParserObject::GpsMetaTrack, "MP4", 1920, 1080},
        {ParserObject::AviGpsList, "AVI", 1280, 720},
        {ParserObject::AviAudioChunk, "AVI", 1280, 720},
};
constexpr int PlaceCount = int(sizeof(Places) / sizeof(Places[0]));

struct RecordingSet
{
    QString folder;
    QStringList files; // in name order, the order a folder argument lists them
    qint64 bytes = 0;
};

// Recording k of a set starts k lengths after the first one and stores its telemetry at place
// k mod 7, so that every place has its share and names sort in time order as a card's do.
QDateTime startOf(int k, int seconds)
{
    return QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(k) * seconds);
}

QString recordingName(int k, int seconds)
{
    const Place &place = Places[k % PlaceCount];
    return QStringLiteral("%1_%2.%3")
            .arg(startOf(k, seconds).toString(QStringLiteral("yyyyMMdd_hhmmss")),
                 QString::fromLatin1(QMetaEnum::fromType<ParserObject::SampleSource>().valueToKey(
                         place.source)),
                 QString::fromLatin1(place.suffix));
}

bool writeRecording(const QString &path, int k, int seconds)
{
    const Place &place = Places[k % PlaceCount];
    Drive drive;
    drive.start = startOf(k, seconds);
    drive.seconds = seconds;
    const bool avi = place.source == ParserObject::AviGpsList
                     || place.source == ParserObject::AviAudioChunk;
    Recording recording;
    recording.source = place.source;
    recording.records = drive.records();
    recording.width = place.width;
    recording.height = place.height;
    // About 6.4 Mbit/s of video; sound as cameras store it (AAC in MP4, PCM in AVI).
    recording.videoBytesPerSecond = 800000;
    recording.audioBytesPerSecond = avi ? 32000 : 16000;
    recording.creationTime = Mp4Writer::timestamp(drive.start);
    recording.brand = qstrcmp(place.suffix, "MOV") == 0 ? "qt  " : "isom";
    recording.sampleEntry = place.width > 1920 ? "hvc1" : "avc1";
    recording.movieFirst = place.source == ParserObject::GpsMetaTrack;
    return recording.write(path);
}

// Writes the set, or takes it as it is when an earlier run finished it: the hour set takes
// minutes to write. A folder holding anything else is left alone rather than written into.
std::optional<RecordingSet> prepare(const QString &folder, int count, int seconds, QTextStream &out)
{
    const QString stamp = QStringLiteral("%1 recordings of %2 s").arg(count).arg(seconds);
    const QString markPath = QDir(folder).filePath(QStringLiteral(".velqor-bench"));
    QFile mark(markPath);
    const bool ours = mark.open(QIODevice::ReadOnly);
    const bool done = ours && mark.readAll() == (stamp + QLatin1String(", complete")).toUtf8();
    mark.close();
    if (!ours && QDir(folder).exists() && !QDir(folder).isEmpty()) {
        out << folder << " holds other files; give an empty folder or an earlier bench's\n";
        return std::nullopt;
    }
    RecordingSet set;
    set.folder = folder;
    QElapsedTimer timer;
    timer.start();
    const auto setMark = [&](const QString &text) {
        return mark.open(QIODevice::WriteOnly | QIODevice::Truncate)
               && mark.write(text.toUtf8()) == text.toUtf8().size() && mark.flush()
               && (mark.close(), true);
    };
    if (!done && !(QDir().mkpath(folder) && setMark(stamp))) {
        out << "cannot write " << markPath << '\n';
        return std::nullopt;
    }
    for (int k = 0; k < count; ++k) {
        const QString path = QDir(folder).filePath(recordingName(k, seconds));
        if (!done && !writeRecording(path, k, seconds)) {
            out << "cannot write " << path << '\n';
            return std::nullopt;
        }
        set.files.append(path);
        set.bytes += QFileInfo(path).size();
    }
    if (!done && !setMark(stamp + QLatin1String(", complete"))) {
        out << "cannot write " << markPath << '\n';
        return std::nullopt;
    }
    out << (done ? "reused " : "wrote ") << count << " recordings in " << folder << " ("
        << timer.elapsed() / 1000.0 << " s)\n";
    out.flush();
    return set;
}

// One run of a command, from wait4's accounting of it and the bench's own I/O counters.
struct Run
{
    double wallMs = 0.0;
    double cpuMs = 0.0;
    qint64 peakKb = 0;
    qint64 bytesRead = 0;
    int status = 0; // exit status; -1 for a signal or a run cut off after RunTimeoutMs
    double othersCores = 0.0; // what the rest of the machine kept busy meanwhile
};

// The bench's rchar, to which a reaped child's reads are added. The counters are taken before
// this read's own bytes are counted, so those are left out of the next difference by the caller.
qint64 charactersRead(qint64 *ownBytes)
{
    char buffer[512];
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t n = fd < 0 ? -1 : ::read(fd, buffer, sizeof(buffer) - 1);
    if (fd >= 0)
        ::close(fd);
    *ownBytes = qMax<ssize_t>(n, 0);
    if (n <= 0)
        return 0;
    buffer[n] = '\0';
    const char *field = std::strstr(buffer, "rchar:");
    return field ? std::strtoll(field + 6, nullptr, 10) : 0;
}

// Seconds of CPU time the whole machine has spent busy so far.
double machineBusySeconds()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    qint64 busy = 0;
    for (int i = 1; i < fields.size(); ++i) {
        if (i != 4 && i != 5) // idle and waiting for I/O
            busy += fields.at(i).toLongLong();
    }
    return double(busy) / double(sysconf(_SC_CLK_TCK));
}

// Runs the command with standard output on output and standard error appended to errorLog, in
// a process group of its own so that a run past the time limit goes with all it started.
Run spawn(const QStringList &command, const QString &output, const QString &errorLog)
{
    QVector<QByteArray> arguments;
    for (const QString &argument : command)
        arguments.append(QFile::encodeName(argument));
    QVector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.append(argument.data());
    argv.append(nullptr);
    const QByteArray outputName = QFile::encodeName(output);
    const QByteArray errorName = QFile::encodeName(errorLog);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputName.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorName.constData(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    Run run;
    qint64 ownBytes = 0;
    const qint64 readBefore = charactersRead(&ownBytes);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned
            = posix_spawn(&pid, argv.constFirst(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        run.status = -1;
        return run;
    }
    // Debian 12's header declares pidfd_open without C linkage, hence the system call itself.
    const int pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    pollfd exited = {pidFd, POLLIN, 0};
    if (pidFd < 0 || poll(&exited, 1, RunTimeoutMs) != 1)
        kill(-pid, SIGKILL);
    if (pidFd >= 0)
        close(pidFd);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    run.wallMs = timer.nsecsElapsed() / 1e6;
    qint64 ownAfter = 0;
    run.bytesRead = charactersRead(&ownAfter) - readBefore - ownBytes;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The runs of a pass added up, as one run: a process per file is one pass.
Run add(const Run &sum, const Run &run)
{
    Run total = sum;
    total.wallMs += run.wallMs;
    total.cpuMs += run.cpuMs;
    total.peakKb = qMax(sum.peakKb, run.peakKb);
    total.bytesRead += run.bytesRead;
    total.status = sum.status != 0 ? sum.status : run.status;
    return total;
}

// One untimed run to warm the caches, then the median of Runs by wall time; a failure in any
// of them shows in the status.
Run measure(const std::function<Run()> &task)
{
    task();
    QVector<Run> runs;
    for (int i = 0; i < Runs; ++i) {
        const double busyBefore = machineBusySeconds();
        Run run = task();
        const double busy = machineBusySeconds() - busyBefore;
        run.othersCores = qMax(0.0, (busy * 1e3 - run.cpuMs) / run.wallMs);
        runs.append(run);
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run &a, const Run &b) { return a.wallMs < b.wallMs; });
    Run median = runs.at(Runs / 2);
    for (const Run &run : qAsConst(runs)) {
        if (run.status != 0)
            median.status = run.status;
    }
    return median;
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

    Run command(const QStringList &command, const QString &output = QStringLiteral("/dev/null"))
    {
        return measure([&] { return spawn(command, output, errorLog()); });
    }

    Run extract(const QStringList &arguments) { return command(QStringList(mExtract) + arguments); }

    // The old way: a process per recording, one after the other, in the default format.
    Run perFile(const QStringList &files)
    {
        return measure([&] {
            Run total;
            for (const QString &file : files)
                total = add(total,
                            spawn({mExtract, file}, QStringLiteral("/dev/null"), errorLog()));
            return total;
        });
    }

    void header(const QString &title)
    {
        mOut << '\n'
             << title << "\n"
             << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                        .arg(QStringLiteral("run"), -26)
                        .arg(QStringLiteral("rec/s"), 8)
                        .arg(QStringLiteral("MB/s"), 9)
                        .arg(QStringLiteral("wall s"), 8)
                        .arg(QStringLiteral("CPU s"), 7)
                        .arg(QStringLiteral("peak MB"), 8)
                        .arg(QStringLiteral("read/rec KB"), 11)
                        .arg(QStringLiteral("read %"), 7)
                        .arg(QStringLiteral("others"), 7);
    }

    // A row of figures for count recordings of bytes in all; "others" is how many cores the rest
    // of the machine kept busy during the run, which the shared machine makes worth knowing.
    void row(const QString &name, const Run &run, int count, qint64 bytes)
    {
        const double seconds = run.wallMs / 1e3;
        mOut << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9%10\n")
                        .arg(name, -26)
                        .arg(count / seconds, 8, 'f', 1)
                        .arg(bytes / 1e6 / seconds, 9, 'f', 0)
                        .arg(seconds, 8, 'f', 3)
                        .arg(run.cpuMs / 1e3, 7, 'f', 3)
                        .arg(run.peakKb / 1024.0, 8, 'f', 1)
                        .arg(run.bytesRead / 1024.0 / count, 11, 'f', 1)
                        .arg(100.0 * run.bytesRead / bytes, 7, 'f', 3)
                        .arg(run.othersCores, 7, 'f', 2)
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
        const Run one = extract(
                jsonl + QStringList{QStringLiteral("-j"), QStringLiteral("1"), set.folder});
        row(QStringLiteral("one process, -j 1"), one, count, set.bytes);
        const Run two = extract(
                jsonl + QStringList{QStringLiteral("-j"), QStringLiteral("2"), set.folder});
        row(QStringLiteral("one process, -j 2"), two, count, set.bytes);
        note(QStringLiteral("-j 2 / -j 1: %1x the recordings per second (goal: at least 1.8x)")
                     .arg(one.wallMs / two.wallMs, 0, 'f', 2));
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
            = prepare(bench.path(QStringLiteral("clips")), ClipCount, ClipSeconds, out);
    if (!clips)
        return 1;
    bench.scaling(*clips,
                  QStringLiteral("%1 one-minute clips, %2 places, %3 GB (video as sparse holes)")
                          .arg(ClipCount)
                          .arg(PlaceCount)
                          .arg(clips->bytes / 1e9, 0, 'f', 1));
    const Run perFile = bench.perFile(clips->files);
    bench.row(QStringLiteral("a process per file"), perFile, ClipCount, clips->bytes);
    const Run startUp = bench.extract({QStringLiteral("--version")});
    bench.note(QStringLiteral("start-up alone (--version): %1 ms, %2 KB read")
                       .arg(startUp.wallMs, 0, 'f', 1)
                       .arg(startUp.bytesRead / 1024.0, 0, 'f', 1));

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
        bench.header(QStringLiteral("The Dask driver (LocalCluster, 2 workers) against one "
                                    "process with -j 2, %1 clips, JSON Lines to a file")
                             .arg(ClipCount));
        const QString single = bench.path(QStringLiteral("single.jsonl"));
        const QString dask = bench.path(QStringLiteral("dask.jsonl"));
        const Run one = bench.extract({QStringLiteral("--format"), QStringLiteral("jsonl"),
                                       QStringLiteral("-j"), QStringLiteral("2"),
                                       QStringLiteral("-o"), single, clips->folder});
        bench.row(QStringLiteral("one process, -j 2"), one, ClipCount, clips->bytes);
        const Run cluster = bench.command({QStringLiteral("/usr/bin/python3"), driver,
                                           QStringLiteral("--workers"), QStringLiteral("2"),
                                           QStringLiteral("--extract"), extract,
                                           QStringLiteral("-o"), dask, clips->folder});
        bench.row(QStringLiteral("Dask driver, 2 workers"), cluster, ClipCount, clips->bytes);
        QFile a(single);
        QFile b(dask);
        const bool same = a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly)
                          && a.readAll() == b.readAll();
        bench.note(QStringLiteral("Dask / one process: %1x the wall time (goal: at most 1.2x); "
                                  "the two outputs are %2")
                           .arg(cluster.wallMs / one.wallMs, 0, 'f', 2)
                           .arg(same ? QStringLiteral("identical") : QStringLiteral("different")));
    }

    if (!options.isSet(skipHoursOption)) {
        const std::optional<RecordingSet> hours
                = prepare(bench.path(QStringLiteral("hours")), HourCount, HourSeconds, out);
        if (!hours)
            return 1;
        bench.scaling(*hours, QStringLiteral("%1 one-hour recordings, %2 places, %3 GB")
                                      .arg(HourCount)
                                      .arg(PlaceCount)
                                      .arg(hours->bytes / 1e9, 0, 'f', 1));
    }
    bench.note(QStringLiteral("load average at the end: %1").arg(loadAverage()));
    return 0;
}
