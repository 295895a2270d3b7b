// Tests of the frameless window's chrome: edge zones, density fonts, dragging, the end of a
// window-system move, edge resizing and the request to keep the display awake.
#include "app/edgeresizer.h"
#include "app/movefilter.h"
#include "app/platform.h"
#include "app/windowgeometry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <QtTest>

using WindowGeometry::Edge;
Q_DECLARE_METATYPE(WindowGeometry::Edge)
Q_DECLARE_METATYPE(Qt::MouseButton)

class TestWindowChrome : public QObject
{
    Q_OBJECT

private slots:
    void hitTest_data();
    void hitTest();
    void fontSteps_data();
    void fontSteps();
    void gaugeIncreaseBetweenTableRates_data();
    void gaugeIncreaseBetweenTableRates();
    void maximizedGeometryIsOnePixelShort_data();
    void maximizedGeometryIsOnePixelShort();
    void dragWithoutCallback_data();
    void dragWithoutCallback();
    void dragCallbackComesInPairs_data();
    void dragCallbackComesInPairs();
    void moveEndSignals_data();
    void moveEndSignals();
    void edgeResizerWatchesOnlyItsWindow_data();
    void edgeResizerWatchesOnlyItsWindow();
    void keepDisplayAwakeReturnsPromptlyWithoutSessionBus();
    void inhibitReachesTheScreenSaver_data();
    void inhibitReachesTheScreenSaver();
    void silentSessionBusDoesNotHoldUpStartUp();
};

namespace {

// Counts the mouse events that reach it, to show that the filters pass every one on.
class Surface : public QWidget
{
public:
    Surface() { setGeometry(100, 100, 300, 200); }

    int received = 0;

protected:
    bool event(QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            ++received;
            break;
        default:
            break;
        }
        return QWidget::event(event);
    }
};

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &pos,
               Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// Stands in for the desktop's screen saver on a private bus and remembers who asked.
class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    struct Call
    {
        QString caller;
        QString application;
        QString reason;
    };
    QVector<Call> calls;

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        calls.append({message().service(), application, reason});
        return 42;
    }
};

} // namespace

void TestWindowChrome::hitTest_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<Edge>("edge");
    QTest::addColumn<Qt::CursorShape>("shape");

    // Left 100, top 200, right 899, bottom 799: the last pixels inside.
    const QRect w(100, 200, 800, 600);
    QTest::newRow("3 px inside the right border, halfway down")
            << w << QPoint(896, 500) << Edge::Right << Qt::SizeHorCursor;
    QTest::newRow("6 px inside the right border")
            << w << QPoint(893, 500) << Edge::NoEdge << Qt::ArrowCursor;
    QTest::newRow("7 px inside the bottom-right corner")
            << w << QPoint(892, 792) << Edge::BottomRight << Qt::SizeFDiagCursor;
    QTest::newRow("top-left pixel")
            << w << QPoint(100, 200) << Edge::TopLeft << Qt::SizeFDiagCursor;
    QTest::newRow("past the top-left square")
            << w << QPoint(108, 207) << Edge::NoEdge << Qt::ArrowCursor;
    QTest::newRow("bottom-left pixel")
            << w << QPoint(100, 799) << Edge::BottomLeft << Qt::SizeBDiagCursor;
    QTest::newRow("top-right pixel")
            << w << QPoint(899, 200) << Edge::TopRight << Qt::SizeBDiagCursor;
    QTest::newRow("left strip") << w << QPoint(105, 500) << Edge::Left << Qt::SizeHorCursor;
    QTest::newRow("past the left strip")
            << w << QPoint(106, 500) << Edge::NoEdge << Qt::ArrowCursor;
    QTest::newRow("top strip") << w << QPoint(500, 205) << Edge::Top << Qt::SizeVerCursor;
    QTest::newRow("past the top strip") << w << QPoint(500, 206) << Edge::NoEdge << Qt::ArrowCursor;
    QTest::newRow("bottom pixel") << w << QPoint(500, 799) << Edge::Bottom << Qt::SizeVerCursor;
    QTest::newRow("past the bottom strip")
            << w << QPoint(500, 793) << Edge::NoEdge << Qt::ArrowCursor;
    QTest::newRow("below the window") << w << QPoint(500, 800) << Edge::NoEdge << Qt::ArrowCursor;
    // The bottom rule alone ignores x, so it answers beside the window too.
    QTest::newRow("left of the window at bottom height")
            << w << QPoint(50, 797) << Edge::Bottom << Qt::SizeVerCursor;
    // In a window smaller than two corners, the first matching row wins.
    const QRect tiny(0, 0, 10, 10);
    QTest::newRow("tiny window's lower right")
            << tiny << QPoint(8, 8) << Edge::BottomRight << Qt::SizeFDiagCursor;
    QTest::newRow("tiny window, both left corners")
            << tiny << QPoint(1, 5) << Edge::TopLeft << Qt::SizeFDiagCursor;
    QTest::newRow("tiny window, both right corners")
            << tiny << QPoint(8, 5) << Edge::BottomRight << Qt::SizeFDiagCursor;
}

