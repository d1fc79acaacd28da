// Saving a file all or nothing: a temporary file beside the final one, flushed
// to the disk, then renamed over the name, and the directory flushed too.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host.h"
#include "posix/signals.h"
#include "posix/sys.h"
#include "posix/terminal.h"

using namespace signal_shared;

namespace {

constexpr int TEMP_ATTEMPTS = 100;

// Creates a new file beside the final one, never one that exists already
// (not even a link), and records its name for the signal handlers in the same
// step, so that a signal never finds a file of ours unrecorded or a recorded
// name that is not ours.
int create_temporary(const char* name) {
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        sigset_t old;
        block_signals(&old);
        (void)std::snprintf(temp_name, TEMP_NAME_SIZE, "%s.%d.tmp", name, attempt);
        const int fd = sys_open(temp_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        const int error = errno;
        temp_name_set = fd >= 0;
        unblock_signals(&old);
        if (fd >= 0 || error != EEXIST) return fd;
    }
    return -1;
}

// Removes the temporary file, or gives it the final name, with the signal
// handlers kept out until the record says what is on the disk.
bool finish_temporary(const char* final_name) {
    sigset_t old;
    block_signals(&old);
    const bool renamed = final_name != nullptr && sys_rename(temp_name, final_name);
    if (!renamed) sys_unlink(temp_name);
    temp_name_set = 0;
    unblock_signals(&old);
    return renamed;
}

// The directory's new entry on the disk. A file system that cannot flush a
// directory (EINVAL, ENOTSUP) or a directory we may not open has done all it can.
bool flush_directory() {
    const int dir = sys_open(".", O_RDONLY | O_DIRECTORY);
    if (dir < 0) return true;
    const bool flushed = sys_flush_to_disk(dir) || errno == EINVAL || errno == ENOTSUP;
    sys_close(dir);
    return flushed;
}

}  // namespace

SaveResult save_file(const char* name, const unsigned char* data, std::size_t size, const char** reason) {
    SaveResult result = SaveResult::SAVED;
    int error = 0;  // what the first failing step said
    const auto failed = [&](SaveResult how) {
        if (result == SaveResult::SAVED) {
            result = how;
            error = errno;
        }
    };
    int fd = -1;
    if (std::strlen(name) + 16 > static_cast<std::size_t>(TEMP_NAME_SIZE)) {
        errno = ENAMETOOLONG;
        failed(SaveResult::OPEN_FAILED);
    } else if ((fd = create_temporary(name)) < 0) {
        failed(SaveResult::OPEN_FAILED);
    } else {
        if (!sys_write_all(fd, data, size) || !sys_flush_to_disk(fd)) failed(SaveResult::WRITE_FAILED);
        if (!sys_close(fd)) failed(SaveResult::WRITE_FAILED);
        if (!finish_temporary(result == SaveResult::SAVED ? name : nullptr)) failed(SaveResult::WRITE_FAILED);
        if (result == SaveResult::SAVED && !flush_directory()) {
            failed(SaveResult::WRITE_FAILED);
            // The name may not survive a crash: not the promised outcome, so
            // nothing is left that the program did not report as saved.
            sys_unlink(name);
        }
    }
    if (result == SaveResult::SAVED) keep_for_terminal(name, data, size);
    if (result != SaveResult::SAVED && reason != nullptr) *reason = std::strerror(error);
    return result;
}
