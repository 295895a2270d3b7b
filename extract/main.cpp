// Entry of velqor-extract: reads the command line, works out the recordings it names, and
// exports them as one document in the chosen format.
#include "donelist.h"
#include "exitstatus.h"
#include "extraction.h"
#include "inputlist.h"
#include "output.h"
#include "shard.h"
#include "videocommand.h"

#include "export/cameraclock.h"
#include "export/driveassembler.h"
#include "export/drives.h"
#include "export/eventdetector.h"
#include "export/eventexport.h"
#include "export/extractedrecording.h"
#include "export/recordingsummary.h"
#include "export/trackexport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QThread>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far more threads than any computer runs at once only cost memory.
constexpr int MaxJobs = 1024;

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
          "A folder stands for its recordings, the files the viewer lists (.mp4, .mov, .avi in\n"
          "any case, not hidden), in name order; -r adds each sub-folder's after them, depth\n"
          "first. A folder without any stays as it is, to be reported like a file that cannot\n"
          "be read. --files-from adds the paths of a list after the arguments. The recordings\n"
          "are written in that order whatever -j is.\n"
          "\n"
          "json: an array with one object per recording, in argument order.\n"
          "jsonl: the same objects, one a line, each written as soon as it is read; a recording\n"
          "that cannot be read has the line {\"file\", \"error\": {\"code\", \"message\"}}, code\n"
          "not-found, unreachable, directory, not-regular or unreadable. Into a file (-o FILE)\n"
          "the lines go through a temporary file like any document, so an interrupted run\n"
          "leaves nothing; a long run is better written with --skip-done FILE -o FILE (or\n"
          ">> FILE), which keeps every line written and resumes where it stopped.\n"
          "csv: a header row, then one row per sample, the file in the first column.\n"
          "gpx, kml, geojson: one track per recording with the samples that have a fix and a\n"
          "position; kml also leaves out samples whose date and time cannot be read. geojson\n"
          "holds a LineString feature per recording (a Point for a lone position, no geometry\n"
          "for none) whose properties carry the file and, for each point, its time, speed (km/h)\n"
          "and heading (degrees) in the arrays times, speeds and headings.\n"
          "ass: subtitles with a caption a second (the camera's date and time, the speed in\n"
          "km/h or --unit, the coordinates or \"No fix\") that players show and ffmpeg burns\n"
          "in; each recording's captions start where the one before ends, so the track fits\n"
          "the recordings played, or joined, in the order given. Rear files whose front file is\n"
          "given from the same folder are left out: the track is the front camera's.\n"
          "\n"
          "--summary (json, jsonl, csv) writes one record per recording instead of its samples:\n"
          "file, source, samples, first and last camera and UTC time, distance (m), top and\n"
          "average speed (km/h) and the bounding box of its positions. --join (gpx, kml,\n"
          "geojson) writes a track per drive instead of one per recording: the recordings in\n"
          "time order, rear files whose front file is given from the same folder left out, a\n"
          "new segment after more than five minutes without a reading. Drives are joined by\n"
          "time alone, so --join is meant for one camera's recordings: one car's folder a run.\n"
          "\n"
          "--shard I/N keeps the recordings whose path, as written in the output, has a 64-bit\n"
          "FNV-1a hash of its UTF-8 bytes that leaves I when divided by N: N runs on the same\n"
          "list, one for each I, write every recording exactly once between them. It takes\n"
          "neither --join nor --events: their drives, and a rear file's front, would be split.\n"
          "--skip-done FILE leaves out the recordings that FILE, the jsonl output of an earlier\n"
          "run, holds a complete line for: their data, or an error that reading again would\n"
          "meet again (directory, not-regular, unreadable). The others, such as not-found,\n"
          "unreachable or a batch that failed, are read again, their new line after the old\n"
          "one: a reader takes each file's last line. When the output is FILE itself (-o FILE,\n"
          "or >> FILE) the run appends to it, after cutting off a last line left unfinished,\n"
          "so the same command both starts a run and resumes it. --list never writes into\n"
          "FILE.\n"
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
          "output that is one of the recordings, even one that --shard or --skip-done leaves\n"
          "out, or a --files-from list is refused before anything is read.\n"
          "\n"
          "--events prints the driving events instead of the samples (json, csv or geojson):\n"
          "harsh braking, acceleration and cornering, and impacts. The files given form drives\n"
          "as the viewer's playlist makes them (in the order of their first camera time, or\n"
          "of their modification time without one; at most five minutes between the end of\n"
          "one and the start of the next), and the camera's mounting is measured over each\n"
          "drive; rear files whose front file is given too, from the same folder, form drives\n"
          "of their own. As with --join, that is one camera's recordings a run. json: an array\n"
          "with one object per recording, {\"file\", \"events\": [{\"type\", \"severity\",\n"
          "\"start\", \"peak\", \"end\", \"peakG\", \"speed\", \"latitude\", \"longitude\",\n"
          "\"utcTime\", \"cameraTime\"}]}, where start, peak and end are seconds into the\n"
          "recording, severity is minor or major for impacts and null otherwise; csv: a row per\n"
          "event, the file first; geojson: a Point feature per event.\n"
          "\n"
          "--video OUT writes the recordings as one H.264 MP4 video with the telemetry painted\n"
          "over it (ffmpeg does the encoding). The front files given, less rear files whose\n"
          "front file is given from the same folder, play in the order --join puts them, each\n"
          "with its rear camera's file found in its folder, laid end to end; --from and --to\n"
          "cut seconds of that timeline. OUT is written under a temporary name in its folder\n"
          "and, only once complete, replaces an existing regular file (through a symbolic link,\n"
          "its target); a failed export, or one interrupted by SIGINT, SIGTERM, SIGHUP (a\n"
          "closed terminal) or SIGQUIT, leaves nothing behind and an existing OUT as it was;\n"
          "an interrupted one ends by its signal. An OUT that is one of the recordings, a rear\n"
          "partner included, or that is no regular file, is refused; one whose folder is missing\n"
          "or not writable cannot be created (73). A recording that cannot be read stops the\n"
          "export before it starts.\n"
          "The UTC time in its overlay follows --camera-utc-offset; 'none' leaves it out.\n"
          "Progress goes to standard error when that is a terminal.\n"
          "\n"
          "A file that cannot be opened is named on standard error and left out of the output;\n"
          "the other files are still printed. So is a folder that cannot be listed, and a\n"
          "recording or sub-folder in one whose name is not UTF-8.\n"
          "\n"
          "Exit status: 0 every file was read, 1 the video export failed, 2 a file could not be\n"
          "opened, 64 usage error, 73 the output file cannot be created or opened, 74 the\n"
          "output could not be written.";

