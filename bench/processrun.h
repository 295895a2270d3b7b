// A command run as a whole process, measured by the kernel's accounting of it.
#pragma once

#include <QStringList>

struct ProcessRun
{
    static constexpr int Crashed = -1; // status of a run killed by a signal, cut off or not started

    double wallMs = 0.0;
    double cpuMs = 0.0; // user and system time, its reaped descendants' included
    qint64 peakKb = 0; // the largest resident set of the process or of one of its descendants
    qint64 bytesRead = 0; // what it and its reaped descendants read through read(2) and kin
    int status = 0; // exit status

    // Runs command (the program first, not looked up in PATH) with standard input from
    // /dev/null, standard output to output and standard error appended to errorLog. A run that
    // takes longer than timeoutMs is killed together with everything it started.
    static ProcessRun run(const QStringList &command, const QString &output,
                          const QString &errorLog, int timeoutMs);

    // Several runs as one, as a pass of a process per file is: times and bytes add up, the peak
    // is the largest, and the first failure stays.
    ProcessRun &operator+=(const ProcessRun &other);
};
