// The terminal's settings: raw key input while the program runs, and the
// user's own settings back on every way out. The signal handlers call these
// too, so they only do async-signal-safe work.
#include <unistd.h>

#include "posix/signals.h"

using namespace signal_shared;

namespace {

// TCSANOW: keys typed ahead stay for whoever reads next. SIGTTOU is blocked,
// since tcsetattr from a background process would stop it.
void set_settings(const termios* settings) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTTOU);
    sigprocmask(SIG_BLOCK, &block, &old);
    tcsetattr(tty_fd, TCSANOW, settings);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

bool in_foreground_signal_safe() { return tty_fd >= 0 && tcgetpgrp(tty_fd) == getpgrp(); }

// Only what key input needs: no line editing, no echo, no flow control, keys
// such as Enter as they are. Output processing stays, so a line feed on
// standard output still starts the next line at column 0; Ctrl+C, Ctrl+Z and
// Ctrl+\ still send their signals.
void enter_raw_mode() {
    if (!in_foreground_signal_safe()) return;
    if (!raw_active) {
        // Taken afresh each time: the user may have changed them while we were stopped.
        saved_valid = 0;
        if (tcgetattr(tty_fd, &saved_settings) != 0) return;
        saved_valid = 1;
    }
    termios raw = saved_settings;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw_active = 1;  // before the change, so that a handler after it puts it back
    set_settings(&raw);
}

void restore_terminal() {
    if (!raw_active || !saved_valid) return;
    set_settings(&saved_settings);
    raw_active = 0;
}
