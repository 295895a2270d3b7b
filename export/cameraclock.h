// How the camera's zone-less clock readings become UTC times for the output formats.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTimeZone>

struct GpsData;

class CameraClock
{
public:
    // A clock whose readings stay without zone: no UTC can be told.
    static CameraClock unzoned();
    // A clock set to a fixed offset east of UTC, in seconds.
    static CameraClock fixedOffset(int seconds);
    // A clock on this computer's time zone (TZ when set), as inZone() follows one.
    static CameraClock systemLocal();
    // A clock on a zone with daylight-saving changes. A run of readings takes the zone's offset
    // at its first reading (the earlier moment where a change repeats an hour) and keeps it
    // while the readings go on, since most cameras keep counting through a change; where the
    // readings jump by the zone's change at one of its transitions, the camera moved its clock,
    // and the new offset follows.
    static CameraClock inZone(const QTimeZone &zone);
    // "+HH:MM" or "-HH:MM" (up to 14:00), "local" or "none"; false for any other text.
    static bool fromText(const QString &text, CameraClock *clock);

    bool isZoned() const { return mKind != Unzoned; }

    // The camera's reading in seconds since 1970-01-01 00:00:00 of its own clock, as if that ran
    // on UTC; false when the stored text is not a valid yyyyMMddhhmmss.
    static bool reading(const GpsData &sample, qint64 *seconds);

    // Begins a run of consecutive readings, such as a track segment: the next reading takes the
    // offset in force at its own date. Readings are to come in the order of the run.
    void startRun() { mRun = NoRun; }
    // Begins a run that follows the last one after a pause, such as the next segment of a
    // drive: of the two moments a reading can stand for where a change sets clocks back, it
    // takes the first that does not come before the last run.
    void resumeAfterPause()
    {
        if (mRun == InRun)
            mRun = AfterPause;
    }

    // The time the track formats write, "2024-03-15T07:30:05Z" in UTC, or the reading as it
    // stands without zone ("2024-03-15T08:30:05") when the clock is unzoned; empty when the
    // sample has no valid reading.
    QByteArray trackTime(const GpsData &sample);
    // The UTC time; empty when the clock is unzoned or the sample has no valid reading.
    QByteArray utcTime(const GpsData &sample);

private:
    enum Kind { Unzoned, Fixed, Zoned };

    CameraClock(Kind kind, int offset, const QTimeZone &zone = QTimeZone())
        : mKind(kind)
        , mOffset(offset)
        , mZone(zone)
    { }
    qint64 utcSeconds(qint64 reading);
    int zoneOffsetAt(qint64 utcSeconds) const;
    int firstOffset(qint64 reading) const;
    bool followChange(qint64 reading);

    Kind mKind;
    int mOffset; // the fixed offset, or the zone's offset in force in the run
    QTimeZone mZone;
    enum Run { NoRun, InRun, AfterPause };
    Run mRun = NoRun;
    qint64 mRunStart = 0; // the reading that started the run
    qint64 mLastReading = 0; // and mLastReading - mOffset its UTC time, within a run
    // The run that the readings last left at a jump, while they may still come back to it.
    bool mLeft = false;
    qint64 mLeftReading = 0;
    int mLeftOffset = 0;
};
