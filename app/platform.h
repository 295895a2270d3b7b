// Window-system requests that differ between platforms; one implementation is built per platform.
#pragma once

#include "windowgeometry.h"

#include <QByteArray>
#include <QWidget>

namespace Platform {

// Keeps the system and the display from sleeping for as long as the process runs. On Linux it
// needs the application object to exist; it never waits long for the desktop to answer.
void keepDisplayAwake();

// Turns the requests to end the process (SIGTERM, SIGINT, SIGHUP: a logout, kill, Ctrl+C) into
// closing the window, so that closing winds up what is under way (an export's unfinished file
// goes) before the process ends; a second request of the same kind ends it at once (and may leave
// that file). A signal the process was started ignoring (nohup) stays ignored. Undone when the
// window goes; one window at a time. Windows sends a windowed program no such requests.
void closeOnTerminationRequest(QWidget *window);

enum class SystemMove {
    NotStarted, // the window system offers no move here
    Finished, // the move ran to its end before the call returned
    InProgress // the move goes on after the call returned
};
// Lets the window system move the window with the mouse, as if its title bar had been pressed.
SystemMove startSystemMove(QWidget *window);
// Whether the move is handed over at the press, where the system's own loop tells a click from a
// drag; otherwise only once the mouse moves with the button held, since a window system that
// has taken the mouse would swallow the second click of a double click.
bool systemMoveStartsAtPress();
bool startSystemResize(QWidget *window, WindowGeometry::Edge edge);

// Where the system sets the cursor itself, shows the resize cursor of the edge.
void setSystemEdgeCursor(WindowGeometry::Edge edge);

enum class NativeMouse { Other, Move, LeftPress };
// The mouse messages of window (and its native children) among the application's native events.
NativeMouse classifyNativeEvent(const QByteArray &eventType, void *message, WId window);
// Whether the edges are handled from native messages; otherwise an EdgeResizer is needed.
bool consumesNativeEdgeEvents();

} // namespace Platform
