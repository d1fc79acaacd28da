// Everything the program needs from the operating system. No other part of the
// program includes an OS header.
#pragma once

// Formatted text to standard output, flushed at once so that it shows even
// without a line end and is never lost when the program is ended from outside.
void print_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A warning the user should see: "caption: text" on one line of the error stream.
void show_warning(const char* text, const char* caption);