// The events of each recording, in the order given: the recordings grouped into drives, each
// drive's mounting measured once. A rear camera is mounted its own way, so the rear files of
// given front files are grouped apart from the rest.
QVector<RecordingEvents> findEvents(const QVector<ExtractedRecording> &recordings)
{
    QStringList files;
    for (const ExtractedRecording &recording : recordings)
        files.append(recording.file);
    const QVector<bool> rears = Drives::rearsOfListedFronts(files);
    QVector<int> cameras[2]; // the front and lone files, the rear partners
    for (int i = 0; i < recordings.size(); ++i)
        cameras[rears.at(i)].append(i);

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

// The bytes of a --files-from list; '-' is standard input.
bool readList(const QString &name, QByteArray *list, QString *problem)
{
    QFile file(name);
    if (name == QLatin1String("-")) {
        file.open(stdin, QIODevice::ReadOnly);
    } else if (QFileInfo(name).isDir()) {
        *problem = QStringLiteral("it is a folder");
        return false;
    } else if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return false;
    }
    *list = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *problem = file.errorString();
        return false;
    }
    return true;
}

// A name with a line break cannot be told apart from two names in a list of lines, so it is
// left out and reported rather than split.
TrackExport::Status writeList(const QStringList &paths, bool nulSeparated, QIODevice *device,
                              const QString &name, bool *allListed, QString *error)
{
    bool ok = true;
    for (const QString &path : paths) {
        if (!nulSeparated && path.contains(QLatin1Char('\n'))) {
            printError(QStringLiteral("cannot list %1 on a line: it holds a line break (use -0)")
                               .arg(path));
            *allListed = false;
            continue;
        }
        const QByteArray entry = QFile::encodeName(path) + (nulSeparated ? '\0' : '\n');
        ok = ok && device->write(entry) == entry.size();
    }
    return TrackExport::finish(device, ok, name, error);
}

