// A parent for the child process test to kill: starts a long sleep through ChildProcess, prints
// its process id and waits.
#include <videoexport/childprocess.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ChildProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    if (!sleeper.waitForStarted(5000))
        return 1;
    std::printf("%lld\n", sleeper.processId());
    std::fflush(stdout);
    // The test kills this process long before.
    sleeper.waitForFinished(60000);
    return 0;
}
