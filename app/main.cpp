// Entry point of the viewer: process-wide set-up, the main window and the event loop.
#include "config/configuration.h"
#include "mainwindows.h"
#include "map/maptileschemehandler.h"
#include "platform.h"
#include "windowgeometry.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QTextCodec>

#include <csignal>

namespace {

// The size follows the density of the screen the window is likely to open on, before any
// window exists to ask.
QFont startupFont()
{
    int pointSize = 12;
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (!screens.isEmpty()) {
        QScreen *probe = QGuiApplication::screenAt(screens.first()->availableGeometry().center());
        if (probe)
            pointSize = WindowGeometry::startupFontSize(probe->logicalDotsPerInch() / 96.0);
    }
    return QFont(QStringLiteral("Calibri"), pointSize);
}

} // namespace

int main(int argc, char *argv[])
{
    // The video surfaces are native windows; native siblings for the rest would make the window
    // system's move and resize of the frameless window start from a stale pointer position.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
#ifdef SIGPIPE
    // An export to a pipe whose reader went away is a write error to report, not the viewer's end.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // The web engine takes the map's own scheme only before it starts with the application.
    MapTileSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    // The desktop's session services answer only once the application exists.
    Platform::keepDisplayAwake();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    const QFont font = startupFont();
    QApplication::setFont(font);
    QCoreApplication::setApplicationName(QObject::tr("Velqor"));
    QCoreApplication::setOrganizationName(QObject::tr("Tamrix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.090311"));

    // The catalogue lives in a static library; it must be registered before the language is.
    Q_INIT_RESOURCE(velqor_translations);
    Configuration *config = Configuration::instance();
    config->setLanguage(config->targetLanguage());

    MainWindows window;
    window.show();
    app.installNativeEventFilter(&window);
    // Ended by a logout or a kill, the window still stops an export and removes its file.
    Platform::closeOnTerminationRequest(&window);
    return app.exec();
}
