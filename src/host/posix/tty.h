// The terminal device itself: its settings (raw key input while the program
// runs, the user's own back on every way out), whose process group has it,
// and its size. The signal handlers call these too, so they only do
// async-signal-safe work.
#pragma once

#include "terminal_picture.h"

// Whether our process group has the terminal.
bool in_foreground_signal_safe();

// Raw key input on the terminal when the program is in the foreground; call
// with the signals blocked (or from a handler).
void enter_raw_mode();

// The terminal's own settings back, when raw mode is on; call with the
// signals blocked (or from a handler).
void restore_terminal();

// The terminal's size in cells, and in pixels where it says them (0 where not).
TerminalSize terminal_size();
