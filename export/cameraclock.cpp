// Readings are parsed and printed digit by digit: Qt's date and time parsers consult the local
// time zone on every call, which cost a file system look-up per sample.
#include "cameraclock.h"

#include "driveassembler.h"
#include "parser/gpsdata.h"

#include <QDate>
#include <QDateTime>

namespace {

constexpr int MaxOffsetMinutes = 14 * 60; // the furthest any zone lies from UTC
constexpr qint64 SecondsPerDay = 24 * 3600;
constexpr qint64 EpochJulianDay = 2440588; // 1970-01-01

// The number written by count decimal digits at text, or -1 when one is not a digit.
int digits(const char *text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Division that rounds towards minus infinity, for times before 1970.
qint64 floorDivide(qint64 value, qint64 divisor)
{
    return (value >= 0 ? value : value - divisor + 1) / divisor;
}

void putDigits(char *at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        at[i] = char('0' + value % 10);
}

// "yyyy-MM-ddTHH:mm:ss", with a "Z" for UTC; empty for a year that four digits cannot hold.
QByteArray isoText(qint64 seconds, bool utc)
{
    const qint64 day = floorDivide(seconds, SecondsPerDay);
    const int second = int(seconds - day * SecondsPerDay);
    int year, month, date;
    QDate::fromJulianDay(day + EpochJulianDay).getDate(&year, &month, &date);
    if (year < 1 || year > 9999)
        return QByteArray();
    char text[] = "0000-00-00T00:00:00Z";
    putDigits(text, year, 4);
    putDigits(text + 5, month, 2);
    putDigits(text + 8, date, 2);
    putDigits(text + 11, second / 3600, 2);
    putDigits(text + 14, second / 60 % 60, 2);
    putDigits(text + 17, second % 60, 2);
    return QByteArray(text, utc ? 20 : 19);
}

} // namespace

CameraClock CameraClock::unzoned()
{
    return CameraClock(Unzoned, 0);
}

CameraClock CameraClock::fixedOffset(int seconds)
{
    return CameraClock(Fixed, seconds);
}

CameraClock CameraClock::systemLocal()
{
    // A TZ that spells out its rules instead of naming a zone has no QTimeZone; an invalid zone
    // then stands for the C library's local time, which knows those rules but not their changes.
    return inZone(QTimeZone::systemTimeZone());
}

CameraClock CameraClock::inZone(const QTimeZone &zone)
{
    return CameraClock(Zoned, 0, zone);
}

bool CameraClock::fromText(const QString &text, CameraClock *clock)
{
    if (text == QLatin1String("local")) {
        *clock = systemLocal();
        return true;
    }
    if (text == QLatin1String("none")) {
        *clock = unzoned();
        return true;
    }
    const QByteArray latin = text.toLatin1();
    if (latin.size() != 6 || (latin[0] != '+' && latin[0] != '-') || latin[3] != ':')
        return false;
    const int hours = digits(latin.constData() + 1, 2);
    const int minutes = digits(latin.constData() + 4, 2);
    if (hours < 0 || minutes < 0 || minutes > 59 || hours * 60 + minutes > MaxOffsetMinutes)
        return false;
    const int seconds = (hours * 60 + minutes) * 60;
    *clock = fixedOffset(latin[0] == '-' ? -seconds : seconds);
    return true;
}

bool CameraClock::reading(const GpsData &sample, qint64 *seconds)
{
    // A NUL among the first 14 characters fails as a non-digit, so a short text is no reading.
    const char *text = sample.dateTime;
    const int year = digits(text, 4);
    const int hour = digits(text + 8, 2);
    const int minute = digits(text + 10, 2);
    const int second = digits(text + 12, 2);
    const QDate date(year, digits(text + 4, 2), digits(text + 6, 2));
    if (year < 1 || !date.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 59)
        return false;
    *seconds = (date.toJulianDay() - EpochJulianDay) * SecondsPerDay + hour * 3600 + minute * 60
               + second;
    return true;
}

QByteArray CameraClock::trackTime(const GpsData &sample)
{
    if (isZoned())
        return utcTime(sample);
    qint64 seconds;
    return reading(sample, &seconds) ? isoText(seconds, false) : QByteArray();
}

QByteArray CameraClock::utcTime(const GpsData &sample)
{
    qint64 seconds;
    if (!isZoned() || !reading(sample, &seconds))
        return QByteArray();
    return isoText(utcSeconds(seconds), true);
}

// A zone's offset is looked up only where a run starts and where its readings jump: in between,
// UTC advances as the readings do, which keeps a camera that counts through a change right and
// costs nothing per sample. A jump that the zone's change does not explain is a pause, as the
// drive's segments have them, or a clock set otherwise: the readings after it start afresh.
qint64 CameraClock::utcSeconds(qint64 reading)
{
    if (mKind != Zoned)
        return reading - mOffset;
    if (mRun == InRun) {
        const qint64 step = reading - mLastReading;
        if ((step < 0 || step > DriveAssembler::GapSeconds) && !followChange(reading))
            mRun = AfterPause;
    }
    if (mRun != InRun) {
        mOffset = firstOffset(reading);
        mRun = InRun;
    }
    mLastReading = reading;
    return reading - mOffset;
}

int CameraClock::zoneOffsetAt(qint64 utcSeconds) const
{
    if (!mZone.isValid())
        return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::LocalTime).offsetFromUtc();
    return mZone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC));
}

