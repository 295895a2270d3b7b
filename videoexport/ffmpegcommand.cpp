// The ffmpeg argument list of one video export, worked out from what was read of the recordings.
#include "ffmpegcommand.h"

#include <QFileInfo>

namespace FfmpegCommand {

namespace {

// The sound formats an MP4 file holds as they are.
const QStringList CopiedCodecs = {QStringLiteral("aac"), QStringLiteral("mp3"),
                                  QStringLiteral("alac"), QStringLiteral("opus")};

QString seconds(double value)
{
    return QString::number(value, 'f', 6);
}

// Input seeking (-ss before -i) starts decoding at the piece and its times at 0. In AVI files,
// whose frames carry no presentation times, it lands off the mark: an H.265 rear camera starts
// with grey pictures and runs seconds early. Those are decoded from their start and cut by the
// filters instead, which costs the decoding of what comes before the piece.
bool seeksOnInput(const QString &file)
{
    return !file.endsWith(QLatin1String(".avi"), Qt::CaseInsensitive);
}

// An input of the command line: its number, and whether it starts where the piece starts.
struct Input
{
    QString number; // empty: none
    bool seeked = true;
};

// What cuts the piece out of an input that was not seeked, for the video or the sound filters.
QString cut(const Input &input, const FfmpegPiece &piece, const QString &filterPrefix)
{
    if (input.seeked)
        return QString();
    return QStringLiteral("%1trim=start=%2,%1setpts=PTS-STARTPTS,")
            .arg(filterPrefix, seconds(piece.from));
}

// One camera of one piece, fitted into its rect and made exactly frames long at the output
// rate, whatever the recording's own rate, size, start time or (short) length: the overlay is
// drawn for output frame numbers, so every piece must take exactly the frames it was given.
QString cameraChain(const Input &input, const QRect &rect, const FfmpegPiece &piece, int fps,
                    const QString &label)
{
    const QString size = QStringLiteral("%1:%2").arg(rect.width()).arg(rect.height());
    const QString exact = QStringLiteral("setpts=N/(%1*TB),tpad=stop_mode=clone:stop=%2,"
                                         "trim=end_frame=%2")
                                  .arg(fps)
                                  .arg(piece.frames);
    if (input.number.isEmpty())
        return QStringLiteral("color=c=black:s=%1x%2:r=%3,%4[%5]")
                .arg(rect.width())
                .arg(rect.height())
                .arg(fps)
                .arg(exact, label);
    // A recording of another aspect than the first one (the rect's) keeps its own, with black
    // around it.
    return QStringLiteral("[%1:v:0]%2scale=%3:force_original_aspect_ratio=decrease:"
                          "force_divisible_by=2,pad=%3:-1:-1:color=black,setsar=1,fps=%4,%5[%6]")
            .arg(input.number, cut(input, piece, QString()), size)
            .arg(fps)
            .arg(exact, label);
}

QString soundChain(const Input &input, const FfmpegPiece &piece, int fps, const QString &label)
{
    const QString length = seconds(double(piece.frames) / fps);
    if (piece.audioCodec.isEmpty())
        return QStringLiteral("anullsrc=r=48000:cl=stereo,atrim=duration=%1[%2]")
                .arg(length, label);
    const QString start = input.seeked ? QStringLiteral("asetpts=PTS-STARTPTS,")
                                       : cut(input, piece, QStringLiteral("a"));
    return QStringLiteral("[%1:a:0]%2aresample=48000,"
                          "aformat=sample_fmts=fltp:channel_layouts=stereo,apad,"
                          "atrim=duration=%3[%4]")
            .arg(input.number, start, length, label);
}

} // namespace

Sound sound(const QVector<FfmpegPiece> &pieces)
{
    bool any = false;
    for (const FfmpegPiece &piece : pieces)
        any = any || !piece.audioCodec.isEmpty();
    if (!any)
        return Sound::None;
    // Copied sound is cut by input seeking alone.
    const FfmpegPiece &first = pieces.constFirst();
    if (pieces.size() == 1 && CopiedCodecs.contains(first.audioCodec) && seeksOnInput(first.front))
        return Sound::Copy;
    return Sound::Aac;
}

QString inputUrl(const QString &file)
{
    return QStringLiteral("file:") + QFileInfo(file).absoluteFilePath();
}

QStringList arguments(const FfmpegPlan &plan)
{
    const VideoLayout::Geometry &geometry = plan.geometry;
    const int fps = plan.framesPerSecond;
    const QSize frame = geometry.frame;
    QStringList args = {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                        QStringLiteral("error"), QStringLiteral("-nostats")};
    // Input 0: the overlay, one ARGB32 image (BGRA bytes, straight alpha) per output frame.
    args << QStringLiteral("-f") << QStringLiteral("rawvideo") << QStringLiteral("-pix_fmt")
         << QStringLiteral("bgra") << QStringLiteral("-s")
         << QStringLiteral("%1x%2").arg(frame.width()).arg(frame.height())
         << QStringLiteral("-framerate") << QString::number(fps) << QStringLiteral("-i")
         << QStringLiteral("pipe:0");

    const Sound sound = FfmpegCommand::sound(plan.pieces);
    // Cameras in the order the layout draws them: the front under the rear (picture in picture).
    struct View
    {
        QRect rect;
        bool rear;
    };
    QVector<View> shown;
    if (!geometry.front.isEmpty())
        shown.append({geometry.front, false});
    if (!geometry.rear.isEmpty())
        shown.append({geometry.rear, true});

    QStringList graph;
    QString concatInputs;
    int nextInput = 1;
    for (int i = 0; i < plan.pieces.size(); ++i) {
        const FfmpegPiece &piece = plan.pieces.at(i);
        const double length = double(piece.frames) / fps;
        const auto addInput = [&](const QString &file) {
            const Input input{QString::number(nextInput++), seeksOnInput(file)};
            if (input.seeked)
                args << QStringLiteral("-ss") << seconds(piece.from) << QStringLiteral("-t")
                     << seconds(length);
            else // read no further than the piece, with a second to spare for the cut
                args << QStringLiteral("-t") << seconds(piece.from + length + 1);
            args << QStringLiteral("-i") << inputUrl(file);
            return input;
        };
        // The front is read for its sound also when only the rear is shown.
        const bool frontRead = !geometry.front.isEmpty() || !piece.audioCodec.isEmpty();
        const Input front = frontRead ? addInput(piece.front) : Input();
        for (int c = 0; c < shown.size(); ++c) {
            const View &view = shown.at(c);
            Input input = front;
            if (view.rear)
                input = piece.rear.isEmpty() ? Input() : addInput(piece.rear);
            const QString label = QStringLiteral("v%1p%2").arg(c).arg(i);
            graph << cameraChain(input, view.rect, piece, fps, label);
            concatInputs += QStringLiteral("[%1]").arg(label);
        }
        if (sound == Sound::Aac) {
            const QString label = QStringLiteral("a%1").arg(i);
            graph << soundChain(front, piece, fps, label);
            concatInputs += QStringLiteral("[%1]").arg(label);
        }
    }

    QString cameras;
    for (int c = 0; c < shown.size(); ++c)
        cameras += QStringLiteral("[v%1]").arg(c);
    const bool joinSound = sound == Sound::Aac;
    if (!concatInputs.isEmpty())
        graph << QStringLiteral("%1concat=n=%2:v=%3:a=%4%5%6")
                         .arg(concatInputs)
                         .arg(plan.pieces.size())
                         .arg(shown.size())
                         .arg(joinSound ? 1 : 0)
                         .arg(cameras, joinSound ? QStringLiteral("[aout]") : QString());

    // The layout on a black frame, then the overlay over everything; each step ends with the
    // pictures, which are exactly as long as the overlay frames sent. With no camera shown (the
    // rear of a drive without one) the black frame itself is cut to that length.
    int totalFrames = 0;
    for (const FfmpegPiece &piece : plan.pieces)
        totalFrames += piece.frames;
    graph << QStringLiteral("color=c=black:s=%1x%2:r=%3%4[l0]")
                     .arg(frame.width())
                     .arg(frame.height())
                     .arg(fps)
                     .arg(shown.isEmpty() ? QStringLiteral(",trim=end_frame=%1").arg(totalFrames)
                                          : QString());
    for (int c = 0; c < shown.size(); ++c)
        graph << QStringLiteral("[l%1][v%1]overlay=x=%2:y=%3:shortest=1[l%4]")
                         .arg(c)
                         .arg(shown.at(c).rect.x())
                         .arg(shown.at(c).rect.y())
                         .arg(c + 1);
    // Blended in the pictures' own yuv420: "auto" picks RGB for a BGRA overlay, which takes every
    // picture through RGB and back, slower and no longer bit for bit where the overlay is clear.
    // Straight alpha: ffmpeg's premultiplied blend into yuv420 shifts the overlay's brightness
    // down by the luma's black level, so dark panels came out up to 16 levels too dark.
    graph << QStringLiteral("[l%1][0:v]overlay=x=0:y=0:format=yuv420:alpha=straight:"
                            "shortest=1[vout]")
                     .arg(shown.size());
    args << QStringLiteral("-filter_complex") << graph.join(QLatin1Char(';'));

    args << QStringLiteral("-map") << QStringLiteral("[vout]");
    if (sound == Sound::Aac)
        args << QStringLiteral("-map") << QStringLiteral("[aout]") << QStringLiteral("-c:a")
             << QStringLiteral("aac") << QStringLiteral("-b:a") << QStringLiteral("160k");
    else if (sound == Sound::Copy)
        args << QStringLiteral("-map") << QStringLiteral("1:a:0") << QStringLiteral("-c:a")
             << QStringLiteral("copy");
    args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
         << QStringLiteral("veryfast") << QStringLiteral("-crf") << QStringLiteral("20")
         << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p") << QStringLiteral("-movflags")
         << QStringLiteral("+faststart") << QStringLiteral("-f") << QStringLiteral("mp4")
         << QStringLiteral("-y") << inputUrl(plan.output);
    return args;
}

} // namespace FfmpegCommand