// Whether the command line asks for a video, before the application that parses it exists: only
// then is a QGuiApplication needed, for painting text.
bool wantsVideo(int argc, char *argv[])
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--video") == 0 || std::strncmp(argv[i], "--video=", 8) == 0)
            return true;
    }
    return false;
}

// Qt ends the program with abort(), and so a core dump, when the platform QT_QPA_PLATFORM
// names cannot start: no display for xcb, a plugin not installed. Which one can start is known
// only by trying, so a fatal message while the application is made ends the command plainly.
QtMessageHandler gPreviousHandler = nullptr;

void exitOnPlatformFailure(QtMsgType type, const QMessageLogContext &context,
                           const QString &message)
{
    if (type != QtFatalMsg) {
        if (gPreviousHandler)
            gPreviousHandler(type, context, message);
        return;
    }
    printError(QStringLiteral("the Qt platform '%1' could not start; unset QT_QPA_PLATFORM to "
                              "paint without a display")
                       .arg(qEnvironmentVariable("QT_QPA_PLATFORM")));
    std::fflush(stderr);
    // Nothing is written yet, and the half-made application must not be torn down.
    std::_Exit(Failure);
}

// Seconds on the timeline: a finite number, not negative.
bool secondsFromText(const QString &text, double *seconds)
{
    bool isNumber = false;
    *seconds = text.toDouble(&isNumber);
    return isNumber && std::isfinite(*seconds) && *seconds >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The parsers log damaged records as debug lines, and the exports log the failures that are
    // reported here; standard error is kept for our messages.
    const QString logRules = QStringLiteral(
            "*.debug=false\nvelqor.export.warning=false\nvelqor.videoexport.warning=false");
    const bool guiNeeded = wantsVideo(argc, argv);
    // The offscreen platform needs no display, so exports run on a server or over ssh. Its
    // start warns of a missing session runtime folder, which nothing here uses.
    if (guiNeeded && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(logRules + QStringLiteral("\ndefault.warning=false"));
    std::unique_ptr<QCoreApplication> app;
    if (guiNeeded) {
        gPreviousHandler = qInstallMessageHandler(exitOnPlatformFailure);
        app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(gPreviousHandler);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("velqor-extract"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELQOR_VERSION));
    QLoggingCategory::setFilterRules(logRules);

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
    const QCommandLineOption recursiveOption(
            {QStringLiteral("r"), QStringLiteral("recursive")},
            QStringLiteral("Also read the recordings in the sub-folders of folders, depth first."));
    const QCommandLineOption filesFromOption(
            QStringLiteral("files-from"),
            QStringLiteral("Also read the recordings and folders listed in <file>, one a line "
                           "('-': standard input)."),
            QStringLiteral("file"));
    const QCommandLineOption nullOption(
            {QStringLiteral("0"), QStringLiteral("null")},
            QStringLiteral("Lists end each path with a NUL character instead of a line break: "
                           "the --files-from list and the --list output."));
    const QCommandLineOption jobsOption(
            {QStringLiteral("j"), QStringLiteral("jobs")},
            QStringLiteral("Parse <n> recordings at once (default 1; 0: as many as the computer "
                           "runs threads at once). The output stays the same."),
            QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption shardOption(
            QStringLiteral("shard"),
            QStringLiteral("Only the recordings in shard <I/N> (0 <= I < N) by the hash of their "
                           "path."),
            QStringLiteral("I/N"));
    const QCommandLineOption summaryOption(
            QStringLiteral("summary"),
            QStringLiteral("One record per recording instead of its samples (json, jsonl, csv)."));
    const QCommandLineOption joinOption(
            QStringLiteral("join"),
            QStringLiteral("A track per drive instead of one per recording (gpx, kml, geojson)."));
    const QCommandLineOption skipDoneOption(
            QStringLiteral("skip-done"),
            QStringLiteral("Leave out the recordings that <file>, the jsonl output of an earlier "
                           "run, holds; append to it when it is the output."),
            QStringLiteral("file"));
    const QCommandLineOption listOption(
            QStringLiteral("list"),
            QStringLiteral("Print the recordings that the other options select, one a line, "
                           "and read none of them."));
    const QCommandLineOption unitOption(
            QStringLiteral("unit"),
            QStringLiteral("Speed unit of --format ass and --video: kmh (the default) or mph."),
            QStringLiteral("unit"), QStringLiteral("kmh"));
    const QCommandLineOption videoOption(
            QStringLiteral("video"),
            QStringLiteral("Write the recordings as one MP4 video <file> with the telemetry "
                           "painted over it."),
            QStringLiteral("file"));
    const QCommandLineOption layoutOption(
            QStringLiteral("layout"),
            QStringLiteral("--video: how the cameras share the picture: %1 (default "
                           "side-by-side).")
                    .arg(VideoLayout::arrangementNames().join(QLatin1String(", "))),
            QStringLiteral("layout"), QStringLiteral("side-by-side"));
    const QCommandLineOption resolutionOption(
            QStringLiteral("resolution"),
            QStringLiteral("--video: the frame size: %1 (default source, the front camera's).")
                    .arg(VideoLayout::resolutionNames().join(QLatin1String(", "))),
            QStringLiteral("size"), QStringLiteral("source"));
    const QCommandLineOption overlayOption(
            QStringLiteral("overlay"),
            QStringLiteral("--video: the telemetry shown, a comma-separated list of %1, or "
                           "none (default all).")
                    .arg(OverlayOptions::partNames().join(QLatin1String(", "))),
            QStringLiteral("parts"), OverlayOptions::partNames().join(QLatin1Char(',')));
    const QCommandLineOption mapOption(
            QStringLiteral("map"),
            QStringLiteral("--video: an offline map <file> whose raster tiles go under the "
                           "mini-map (without, the track on a plain background)."),
            QStringLiteral("file"));
    const QCommandLineOption fromOption(
            QStringLiteral("from"),
            QStringLiteral("--video: start <seconds> into the recordings laid end to end."),
            QStringLiteral("seconds"));
    const QCommandLineOption toOption(
            QStringLiteral("to"),
            QStringLiteral("--video: end <seconds> into the recordings laid end to end."),
            QStringLiteral("seconds"));
    parser.addOptions({formatOption,     outputOption,    offsetOption, eventsOption,
                       recursiveOption,  filesFromOption, nullOption,   jobsOption,
                       shardOption,      summaryOption,   joinOption,   skipDoneOption,
                       listOption,       unitOption,      videoOption,  layoutOption,
                       resolutionOption, overlayOption,   mapOption,    fromOption,
                       toOption});
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Recordings, or folders of recordings, to read."),
                                 QStringLiteral("PATH..."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(Success);
    if (parser.isSet(versionOption))
        parser.showVersion();

    const bool video = parser.isSet(videoOption);
    // Options of the documents have no meaning for a video, and the video's none for them.
    for (const QCommandLineOption *option :
         {&formatOption, &outputOption, &eventsOption, &jobsOption, &shardOption, &summaryOption,
          &joinOption, &skipDoneOption, &listOption}) {
        if (video && parser.isSet(*option))
            return usageError(
                    QStringLiteral("--video takes no --%1").arg(option->names().constLast()));
    }
    for (const QCommandLineOption *option :
         {&layoutOption, &resolutionOption, &overlayOption, &mapOption, &fromOption, &toOption}) {
        if (!video && parser.isSet(*option))
            return usageError(
                    QStringLiteral("--%1 needs --video").arg(option->names().constLast()));
    }
    VideoCommand::Settings videoSettings;
    videoSettings.report = printError;
    const QString unitName = parser.value(unitOption);
    if (unitName != QLatin1String("kmh") && unitName != QLatin1String("mph"))
        return usageError(QStringLiteral("unknown unit '%1': expected kmh or mph").arg(unitName));
    const SpeedUnit::Unit unit = unitName == QLatin1String("mph") ? SpeedUnit::Mph : SpeedUnit::Kmh;
    if (video) {
        const QString layout = parser.value(layoutOption);
        if (!VideoLayout::arrangementFromName(layout, &videoSettings.arrangement))
            return usageError(QStringLiteral("unknown layout '%1'").arg(layout));
        const QString resolution = parser.value(resolutionOption);
        if (!VideoLayout::resolutionFromName(resolution, &videoSettings.resolution))
            return usageError(QStringLiteral("unknown resolution '%1'").arg(resolution));
        const QString parts = parser.value(overlayOption);
        if (parts == QLatin1String("none")) {
            OverlayOptions::fromNames({}, &videoSettings.overlay);
        } else if (!OverlayOptions::fromNames(parts.split(QLatin1Char(',')),
                                              &videoSettings.overlay)) {
            return usageError(
                    QStringLiteral("invalid overlay '%1': expected parts of %2, or none")
                            .arg(parts, OverlayOptions::partNames().join(QLatin1Char(','))));
        }
        videoSettings.overlay.unit = unit;
        videoSettings.mapFile = parser.value(mapOption);
        if (parser.isSet(mapOption) && !QFileInfo(videoSettings.mapFile).isFile())
            return usageError(QStringLiteral("no map file %1").arg(videoSettings.mapFile));
        for (const auto &bound : {std::make_pair(&fromOption, &videoSettings.from),
                                  std::make_pair(&toOption, &videoSettings.to)}) {
            if (parser.isSet(*bound.first)
                && !secondsFromText(parser.value(*bound.first), bound.second))
                return usageError(
                        QStringLiteral("invalid --%1 '%2': expected seconds, 0 or more")
                                .arg(bound.first->names().constLast(), parser.value(*bound.first)));
        }
        if (videoSettings.from >= videoSettings.to)
            return usageError(QStringLiteral("--from must come before --to"));
        videoSettings.output = parser.value(videoOption);
        if (videoSettings.output == QLatin1String("-"))
            return usageError(QStringLiteral("--video writes a file, not standard output"));
    }

    const bool events = parser.isSet(eventsOption);
    const bool summary = parser.isSet(summaryOption);
    const bool join = parser.isSet(joinOption);
    const QString formatName = parser.value(formatOption).toLower();
    if (events && (summary || join || formatName == QLatin1String("jsonl")))
        return usageError(QStringLiteral("--events takes neither --summary, --join nor jsonl"));
    if (summary && join)
        return usageError(QStringLiteral("--summary and --join exclude each other"));
    TrackWriter::Format format = TrackWriter::Json;
    EventExport::Format eventFormat;
    if (events ? !EventExport::formatFromName(formatName, &eventFormat)
               : !TrackWriter::formatFromName(formatName, &format))
        return usageError(QStringLiteral("unknown format '%1'%2")
                                  .arg(parser.value(formatOption),
                                       events ? QStringLiteral(" for events") : QString()));
    if (summary && !RecordingSummary::hasFormat(format))
        return usageError(QStringLiteral("--summary writes json, jsonl or csv"));
    const bool trackFormat = format == TrackWriter::Gpx || format == TrackWriter::Kml
                             || format == TrackWriter::GeoJson;
    if (join && !trackFormat)
        return usageError(QStringLiteral("--join writes gpx, kml or geojson"));
    const bool skipDone = parser.isSet(skipDoneOption);
    if (skipDone && (events || format != TrackWriter::JsonLines))
        return usageError(QStringLiteral("--skip-done reads and writes jsonl only"));
    if (parser.isSet(unitOption) && !video && (events || format != TrackWriter::Ass))
        return usageError(QStringLiteral("--unit is for --format ass and --video"));
    CameraClock clock = CameraClock::systemLocal();
    if (!CameraClock::fromText(parser.value(offsetOption), &clock)) {
        return usageError(QStringLiteral("invalid camera UTC offset '%1': expected +HH:MM, "
                                         "-HH:MM, local or none")
                                  .arg(parser.value(offsetOption)));
    }
    videoSettings.clock = clock;
    bool isNumber = false;
    int jobs = parser.value(jobsOption).toInt(&isNumber);
    if (!isNumber || jobs < 0 || jobs > MaxJobs)
        return usageError(QStringLiteral("invalid number of jobs '%1': expected 0 to %2")
                                  .arg(parser.value(jobsOption))
                                  .arg(MaxJobs));
    if (jobs == 0)
        jobs = QThread::idealThreadCount();
    Shard shard;
    if (parser.isSet(shardOption) && !Shard::fromText(parser.value(shardOption), &shard))
        return usageError(QStringLiteral("invalid shard '%1': expected I/N with 0 <= I < N")
                                  .arg(parser.value(shardOption)));
    // Shards split by path, so a drive's clips and a rear file's front would land in several runs.
    if (parser.isSet(shardOption) && (join || events))
        return usageError(QStringLiteral("--shard takes neither --join nor --events: it would "
                                         "split their drives"));

    const QStringList lists = parser.values(filesFromOption);
    if (parser.positionalArguments().isEmpty() && lists.isEmpty())
        return usageError(QStringLiteral("no recording given"));
    const QCommandLineOption &outputOf = video ? videoOption : outputOption;
    if (parser.isSet(outputOf) && parser.value(outputOf).isEmpty())
        return usageError(QStringLiteral("empty output file name"));
    Output output(parser.value(outputOf));
    InputList inputs(parser.isSet(recursiveOption));
    for (const QString &path : parser.positionalArguments())
        inputs.add(path);
    for (const QString &list : lists) {
        // Written over, a list of the archive would be lost, and with it the run's own input.
        if (list != QLatin1String("-") && output.isFile(list)) {
            return usageError(QStringLiteral("the output %1 is the list %2 itself")
                                      .arg(output.isStandard() ? QStringLiteral("standard output")
                                                               : output.path(),
                                           list));
        }
        QByteArray entries;
        QString problem;
        if (!readList(list, &entries, &problem))
            return usageError(QStringLiteral("cannot read the list %1: %2").arg(list, problem));
        inputs.addList(entries, parser.isSet(nullOption));
    }
    int status = Success;
    for (const QString &problem : inputs.problems()) {
        printError(problem);
        status = InputNotOpened;
    }
    // A recording missing from a video would shift every moment after it; see VideoCommand.
    if (video && status != Success)
        return status;

    // A shell glob easily puts a recording where the output goes; writing it would destroy it.
    // So does a shell's ">>" or "1<>" on standard output. Every recording listed counts, also
    // those that --shard or --skip-done leave to another run: that run still has to read them.
    for (const QString &file : inputs.paths()) {
        if (!output.isStandard() && TrackExport::sameFile(output.path(), file)) {
            return usageError(QStringLiteral("the output %1 is the recording %2 itself")
                                      .arg(output.path(), file));
        }
        if (output.isStandard() && TrackExport::isRegularFile(STDOUT_FILENO, file))
            return usageError(
                    QStringLiteral("standard output is the recording %1 itself").arg(file));
    }
    struct stat target;
    if (output.isStandard() ? ::fstat(STDOUT_FILENO, &target) == 0
                            : ::stat(QFile::encodeName(output.path()).constData(), &target) == 0) {
        const QString unnamed = inputs.unnamedRecording(target.st_dev, target.st_ino);
        if (!unnamed.isEmpty()) {
            return usageError(QStringLiteral("%1 is the recording %2 itself")
                                      .arg(output.isStandard()
                                                   ? QStringLiteral("standard output")
                                                   : QStringLiteral("the output ") + output.path(),
                                           unnamed));
        }
    }

    // The video is renamed into place: a folder or a device there cannot take it.
    if (video && QFileInfo::exists(output.path()) && !QFileInfo(output.path()).isFile())
        return usageError(QStringLiteral("the output %1 is no regular file").arg(output.path()));

    const bool list = parser.isSet(listOption);
    const QString doneFile = parser.value(skipDoneOption);
    // A list of paths is no JSON Lines: appended, it would spoil the index of the runs resumed
    // from it; written in its place, it would throw the index away.
    if (skipDone && list && output.isFile(doneFile)) {
        return usageError(QStringLiteral("--list would write its paths into %1, the --skip-done "
                                         "file")
                                  .arg(doneFile));
    }
    DoneList done;
    if (skipDone) {
        QString problem;
        if (!done.read(doneFile, &problem))
            return usageError(QStringLiteral("cannot read %1: %2").arg(doneFile, problem));
        if (output.isFile(doneFile))
            output.resume(&done);
    }
    // The captions follow one camera's recordings end to end; a rear file's would repeat its
    // front's telemetry further on, the camera's time jumping back at it.
    const bool captions = !events && format == TrackWriter::Ass;
    QStringList files;
    for (const QString &path :
         captions ? Drives::withoutListedRears(inputs.paths()) : inputs.paths()) {
        if (shard.holds(path) && !done.contains(path))
            files.append(path);
    }

    if (video) {
        VideoCommand command(files, videoSettings);
        QString message;
        switch (command.run(&message)) {
        case VideoCommand::Exported:
            return status;
        case VideoCommand::NotAllRead:
            return InputNotOpened;
        case VideoCommand::Refused:
            return usageError(message);
        case VideoCommand::NotCreated:
            printError(message);
            return OutputNotCreated;
        case VideoCommand::Failed:
            printError(message);
            return Failure;
        case VideoCommand::Cancelled:
            break;
        }
        // Ended by the signal itself, as the shell that sent it expects.
        printError(QStringLiteral("cancelled"));
        std::signal(command.signalNumber(), SIG_DFL);
        std::raise(command.signalNumber());
        return 128 + command.signalNumber();
    }

    QString error;
    TrackExport::Status written;
    if (list) {
        bool allListed = true;
        written = output.write(
                [&](QIODevice *device, const QString &name) {
                    return writeList(files, parser.isSet(nullOption), device, name, &allListed,
                                     &error);
                },
                &error);
        if (!allListed)
            status = InputNotOpened;
    } else {
        Extraction::Settings settings;
        settings.format = format;
        settings.summary = summary;
        settings.jobs = jobs;
        settings.clock = clock;
        settings.unit = unit;
        settings.report = printError;
        Extraction extraction(files, settings);
        if (events || join) {
            // Drives need all their recordings at once.
            const QVector<ExtractedRecording> recordings = extraction.readAll();
            written = output.write(
                    [&](QIODevice *device, const QString &name) {
                        if (events)
                            return EventExport::write(eventFormat, findEvents(recordings), device,
                                                      clock, &error, name);
                        return TrackExport::write(format, DriveAssembler::join(recordings), device,
                                                  clock, {}, &error, name);
                    },
                    &error);
        } else {
            written = output.write(
                    [&](QIODevice *device, const QString &name) {
                        return extraction.write(device, name, &error);
                    },
                    &error);
        }
        if (!extraction.allRead())
            status = InputNotOpened;
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
