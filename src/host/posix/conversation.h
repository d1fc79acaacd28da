// The conversation with the terminal: the questions it is asked, in rounds,
// its answers, and how long an answer is awaited. The one reader of the
// terminal (terminal.cpp) hands it every reply; the picture (picture.cpp)
// asks it what the terminal said. Its state is in handler_state, since the
// ending handler reads the answers still on their way.
#pragma once

#include <cstdint>

#include "terminal_picture.h"

// Over a slow link a reply's pieces may pause beyond a terminal's own pace,
// this long in all; so much of the user's typing a reply left open swallows
// at most, and so long the rest of an answer whose Escape quit is awaited.
constexpr int SLOW_LINK_GAP_MS = 500;

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
// was just taken as the key, a slow link's gap after it), taking the answers and
// dropping the keys, so that none is typed into the shell after the program
// ends. At exit and in the ending signals' handler, before the terminal's
// settings are restored; it reads on from a copy of the reader's state.
// Async-signal-safe.
void await_answers();
