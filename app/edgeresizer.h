// Resizing of a frameless window by its edges from the toolkit's mouse events, where the
// platform sends no native edge messages.
#pragma once

#include "windowgeometry.h"

#include <QObject>
#include <functional>

class QWidget;
class QWindow;

class EdgeResizer : public QObject
{
    Q_OBJECT

public:
    // hitTest reports the edge under the cursor and sets the window's cursor; the owner decides
    // there when no edge applies (a maximized window, for one).
    using HitTest = std::function<WindowGeometry::Edge()>;

    // Watches the whole application, as the pointer reaches the edges over child widgets.
    EdgeResizer(QWidget *window, HitTest hitTest);

    // For a cursor that moved without events reaching the window, e.g. after a resize.
    void updateCursor();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    bool isOwnWindow(QObject *object) const;

    QWidget *mWindow;
    HitTest mHitTest;
};
