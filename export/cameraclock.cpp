// Readings are parsed and printed digit by digit: Qt's date and time parsers consult the local
// time zone on every call, which cost a file system look-up per sample.
#include "cameraclock.h"

#include "drives.h"
#include "parser/gpsdata.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>

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
// drive's segments have them, or a clock set otherwise: the readings after it start afresh. It
// may also be a stray reading or a few, such as before the camera's first fix: where the readings
// come back to the run they left before they made a run of their own, its offset still holds.
qint64 CameraClock::utcSeconds(qint64 reading)
{
    if (mKind != Zoned)
        return reading - mOffset;
    if (mRun == InRun && !Drives::continues(mLastReading, reading) && !followChange(reading))
        mRun = AfterPause;
    if (mRun == AfterPause && mLeft && Drives::continues(mLeftReading, reading)
        && Drives::continues(mRunStart, mLastReading)) {
        mOffset = mLeftOffset;
        mLeft = false;
        mRun = InRun;
    }
    if (mRun != InRun) {
        mLeft = mRun == AfterPause;
        mLeftReading = mLastReading;
        mLeftOffset = mOffset;
        mOffset = firstOffset(reading);
        mRunStart = reading;
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

// A day either side of the reading's own digits taken as UTC lies the offset before and the one
// after any change near the reading. Where a change sets clocks back, the reading stands for a
// moment under each, and the earlier one is taken, unless after a pause only the later one does
// not come before the last run. Where a change skips an hour, the reading stands for no moment:
// the camera kept counting, on the smaller offset that was in force before.
int CameraClock::firstOffset(qint64 reading) const
{
    const int before = zoneOffsetAt(reading - SecondsPerDay);
    const int after = zoneOffsetAt(reading + SecondsPerDay);
    if (before == after)
        return before;
    const bool beforeFits = zoneOffsetAt(reading - before) == before;
    const bool afterFits = zoneOffsetAt(reading - after) == after;
    if (beforeFits != afterFits)
        return beforeFits ? before : after;
    if (!beforeFits)
        return std::min(before, after);
    const int earlier = std::max(before, after);
    const int later = std::min(before, after);
    if (mRun == AfterPause && reading - earlier < mLastReading - mOffset
        && reading - later >= mLastReading - mOffset)
        return later;
    return earlier;
}

// A camera that moves its clock at a change jumps by the change: under the new offset its
// reading then follows the last one as closely as consecutive samples do. The latest change up
// to that point is the one to try; it may lie a little before the jump when the camera set its
// clock late.
bool CameraClock::followChange(qint64 reading)
{
    const qint64 lastUtc = mLastReading - mOffset;
    const QTimeZone::OffsetData change = mZone.previousTransition(
            QDateTime::fromSecsSinceEpoch(lastUtc + Drives::GapSeconds + 1, Qt::UTC));
    if (!change.atUtc.isValid() || change.offsetFromUtc == mOffset)
        return false;
    const qint64 utc = reading - change.offsetFromUtc;
    if (utc < change.atUtc.toSecsSinceEpoch() || utc < lastUtc || !Drives::continues(lastUtc, utc))
        return false;
    mOffset = change.offsetFromUtc;
    return true;
}
