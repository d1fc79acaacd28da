// The POSIX terminal, as the rest of the host uses it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/output.h"

// Opens the controlling terminal, installs the signal handlers and enters raw
// mode; from host_start.
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

// ---- pictures in the terminal itself, from picture.cpp

// Whether a desktop is there to show a picture in a viewer of its own.
bool graphical_session();

// Asks the terminal what it can show; once, when raw input first begins, and
// only where the picture will be shown in the terminal.
void ask_terminal();

// A reply of the terminal's, whole as the key reader found it (see
// decode_key): an answer to the questions sent, which may call for more.
void note_terminal_reply(const char* reply, int length);

// How much longer an answer to the questions sent is awaited: 0 once the
// last round's answer is in, or once its time is up (a silent terminal).
int answer_time_left_ms();

// Whether an answer was awaited at `when` (an elapsed_ms time).
bool answer_due_at(std::int32_t when);

// Whether an answer may still come at `when`, late: asked, not in, and its
// time not over by as much again. What comes of it is known by its shape.
bool answer_awaited_at(std::int32_t when);

// Reads what comes from the terminal until the answer awaited is in or its
// time is up (and the rest of one whose Escape was just taken as the key, a
// moment longer), taking the answers and dropping the keys, so that none is
// typed into the shell after the program ends; at exit and in the ending
// signals' handler, before the terminal's settings are restored; from
// terminal.cpp, the one reader of the terminal. Async-signal-safe.
void await_answers();
