// Video of one camera clip, encoded by ffmpeg from its test sources with a running clock.
#pragma once

#include <QDateTime>
#include <QProcess>
#include <QSize>
#include <QStringList>

struct ClipVideo
{
    enum Codec { H264, H265 };

    QSize size = QSize(1280, 720);
    int framesPerSecond = 30;
    int seconds = 60;
    Codec codec = H264;
    bool sound = false; // AAC in MP4 files, PCM in AVI files
    bool avi = false;
    QString label; // drawn before the clock, "FRONT" or "REAR"
    QDateTime start; // wall-clock time of the first frame, shown by the clock
};

// ffmpeg's inputs, filters and encoders for the clip, without the output; drawClock adds the
// label and the wall-clock time over the test pattern's own frame counter.
QStringList clipArguments(const ClipVideo &clip, bool drawClock);

// One ffmpeg process; several can run at once.
class FfmpegRun
{
public:
    // Starts ffmpeg writing the clip to path in the container the clip names, whatever the
    // path's extension.
    void start(const ClipVideo &clip, bool drawClock, const QString &path);
    void start(const QStringList &arguments);
    // Waits for the end; empty when ffmpeg succeeded, otherwise its exit and its output.
    QString finish();
    bool failedToStart() const { return mProcess.error() == QProcess::FailedToStart; }

private:
    QProcess mProcess;
};

// Whether ffmpeg runs (else the reason in error) and can draw text, which needs a font that
// fontconfig finds.
bool probeFfmpeg(bool *drawsText, QString *error);
