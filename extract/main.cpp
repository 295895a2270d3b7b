// Entry of velqor-extract: reads the command line and the recordings, then exports them as one
// document in the chosen format.
#include "export/cameraclock.h"
#include "export/drives.h"
#include "export/eventdetector.h"
#include "export/eventexport.h"
#include "export/extractedrecording.h"
#include "export/recordingname.h"
#include "export/trackexport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

#include <cstdio>

#include <unistd.h>

namespace {

enum ExitStatus {
    Success = 0,
    InputNotOpened = 2,
    UsageError = 64, // as in sysexits: EX_USAGE
    OutputNotCreated = 73, // EX_CANTCREAT
    OutputNotWritten = 74, // EX_IOERR
};

void printError(const QString &message)
{
    std::fprintf(stderr, "velqor-extract: %s\n", qUtf8Printable(message));
}

int usageError(const QString &message)
{
    printError(message);
    std::fprintf(stderr, "Try 'velqor-extract --help' for more information.\n");
    return UsageError;
}

const char *const Description
        = "Prints the file information and every telemetry sample of dash-camera recordings\n"
          "(MP4, MOV, AVI).\n"
          "\n"
          "json: an array with one object per recording, in argument order.\n"
          "csv: a header row, then one row per sample, the file in the first column.\n"
          "gpx, kml, geojson: one track per recording with the samples that have a fix and a\n"
          "position; kml also leaves out samples whose date and time cannot be read. geojson\n"
          "holds a LineString feature per recording (a Point for a lone position, no geometry\n"
          "for none) whose properties carry the file and, for each point, its time, speed (km/h)\n"
          "and heading (degrees) in the arrays times, speeds and headings.\n"
          "\n"
          "The camera's clock carries no time zone; --camera-utc-offset tells how far it runs\n"
          "from UTC. gpx, kml and geojson then write UTC times ending in Z; json and csv keep the\n"
          "camera's dateTime text and add utcTime. With 'none' the track times stay as the\n"
          "camera reads them, without zone, and utcTime is null or empty.\n"
          "\n"
          "An output file that is a regular file, or a new one, is replaced only once the whole\n"
          "document is written (through a symbolic link, its target is). A character device,\n"
          "a pipe or /dev/stdout is written as it stands; a pipe that nobody reads within two\n"
          "seconds, a block device and a socket file are errors. '-' is standard output. An\n"
          "output that is one of the recordings is refused before anything is read.\n"
          "\n"
          "--events prints the driving events instead of the samples (json, csv or geojson):\n"
          "harsh braking, acceleration and cornering, and impacts. The files given form drives\n"
          "as the viewer's playlist makes them (in the order of their first camera time, or\n"
          "of their modification time without one; at most five minutes between the end of\n"
          "one and the start of the next), and the camera's mounting is measured over each\n"
          "drive; rear files whose front file is given too form drives of their own. json: an\n"
          "array with one object per recording, {\"file\", \"events\": [{\"type\", \"severity\",\n"
          "\"start\", \"peak\", \"end\", \"peakG\", \"speed\", \"latitude\", \"longitude\",\n"
          "\"utcTime\", \"cameraTime\"}]}, where start, peak and end are seconds into the\n"
          "recording, severity is minor or major for impacts and null otherwise; csv: a row per\n"
          "event, the file first; geojson: a Point feature per event.\n"
          "\n"
          "A file that cannot be opened is named on standard error and left out of the output;\n"
          "the other files are still printed.\n"
          "\n"
          "Exit status: 0 every file was read, 2 a file could not be opened, 64 usage error,\n"
          "73 the output file cannot be created or opened, 74 the output could not be written.";

// The events of each recording, in the order given: the recordings grouped into drives, each
// drive's mounting measured once. A rear camera is mounted its own way, so the rear files of
// given front files are grouped apart from the rest.
QVector<RecordingEvents> findEvents(const QVector<ExtractedRecording> &recordings)
{
    QSet<QString> fronts;
    for (const ExtractedRecording &recording : recordings) {
        const QString name = QFileInfo(recording.file).fileName();
        if (RecordingName::isFront(name))
            fronts.insert(RecordingName::sharedBase(name));
    }
    QVector<int> cameras[2]; // the front and lone files, the rear partners
    for (int i = 0; i < recordings.size(); ++i) {
        const QString name = QFileInfo(recordings.at(i).file).fileName();
        cameras[RecordingName::isRear(name) && fronts.contains(RecordingName::sharedBase(name))]
                .append(i);
    }

    QVector<RecordingEvents> result(recordings.size());
    for (const QVector<int> &camera : cameras) {
        QVector<DriveClip> clips;
        for (int i : camera)
            clips.append(Drives::clipOfRecording(recordings.at(i)));
        for (const QVector<int> &drive : Drives::group(clips)) {
            QVector<QVector<GpsData>> samples;
            for (int clip : drive)
                samples.append(recordings.at(camera.at(clip)).samples);
            const QVector<QVector<DrivingEvent>> events = EventDetector::detectDrive(samples);
            for (int clip = 0; clip < drive.size(); ++clip)
                result[camera.at(drive.at(clip))].events = events.value(clip);
        }
    }
    for (int i = 0; i < recordings.size(); ++i)
        result[i].file = recordings.at(i).file;
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velqor-extract"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELQOR_VERSION));
    // The parsers log damaged records as debug lines, and the export logs the failures that are
    // reported here; standard error is kept for our messages.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nvelqor.export.warning=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption formatOption(
            {QStringLiteral("f"), QStringLiteral("format")},
            QStringLiteral("Output format: %1 (default json); with --events %2.")
                    .arg(TrackWriter::formatNames().join(QLatin1String(", ")),
                         EventExport::formatNames().join(QLatin1String(", "))),
            QStringLiteral("format"), QStringLiteral("json"));
    const QCommandLineOption outputOption(
            {QStringLiteral("o"), QStringLiteral("output")},
            QStringLiteral("Write to <file> instead of standard output ('-')."),
            QStringLiteral("file"));
    const QCommandLineOption offsetOption(
            QStringLiteral("camera-utc-offset"),
            QStringLiteral("How the camera clock runs: +HH:MM or -HH:MM from UTC, local (this "
                           "computer's time zone, with its daylight-saving rule; the default) "
                           "or none (times without zone)."),
            QStringLiteral("offset"), QStringLiteral("local"));
    const QCommandLineOption eventsOption(
            QStringLiteral("events"),
            QStringLiteral("Print the driving events found in the recordings instead of their "
                           "samples."));
    parser.addOption(formatOption);
    parser.addOption(outputOption);
    parser.addOption(offsetOption);
    parser.addOption(eventsOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Recordings to read."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(Success);
    if (parser.isSet(versionOption))
        parser.showVersion();

    const bool events = parser.isSet(eventsOption);
    const QString formatName = parser.value(formatOption).toLower();
    TrackWriter::Format format;
    EventExport::Format eventFormat;
    if (events ? !EventExport::formatFromName(formatName, &eventFormat)
               : !TrackWriter::formatFromName(formatName, &format))
        return usageError(QStringLiteral("unknown format '%1'%2")
                                  .arg(parser.value(formatOption),
                                       events ? QStringLiteral(" for events") : QString()));
    CameraClock clock = CameraClock::systemLocal();
    if (!CameraClock::fromText(parser.value(offsetOption), &clock)) {
        return usageError(QStringLiteral("invalid camera UTC offset '%1': expected +HH:MM, "
                                         "-HH:MM, local or none")
                                  .arg(parser.value(offsetOption)));
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no recording given"));
    const QString output = parser.value(outputOption);
    const bool toStandardOutput = !parser.isSet(outputOption) || output == QLatin1String("-");
    if (parser.isSet(outputOption) && output.isEmpty())
        return usageError(QStringLiteral("empty output file name"));
    // A shell glob easily puts a recording where the output goes; writing it would destroy it.
    // So does a shell's ">>" or "1<>" on standard output.
    for (const QString &file : files) {
        if (!toStandardOutput && TrackExport::sameFile(output, file)) {
            return usageError(
                    QStringLiteral("the output %1 is the recording %2 itself").arg(output, file));
        }
        if (toStandardOutput && TrackExport::isRegularFile(STDOUT_FILENO, file))
            return usageError(
                    QStringLiteral("standard output is the recording %1 itself").arg(file));
    }

    int status = Success;
    QVector<ExtractedRecording> recordings;
    for (const QString &file : files) {
        ExtractedRecording recording;
        QString problem;
        if (!recording.load(file, &problem)) {
            printError(QStringLiteral("cannot open %1: %2").arg(file, problem));
            status = InputNotOpened;
            continue;
        }
        recordings.append(recording);
    }
    QVector<Track> tracks;
    QVector<RecordingEvents> found;
    if (events) {
        found = findEvents(recordings);
    } else {
        for (const ExtractedRecording &recording : qAsConst(recordings))
            tracks.append(Track::fromRecording(recording));
    }
    recordings.clear();

    QString error;
    TrackExport::Status written;
    if (!toStandardOutput) {
        written = events ? EventExport::writeFile(eventFormat, found, output, clock, &error)
                         : TrackExport::writeFile(format, tracks, output, clock, {}, &error);
    } else {
        QFile standardOutput;
        standardOutput.open(stdout, QIODevice::WriteOnly);
        written = events ? EventExport::write(eventFormat, found, &standardOutput, clock, &error)
                         : TrackExport::write(format, tracks, &standardOutput, clock, {}, &error);
    }
    switch (written) {
    case TrackExport::Written:
    case TrackExport::Cancelled: // nothing here cancels
        break;
    case TrackExport::NotCreated:
        printError(error);
        return OutputNotCreated;
    case TrackExport::NotWritten:
        printError(error);
        return OutputNotWritten;
    }
    return status;
}
