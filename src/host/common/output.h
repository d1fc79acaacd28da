// What the console text shared by every host needs from the host's own
// terminal code.
#pragma once

#include "common/text_encoding.h"

// Writes out what put_char holds. Done before standard output is written, before
// any wait and at exit, so that everything shows in the order it was written.
void flush_terminal_output();

// What was just written left the cursor at the start of a line or not; text
// on standard output counts only where standard output is the terminal. A
// program ended by a signal starts a fresh line for the shell's report when
// the cursor may be in the middle of one.
void note_line_end(bool at_line_start, bool on_standard_output);

// What the terminal's character set can show.
Charset terminal_charset();
