// Geometry rules of the frameless windows: edge hit zones, cursors, density fonts, maximizing.
#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>

class QWidget;

namespace WindowGeometry {

// The values are stored and compared as plain numbers by the window, so they must not change.
enum Edge {
    Top = 0,
    Bottom = 1,
    Left = 2,
    Right = 3,
    TopLeft = 4,
    BottomLeft = 5,
    BottomRight = 6,
    TopRight = 7,
    NoEdge = 8
};

// Which resize handle the global cursor position is on; window is the global frame geometry.
Edge hitTest(const QPoint &cursor, const QRect &window);
Qt::CursorShape cursorFor(Edge edge);

struct FontStep
{
    int pointSize;
    double rate;
};

// The step that table gives for the density of the screen under the centre of the window's
// screen's work area (its logical dots per inch divided by 96); 12 points at rate 1 without one.
FontStep fontStepOn(const QWidget *window, FontStep (*table)(double ratio));

// ratio is the screen's logical dots per inch divided by 96.
FontStep windowFontStep(double ratio);
// The settings dialog's own table, which stops at 6 points and rate 3.0.
FontStep dialogFontStep(double ratio);
int startupFontSize(double ratio);
// Points added to the title font for the G-sensor labels and the speed button at a density rate.
int gaugeFontIncrease(double rate);
// Points added to the settings dialog's title at a density rate of its table.
int dialogTitleFontIncrease(double rate);

// The window is never maximized by the window system. It stays one pixel short of the work
// area, so that no desktop takes it for a full-screen window.
QRect maximizedGeometry(const QRect &available);

} // namespace WindowGeometry
