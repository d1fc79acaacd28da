// The signal handlers of the POSIX host. What they read is in
// handler_state.h; everything they run is async-signal-safe.
//
// Every signal whose default action would end the program is caught, unless it
// was ignored when the program started (nohup, a shell's background job): the
// handler removes a picture file left half-written, closes a picture cut off,
// reads the answers still on their way, puts the terminal back and lets the
// signal end the program as it would have. Ctrl+Z puts the terminal back
// before stopping; continuing makes it raw again.
#pragma once

#include <signal.h>

// Installs the handlers. Call once, after the terminal is opened.
void install_signal_handlers();

// Whether `sig` was ignored when the program started.
bool ignored_at_start(int sig);

// Blocks every signal the host handles, so that a change the handlers read is
// never seen half made; `old` receives the mask to give back to unblock_signals.
void block_signals(sigset_t* old);
void unblock_signals(const sigset_t* old);
