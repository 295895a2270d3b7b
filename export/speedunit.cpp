// Conversion and labelling of speeds in the user's unit.
#include "speedunit.h"

#include <cmath>

namespace SpeedUnit {

namespace {
constexpr double KmPerMile = 1.609344;
}

Unit fromStored(int value)
{
    return value == Mph ? Mph : Kmh;
}

int convert(int kmh, Unit unit)
{
    return unit == Mph ? int(std::lround(kmh / KmPerMile)) : kmh;
}

QString symbol(Unit unit)
{
    return unit == Mph ? QStringLiteral("mph") : QStringLiteral("km/h");
}

QString text(int kmh, Unit unit, int digits)
{
    return QStringLiteral("%1 %2")
            .arg(convert(kmh, unit), digits, 10, QLatin1Char('0'))
            .arg(symbol(unit));
}

} // namespace SpeedUnit
