// The colours of the three G-sensor axes, shared by the window's chart and the video's G meter so
// that a driver reads both the same way.
#pragma once

#include <QColor>
#include <Qt>

namespace GSensorAxes {

constexpr int Count = 3;
constexpr Qt::GlobalColor Colours[Count] = {Qt::red, Qt::green, Qt::blue};
constexpr const char *Names[Count] = {"X", "Y", "Z"};

// The axes' colours as the video draws them: lighter tints of the same three. A thin line of a
// pure colour on a dark ground lives in its colour alone, which the video keeps at half
// resolution, and comes out a grey smear; a tint carries itself in brightness too.
inline QColor videoColour(int axis)
{
    constexpr int White = 255;
    const QColor colour(Colours[axis]);
    const auto tint = [](int value) { return (value + White) / 2; }; // half way to white
    return QColor(tint(colour.red()), tint(colour.green()), tint(colour.blue()));
}

} // namespace GSensorAxes
