// The POSIX terminal, as the rest of the host uses it.
#pragma once

#include "common/output.h"

// Opens the controlling terminal, installs the signal handlers and takes the
// terminal (raw mode and the first questions) when in the foreground; from
// host_start.
void terminal_start();

// How long a lone Escape waits for the rest of a key sequence; the key probe
// of the tests sets it, so that its timing does not race a loaded machine.
void set_escape_wait_ms(int ms);

// Whether the terminal is ours to read and write; a terminal that hung up
// ends the program, as a hang-up does.
bool in_foreground_or_end();

// Ends the program when errno says the terminal went away.
void end_if_terminal_lost();

// Reads what the terminal has sent, without waiting, for the keys to come.
void poll_terminal_input();
