// Asks the desktop to keep the display awake and stays alive, so that a test can watch the
// request arrive and last.
#include "app/platform.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Platform::keepDisplayAwake();
    // Never outlives a test that forgot it.
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