void TestWindowChrome::hitTest()
{
    QFETCH(QRect, window);
    QFETCH(QPoint, cursor);
    QFETCH(Edge, edge);
    QFETCH(Qt::CursorShape, shape);

    const Edge found = WindowGeometry::hitTest(cursor, window);
    QCOMPARE(int(found), int(edge));
    QCOMPARE(WindowGeometry::cursorFor(found), shape);
}

void TestWindowChrome::fontSteps_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("startupSize");
    QTest::addColumn<int>("windowSize");
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("gaugeSize");
    QTest::addColumn<double>("dialogRate");
    QTest::addColumn<int>("dialogTitleSize");

    // The gauge labels take the title's size (window size + 1) plus the rate's increase.
    // The settings dialog's controls take the start-up size; its title adds its own increase.
    QTest::newRow("96 dpi") << 1.0 << 12 << 12 << 1.0 << 20 << 1.0 << 19;
    QTest::newRow("exactly 1.1") << 1.1 << 10 << 10 << 1.25 << 18 << 1.25 << 17;
    QTest::newRow("exactly 1.4") << 1.4 << 9 << 9 << 1.5 << 17 << 1.5 << 16;
    QTest::newRow("144 dpi") << 1.5 << 9 << 9 << 1.5 << 17 << 1.5 << 16;
    QTest::newRow("exactly 1.6") << 1.6 << 8 << 8 << 1.75 << 14 << 1.75 << 13;
    QTest::newRow("exactly 1.8") << 1.8 << 7 << 7 << 2.0 << 12 << 2.0 << 11;
    QTest::newRow("exactly 2.5") << 2.5 << 6 << 5 << 3.0 << 8 << 3.0 << 9;
    QTest::newRow("very dense") << 8.0 << 6 << 4 << 3.5 << 7 << 3.0 << 9;
}

void TestWindowChrome::fontSteps()
{
    QFETCH(double, ratio);
    QFETCH(int, startupSize);
    QFETCH(int, windowSize);
    QFETCH(double, rate);
    QFETCH(int, gaugeSize);

    QCOMPARE(WindowGeometry::startupFontSize(ratio), startupSize);
    const WindowGeometry::FontStep step = WindowGeometry::windowFontStep(ratio);
    QCOMPARE(step.pointSize, windowSize);
    QCOMPARE(step.rate, rate);
    QCOMPARE(step.pointSize + 1 + WindowGeometry::gaugeFontIncrease(step.rate), gaugeSize);

    QFETCH(double, dialogRate);
    QFETCH(int, dialogTitleSize);
    const WindowGeometry::FontStep dialog = WindowGeometry::dialogFontStep(ratio);
    QCOMPARE(dialog.pointSize, startupSize);
    QCOMPARE(dialog.rate, dialogRate);
    QCOMPARE(dialog.pointSize + WindowGeometry::dialogTitleFontIncrease(dialog.rate),
             dialogTitleSize);
}

void TestWindowChrome::gaugeIncreaseBetweenTableRates_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("increase");

    QTest::newRow("under the table") << 0.5 << 7;
    QTest::newRow("between 2.0 and 3.0") << 2.5 << 4;
    QTest::newRow("over the table") << 6.0 << 2;
}

void TestWindowChrome::gaugeIncreaseBetweenTableRates()
{
    QFETCH(double, rate);
    QFETCH(int, increase);
    QCOMPARE(WindowGeometry::gaugeFontIncrease(rate), increase);
}

