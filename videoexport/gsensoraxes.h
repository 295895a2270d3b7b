// The colours of the three G-sensor axes, shared by the window's chart and the video's G meter so
// that a driver reads both the same way.
#pragma once

#include <Qt>

namespace GSensorAxes {

constexpr int Count = 3;
constexpr Qt::GlobalColor Colours[Count] = {Qt::red, Qt::green, Qt::blue};
constexpr const char *Names[Count] = {"X", "Y", "Z"};

} // namespace GSensorAxes
