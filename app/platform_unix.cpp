// Linux side of the window-system requests: the desktop's screen saver and the toolkit's own
// move and resize requests.
#include "platform.h"

#include "applog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QWindow>

namespace Platform {

namespace {

// Desktops publish the inhibit call under one of these object paths.
const char *const screenSaverPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
constexpr int screenSaverPathCount = int(sizeof(screenSaverPaths) / sizeof(*screenSaverPaths));
// Start-up must not wait on a desktop that is slow to answer; the call is asynchronous anyway.
constexpr int inhibitTimeoutMs = 2000;

// The inhibit lasts while the connection that asked for it stays open; the session bus
// connection lives until the process ends, and nothing ever withdraws it.
void requestInhibit(const QDBusConnection &bus, int pathIndex)
{
    const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
    QDBusMessage call = QDBusMessage::createMethodCall(
            service, QString::fromLatin1(screenSaverPaths[pathIndex]), service,
            QStringLiteral("Inhibit"));
    call << QStringLiteral("Velqor") << QStringLiteral("Playing recordings");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, inhibitTimeoutMs),
                                                QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [bus, pathIndex](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<uint> reply = *finished;
                         if (!reply.isError()) {
                             qCDebug(lcApp) << "screen saver inhibited, cookie" << reply.value();
                         } else if (pathIndex + 1 < screenSaverPathCount) {
                             requestInhibit(bus, pathIndex + 1);
                         } else {
                             qCDebug(lcApp) << "no screen saver to keep the display awake:"
                                            << reply.error().message();
                         }
                     });
}

QWindow *handleOf(QWidget *window)
{
    return window ? window->window()->windowHandle() : nullptr;
}

Qt::Edges edgesOf(WindowGeometry::Edge edge)
{
    switch (edge) {
    case WindowGeometry::Top:
        return Qt::TopEdge;
    case WindowGeometry::Bottom:
        return Qt::BottomEdge;
    case WindowGeometry::Left:
        return Qt::LeftEdge;
    case WindowGeometry::Right:
        return Qt::RightEdge;
    case WindowGeometry::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case WindowGeometry::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case WindowGeometry::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    case WindowGeometry::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case WindowGeometry::NoEdge:
        break;
    }
    return {};
}

} // namespace

void keepDisplayAwake()
{
    if (!QCoreApplication::instance()) {
        qCWarning(lcApp) << "keeping the display awake needs the application object";
        return;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcApp) << "no session bus, the display may blank during playback";
        return;
    }
    requestInhibit(bus, 0);
}

SystemMove startSystemMove(QWidget *window)
{
    QWindow *handle = handleOf(window);
    return handle && handle->startSystemMove() ? SystemMove::InProgress : SystemMove::NotStarted;
}

bool systemMoveStartsAtPress()
{
    return false;
}

bool startSystemResize(QWidget *window, WindowGeometry::Edge edge)
{
    QWindow *handle = handleOf(window);
    const Qt::Edges edges = edgesOf(edge);
    return handle && edges && handle->startSystemResize(edges);
}

void setSystemEdgeCursor(WindowGeometry::Edge)
{
    // The widget cursor set by the hit test is what X11 and Wayland show.
}

NativeMouse classifyNativeEvent(const QByteArray &, void *, WId)
{
    // The edges come from the toolkit's mouse events here; native events all pass on.
    return NativeMouse::Other;
}

bool consumesNativeEdgeEvents()
{
    return false;
}

} // namespace Platform
