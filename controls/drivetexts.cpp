// How drives and their events read and look in the viewer: names, colours and summaries.
#include "drivetexts.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

namespace DriveTexts {

QColor colour(DrivingEvent::Type type)
{
    switch (type) {
    case DrivingEvent::Braking:
        return QColor(232, 64, 42);
    case DrivingEvent::Acceleration:
        return QColor(76, 200, 90);
    case DrivingEvent::Cornering:
        return QColor(245, 178, 40);
    case DrivingEvent::Impact:
        return QColor(200, 90, 255);
    }
    return QColor(200, 200, 200);
}

QString name(const DrivingEvent &event)
{
    switch (event.type) {
    case DrivingEvent::Braking:
        return QCoreApplication::translate("DriveTexts", "Harsh braking");
    case DrivingEvent::Acceleration:
        return QCoreApplication::translate("DriveTexts", "Harsh acceleration");
    case DrivingEvent::Cornering:
        return QCoreApplication::translate("DriveTexts", "Harsh cornering");
    case DrivingEvent::Impact:
        break;
    }
    switch (event.severity) {
    case DrivingEvent::Minor:
        return QCoreApplication::translate("DriveTexts", "Minor impact");
    case DrivingEvent::Major:
        return QCoreApplication::translate("DriveTexts", "Major impact");
    case DrivingEvent::NoSeverity:
        break;
    }
    return QCoreApplication::translate("DriveTexts", "Impact");
}

QString duration(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                           .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                           .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QStringLiteral("%1:%2").arg(seconds / 3600).arg(minutesSeconds)
                           : minutesSeconds;
}

QString cameraTime(const DrivingEvent &event)
{
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(event.cameraTime),
                                                 QStringLiteral("yyyyMMddhhmmss"));
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")) : QString();
}

QString peakG(const DrivingEvent &event)
{
    return QStringLiteral("%1 g").arg(event.peakG, 0, 'f', 2);
}

QString summary(const DriveSummary &summary, SpeedUnit::Unit unit)
{
    constexpr double MetresPerMile = 1609.344;
    const QString distance
            = unit == SpeedUnit::Mph
                      ? QStringLiteral("%1 mi").arg(summary.metres / MetresPerMile, 0, 'f', 1)
                      : QStringLiteral("%1 km").arg(summary.metres / 1000.0, 0, 'f', 1);
    return QCoreApplication::translate("DriveTexts", "%1, %2, average %3, top %4")
            .arg(duration(summary.seconds), distance,
                 SpeedUnit::text(qRound(summary.averageKmh), unit, 1),
                 SpeedUnit::text(summary.topKmh, unit, 1));
}

QString describe(const DrivingEvent &event, SpeedUnit::Unit unit)
{
    const QString time = cameraTime(event);
    return QStringLiteral("%1, %2, %3, %4")
            .arg(name(event), time.isEmpty() ? duration(event.peak) : time, peakG(event),
                 SpeedUnit::text(event.speed, unit, 1));
}

} // namespace DriveTexts
