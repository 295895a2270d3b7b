// Linux side of the window-system requests: the desktop's screen saver, the toolkit's own move
// and resize requests, and the signals that ask the process to end.
#include "platform.h"

#include "applog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSocketNotifier>
#include <QWindow>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>

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
                             // Held, never handed back: the inhibit ends with the process.
                             static uint cookie = 0;
                             cookie = reply.value();
                             qCDebug(lcApp) << "screen saver inhibited, cookie" << cookie;
                         } else if (pathIndex + 1 < screenSaverPathCount) {
                             requestInhibit(bus, pathIndex + 1);
                         } else {
                             qCDebug(lcApp) << "no screen saver to keep the display awake:"
                                            << reply.error().message();
                         }
                     });
}

// The toolkit connects to the session bus synchronously and without a limit, so a bus socket
// that accepts but never answers (a wedged daemon) would keep the viewer from ever showing.
constexpr int busAnswerTimeoutMs = 500;

// The socket address of a "unix:path=..." or "unix:abstract=..." bus address; empty for any
// other transport, which is left to the toolkit.
QByteArray unixSocketOf(const QByteArray &address)
{
    for (const QByteArray &entry : address.split(';')) {
        if (!entry.startsWith("unix:"))
            continue;
        for (const QByteArray &pair : entry.mid(5).split(',')) {
            const QByteArray value
                    = QByteArray::fromPercentEncoding(pair.mid(pair.indexOf('=') + 1));
            if (pair.startsWith("path="))
                return value;
            if (pair.startsWith("abstract="))
                return '\0' + value;
        }
    }
    return {};
}

// Whether something at the session bus address answers an authentication request in time.
bool sessionBusAnswers()
{
    const QByteArray path = unixSocketOf(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    sockaddr_un socketAddress{};
    if (path.isEmpty() || path.size() >= int(sizeof socketAddress.sun_path))
        return true;
    socketAddress.sun_family = AF_UNIX;
    std::memcpy(socketAddress.sun_path, path.constData(), size_t(path.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(busAnswerTimeoutMs);
    const auto waitFor = [fd, deadline](short events) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        return left.count() > 0 && ::poll(&entry, 1, int(left.count())) == 1
               && (entry.revents & events);
    };
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&socketAddress), length) == 0
        || (errno == EINPROGRESS && waitFor(POLLOUT))) {
        const QByteArray uid = QByteArray::number(uint(::getuid())).toHex();
        const QByteArray request = QByteArray(1, '\0') + "AUTH EXTERNAL " + uid + "\r\n";
        char reply[64];
        answered = ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL)
                           == request.size()
                   && waitFor(POLLIN) && ::recv(fd, reply, sizeof reply, 0) > 0;
    }
    ::close(fd);
    return answered;
}

const int terminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int terminationSignalCount
        = int(sizeof(terminationSignals) / sizeof(*terminationSignals));
struct sigaction previousTermination[terminationSignalCount];
// Written by the signal handler, read in the GUI thread: a handler may do little more than this.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char request = 1;
    // A full pipe already holds a request.
    (void) !::write(terminationPipe[1], &request, 1);
    errno = savedErrno;
}

void readTerminationRequests()
{
    char requests[16];
    while (::read(terminationPipe[0], requests, sizeof requests) > 0) { }
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
    if (!sessionBusAnswers()) {
        qCDebug(lcApp) << "the session bus does not answer, the display may blank during playback";
        return;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcApp) << "no session bus, the display may blank during playback";
        return;
    }
    requestInhibit(bus, 0);
}

void closeOnTerminationRequest(QWidget *window)
{
    if (terminationPipe[0] < 0 && ::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcApp) << "the termination signals stay fatal, no pipe for them:"
                         << std::strerror(errno);
        return;
    }
    // A request left over from a window gone meanwhile is not this window's.
    readTerminationRequests();
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        readTerminationRequests();
        qCInfo(lcApp) << "asked to end, closing the window";
        window->close();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Reset by the first request: another one, say while the close waits for an encoder to
    // stop, ends the process at once (the encoder dies with it).
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int i = 0; i < terminationSignalCount; ++i) {
        ::sigaction(terminationSignals[i], nullptr, &previousTermination[i]);
        if (previousTermination[i].sa_handler != SIG_IGN)
            ::sigaction(terminationSignals[i], &action, nullptr);
    }
    QObject::connect(notifier, &QObject::destroyed, [] {
        for (int i = 0; i < terminationSignalCount; ++i)
            ::sigaction(terminationSignals[i], &previousTermination[i], nullptr);
    });
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
