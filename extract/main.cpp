// Entry of velqor-extract: reads the command line and the recordings, then exports them as one
// document in the chosen format.
#include "export/cameraclock.h"
#include "export/extractedrecording.h"
#include "export/trackexport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>

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
          "A file that cannot be opened is named on standard error and left out of the output;\n"
          "the other files are still printed.\n"
          "\n"
          "Exit status: 0 every file was read, 2 a file could not be opened, 64 usage error,\n"
          "73 the output file cannot be created or opened, 74 the output could not be written.";

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
            QStringLiteral("Output format: %1 (default json).")
                    .arg(TrackWriter::formatNames().join(QLatin1String(", "))),
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
    parser.addOption(formatOption);
    parser.addOption(outputOption);
    parser.addOption(offsetOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Recordings to read."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(Success);
    if (parser.isSet(versionOption))
        parser.showVersion();

    TrackWriter::Format format;
    if (!TrackWriter::formatFromName(parser.value(formatOption).toLower(), &format))
        return usageError(QStringLiteral("unknown format '%1'").arg(parser.value(formatOption)));
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
    QVector<Track> tracks;
    for (const QString &file : files) {
        ExtractedRecording recording;
        QString problem;
        if (!recording.load(file, &problem)) {
            printError(QStringLiteral("cannot open %1: %2").arg(file, problem));
            status = InputNotOpened;
            continue;
        }
        tracks.append(Track::fromRecording(recording));
    }

    QString error;
    TrackExport::Status written;
    if (!toStandardOutput) {
        written = TrackExport::writeFile(format, tracks, output, clock, {}, &error);
    } else {
        QFile standardOutput;
        standardOutput.open(stdout, QIODevice::WriteOnly);
        written = TrackExport::write(format, tracks, &standardOutput, clock, {}, &error);
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
