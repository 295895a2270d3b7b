// Asks the desktop to keep the display awake and stays alive, so that a test can watch the
// request arrive and last; with --return it ends as soon as the request has been made.
#include "app/platform.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Platform::keepDisplayAwake();
    // Tells a test that the request let start-up go on.
    if (app.arguments().contains(QStringLiteral("--return")))
        return 0;
    // Never outlives a test that forgot it.
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
