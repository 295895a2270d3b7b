// A command run as a whole process, measured by the kernel's accounting of it.
#include "processrun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QVector>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// This process's rchar, to which the kernel adds a child's reads when the child is reaped. The
// figure is taken before this read's own bytes count; ownBytes receives them, for the caller to
// leave out of the next difference.
qint64 charactersRead(qint64 *ownBytes)
{
    char buffer[512];
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t n = fd < 0 ? -1 : ::read(fd, buffer, sizeof(buffer) - 1);
    if (fd >= 0)
        ::close(fd);
    *ownBytes = qMax<ssize_t>(n, 0);
    if (n <= 0)
        return 0;
    buffer[n] = '\0';
    const char *field = std::strstr(buffer, "rchar:");
    return field ? std::strtoll(field + 6, nullptr, 10) : 0;
}

// Opens path as the descriptor target of a child between fork and exec, where only
// async-signal-safe calls may be made.
bool redirect(int target, const char *path, int flags)
{
    const int fd = ::open(path, flags, 0644);
    if (fd < 0)
        return false;
    if (fd == target)
        return true;
    const bool moved = dup2(fd, target) == target;
    ::close(fd);
    return moved;
}

double milliseconds(const timeval &time)
{
    return time.tv_sec * 1e3 + time.tv_usec / 1e3;
}

} // namespace

ProcessRun ProcessRun::run(const QStringList &command, const QString &output,
                           const QString &errorLog, int timeoutMs)
{
    QVector<QByteArray> arguments;
    for (const QString &argument : command)
        arguments.append(QFile::encodeName(argument));
    QVector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.append(argument.data());
    argv.append(nullptr);
    const QByteArray outputName = QFile::encodeName(output);
    const QByteArray errorName = QFile::encodeName(errorLog);

    ProcessRun run;
    // Tells an exec that failed from a command that exits with 127: it is closed by the exec.
    int execFailure[2];
    if (arguments.isEmpty() || pipe2(execFailure, O_CLOEXEC) != 0) {
        run.status = Crashed;
        return run;
    }
    qint64 ownBytes = 0;
    const qint64 readBefore = charactersRead(&ownBytes);
    QElapsedTimer timer;
    timer.start();
    // fork, not posix_spawn: a child that shares this process's memory until its exec, as
    // posix_spawn's does, is charged this process's peak resident memory as its own. A forked
    // child starts from what this process holds at the moment, which is little.
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own process group, so that a run cut off takes whatever it started with it.
        int error = 0;
        if (setpgid(0, 0) != 0 || !redirect(STDIN_FILENO, "/dev/null", O_RDONLY)
            || !redirect(STDOUT_FILENO, outputName.constData(), O_WRONLY | O_CREAT | O_TRUNC)
            || !redirect(STDERR_FILENO, errorName.constData(), O_WRONLY | O_CREAT | O_APPEND)) {
            error = errno;
        } else {
            execve(argv.constFirst(), argv.data(), environ);
            error = errno;
        }
        [[maybe_unused]] const ssize_t told = write(execFailure[1], &error, sizeof error);
        _exit(127);
    }
    close(execFailure[1]);
    if (pid < 0) {
        close(execFailure[0]);
        run.status = Crashed;
        return run;
    }
    setpgid(pid, pid); // here too, so that the group exists whichever side runs first

    // Debian 12's header declares pidfd_open without C linkage, hence the system call itself.
    const int pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    pollfd exited = {pidFd, POLLIN, 0};
    int ready = -1;
    while (pidFd >= 0 && (ready = poll(&exited, 1, timeoutMs)) < 0 && errno == EINTR) { }
    const bool cutOff = ready != 1;
    if (cutOff)
        kill(-pid, SIGKILL);
    if (pidFd >= 0)
        close(pidFd);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    run.wallMs = timer.nsecsElapsed() / 1e6;
    qint64 ownAfter = 0;
    run.bytesRead = charactersRead(&ownAfter) - readBefore - ownBytes;
    run.cpuMs = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    int error = 0;
    const bool started = read(execFailure[0], &error, sizeof error) == 0;
    close(execFailure[0]);
    run.status = started && !cutOff && WIFEXITED(status) ? WEXITSTATUS(status) : Crashed;
    return run;
}

ProcessRun &ProcessRun::operator+=(const ProcessRun &other)
{
    wallMs += other.wallMs;
    cpuMs += other.cpuMs;
    peakKb = qMax(peakKb, other.peakKb);
    bytesRead += other.bytesRead;
    if (status == 0)
        status = other.status;
    return *this;
}
