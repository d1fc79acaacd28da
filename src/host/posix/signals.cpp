#include "posix/signals.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace signal_shared {

int tty_fd = -1;
termios saved_settings;
volatile sig_atomic_t saved_valid = 0;
volatile sig_atomic_t raw_active = 0;
volatile sig_atomic_t line_started = 0;
const char* volatile picture_end = nullptr;
char temp_name[TEMP_NAME_SIZE];
volatile sig_atomic_t temp_name_set = 0;

}  // namespace signal_shared

using namespace signal_shared;

namespace {

sigset_t handled;  // the signals our handlers catch; each handler blocks them all
sigset_t ignored;  // the signals that were ignored when the program started

// Signals whose default action does not end the program (or that the host
// treats apart: SIGXFSZ is ignored so that a write past the size limit fails
// and is reported).
bool ends_program(int sig) {
    switch (sig) {
        case SIGKILL: case SIGSTOP: case SIGTSTP: case SIGTTIN: case SIGTTOU: case SIGCONT:
        case SIGCHLD: case SIGURG: case SIGWINCH: case SIGXFSZ:
#ifdef SIGINFO
        case SIGINFO:
#endif
            return false;
        default:
            return true;
    }
}

void remove_temp_file() {
    if (!temp_name_set) return;
    unlink(temp_name);
    temp_name_set = 0;
}

// Ending signals: leave nothing half-written, put the terminal back, then die
// of the same signal so the parent sees the usual status. SA_RESETHAND has put
// the default action back; the signal raised here waits, blocked, until the
// handler returns.
void on_ending_signal(int sig) {
    remove_temp_file();
    if (const char* end = picture_end) {  // a picture cut off: the terminal would swallow all that follows
        const ssize_t ignored_result = write(tty_fd, end, strlen(end));
        (void)ignored_result;
    }
    const int was_raw = raw_active;
    restore_terminal();
    // Shells report a death by any signal but these two ("Hangup",
    // "Terminated", "User defined signal 1") wherever the cursor is: after
    // Ctrl+C they start a fresh line themselves.
    if (was_raw && line_started && sig != SIGINT && sig != SIGPIPE) {
        const ssize_t ignored_result = write(tty_fd, "\n", 1);
        (void)ignored_result;
    }
    raise(sig);
}

void install(int sig, void (*handler)(int), int flags) {
    struct sigaction action{};
    action.sa_handler = handler;
    action.sa_mask = handled;
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}

void on_stop(int) {
    const int saved_errno = errno;
    restore_terminal();
    signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);  // stops here; SIGCONT brings us back
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
    sigemptyset(&handled);
    sigemptyset(&ignored);
#ifdef SIGRTMAX
    const int last = SIGRTMAX;
#else
    const int last = NSIG - 1;
#endif
    for (int sig = 1; sig <= last; ++sig) {
        struct sigaction current{};
        if (sigaction(sig, nullptr, &current) != 0) continue;  // reserved by the C library
        if (current.sa_handler == SIG_IGN) {
            sigaddset(&ignored, sig);
            continue;
        }
        if (ends_program(sig) || sig == SIGTSTP || sig == SIGCONT) sigaddset(&handled, sig);
    }
    for (int sig = 1; sig <= last; ++sig) {
        if (!sigismember(&handled, sig)) continue;
        if (sig == SIGTSTP)
            install(sig, on_stop, SA_RESTART);
        else if (sig == SIGCONT)
            install(sig, on_continue, SA_RESTART);
        else
            install(sig, on_ending_signal, SA_RESETHAND);
    }
}

bool ignored_at_start(int sig) { return sigismember(&ignored, sig) == 1; }

void block_signals(sigset_t* old) { sigprocmask(SIG_BLOCK, &handled, old); }

void unblock_signals(const sigset_t* old) { sigprocmask(SIG_SETMASK, old, nullptr); }
