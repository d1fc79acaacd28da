// The terminal device: its settings, its foreground, its size.
#include "posix/tty.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "posix/handler_state.h"

namespace {

HandlerState& state = handler_state;

// TCSANOW: keys typed ahead stay for whoever reads next. SIGTTOU is blocked,
// since tcsetattr from a background process would stop it.
void set_settings(const termios* settings) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTTOU);
    sigprocmask(SIG_BLOCK, &block, &old);
    tcsetattr(state.tty_fd, TCSANOW, settings);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

bool in_foreground_signal_safe() { return state.tty_fd >= 0 && tcgetpgrp(state.tty_fd) == getpgrp(); }

// Only what key input needs: no line editing, no echo, no flow control, keys
// such as Enter as they are. Output processing stays, so a line feed on
// standard output still starts the next line at column 0; Ctrl+C, Ctrl+Z and
// Ctrl+\ still send their signals.
void enter_raw_mode() {
    if (!in_foreground_signal_safe()) return;
    if (!state.raw_active) {
        // Taken afresh each time: the user may have changed them while we were stopped.
        state.saved_valid = 0;
        if (tcgetattr(state.tty_fd, &state.saved_settings) != 0) return;
        state.saved_valid = 1;
    }
    termios raw = state.saved_settings;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    state.raw_active = 1;  // before the change, so that a handler after it puts it back
    set_settings(&raw);
}

void restore_terminal() {
    if (!state.raw_active || !state.saved_valid) return;
    set_settings(&state.saved_settings);
    state.raw_active = 0;
}

TerminalSize terminal_size() {
    TerminalSize size;
    winsize w{};
    if (ioctl(state.tty_fd, TIOCGWINSZ, &w) == 0) {
        size.columns = w.ws_col;
        size.rows = w.ws_row;
        size.width_px = w.ws_xpixel;
        size.height_px = w.ws_ypixel;
    }
    return size;
}
