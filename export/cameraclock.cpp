// Readings are parsed and printed digit by digit: Qt's date and time parsers consult the local
// time zone on every call, which cost a file system look-up per sample.
#include "cameraclock.h"

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

int localOffsetAt(qint64 utcSeconds)
{
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::LocalTime).offsetFromUtc();
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
    return CameraClock(Local, 0);
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

QByteArray CameraClock::trackTime(const GpsData &sample) const
{
    if (isZoned())
        return utcTime(sample);
    qint64 seconds;
    return reading(sample, &seconds) ? isoText(seconds, false) : QByteArray();
}

QByteArray CameraClock::utcTime(const GpsData &sample) const
{
    qint64 seconds;
    if (!isZoned() || !reading(sample, &seconds))
        return QByteArray();
    return isoText(seconds - offsetAt(seconds), true);
}

// Zones change their offset on the hour, so one offset serves a whole hour of readings. The
// reading's own digits taken as UTC lie within a day of the moment, which gives the offset to
// try; the offset at the moment that try points to is the answer, also for the hour that a
// change to daylight-saving time skips, which has no moment of its own.
int CameraClock::offsetAt(qint64 reading) const
{
    if (mKind != Local)
        return mOffset;
    const qint64 hour = floorDivide(reading, 3600);
    auto known = mLocalOffsets.constFind(hour);
    if (known == mLocalOffsets.constEnd()) {
        const qint64 start = hour * 3600;
        known = mLocalOffsets.insert(hour, localOffsetAt(start - localOffsetAt(start)));
    }
    return known.value();
}