void TestWindowChrome::maximizedGeometryIsOnePixelShort_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("maximized");

    QTest::newRow("1080p under a task bar") << QRect(0, 0, 1920, 1040) << QRect(0, 0, 1920, 1039);
    QTest::newRow("second screen with a top panel")
            << QRect(1920, 28, 1280, 996) << QRect(1920, 28, 1280, 995);
}

void TestWindowChrome::maximizedGeometryIsOnePixelShort()
{
    QFETCH(QRect, available);
    QFETCH(QRect, maximized);
    QCOMPARE(WindowGeometry::maximizedGeometry(available), maximized);
}

void TestWindowChrome::dragWithoutCallback_data()
{
    QTest::addColumn<bool>("ownerMaximized");
    QTest::addColumn<bool>("toolkitMaximized");
    QTest::addColumn<QPoint>("moved");

    QTest::newRow("normal") << false << false << QPoint(20, 15);
    QTest::newRow("maximized by the owner") << true << false << QPoint();
    QTest::newRow("maximized by the toolkit") << false << true << QPoint();
}

void TestWindowChrome::dragWithoutCallback()
{
    QFETCH(bool, ownerMaximized);
    QFETCH(bool, toolkitMaximized);
    QFETCH(QPoint, moved);

    Surface window;
    // So that moves without a button reach the widget as well.
    window.setMouseTracking(true);
    auto *filter = new MoveFilter(&window);
    QCOMPARE(window.windowFlags(), Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                                           | Qt::WindowMinimizeButtonHint);
    QSignalSpy doubleClicks(filter, &MoveFilter::doubleClicked);
    filter->setMaximized(ownerMaximized);
    QCOMPARE(filter->isMaximized(), ownerMaximized);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (toolkitMaximized)
        window.setWindowState(Qt::WindowMaximized);
    const QPoint start = window.pos();

    sendMouse(&window, QEvent::MouseButtonPress, QPoint(10, 10));
    sendMouse(&window, QEvent::MouseMove, QPoint(30, 25), Qt::NoButton);
    QTRY_COMPARE(window.pos(), start + moved);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(10, 10), Qt::LeftButton, Qt::NoButton);
    // Released: moving the mouse no longer drags.
    sendMouse(&window, QEvent::MouseMove, QPoint(60, 60), Qt::NoButton, Qt::NoButton);
    // A right press does not start a drag either.
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(10, 10), Qt::RightButton);
    sendMouse(&window, QEvent::MouseMove, QPoint(40, 40), Qt::NoButton, Qt::RightButton);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(40, 40), Qt::RightButton, Qt::NoButton);
    QTest::qWait(50);
    QCOMPARE(window.pos(), start + moved);

    sendMouse(&window, QEvent::MouseButtonDblClick, QPoint(10, 10));
    QCOMPARE(doubleClicks.count(), 1);
    QCOMPARE(window.received, 8);
}

void TestWindowChrome::dragCallbackComesInPairs_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("repeats");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<int>("calls");
    // Without a window manager's move the drag moves the window by hand.
    QTest::addColumn<QPoint>("moved");

    QTest::newRow("left drag") << "drag" << 1 << false << 2 << QPoint(30, 0);
    QTest::newRow("two left drags") << "drag" << 2 << false << 4 << QPoint(60, 0);
    QTest::newRow("left drag while maximized") << "drag" << 1 << true << 0 << QPoint();
    // Here the move starts only once a left drag has gone the drag distance.
    QTest::newRow("right drag") << "right drag" << 1 << false << 0 << QPoint();
    QTest::newRow("drag shorter than the drag distance")
            << "short drag" << 1 << false << 0 << QPoint();
    QTest::newRow("click") << "click" << 1 << false << 0 << QPoint();
    QTest::newRow("double click") << "double click" << 1 << false << 0 << QPoint();
}

