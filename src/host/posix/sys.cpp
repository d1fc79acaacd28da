#include "posix/sys.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int real_open(const char* path, int flags, mode_t mode) { return open(path, flags, mode); }

int real_fsync(int fd) {
#ifdef F_FULLFSYNC
    // macOS: fsync leaves the data in the drive's own cache.
    if (fcntl(fd, F_FULLFSYNC) == 0) return 0;
#endif
    return fsync(fd);
}

// The call made again for as long as a signal interrupts it.
template <typename Call>
auto retried(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) result = call();
    return result;
}

}  // namespace

const SysCalls SYS_REAL = {real_open, read, write, real_fsync, close, std::rename, unlink};
SysCalls sys_calls = SYS_REAL;

int sys_open(const char* path, int flags, mode_t mode) {
    const int fd = retried([&] { return sys_calls.open(path, flags | O_CLOEXEC, mode); });
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int above = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int saved_errno = errno;
    close(fd);  // the low slot stays as it was given: closed
    errno = saved_errno;
    return above;
}

ssize_t sys_read(int fd, void* buffer, size_t size) {
    return retried([&] { return sys_calls.read(fd, buffer, size); });
}

bool sys_write_all(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = sys_calls.write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool sys_flush_to_disk(int fd) {
    return retried([&] { return sys_calls.fsync(fd); }) == 0;
}

bool sys_close(int fd) { return sys_calls.close(fd) == 0 || errno == EINTR; }

bool sys_rename(const char* from, const char* to) {
    return retried([&] { return sys_calls.rename(from, to); }) == 0;
}

bool sys_unlink(const char* path) {
    return retried([&] { return sys_calls.unlink(path); }) == 0;
}

// select, not poll: poll does not work on terminal devices on macOS.
int sys_wait_readable(int fd, int timeout_ms) {
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval limit{timeout_ms / 1000, static_cast<suseconds_t>(timeout_ms % 1000) * 1000};
        const int ready = select(fd + 1, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit);
        if (ready >= 0) return ready > 0 ? 1 : 0;
        if (errno != EINTR) return -1;
        if (timeout_ms >= 0) return 0;
    }
}
