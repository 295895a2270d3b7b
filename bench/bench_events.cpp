// Benchmark of event detection: precision and recall on labelled drives, and its time per clip.
#include "labelleddrive.h"

#include <export/drives.h>
#include <export/eventdetector.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QtMath>

#include <cstdio>
#include <limits>

namespace {

constexpr int ClipSeconds = 60;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
            "Generates labelled drives (town and motorway, hills, potholes, speed bumps, stops, "
            "turned and tilted cameras, sensor noise), cuts them into one-minute recordings, "
            "finds their events and prints precision and recall per event type, the events "
            "found on drives that have none, and the time to find the events of 1,000 clips.");
    options.addHelpOption();
    const QCommandLineOption drivesOption("drives", "Labelled drives with events (200).", "n",
                                          "200");
    const QCommandLineOption quietOption("quiet-drives", "Drives without events (100).", "n",
                                         "100");
    const QCommandLineOption verboseOption("verbose", "Lists every missed and wrong event.");
    const QCommandLineOption perClipOption(
            "per-clip", "Measures the mounting on each clip alone, as for a lone recording.");
    options.addOptions({drivesOption, quietOption, verboseOption, perClipOption});
    options.process(app);
    const int drives = qMax(1, options.value(drivesOption).toInt());
    const int quietDrives = qMax(0, options.value(quietOption).toInt());
    const bool verbose = options.isSet(verboseOption);
    const bool perClip = options.isSet(perClipOption);
    // The recording parser's debug labels would drown the table.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    EventScore score;
    int quietEvents = 0;
    int unknownMountings = 0;
    double worstForward = 0.0, worstLeft = 0.0, worstUp = 0.0;
    for (int n = 0; n < drives + quietDrives; ++n) {
        const bool withEvents = n < drives;
        const LabelledDrive drive = LabelledDrive::random(quint32(n + 1), withEvents);
        const QVector<QVector<GpsData>> clips = clipsOf(decodedSamples(drive.records), ClipSeconds);
        const EventDetector::Mounting mounting = EventDetector::estimateMounting(clips);
        if (mounting.known) {
            worstForward = qMax(worstForward, angleBetween(mounting.forward, drive.forward));
            worstLeft = qMax(worstLeft, angleBetween(mounting.left, drive.left));
            worstUp = qMax(worstUp, angleBetween(mounting.up, drive.up));
        } else {
            ++unknownMountings;
        }
        QVector<QVector<DrivingEvent>> found;
        if (perClip) {
            for (const QVector<GpsData> &clip : clips)
                found.append(EventDetector::detect(clip, {}));
        } else {
            found = EventDetector::detectDrive(clips);
        }
        for (const auto &clipEvents : found)
            quietEvents += withEvents ? 0 : clipEvents.size();
        score.add(drive, found, ClipSeconds);
    }
    if (verbose) {
        for (const QString &miss : qAsConst(score.misses))
            std::printf("%s\n", qPrintable(miss));
    }

    std::printf("Labelled drives: %d with events, %d without, %d s each, cut into %d s clips\n\n",
                drives, quietDrives, LabelledDrive().seconds, ClipSeconds);
    std::printf("%-13s %7s %9s %7s %10s %7s\n", "type", "truth", "detected", "right", "precision",
                "recall");
    bool goal = true;
    for (int type = DrivingEvent::Braking; type <= DrivingEvent::Impact; ++type) {
        const EventScore::Tally &t = score.tallies[type];
        const double precision = t.precision();
        const double recall = t.recall();
        goal = goal && precision >= 0.95 && recall >= 0.95;
        std::printf("%-13s %7d %9d %7d %10.3f %7.3f\n",
                    qPrintable(DrivingEvent::typeName(DrivingEvent::Type(type))), t.truths,
                    t.detections, t.right, precision, recall);
    }
    std::printf("\nImpact severity right: %d of %d\n", score.severityRight, score.severityCompared);
    std::printf("Events found on the %d drives without any: %d\n", quietDrives, quietEvents);
    std::printf("Mounting: unknown on %d drives; worst error where known: forward %.1f deg, left "
                "%.1f deg, up %.1f deg\n",
                unknownMountings, worstForward, worstLeft, worstUp);
    std::printf("Goal (precision and recall >= 0.95 per type, none on quiet drives): %s\n\n",
                goal && quietEvents == 0 ? "met" : "NOT met");

    // Timing: 100 drives of ten one-minute clips, grouped and detected drive by drive as the
    // viewer does.
    QVector<QVector<QVector<GpsData>>> timed;
    for (int n = 0; n < 100; ++n)
        timed.append(
                clipsOf(decodedSamples(LabelledDrive::random(quint32(10000 + n), true).records),
                        ClipSeconds));
    // Each drive an hour after the one before, so that grouping finds the hundred drives.
    QVector<QVector<GpsData>> all;
    QVector<qint64> shifts;
    for (int n = 0; n < timed.size(); ++n) {
        all += timed.at(n);
        shifts.insert(shifts.size(), timed.at(n).size(), qint64(n) * 3600);
    }
    // The best of a few runs: the machine may be busy with other work.
    constexpr int Runs = 5;
    qint64 grouping = std::numeric_limits<qint64>::max(), perDrive = grouping, asOne = grouping;
    int drivesFound = 0, events = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        QVector<DriveClip> driveClips;
        for (int i = 0; i < all.size(); ++i) {
            DriveClip clip = Drives::clipOf(all.at(i), all.at(i).size(), 0);
            clip.start += shifts.at(i);
            clip.end += shifts.at(i);
            driveClips.append(clip);
        }
        const QVector<QVector<int>> groups = Drives::group(driveClips);
        grouping = qMin(grouping, clock.nsecsElapsed());
        clock.restart();
        events = 0;
        for (const QVector<int> &group : groups) {
            QVector<QVector<GpsData>> clips;
            for (const int i : group)
                clips.append(all.at(i));
            for (const auto &clipEvents : EventDetector::detectDrive(clips))
                events += clipEvents.size();
        }
        perDrive = qMin(perDrive, clock.nsecsElapsed());
        clock.restart();
        EventDetector::detectDrive(all);
        asOne = qMin(asOne, clock.nsecsElapsed());
        drivesFound = groups.size();
    }
    std::printf("1,000 one-minute clips, best of %d runs: Drives::clipOf and group %.1f ms (%d "
                "drives); detectDrive %.1f ms drive by drive (%d events), %.1f ms as one drive\n",
                Runs, grouping / 1e6, drivesFound, perDrive / 1e6, events, asOne / 1e6);
    return goal && quietEvents == 0 ? 0 : 1;
}
