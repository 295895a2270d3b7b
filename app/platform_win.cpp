// Windows side of the window-system requests: power state, the system's move and resize loops,
// cursors and the mouse messages of the frameless window.
#ifndef UNICODE
#define UNICODE // the IDC_ cursor names must be wide strings for LoadCursorW
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform.h"

#include "applog.h"

namespace Platform {

namespace {

HWND handleOf(QWidget *window)
{
    return reinterpret_cast<HWND>(window->window()->winId());
}

// The system's sizing commands name the side in their low bits.
WPARAM sizeCommand(WindowGeometry::Edge edge)
{
    switch (edge) {
    case WindowGeometry::Top:
        return SC_SIZE + WMSZ_TOP;
    case WindowGeometry::Bottom:
        return SC_SIZE + WMSZ_BOTTOM;
    case WindowGeometry::Left:
        return SC_SIZE + WMSZ_LEFT;
    case WindowGeometry::Right:
        return SC_SIZE + WMSZ_RIGHT;
    case WindowGeometry::TopLeft:
        return SC_SIZE + WMSZ_TOPLEFT;
    case WindowGeometry::BottomLeft:
        return SC_SIZE + WMSZ_BOTTOMLEFT;
    case WindowGeometry::BottomRight:
        return SC_SIZE + WMSZ_BOTTOMRIGHT;
    case WindowGeometry::TopRight:
        return SC_SIZE + WMSZ_TOPRIGHT;
    case WindowGeometry::NoEdge:
        break;
    }
    return 0;
}

} // namespace

void keepDisplayAwake()
{
    // Never withdrawn: the request ends with the process.
    if (!SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED))
        qCWarning(lcApp) << "the system refused to keep the display awake";
}

void closeOnTerminationRequest(QWidget *)
{
    // Logging off closes the windows through the window system; there is nothing to turn.
}

SystemMove startSystemMove(QWidget *window)
{
    // Without the capture released the system would not take the mouse over.
    if (!window || !ReleaseCapture())
        return SystemMove::NotStarted;
    // The move as if the caption had been pressed; the call returns when the button is released.
    SendMessageW(handleOf(window), WM_SYSCOMMAND, SC_MOVE + HTCAPTION, 0); // 0xF012
    return SystemMove::Finished;
}

bool systemMoveStartsAtPress()
{
    return true;
}

bool startSystemResize(QWidget *window, WindowGeometry::Edge edge)
{
    const WPARAM command = sizeCommand(edge);
    if (!window || !command || !ReleaseCapture())
        return false;
    SendMessageW(handleOf(window), WM_SYSCOMMAND, command, 0);
    return true;
}

void setSystemEdgeCursor(WindowGeometry::Edge edge)
{
    LPCWSTR shape = nullptr;
    switch (edge) {
    case WindowGeometry::Top:
    case WindowGeometry::Bottom:
        shape = IDC_SIZENS;
        break;
    case WindowGeometry::Left:
    case WindowGeometry::Right:
        shape = IDC_SIZEWE;
        break;
    case WindowGeometry::TopLeft:
    case WindowGeometry::BottomRight:
        shape = IDC_SIZENWSE;
        break;
    case WindowGeometry::BottomLeft:
    case WindowGeometry::TopRight:
        shape = IDC_SIZENESW;
        break;
    case WindowGeometry::NoEdge:
        return;
    }
    SetCursor(LoadCursorW(nullptr, shape));
}

NativeMouse classifyNativeEvent(const QByteArray &eventType, void *message, WId window)
{
    if (!message || (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG"))
        return NativeMouse::Other;
    const MSG *msg = static_cast<const MSG *>(message);
    const HWND own = reinterpret_cast<HWND>(window);
    // Dialogs and popups have windows of their own and keep their messages.
    if (msg->hwnd != own && !IsChild(own, msg->hwnd))
        return NativeMouse::Other;
    switch (msg->message) {
    case WM_MOUSEMOVE:
        return NativeMouse::Move;
    case WM_LBUTTONDOWN:
        return NativeMouse::LeftPress;
    default:
        return NativeMouse::Other;
    }
}

bool consumesNativeEdgeEvents()
{
    return true;
}

} // namespace Platform
