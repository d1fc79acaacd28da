// The system calls of the POSIX host that can fail in ways the program must
// answer, behind one thin seam.
//
// The policy, written down once here and kept by every function below:
// - an interrupted call (EINTR) is made again; a short write is continued;
// - every other failure is returned (false, or -1) with errno set, and the
//   caller decides what it means;
// - descriptors are opened close-on-exec and above 0, 1 and 2, so that a
//   standard stream the program was started without stays closed and nothing
//   meant for it lands in a file of ours.
//
// The calls themselves go through `sys_calls`, which tests replace to make a
// call fail, stall or be counted.
#pragma once

#include <sys/types.h>

struct SysCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename_no_replace)(const char* from, const char* to);
    int (*unlink)(const char* path);
};

extern SysCalls sys_calls;       // what the functions below call
extern const SysCalls SYS_REAL;  // the operating system's own

int sys_open(const char* path, int flags, mode_t mode = 0);
ssize_t sys_read(int fd, void* buffer, size_t size);
bool sys_write_all(int fd, const void* data, size_t size);

// The file's data on the disk itself, not only in the system's cache.
bool sys_flush_to_disk(int fd);

// A failing close is reported, never retried: the descriptor is gone either way.
bool sys_close(int fd);

// Gives `from` the name `to` in one step where no file has it; where one
// has, fails with EEXIST and changes nothing.
bool sys_rename_no_replace(const char* from, const char* to);
bool sys_unlink(const char* path);

// Waits until `fd` has bytes to read, at most `timeout_ms` (-1: no limit).
// 1 when readable (or at its end), 0 on timeout, -1 on failure. An
// interruption ends a limited wait early with 0, so the caller can look at
// the clock again.
int sys_wait_readable(int fd, int timeout_ms);
