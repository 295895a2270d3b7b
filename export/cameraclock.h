// How the camera's zone-less clock readings become UTC times for the output formats.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

struct GpsData;

class CameraClock
{
public:
    // A clock whose readings stay without zone: no UTC can be told.
    static CameraClock unzoned();
    // A clock set to a fixed offset east of UTC, in seconds.
    static CameraClock fixedOffset(int seconds);
    // A clock on this computer's local time zone, with the daylight-saving rule in force at
    // each reading's date.
    static CameraClock systemLocal();
    // "+HH:MM" or "-HH:MM" (up to 14:00), "local" or "none"; false for any other text.
    static bool fromText(const QString &text, CameraClock *clock);

    bool isZoned() const { return mKind != Unzoned; }

    // The camera's reading in seconds since 1970-01-01 00:00:00 of its own clock, as if that ran
    // on UTC; false when the stored text is not a valid yyyyMMddhhmmss.
    static bool reading(const GpsData &sample, qint64 *seconds);

    // The time the track formats write, "2024-03-15T07:30:05Z" in UTC, or the reading as it
    // stands without zone ("2024-03-15T08:30:05") when the clock is unzoned; empty when the
    // sample has no valid reading.
    QByteArray trackTime(const GpsData &sample) const;
    // The UTC time; empty when the clock is unzoned or the sample has no valid reading.
    QByteArray utcTime(const GpsData &sample) const;

private:
    enum Kind { Unzoned, Fixed, Local };

    CameraClock(Kind kind, int offset)
        : mKind(kind)
        , mOffset(offset)
    { }
    int offsetAt(qint64 reading) const;

    Kind mKind;
    int mOffset;
    // The local zone's offset by hour of the reading (hours since the epoch), so that a long
    // recording costs one zone lookup per hour rather than one per sample.
    mutable QHash<qint64, int> mLocalOffsets;
};
