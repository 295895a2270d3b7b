// ASS subtitles: a recording's telemetry as one caption a second, for players and for burning in.
#pragma once

#include "speedunit.h"
#include "trackwriter.h"

#include <QByteArray>
#include <QString>

struct GpsData;

class AssWriter : public TrackWriter
{
public:
    AssWriter(QIODevice *device, const CameraClock &clock, SpeedUnit::Unit unit);

    // The caption of one second: camera date and time, speed, coordinates ("No fix" without a
    // position), lines joined by ASS line breaks.
    static QString caption(const GpsData &sample, SpeedUnit::Unit unit);
    // A text with ASS's override braces and backslash made literal.
    static QString escaped(const QString &text);
    // "h:mm:ss.cc", the event time format.
    static QByteArray timeText(qint64 centiseconds);

protected:
    void addPart(const ExtractedRecording &part) override;
    void endDocument() override { }

private:
    SpeedUnit::Unit mUnit;
    qint64 mOffset = 0; // seconds: where the next recording starts on the joined timeline
};
