#include "posix/sys.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

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

// Whether a failure says the file system has no such operation, not that it failed.
bool unsupported(int error) {
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP) return true;
#endif
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

int real_rename_no_replace(const char* from, const char* to) {
#if defined(__linux__) && defined(SYS_renameat2)
    // The system call itself: C libraries before glibc 2.28 and musl 1.2.4 do not wrap it.
    constexpr unsigned RENAME_NOREPLACE_FLAG = 1;  // RENAME_NOREPLACE
    if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE_FLAG) == 0) return 0;
    if (!unsupported(errno)) return -1;
#elif defined(__APPLE__)
    if (renamex_np(from, to, RENAME_EXCL) == 0) return 0;
    if (!unsupported(errno)) return -1;
#endif
    // Where the file system cannot (NFS, an old kernel): a second link, which a
    // name taken refuses, then the first one gone.
    if (link(from, to) == 0) {
        unlink(from);
        return 0;
    }
    if (!unsupported(errno) && errno != EPERM) return -1;
    // And where it has no links either (FAT, some network shares): the name
    // taken by a new empty file, which no one else can then take, and the
    // file renamed over it.
    const int held = open(to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (held < 0) return -1;
    close(held);
    if (std::rename(from, to) == 0) return 0;
    const int error = errno;
    unlink(to);
    errno = error;
    return -1;
}

// The call made again for as long as a signal interrupts it.
template <typename Call>
auto retried(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) result = call();
    return result;
}

}  // namespace

const SysCalls SYS_REAL = {real_open, read, write, real_fsync, close, real_rename_no_replace, unlink};
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

bool sys_rename_no_replace(const char* from, const char* to) {
    return retried([&] { return sys_calls.rename_no_replace(from, to); }) == 0;
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
