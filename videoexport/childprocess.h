// A program the export runs that ends with the process that started it and inherits none of
// that process's open files; one implementation is built per platform.
// On Linux the kernel ends the program with the thread that started it, so its owner must stop
// it before that thread ends (FfmpegProcess does, in its destructor).
#pragma once

#include <QCoreApplication>
#include <QProcess>

class ChildProcess : public QProcess
{
public:
    using QProcess::QProcess;

protected:
    // In the new process, before the program replaces it.
    void setupChildProcess() override;

private:
    // Taken before the fork, so that the new process can tell whether its parent is already gone.
    const qint64 mParentPid = QCoreApplication::applicationPid();
};
