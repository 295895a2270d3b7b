// Shared by the viewer's benchmarks: fresh settings, waiting in the event loop, process memory.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

namespace ViewerBench {

// The program's own settings file is never touched; each run starts from the defaults.
inline void useFreshSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::DataLocation)
                  + QStringLiteral("/configuration.ini"));
}

// Runs the event loop until done() holds or ms have passed; returns whether it held.
template<typename Done>
bool spinUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// A field of a process's status file in kB ("VmRSS", "VmHWM"), or -1 when it is gone.
inline qint64 statusKb(const QString &pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace ViewerBench
