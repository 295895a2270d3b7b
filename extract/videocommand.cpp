// The export runs on the main thread; a signal only raises the exporter's cancel flag, which it
// checks between frames, so ffmpeg is stopped and the temporary file removed before exiting.
#include "videocommand.h"

#include "extraction.h"

#include "export/drives.h"
#include "export/extractedrecording.h"
#include "export/trackexport.h"
#include "videoexport/videoexporter.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

std::atomic<VideoExporter *> gRunning{nullptr};
volatile std::sig_atomic_t gSignal = 0;

extern "C" void cancelOnSignal(int signal)
{
    gSignal = signal;
    // A lock-free atomic store: safe in a signal handler.
    if (VideoExporter *exporter = gRunning.load())
        exporter->cancel();
}

// Routes the signals that end a command to the exporter while it runs, and back to what they
// were after. SIGHUP comes with a closed terminal or a dropped ssh session, the usual end of a long
// export left running; SIGQUIT is Ctrl+\. Killed by either, the command would leave ffmpeg running
// and its temporary file behind.
class CancelOnSignals
{
public:
    explicit CancelOnSignals(VideoExporter *exporter)
    {
        gRunning = exporter;
        struct sigaction action = {};
        action.sa_handler = cancelOnSignal;
        sigemptyset(&action.sa_mask);
        // A signal the shell had ignored (a job started in the background) stays ignored.
        for (int i = 0; i < SignalCount; ++i) {
            sigaction(Signals[i], nullptr, &mPrevious[i]);
            if (mPrevious[i].sa_handler != SIG_IGN)
                sigaction(Signals[i], &action, nullptr);
        }
    }
    ~CancelOnSignals()
    {
        for (int i = 0; i < SignalCount; ++i)
            sigaction(Signals[i], &mPrevious[i], nullptr);
        gRunning = nullptr;
    }
    CancelOnSignals(const CancelOnSignals &) = delete;
    CancelOnSignals &operator=(const CancelOnSignals &) = delete;

private:
    static constexpr int SignalCount = 4;
    static constexpr int Signals[SignalCount] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction mPrevious[SignalCount];
};

// "1:05" or "12 s".
QString durationText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The progress line on a terminal, rewritten in place at most once a second; a log file or a
// pipe would only collect carriage returns.
class ProgressLine
{
public:
    ProgressLine()
        : mShown(::isatty(STDERR_FILENO))
    {
        mRunning.start();
    }
    ~ProgressLine()
    {
        if (mShown && mWritten)
            std::fputc('\n', stderr);
    }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void show(qint64 done, qint64 total)
    {
        if (!mShown || total <= 0 || (mWritten && mSinceShown.elapsed() < 1000))
            return;
        mSinceShown.start();
        mWritten = true;
        const qint64 left = done > 0 ? mRunning.elapsed() * (total - done) / done / 1000 : 0;
        std::fprintf(stderr, "\rvelqor-extract: %3d %% of %lld frames, %s left   ",
                     int(done * 100 / total), static_cast<long long>(total),
                     qUtf8Printable(done > 0 ? durationText(left) : QStringLiteral("?")));
        std::fflush(stderr);
    }

private:
    const bool mShown;
    bool mWritten = false;
    QElapsedTimer mRunning;
    QElapsedTimer mSinceShown;
};

// The fronts in the order --join puts recordings: drives by their first clip, each in time
// order; each with its rear partner and its length.
QVector<StretchClip> timeline(const QVector<ExtractedRecording> &fronts)
{
    QVector<DriveClip> clips;
    for (const ExtractedRecording &front : fronts)
        clips.append(Drives::clipOfRecording(front));
    QVector<StretchClip> result;
    for (const QVector<int> &drive : Drives::group(clips)) {
        for (int index : drive) {
            const ExtractedRecording &front = fronts.at(index);
            result.append({front.file, Drives::rearPartner(front.file),
                           double(Drives::lengthOf(front.info.duration, front.samples.size()))});
        }
    }
    return result;
}

} // namespace

QString VideoCommand::target() const
{
    // As -o writes through a symbolic link to its target, the link stays and the file it names
    // is replaced.
    const QFileInfo output(mSettings.output);
    return output.isSymLink() ? output.symLinkTarget() : mSettings.output;
}

VideoCommand::Outcome VideoCommand::run(QString *message)
{
    // The exporter would find this only when it starts ffmpeg, after reading every recording,
    // and tell it as a failed export instead of an output that cannot be created.
    const QFileInfo folder(QFileInfo(target()).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        *message = QStringLiteral("cannot create %1: the folder %2 %3")
                           .arg(mSettings.output, folder.filePath(),
                                folder.isDir() ? QStringLiteral("is not writable")
                                               : QStringLiteral("does not exist"));
        return NotCreated;
    }
    QString tooLong;
    if (!VideoExporter::nameFits(target(), &tooLong)) {
        *message = QStringLiteral("cannot create %1: %2").arg(mSettings.output, tooLong);
        return NotCreated;
    }
    Extraction::Settings settings;
    settings.report = mSettings.report;
    Extraction extraction(Drives::withoutListedRears(mFiles), settings);
    const QVector<ExtractedRecording> recordings = extraction.readAll();
    // A piece left out would shift every moment after it on the timeline that --from and --to
    // measure, and the video would show a drive that did not happen so.
    if (!extraction.allRead())
        return NotAllRead;

    const QVector<StretchClip> clips = timeline(recordings);
    double seconds = 0;
    for (const StretchClip &clip : clips) {
        seconds += clip.seconds;
        // The partner was found on disk, not on the command line, so the earlier check of the
        // output against the recordings did not see it.
        if (!clip.rear.isEmpty() && TrackExport::sameFile(mSettings.output, clip.rear)) {
            *message = QStringLiteral("the output %1 is the recording %2 itself")
                               .arg(mSettings.output, clip.rear);
            return Refused;
        }
    }
    const QVector<VideoClip> pieces = VideoStretch::cut(clips, mSettings.from, mSettings.to);
    if (pieces.isEmpty()) {
        *message = QStringLiteral("nothing to export: the recordings last %1 s, from %2 s on")
                           .arg(seconds)
                           .arg(mSettings.from);
        return Refused;
    }
    return exportClips(pieces, message);
}

VideoCommand::Outcome VideoCommand::exportClips(const QVector<VideoClip> &clips, QString *message)
{
    VideoExportRequest request;
    request.clips = clips;
    request.arrangement = mSettings.arrangement;
    request.resolution = mSettings.resolution;
    request.overlay = mSettings.overlay;
    request.mapFile = mSettings.mapFile;
    request.clock = mSettings.clock;
    request.output = target();

    VideoExporter exporter(request);
    ProgressLine progress;
    QObject::connect(&exporter, &VideoExporter::progressed, &exporter,
                     [&progress](qint64 done, qint64 total) { progress.show(done, total); });
    bool exported;
    {
        const CancelOnSignals cancelling(&exporter);
        exported = exporter.run();
    }
    if (exported)
        return Exported;
    if (gSignal) {
        mSignal = gSignal;
        return Cancelled;
    }
    *message = exporter.error();
    return Failed;
}
