// Saving a file all or nothing: a temporary file beside the final one, flushed
// to the disk, then given the first free name of the wanted one and its
// numbered sisters, never replacing a file, and the directory flushed too.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host.h"
#include "common/file_name.h"
#include "posix/handler_state.h"
#include "posix/signals.h"
#include "posix/sys.h"

namespace {

HandlerState& state = handler_state;

constexpr int TEMP_ATTEMPTS = 100;
constexpr int NAME_ATTEMPTS = 1000;  // "name-1000.bmp" at the most

// Creates a new file beside the final one, never one that exists already
// (not even a link), and records its name for the signal handlers in the same
// step, so that a signal never finds a file of ours unrecorded or a recorded
// name that is not ours.
int create_temporary(const char* name) {
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        sigset_t old;
        block_signals(&old);
        (void)std::snprintf(state.temp_name, TEMP_NAME_SIZE, "%s.%d.tmp", name, attempt);
        const int fd = sys_open(state.temp_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        const int error = errno;
        state.temp_name_set = fd >= 0;
        unblock_signals(&old);
        if (fd >= 0 || error != EEXIST) return fd;
    }
    return -1;
}

// Gives the temporary file the first name free of `name`, "name-2" ... (see
// numbered_name), which goes into `name`; or removes it when `name` is null
// or no name could be given: then the name last tried goes into `name`, the
// one the failure is about. The signal handlers are kept out until the
// record says what is on the disk.
bool finish_temporary(char* name, std::size_t name_size) {
    sigset_t old;
    block_signals(&old);
    bool named = false;
    char candidate[TEMP_NAME_SIZE] = "";
    for (int n = 1; name != nullptr && n <= NAME_ATTEMPTS; ++n) {
        if (!numbered_name(name, n, candidate, std::min(sizeof candidate, name_size))) {
            candidate[0] = '\0';  // no name tried: the error is about `name` itself
            errno = ENAMETOOLONG;
            break;
        }
        named = sys_rename_no_replace(state.temp_name, candidate);
        if (named || errno != EEXIST) break;
    }
    const int error = errno;
    if (!named) sys_unlink(state.temp_name);
    if (name != nullptr && candidate[0] != '\0')
        std::memcpy(name, candidate, std::strlen(candidate) + 1);  // it fitted in name_size
    state.temp_name_set = 0;
    unblock_signals(&old);
    errno = error;
    return named;
}

// For an error line about a picture that got no name: the name it would have
// taken, the first free one, not an older file's.
void first_free_name(char* name, std::size_t name_size) {
    char candidate[TEMP_NAME_SIZE];
    struct stat st {};
    for (int n = 1; n <= NAME_ATTEMPTS && numbered_name(name, n, candidate, std::min(sizeof candidate, name_size)); ++n)
        if (lstat(candidate, &st) != 0) {
            std::memcpy(name, candidate, std::strlen(candidate) + 1);
            return;
        }
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

SaveResult save_file(char* name, std::size_t name_size, const unsigned char* data, std::size_t size,
                     const char** reason) {
    SaveResult result = SaveResult::SAVED;
    int error = 0;  // what the first failing step said
    const auto failed = [&](SaveResult how) {
        if (result == SaveResult::SAVED) {
            result = how;
            error = errno;
        }
    };
    int fd = -1;
    bool naming_tried = false;  // then `name` says the name given, or the one that could not be
    if (std::strlen(name) + 16 > static_cast<std::size_t>(TEMP_NAME_SIZE)) {
        errno = ENAMETOOLONG;
        failed(SaveResult::OPEN_FAILED);
    } else if ((fd = create_temporary(name)) < 0) {
        failed(SaveResult::OPEN_FAILED);
    } else {
        if (!sys_write_all(fd, data, size) || !sys_flush_to_disk(fd)) failed(SaveResult::WRITE_FAILED);
        if (!sys_close(fd)) failed(SaveResult::WRITE_FAILED);
        naming_tried = result == SaveResult::SAVED;
        if (!finish_temporary(naming_tried ? name : nullptr, name_size)) failed(SaveResult::WRITE_FAILED);
        if (result == SaveResult::SAVED && !flush_directory()) {
            failed(SaveResult::WRITE_FAILED);
            // The name may not survive a crash: not the promised outcome, so
            // nothing is left that the program did not report as saved.
            sys_unlink(name);
        }
    }
    if (result != SaveResult::SAVED && reason != nullptr) *reason = std::strerror(error);
    if (result != SaveResult::SAVED && !naming_tried) first_free_name(name, name_size);
    return result;
}
