// The captions follow the recordings end to end, so one track fits their videos played (or
// concatenated) one after the other: each recording starts where the one before ends.
#include "asswriter.h"

#include "drives.h"
#include "extractedrecording.h"
#include "fieldformat.h"

namespace {

// Sized for a 720p picture; players and ffmpeg scale it to the video's own size. Three lines of
// white text in a dark box at the bottom left, where a dash camera's own stamp is seldom found.
const char *const Header
        = "[Script Info]\n"
          "ScriptType: v4.00+\n"
          "PlayResX: 1280\n"
          "PlayResY: 720\n"
          "WrapStyle: 2\n"
          "ScaledBorderAndShadow: yes\n"
          "\n"
          "[V4+ Styles]\n"
          "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
          "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
          "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
          "Style: Telemetry,DejaVu Sans,30,&H00FFFFFF,&H00FFFFFF,&H60000000,&H60000000,0,0,0,0,"
          "100,100,0,0,3,4,0,1,24,24,24,1\n"
          "\n"
          "[Events]\n"
          "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

} // namespace

AssWriter::AssWriter(QIODevice *device, const CameraClock &clock, SpeedUnit::Unit unit)
    : TrackWriter(device, clock)
    , mUnit(unit)
{
    mText += Header;
}

QString AssWriter::caption(const GpsData &sample, SpeedUnit::Unit unit)
{
    QStringList lines;
    const QString time = FieldFormat::readingText(sample);
    if (!time.isEmpty())
        lines.append(time);
    lines.append(SpeedUnit::text(sample.speed, unit, 1));
    lines.append(FieldFormat::positionText(sample));
    for (QString &line : lines)
        line = escaped(line);
    return lines.join(QLatin1String("\\N"));
}

QString AssWriter::escaped(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        // A word joiner after a backslash keeps it from starting an override such as \N; a
        // brace would open or close an override block.
        if (c == QLatin1Char('\\'))
            result += QStringLiteral("\\\u2060");
        else if (c == QLatin1Char('{') || c == QLatin1Char('}'))
            result += QLatin1Char('\\') + c;
        else
            result += c;
    }
    return result;
}

QByteArray AssWriter::timeText(qint64 centiseconds)
{
    return QStringLiteral("%1:%2:%3.%4")
            .arg(centiseconds / 360000)
            .arg(centiseconds / 6000 % 60, 2, 10, QLatin1Char('0'))
            .arg(centiseconds / 100 % 60, 2, 10, QLatin1Char('0'))
            .arg(centiseconds % 100, 2, 10, QLatin1Char('0'))
            .toLatin1();
}

void AssWriter::addPart(const ExtractedRecording &part)
{
    // Samples past the video's end would overlap the next recording's captions.
    const int seconds = Drives::lengthOf(part.info.duration, part.samples.size());
    const int events = qMin(seconds, part.samples.size());
    for (int s = 0; s < events; ++s) {
        const qint64 start = mOffset + s;
        mText += "Dialogue: 0," + timeText(start * 100) + ',' + timeText((start + 1) * 100)
                 + ",Telemetry,,0,0,0,," + caption(part.samples.at(s), mUnit).toUtf8() + '\n';
    }
    mOffset += seconds;
}
