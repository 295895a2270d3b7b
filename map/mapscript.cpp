// Statement formatting: six fixed decimals and a point whatever the locale, longitude first.
#include "mapscript.h"

#include <cmath>

namespace {

QString withCoordinates(const char *pattern, double longitude, double latitude)
{
    if (!std::isfinite(longitude) || !std::isfinite(latitude))
        return QString();
    // arg() with a plain %n placeholder ignores the locale, so no comma can split a number.
    return QString::fromLatin1(pattern)
            .arg(longitude, 0, 'f', 6, QLatin1Char(' '))
            .arg(latitude, 0, 'f', 6, QLatin1Char(' '));
}

QString withPoint(const char *pattern, const MapPoint &point)
{
    const QString statement = withCoordinates(pattern, point.longitude, point.latitude);
    return statement.isEmpty() ? statement : statement.arg(point.index, 0, 10);
}

} // namespace

namespace MapScript {

QString addPoint(const MapPoint &point)
{
    return withPoint("mapAddPoint(%1, %2, %3);", point);
}

QString setCurrentPoint(const MapPoint &point)
{
    return withPoint("mapSetCurrentPoint(%1, %2, %3);", point);
}

QString setCenter(double longitude, double latitude)
{
    return withCoordinates("setCenter(%1, %2);", longitude, latitude);
}

QString clearAll()
{
    return QStringLiteral("mapClearAll();");
}

} // namespace MapScript
