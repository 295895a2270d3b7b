// Linux side of ChildProcess: the kernel kills the program when its parent dies, however the
// parent ends (a kill, a crash), so that an encoder is never left running on its own; and it
// starts with only its standard channels, not the viewer's sockets and files.
#include "childprocess.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace {

// Between the fork and the exec of a threaded program only async-signal-safe calls are allowed:
// nothing here allocates or locks. Marked close-on-exec rather than closed, the descriptors stay
// usable until the exec, among them the one through which QProcess learns that the exec failed.
void keepDescriptorsFromProgram()
{
    if (::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    // Kernels before 5.11: the open descriptors as the kernel lists them, read without the
    // allocating directory functions.
    const int listing = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    alignas(dirent64) char entries[4096];
    ssize_t size;
    while ((size = ::getdents64(listing, entries, sizeof entries)) > 0) {
        for (ssize_t at = 0; at < size;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
            at += entry->d_reclen;
            int fd = 0;
            const char *digit = entry->d_name;
            for (; *digit >= '0' && *digit <= '9'; ++digit)
                fd = fd * 10 + (*digit - '0');
            if (*digit == '\0' && digit != entry->d_name && fd > STDERR_FILENO)
                ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    ::close(listing);
}

} // namespace

void ChildProcess::setupChildProcess()
{
    // The signal follows the exec. Asked for after the fork, it misses a parent that died in
    // between: the program would then belong to init already.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != pid_t(mParentPid))
        ::_exit(127);
    keepDescriptorsFromProgram();
}
