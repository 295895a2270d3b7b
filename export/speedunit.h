// Speeds as the user reads them: km/h as the recordings store them, or miles per hour.
#pragma once

#include <QString>

namespace SpeedUnit {

// The stored "speedUnit" codes.
enum Unit { Kmh = 0, Mph = 1 };

// Any stored value but Mph reads as km/h, the recordings' own unit.
Unit fromStored(int value);
int convert(int kmh, Unit unit);
QString symbol(Unit unit);
// The converted speed with at least `digits` digits, zero-padded, and the unit's symbol.
QString text(int kmh, Unit unit, int digits);

} // namespace SpeedUnit
