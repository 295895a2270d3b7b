// Geometry rules of the frameless windows.
#include "windowgeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cstddef>

namespace WindowGeometry {

namespace {

// Corners are 8 x 8 squares and sides 6-pixel strips, counted inwards from the last pixel.
constexpr int cornerReach = 7;
constexpr int sideReach = 5;

bool within(int value, int low, int high)
{
    return low <= value && value <= high;
}

} // namespace

Edge hitTest(const QPoint &cursor, const QRect &window)
{
    const int x = cursor.x();
    const int y = cursor.y();
    const int l = window.left();
    const int t = window.top();
    const int r = window.right();
    const int b = window.bottom();

    const bool leftCorner = within(x, l, l + cornerReach);
    const bool rightCorner = within(x, r - cornerReach, r);
    const bool topCorner = within(y, t, t + cornerReach);
    const bool bottomCorner = within(y, b - cornerReach, b);
    if (leftCorner && topCorner)
        return TopLeft;
    if (rightCorner && bottomCorner)
        return BottomRight;
    if (leftCorner && bottomCorner)
        return BottomLeft;
    if (rightCorner && topCorner)
        return TopRight;
    if (within(x, l, l + sideReach))
        return Left;
    if (within(x, r - sideReach, r))
        return Right;
    if (within(y, t, t + sideReach))
        return Top;
    // The bottom strip alone does not look at x, so it also answers beside the window; the
    // window only asks while the cursor is over it, where this makes no difference.
    if (y > b || y < b - sideReach)
        return NoEdge;
    return Bottom;
}

Qt::CursorShape cursorFor(Edge edge)
{
    switch (edge) {
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case BottomLeft:
    case TopRight:
        return Qt::SizeBDiagCursor;
    case Left:
    case Right:
        return Qt::SizeHorCursor;
    case Top:
    case Bottom:
        return Qt::SizeVerCursor;
    case NoEdge:
        break;
    }
    return Qt::ArrowCursor;
}

namespace {

struct FontRow
{
    double below;
    FontStep step;
};

// Each row holds below its bound; denser screens than the last bound take the fallback.
template<std::size_t N>
FontStep lookUp(const FontRow (&rows)[N], FontStep denser, double ratio)
{
    for (const FontRow &row : rows) {
        if (ratio < row.below)
            return row.step;
    }
    return denser;
}

} // namespace

FontStep fontStepOn(const QWidget *window, FontStep (*table)(double ratio))
{
    QScreen *own = window->screen();
    QScreen *probe = own ? QGuiApplication::screenAt(own->availableGeometry().center()) : nullptr;
    return probe ? table(probe->logicalDotsPerInch() / 96.0) : FontStep{12, 1.0};
}

FontStep windowFontStep(double ratio)
{
    static constexpr FontRow rows[] = {{1.1, {12, 1.0}}, {1.4, {10, 1.25}}, {1.6, {9, 1.5}},
                                       {1.8, {8, 1.75}}, {2.5, {7, 2.0}},   {3.1, {5, 3.0}}};
    return lookUp(rows, {4, 3.5}, ratio);
}

FontStep dialogFontStep(double ratio)
{
    static constexpr FontRow rows[] = {{1.1, {12, 1.0}},
                                       {1.4, {10, 1.25}},
                                       {1.6, {9, 1.5}},
                                       {1.8, {8, 1.75}},
                                       {2.5, {7, 2.0}}};
    return lookUp(rows, {6, 3.0}, ratio);
}

int startupFontSize(double ratio)
{
    // The start-up font is chosen before any window exists, on the dialog's shorter table.
    return dialogFontStep(ratio).pointSize;
}

int gaugeFontIncrease(double rate)
{
    // The window only produces the rates of its own font table. A rate between two of them takes
    // the increase of the lower one and a rate under the table the largest, so the increase never
    // grows with density and no rate leaves the labels without one.
    if (rate >= 3.0)
        return 2;
    if (rate >= 2.0)
        return 4;
    if (rate >= 1.75)
        return 5;
    return 7;
}

int dialogTitleFontIncrease(double rate)
{
    return rate >= 3.0 ? 3 : gaugeFontIncrease(rate);
}

QRect maximizedGeometry(const QRect &available)
{
    return available.adjusted(0, 0, 0, -1);
}

} // namespace WindowGeometry