void TestWindowChrome::dragCallbackComesInPairs()
{
    QFETCH(QString, gesture);
    QFETCH(int, repeats);
    QFETCH(bool, maximized);
    QFETCH(int, calls);
    QFETCH(QPoint, moved);

    Surface window;
    auto *filter = new MoveFilter(&window);
    QSignalSpy doubleClicks(filter, &MoveFilter::doubleClicked);
    QVector<QPair<QObject *, bool>> received;
    filter->setDragCallback([&received](QObject *receiver, bool finished) {
        received.append({receiver, finished});
    });
    filter->setMaximized(maximized);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    // Without a window manager the move cannot start and ends at once; with one, the release
    // the application sees ends it.
    const Qt::MouseButton button = gesture == "right drag" ? Qt::RightButton : Qt::LeftButton;
    const QPoint from(10, 10);
    const QPoint to = gesture == "short drag" ? QPoint(12, 11) : QPoint(40, 10);
    int sent = 0;
    for (int i = 0; i < repeats; ++i) {
        sendMouse(&window, QEvent::MouseButtonPress, from, button, button);
        if (gesture.endsWith("drag")) {
            sendMouse(&window, QEvent::MouseMove, to, Qt::NoButton, button);
            ++sent;
        }
        sendMouse(&window, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
        sent += 2;
        if (gesture == "double click") {
            sendMouse(&window, QEvent::MouseButtonDblClick, from, button, button);
            sendMouse(&window, QEvent::MouseButtonRelease, from, button, Qt::NoButton);
            sent += 2;
        }
    }

    QTRY_COMPARE(received.size(), calls);
    for (int i = 0; i < received.size(); ++i) {
        QCOMPARE(received.at(i).first, &window);
        QCOMPARE(received.at(i).second, i % 2 == 1);
    }
    // No late second end.
    QTest::qWait(100);
    QCOMPARE(received.size(), calls);
    QTRY_COMPARE(window.pos(), start + moved);
    QCOMPARE(doubleClicks.count(), gesture == "double click" ? 1 : 0);
    QCOMPARE(window.received, sent);
}

void TestWindowChrome::moveEndSignals_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<bool>("ends");

    QTest::newRow("release") << "release" << true;
    QTest::newRow("pointer entering a window") << "enter" << true;
    QTest::newRow("move without a button") << "free move" << true;
    QTest::newRow("window hidden") << "hide" << true;
    QTest::newRow("window activated again") << "activate" << true;
    QTest::newRow("move with the button held") << "held move" << false;
    QTest::newRow("another window hidden") << "hide other" << false;
    QTest::newRow("another window activated") << "activate other" << false;
    // Longer in all than the quiet time, but never still for that long.
    QTest::newRow("window moving") << "moving" << false;
}

void TestWindowChrome::moveEndSignals()
{
    QFETCH(QString, signal);
    QFETCH(bool, ends);

    Surface window;
    Surface other;
    window.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    MoveEndWatcher watcher(&window, 400);
    QSignalSpy ended(&watcher, &MoveEndWatcher::ended);
    watcher.start();
    QVERIFY(watcher.isRunning());

    if (signal == "release") {
        sendMouse(&other, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    } else if (signal == "enter") {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(&window, &enter);
    } else if (signal == "free move") {
        sendMouse(&window, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    } else if (signal == "held move") {
        sendMouse(&window, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::LeftButton);
    } else if (signal == "activate") {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
    } else if (signal == "hide") {
        window.hide();
    } else if (signal == "activate other") {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&other, &activate);
    } else if (signal == "hide other") {
        other.hide();
    } else if (signal == "moving") {
        for (int step = 0; step < 6; ++step) {
            QTest::qWait(100);
            window.move(window.pos() + QPoint(3, 0));
        }
    }

    QCOMPARE(ended.count(), ends ? 1 : 0);
    // Whatever is missed, standing still ends the watch.
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!watcher.isRunning());
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    QTest::qWait(400);
    QCOMPARE(ended.count(), 1);
}

void TestWindowChrome::edgeResizerWatchesOnlyItsWindow_data()
{
    QTest::addColumn<bool>("onOwnWindow");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("hitTests");

    QTest::newRow("move over the window") << true << "move" << 1;
    QTest::newRow("left press on the window") << true << "left press" << 1;
    QTest::newRow("right press on the window") << true << "right press" << 0;
    QTest::newRow("move over another window") << false << "move" << 0;
    QTest::newRow("left press on another window") << false << "left press" << 0;
}

