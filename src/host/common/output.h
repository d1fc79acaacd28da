// What the console text shared by every host needs from the host's own
// terminal code.
#pragma once

#include "common/terminal_codec.h"

// Writes out what put_char holds. Done before standard output is written, before
// any wait and at exit, so that everything shows in the order it was written.
void flush_terminal_output();

// What the terminal's character set can show.
Charset terminal_charset();
