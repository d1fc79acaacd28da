// The state that the signal handlers share with the rest of the POSIX host,
// and the handlers themselves. Everything declared here may run inside a
// handler, so it only does async-signal-safe work.
//
// Every signal whose default action would end the program is caught, unless it
// was ignored when the program started (nohup, a shell's background job): the
// handler removes a picture file left half-written, puts the terminal back and
// lets the signal end the program as it would have. Ctrl+Z puts the terminal
// back before stopping; continuing makes it raw again.
#pragma once

#include <signal.h>
#include <termios.h>

#include "terminal_picture.h"

namespace signal_shared {

extern int tty_fd;                         // the controlling terminal, or -1
extern termios saved_settings;             // the terminal's own settings
extern volatile sig_atomic_t saved_valid;  // saved_settings holds what tcgetattr gave
extern volatile sig_atomic_t raw_active;   // raw settings were (or are being) applied

// Whether the cursor may stand in the middle of a line (a status line): the
// shell prints its report of a signal's death wherever the cursor is.
extern volatile sig_atomic_t line_started;

// While a picture is written to the terminal: what ends a string it may have
// left open, and resets its colours.
extern const char* volatile picture_closing;

// The terminal's answers to the questions sent, picked out of the key input,
// and the rounds of questions, each closed by its device attributes answer;
// a handler reads an answer still on its way up to `answers_due` (elapsed_ms).
extern Answers answers;
extern volatile sig_atomic_t rounds_asked;
extern volatile sig_atomic_t answers_due;

constexpr int TEMP_NAME_SIZE = 300;
extern char temp_name[TEMP_NAME_SIZE];  // a file being written, removed if the program is ended
extern volatile sig_atomic_t temp_name_set;

}  // namespace signal_shared

// Installs the handlers. Call once, after tty_fd is known.
void install_signal_handlers();

// Whether `sig` was ignored when the program started.
bool ignored_at_start(int sig);

// ---- the terminal's settings, from raw_mode.cpp: changed by handlers too

// Whether our process group has the terminal; safe in a handler.
bool in_foreground_signal_safe();

// Raw key input on the terminal when the program is in the foreground; call
// with the signals blocked.
void enter_raw_mode();

// The terminal's own settings back, when raw mode is on.
void restore_terminal();

// Blocks every signal the host handles, so that a change the handlers read is
// never seen half made; `old` receives the mask to give back to unblock_signals.
void block_signals(sigset_t* old);
void unblock_signals(const sigset_t* old);
