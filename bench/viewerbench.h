// Shared by the viewer's benchmarks: fresh settings, waiting in the event loop, process memory.
#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

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

// Takes the drive folder from the command line, after reading every option; shows the help and
// leaves when it is missing or valid() finds the other options wrong.
inline QString driveFolderArgument(
        QCommandLineParser &options, const std::function<bool()> &valid = [] { return true; })
{
    options.addPositionalArgument("folder", "A drive folder, e.g. one written by velqor-demo.");
    options.process(*QCoreApplication::instance());
    if (options.positionalArguments().size() != 1 || !valid())
        options.showHelp(64);
    return QDir(options.positionalArguments().first()).absolutePath();
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

inline qint64 parentOf(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The command name in parentheses may hold blanks; the fields after it do not.
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

inline bool descendsFromUs(const QString &pid)
{
    const qint64 us = QCoreApplication::applicationPid();
    for (qint64 p = pid.toLongLong(); p > 1; p = parentOf(QString::number(p))) {
        if (p == us)
            return true;
    }
    return false;
}

// The web engine's helper processes are this process's descendants running its helper program.
inline qint64 webEngineKb(qint64 *processes)
{
    qint64 total = 0;
    *processes = 0;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs);
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains("QtWebEngineProcess")
            || !descendsFromUs(pid))
            continue;
        const qint64 kb = statusKb(pid, "VmRSS");
        if (kb > 0) {
            total += kb;
            ++*processes;
        }
    }
    return total;
}

} // namespace ViewerBench
