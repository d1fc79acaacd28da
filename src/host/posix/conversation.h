// The conversation with the terminal: the questions it is asked, in rounds,
// its answers, and how long an answer is awaited. The one reader of the
// terminal (terminal.cpp) hands it every reply; the picture (picture.cpp)
// asks it what the terminal said. Its state is in handler_state, since the
// ending handler reads the answers still on their way.
#pragma once

#include <cstdint>

#include "terminal_picture.h"

// An answer's Escape taken as the key, its rest coming later than a reply's
// pace: the rest is still known by how it begins this long after.
constexpr int LATE_REST_MS = 1000;

// Asks the first round of questions: once, when the terminal first becomes
// ours (raw), and only where a picture will be shown in the terminal.
void begin_conversation();

// A reply of the terminal's, whole as the reader found it (see decode_key):
// an answer to the questions sent, which may call for another round.
void take_reply(const char* reply, int length);

// What the terminal's names and answers say so far.
const TerminalNames& terminal_names();
const Answers& terminal_answers();

// Whether an answer was due at `when` (an elapsed_ms time): asked, not in,
// and its time not up.
bool answer_due_at(std::int32_t when);

// Whether an answer may still come at `when`, late: asked, not in, and its
// time not over by as much again. What comes of it is known by its shape.
bool answer_awaited_at(std::int32_t when);

// The last read of the terminal, at the program's end (while it runs,
// terminal.cpp is the one reader): reads what comes from the terminal until the
// answer awaited is in or its time is up (and the rest of one whose Escape
// was just taken as the key, a moment longer), taking the answers and
// dropping the keys, so that none is typed into the shell after the program
// ends. At exit and in the ending signals' handler, before the terminal's
// settings are restored; it reads on from a copy of the reader's state.
// Async-signal-safe.
void await_answers();