// The reading's own digits taken as UTC lie within a day of the moment, which gives the offset
// to try; the offset at the moment that try points to is the answer, also for the hour that a
// change to daylight-saving time skips, which has no moment of its own. Where a change sets
// clocks back, that answer is one of two moments; after a pause the other one may be the one
// that follows the last run.
int CameraClock::firstOffset(qint64 reading) const
{
    const int offset = zoneOffsetAt(reading - zoneOffsetAt(reading));
    if (mRun != AfterPause)
        return offset;
    const qint64 lastUtc = mLastReading - mOffset;
    const qint64 utc = reading - offset;
    // The earlier moment lies before the change that preceded the answer, the later one after
    // the change that follows it.
    const QTimeZone::OffsetData before
            = mZone.previousTransition(QDateTime::fromSecsSinceEpoch(utc + 1, Qt::UTC));
    if (before.atUtc.isValid()) {
        const qint64 change = before.atUtc.toSecsSinceEpoch();
        const int earlier = zoneOffsetAt(change - 1);
        if (reading - earlier < change && reading - earlier >= lastUtc)
            return earlier;
    }
    if (utc >= lastUtc)
        return offset;
    const QTimeZone::OffsetData after
            = mZone.nextTransition(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
    if (after.atUtc.isValid() && reading - after.offsetFromUtc >= after.atUtc.toSecsSinceEpoch())
        return after.offsetFromUtc;
    return offset;
}

// A camera that moves its clock at a change jumps by the change: under the new offset its
// reading then follows the last one as closely as consecutive samples do. The latest change up
// to that point is the one to try; it may lie a little before the jump when the camera set its
// clock late.
bool CameraClock::followChange(qint64 reading)
{
    const qint64 lastUtc = mLastReading - mOffset;
    const QTimeZone::OffsetData change = mZone.previousTransition(
            QDateTime::fromSecsSinceEpoch(lastUtc + DriveAssembler::GapSeconds + 1, Qt::UTC));
    if (!change.atUtc.isValid() || change.offsetFromUtc == mOffset)
        return false;
    const qint64 utc = reading - change.offsetFromUtc;
    if (utc < change.atUtc.toSecsSinceEpoch() || utc < lastUtc
        || utc - lastUtc > DriveAssembler::GapSeconds)
        return false;
    mOffset = change.offsetFromUtc;
    return true;
}
