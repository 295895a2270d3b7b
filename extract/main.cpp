// Entry of velqor-extract: reads the command line, then feeds each recording to the chosen writer.
#include "export/extractedrecording.h"
#include "export/recordingwriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <cstdio>

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
          "gpx, kml: one track per recording with the samples that have a fix and a position;\n"
          "kml also leaves out samples whose date and time cannot be read.\n"
          "\n"
          "A file that cannot be opened is named on standard error and left out of the output;\n"
          "the other files are still printed.\n"
          "\n"
          "Exit status: 0 every file was read, 2 a file could not be opened, 64 usage error,\n"
          "73 the output file cannot be created, 74 the output could not be written.";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velqor-extract"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELQOR_VERSION));
    // The parsers log damaged records as debug lines; standard error is kept for our messages.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption formatOption(
            {QStringLiteral("f"), QStringLiteral("format")},
            QStringLiteral("Output format: %1 (default json).")
                    .arg(RecordingWriter::formats().join(QLatin1String(", "))),
            QStringLiteral("format"), QStringLiteral("json"));
    const QCommandLineOption outputOption(
            {QStringLiteral("o"), QStringLiteral("output")},
            QStringLiteral("Write to <file> instead of standard output."), QStringLiteral("file"));
    parser.addOption(formatOption);
    parser.addOption(outputOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Recordings to read."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(Success);
    if (parser.isSet(versionOption))
        parser.showVersion();

    const QString format = parser.value(formatOption).toLower();
    if (!RecordingWriter::formats().contains(format))
        return usageError(QStringLiteral("unknown format '%1'").arg(parser.value(formatOption)));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no recording given"));

    // A named output file only replaces its old content once the whole document is written.
    QSaveFile outputFile;
    QFile standardOutput;
    QFileDevice *output = &standardOutput;
    if (parser.isSet(outputOption)) {
        outputFile.setFileName(parser.value(outputOption));
        if (!outputFile.open(QIODevice::WriteOnly)) {
            printError(QStringLiteral("cannot create %1: %2")
                               .arg(parser.value(outputOption), outputFile.errorString()));
            return OutputNotCreated;
        }
        output = &outputFile;
    } else {
        standardOutput.open(stdout, QIODevice::WriteOnly);
    }

    int status = Success;
    const std::unique_ptr<RecordingWriter> writer = RecordingWriter::create(format, output);
    for (const QString &file : files) {
        ExtractedRecording recording;
        QString problem;
        if (!recording.load(file, &problem)) {
            printError(QStringLiteral("cannot open %1: %2").arg(file, problem));
            status = InputNotOpened;
            continue;
        }
        writer->add(recording);
    }
    writer->finish();

    const bool written
            = output == &outputFile
                      ? outputFile.commit()
                      : standardOutput.flush() && standardOutput.error() == QFileDevice::NoError;
    if (!written) {
        printError(QStringLiteral("cannot write the output: %1").arg(output->errorString()));
        return OutputNotWritten;
    }
    return status;
}