void TestWindowChrome::edgeResizerWatchesOnlyItsWindow()
{
    QFETCH(bool, onOwnWindow);
    QFETCH(QString, action);
    QFETCH(int, hitTests);

    Surface window;
    Surface other;
    other.move(500, 100);
    int calls = 0;
    new EdgeResizer(&window, [&calls] {
        ++calls;
        return WindowGeometry::NoEdge;
    });
    window.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(QTest::qWaitForWindowExposed(&other));

    Surface &target = onOwnWindow ? window : other;
    const QPoint pos(150, 100);
    if (action == "move") {
        calls = 0;
        QTest::mouseMove(target.windowHandle(), pos);
    } else {
        // A press elsewhere than the last position comes with a move of its own.
        QTest::mouseMove(target.windowHandle(), pos);
        calls = 0;
        target.received = 0;
        const Qt::MouseButton button = action == "left press" ? Qt::LeftButton : Qt::RightButton;
        QTest::mousePress(target.windowHandle(), button, Qt::NoModifier, pos);
        QCOMPARE(calls, hitTests);
        // Away from the edges the press is the widgets' own.
        QCOMPARE(target.received, 1);
        QTest::mouseRelease(target.windowHandle(), button, Qt::NoModifier, pos);
    }
    QCOMPARE(calls, hitTests);

    calls = 0;
    QTest::mouseMove(window.windowHandle(), QPoint(20, 20));
    QTest::mouseMove(window.windowHandle(), QPoint(40, 20));
    QCOMPARE(calls, 2);
}

void TestWindowChrome::keepDisplayAwakeReturnsPromptlyWithoutSessionBus()
{
    // Nothing in this process has used the session bus yet, so it connects to this address.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velqor-test-bus");
    QElapsedTimer clock;
    clock.start();
    Platform::keepDisplayAwake();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // Whatever answer comes later is handled without harm.
    QTest::qWait(100);
}

void TestWindowChrome::inhibitReachesTheScreenSaver_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("freedesktop path") << "/org/freedesktop/ScreenSaver";
    QTest::newRow("short path") << "/ScreenSaver";
}

void TestWindowChrome::inhibitReachesTheScreenSaver()
{
    QFETCH(QString, path);

    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is needed for a private session bus");
    QProcess bus;
    bus.start(daemon, {"--session", "--nofork", "--print-address"});
    QVERIFY(bus.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    const QString name = QStringLiteral("fake screen saver ") + path;
    FakeScreenSaver saver;
    {
        QDBusConnection desktop = QDBusConnection::connectToBus(address, name);
        QVERIFY(desktop.isConnected());
        QVERIFY(desktop.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QVERIFY(desktop.registerObject(path, &saver, QDBusConnection::ExportAllSlots));

        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(VELQOR_INHIBIT_PROBE), QStringList());
        QVERIFY(probe.waitForStarted());

        QTRY_COMPARE(saver.calls.size(), 1);
        QCOMPARE(saver.calls.first().application, QStringLiteral("Velqor"));
        QVERIFY(!saver.calls.first().reason.isEmpty());
        // The inhibit lasts as long as the connection that asked for it.
        QTest::qWait(300);
        QCOMPARE(probe.state(), QProcess::Running);
        QVERIFY(desktop.interface()->isServiceRegistered(saver.calls.first().caller));
        QCOMPARE(saver.calls.size(), 1);
        probe.kill();
        probe.waitForFinished();
    }
    QDBusConnection::disconnectFromBus(name);
    bus.kill();
    bus.waitForFinished();
}

void TestWindowChrome::silentSessionBusDoesNotHoldUpStartUp()
{
    // A bus socket that takes connections and never answers, as a wedged daemon does.
    QTemporaryDir dir;
    QLocalServer silent;
    QVERIFY(silent.listen(dir.filePath(QStringLiteral("bus"))));
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + silent.fullServerName());
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(VELQOR_INHIBIT_PROBE), {QStringLiteral("--return")});
    QVERIFY(probe.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(probe.state(), QProcess::NotRunning, 10000);
    QCOMPARE(probe.exitCode(), 0);
    if (probe.state() != QProcess::NotRunning) {
        probe.kill();
        probe.waitForFinished();
    }
}

QTEST_MAIN(TestWindowChrome)
#include "tst_windowchrome.moc"
