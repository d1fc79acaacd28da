// The POSIX terminal, as the rest of the host uses it.
#pragma once

#include "common/terminal_codec.h"

// Opens the controlling terminal, installs the signal handlers and enters raw
// mode; from host_start.
void terminal_start();

// Writes out what put_char holds. Done before standard output is written, before
// any wait and at exit, so that everything shows in the order it was written.
void flush_terminal_output();

// What the locale's character set can show.
Charset terminal_charset();

// How long a lone Escape waits for the rest of a key sequence; the key probe
// of the tests sets it, so that its timing does not race a loaded machine.
void set_escape_wait_ms(int ms);
