// The terminal: raw key input, direct character output, and putting the
// terminal back as it was on every way out.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "host.h"
#include "common/terminal_codec.h"

namespace {

// How long a lone Escape waits for the rest of a key sequence.
constexpr int ESCAPE_WAIT_MS = 40;

int tty_fd = -1;          // the controlling terminal, or -1 without one
bool tty_utf8 = false;    // whether characters go out as UTF-8
termios saved_settings;   // what the terminal had before raw mode
volatile sig_atomic_t raw_active = 0;

// Key input not decoded yet, and decoded codes not handed out yet.
unsigned char in_bytes[64];
int in_length = 0;
std::int32_t undecided_since = -1;  // when the bytes began waiting to be decided
int codes[2];
int code_count = 0;
int code_next = 0;

void write_all(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

bool in_foreground() {
    return tty_fd >= 0 && tcgetpgrp(tty_fd) == getpgrp();
}

// tcsetattr from a background process would stop it with SIGTTOU.
void set_settings(const termios* settings) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTTOU);
    sigprocmask(SIG_BLOCK, &block, &old);
    tcsetattr(tty_fd, TCSAFLUSH, settings);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Only what key input needs: no line editing, no echo, no flow control, keys
// such as Enter as they are. Output processing stays, so a line feed on
// standard output still starts the next line at column 0; Ctrl+C, Ctrl+Z and
// Ctrl+\ still send their signals. Async-signal-safe.
void enter_raw() {
    if (!in_foreground()) return;
    if (!raw_active && tcgetattr(tty_fd, &saved_settings) != 0) return;
    termios raw = saved_settings;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    set_settings(&raw);
    raw_active = 1;
}

// Async-signal-safe.
void restore_terminal() {
    if (!raw_active) return;
    set_settings(&saved_settings);
    raw_active = 0;
}

void restore_at_exit() { restore_terminal(); }

// Ending signals: put the terminal back, then die of the same signal, so the
// parent sees the usual status. The handler is reset to the default on entry.
void on_ending_signal(int sig) {
    const int was_raw = raw_active;
    restore_terminal();
    // Shells start a fresh line themselves after Ctrl+C, but print their
    // report of these ("Quit", "Terminated") wherever the cursor is.
    if (was_raw && (sig == SIGQUIT || sig == SIGTERM)) write_all(tty_fd, "\n", 1);
    raise(sig);
}

void on_stop(int) {
    const int saved_errno = errno;
    restore_terminal();
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    struct sigaction ours{};
    sigaction(SIGTSTP, &dfl, &ours);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);  // stops here; SIGCONT brings us back
    sigaction(SIGTSTP, &ours, nullptr);
    errno = saved_errno;
}

void on_continue(int) {
    const int saved_errno = errno;
    enter_raw();
    errno = saved_errno;
}

void handle(int sig, void (*handler)(int), int flags) {
    struct sigaction action{};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}

bool env_utf8() {
    return locale_is_utf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

// Reads what the terminal has, waiting up to `timeout_ms` (-1: until something
// comes). False when nothing came.
bool read_input(int timeout_ms) {
    if (in_length == static_cast<int>(sizeof in_bytes)) return true;
    pollfd p{tty_fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&p, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR && timeout_ms < 0);
    if (ready <= 0) return false;
    const ssize_t n = read(tty_fd, in_bytes + in_length, sizeof in_bytes - static_cast<std::size_t>(in_length));
    if (n <= 0) return false;
    in_length += static_cast<int>(n);
    return true;
}

// Turns waiting bytes into codes while none are queued. An undecided start
// (Escape, or part of a sequence) is settled once it has waited ESCAPE_WAIT_MS.
void decode_input() {
    while (code_next == code_count && in_length > 0) {
        const bool waited = undecided_since >= 0 && elapsed_ms() - undecided_since >= ESCAPE_WAIT_MS;
        const KeyDecode key = decode_key(in_bytes, in_length, !waited);
        if (key.used == 0) {
            if (undecided_since < 0) undecided_since = elapsed_ms();
            return;
        }
        undecided_since = -1;
        std::memmove(in_bytes, in_bytes + key.used, static_cast<std::size_t>(in_length - key.used));
        in_length -= key.used;
        for (int i = 0; i < key.count; ++i) codes[i] = key.codes[i];
        code_count = key.count;
        code_next = 0;
    }
}

}  // namespace

void host_start() {
    static bool started = false;
    if (started) return;
    started = true;
    // A write past the file size limit should fail and be reported, not kill us.
    signal(SIGXFSZ, SIG_IGN);
    tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0) return;
    tty_utf8 = env_utf8();
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
        handle(sig, on_ending_signal, SA_RESETHAND);
    handle(SIGTSTP, on_stop, SA_RESTART);
    handle(SIGCONT, on_continue, SA_RESTART);
    std::atexit(restore_at_exit);
    enter_raw();
}

bool key_available() {
    if (code_next < code_count) return true;
    if (tty_fd < 0 || !in_foreground()) return false;
    read_input(0);
    decode_input();
    return code_next < code_count;
}

int read_key() {
    if (tty_fd < 0) return -1;
    for (;;) {
        decode_input();
        if (code_next < code_count) return codes[code_next++];
        // An undecided start waits only for what is left of the Escape wait.
        int timeout = -1;
        if (undecided_since >= 0) {
            timeout = ESCAPE_WAIT_MS - (elapsed_ms() - undecided_since);
            if (timeout < 0) timeout = 0;
        }
        if (!read_input(timeout) && timeout < 0) return -1;  // the terminal is gone
    }
}

void put_char(int code) {
    std::fflush(stdout);  // what standard output holds comes first
    if (tty_fd < 0) return;
    unsigned char bytes[3];
    const int n = encode_char(code, tty_utf8, bytes);
    write_all(tty_fd, bytes, static_cast<std::size_t>(n));
}
