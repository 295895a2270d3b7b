// Export benchmark: velqor-extract run as a whole process on a one-hour recording, once per
// format, the way a user runs it; the camera clock is read in a time zone with daylight-saving
// time, so the local zone's rules are in play.
#include "recording.h"

#include <parser/recordingparser.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int Seconds = 3600;
constexpr int Runs = 11;
constexpr int GoalMs = 25;

struct Figures
{
    double medianMs = 0.0;
    double minMs = 0.0;
    bool ok = true;
};

// Times a task Runs times after one run that warms the caches; the task tells whether it worked.
Figures measure(const std::function<bool()> &task)
{
    QVector<double> times;
    Figures figures;
    for (int run = 0; run <= Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        figures.ok = task() && figures.ok;
        if (run > 0)
            times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    figures.medianMs = times.at(Runs / 2);
    figures.minMs = times.first();
    return figures;
}

bool runExtract(const QStringList &arguments, const QString &output)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(output);
    process.start(QStringLiteral(VELQOR_EXTRACT_PATH), arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

void print(QTextStream &out, const QString &name, double outputKb, const Figures &figures,
           const QString &goal)
{
    out << QStringLiteral("%1 %2 %3 %4 %5%6\n")
                    .arg(name, -24)
                    .arg(outputKb, 10, 'f', 0)
                    .arg(figures.medianMs, 10, 'f', 2)
                    .arg(figures.minMs, 8, 'f', 2)
                    .arg(goal, 8)
                    .arg(figures.ok ? QString() : QStringLiteral("  (failed)"));
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        out << "cannot create a temporary folder\n";
        return 1;
    }
    Drive drive;
    drive.seconds = Seconds;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    recording.videoBytesPerSecond = 800000;
    const QString file = dir.filePath(QStringLiteral("hour.MP4"));
    if (!recording.write(file)) {
        out << "cannot write " << file << '\n';
        return 1;
    }
    const QString output = dir.filePath(QStringLiteral("output"));

    out << "velqor-extract as a whole process on a one-hour recording (" << Seconds
        << " samples), TZ=Europe/Berlin, warm cache, median of " << Runs << " runs\n";
    out << QStringLiteral("%1 %2 %3 %4 %5\n")
                    .arg(QStringLiteral("run"), -24)
                    .arg(QStringLiteral("output KB"), 10)
                    .arg(QStringLiteral("median ms"), 10)
                    .arg(QStringLiteral("min ms"), 8)
                    .arg(QStringLiteral("goal ms"), 8);
    // For scale, what every export pays before it writes: the command's start-up alone, and
    // parsing the recording (in this process).
    print(out, QStringLiteral("start-up (--version)"), 0,
          measure([&] { return runExtract({QStringLiteral("--version")}, output); }), QString());
    print(out, QStringLiteral("parsing only"), 0, measure([&] {
              const std::unique_ptr<ParserObject> parser = createRecordingParser(file);
              return readAllSamples(*parser).size() == Seconds;
          }),
          QString());
    bool ok = true;
    const QStringList formats{"json", "csv", "gpx", "kml", "geojson"};
    for (const QString &format : formats) {
        const Figures figures = measure([&] {
            return runExtract({QStringLiteral("--format"), format, file}, output);
        });
        ok = ok && figures.ok;
        print(out, format, QFileInfo(output).size() / 1024.0, figures, QString::number(GoalMs));
    }
    return ok ? 0 : 1;
}
