// What the environment's names and the terminal's own name say of it:
// shared by the files that decide the questions and the way, private to
// this library.
#pragma once

#include "terminal_picture.h"

// No picture where the terminal has no colours at all.
bool colourless(const TerminalNames& n);
bool in_tmux(const TerminalNames& n);
bool in_screen(const TerminalNames& n);
// A multiplexer shows its own screen, not ours: pictures need a passthrough
// that is off by default, and its answers describe itself.
bool multiplexed(const TerminalNames& n);
// A TERM that promises 24-bit colour.
bool full_color_term(const char* term);
// The palette a TERM promises where nothing says more.
PictureWay palette_of_term(const char* term, bool screen);
// COLORTERM says 24-bit colour.
bool colorterm_full(const TerminalNames& n);
bool named_kitty(const TerminalNames& n);
bool named_iterm2(const TerminalNames& n);

// What a terminal that names itself (ESC P > | name ESC \) shows best.
enum class Speaks { NOTHING_SURE, KITTY, ITERM2 };
// Whether `name` is one of the terminals known by their name
// (NAMED_TERMINALS), each of which draws 24-bit colour; and what it speaks.
bool full_color_name(const char* name);
Speaks speaks(const char* name);
