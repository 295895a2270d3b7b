// Script statements that the map view runs in its page, built from numbers only.
#pragma once

#include "mappoint.h"

#include <QString>

namespace MapScript {

// Each returns an empty string when a coordinate is not a finite number: "nan" or "inf" in a
// statement would be read by the page as a variable name, not as a number.
QString addPoint(const MapPoint &point);
QString setCurrentPoint(const MapPoint &point);
QString setCenter(double longitude, double latitude);

QString clearAll();

} // namespace MapScript
