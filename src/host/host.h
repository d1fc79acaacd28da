// Everything the program needs from the operating system. No other part of the
// program includes an OS header.
#pragma once

#include <cstdint>

// Call once at program start: takes the terminal's keyboard into a raw mode
// without echo, and puts the terminal back as it was on every way out (exit,
// Ctrl+C and other ending signals, a crash, Ctrl+Z until the program is
// continued). Without a terminal nothing changes.
void host_start();

// ---- clock

std::int64_t wall_time_seconds();  // seconds since 1970-01-01 00:00:00 UTC
std::int32_t elapsed_ms();         // milliseconds since program start, never going back
void sleep_ms(std::int32_t ms);    // the full time, even across signals

// ---- keyboard: the terminal itself, not standard input

// True when a key code is waiting. Never waits.
bool key_available();

// The next key code, waiting for one. A character key gives its code (Escape
// 27, letters their character codes); a key without a character gives two codes
// on successive calls: 224 (cursor and editing keys, F11, F12) or 0 (F1 .. F10),
// then the key's own code (72 Up, 80 Down, 75 Left, 77 Right, 71 Home, 79 End,
// 73 Page Up, 81 Page Down, 82 Insert, 83 Delete, 59 .. 68 F1 .. F10, 133 F11,
// 134 F12). -1 at once when there is no terminal.
int read_key();

// ---- console output

// Formatted text to standard output, flushed at once so that it shows even
// without a line end and is never lost when the program is ended from outside.
void print_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Character `code` (ISO 8859-1, 0 .. 255) straight to the terminal, even when
// standard output is redirected, after what standard output has shown. Codes
// the terminal would act on instead of showing are shown visibly; a line feed
// starts a new line. Nothing without a terminal.
void put_char(int code);

// A warning the user should see: "caption: text" on one line of the error stream.
void show_warning(const char* text, const char* caption);

// ---- system

// The working directory, or the empty text when it does not fit in `size`
// bytes (with its terminating zero) or cannot be read.
void current_directory(char* buffer, int size);

// "start NAME" opens the file NAME in the user's default viewer and returns at
// once, without waiting for the viewer. The name goes to the opener as one
// argument, whatever characters it holds: no shell is involved. Nothing is
// started without a graphical session, or for any other text. Silent when
// there is no opener.
void run_command(const char* text);
