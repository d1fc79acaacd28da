#include "posix/signals.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "posix/conversation.h"
#include "posix/handler_state.h"
#include "posix/tty.h"

namespace {

HandlerState& state = handler_state;
sigset_t ignored;  // the signals that were ignored when the program started; read by no handler

// Signals whose default action does not end the program (or that the host
// treats apart: SIGXFSZ is ignored so that a write past the size limit fails
// and is reported).
bool ends_program(int sig) {
    switch (sig) {
        case SIGKILL:
        case SIGSTOP:
        case SIGTSTP:
        case SIGTTIN:
        case SIGTTOU:
        case SIGCONT:
        case SIGCHLD:
        case SIGURG:
        case SIGWINCH:
        case SIGXFSZ:
#ifdef SIGINFO
        case SIGINFO:
#endif
            return false;
        default:
            return true;
    }
}

void remove_temp_file() {
    if (!state.temp_name_set) return;
    unlink(state.temp_name);
    state.temp_name_set = 0;
}

constexpr int WRITE_WAIT_MS = 250;

// Writes to the terminal, whose writes do not wait, waiting for room while
// `*ms_left` lasts; what does not fit by then is left out.
void write_awhile(const char* bytes, size_t size, int* ms_left) {
    while (size > 0 && state.tty_fd >= 0) {
        const ssize_t n = write(state.tty_fd, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN || *ms_left <= 0) return;
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(state.tty_fd, &writable);
        timeval limit{0, static_cast<suseconds_t>(std::min(*ms_left, 10)) * 1000};
        select(state.tty_fd + 1, nullptr, &writable, nullptr, &limit);
        *ms_left -= 10;  // counted by the slice: a signal cutting one short only shortens the wait
    }
}

// Ending signals: leave nothing half-written, put the terminal back, then die
// of the same signal so the parent sees the usual status. SA_RESETHAND has put
// the default action back; the signal raised here waits, blocked, until the
// handler returns.
//
// A terminal that stopped reading (a frozen link or window) must not hold the
// program: the handler's writes wait for it WRITE_WAIT_MS in all, and what it
// has not taken by then is left out; a picture's closing always fits, since
// the rest of the picture still queued is dropped first. A terminal that is only busy (drawing
// the picture we were sending) takes them well within that.
void on_ending_signal(int sig) {
    remove_temp_file();
    int write_ms_left = WRITE_WAIT_MS;
    if (state.tty_fd >= 0) {
        const int flags = fcntl(state.tty_fd, F_GETFL);
        if (flags >= 0) fcntl(state.tty_fd, F_SETFL, flags | O_NONBLOCK);
    }
    if (const char* end = state.picture_closing) {  // a picture cut off: the terminal would swallow all that follows
        // What the terminal has not taken of it yet is a picture it will never
        // show whole: dropped, so that what closes it goes out at once, even
        // to a terminal that has stopped reading.
        tcflush(state.tty_fd, TCOFLUSH);
        write_awhile(end, strlen(end), &write_ms_left);
    }
    const int was_raw = state.raw_active;
    if (was_raw) await_answers();  // still raw: an answer read now is neither echoed nor left for the shell
    restore_terminal();
    // Shells report a death by any signal but these two ("Hangup",
    // "Terminated", "User defined signal 1") wherever the cursor is: after
    // Ctrl+C they start a fresh line themselves.
    if (was_raw && state.line_started && sig != SIGINT && sig != SIGPIPE) write_awhile("\n", 1, &write_ms_left);
    (void)raise(sig);
}

void install(int sig, void (*handler)(int), int flags) {
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_mask = state.handled;
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}

void on_stop(int) {
    const int saved_errno = errno;
    restore_terminal();
    (void)signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    (void)raise(SIGTSTP);  // stops here; SIGCONT brings us back
    install(SIGTSTP, on_stop, SA_RESTART);
    errno = saved_errno;
}

void on_continue(int) {
    const int saved_errno = errno;
    enter_raw_mode();
    errno = saved_errno;
}

}  // namespace

void install_signal_handlers() {
    sigemptyset(&state.handled);
    sigemptyset(&ignored);
#ifdef SIGRTMAX
    const int last = SIGRTMAX;
#else
    const int last = NSIG - 1;
#endif
    for (int sig = 1; sig <= last; ++sig) {
        struct sigaction current = {};
        if (sigaction(sig, nullptr, &current) != 0) continue;  // reserved by the C library
        if (current.sa_handler == SIG_IGN) {
            sigaddset(&ignored, sig);
            continue;
        }
        if (ends_program(sig) || sig == SIGTSTP || sig == SIGCONT) sigaddset(&state.handled, sig);
    }
    for (int sig = 1; sig <= last; ++sig) {
        if (!sigismember(&state.handled, sig)) continue;
        if (sig == SIGTSTP)
            install(sig, on_stop, SA_RESTART);
        else if (sig == SIGCONT)
            install(sig, on_continue, SA_RESTART);
        else
            install(sig, on_ending_signal, SA_RESETHAND);
    }
}

bool ignored_at_start(int sig) { return sigismember(&ignored, sig) == 1; }

void block_signals(sigset_t* old) { sigprocmask(SIG_BLOCK, &state.handled, old); }

void unblock_signals(const sigset_t* old) { sigprocmask(SIG_SETMASK, old, nullptr); }
