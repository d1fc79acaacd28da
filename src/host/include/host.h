// Everything the program needs from the operating system. No other part of the
// program includes an operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__MINGW32__)
#define HOST_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define HOST_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define HOST_PRINTF_LIKE(f, a)
#endif

// Call once at program start: takes the terminal's keyboard into a raw mode
// without echo, and puts the terminal back as it was on every way out (exit,
// Ctrl+C and every other signal that ends the program, a crash, Ctrl+Z until
// the program is continued). Without a terminal nothing changes.
void host_start();

// ---- clock

std::int64_t wall_time_seconds();  // seconds since 1970-01-01 00:00:00 UTC
std::int32_t elapsed_ms();         // milliseconds since program start; wraps after about 24.8 days
void sleep_ms(std::int32_t ms);    // the full time, even across signals

// Milliseconds from `earlier` to `later`, two elapsed_ms() values less than
// about 24.8 days apart, also when the clock wrapped between them.
inline std::int32_t ms_between(std::int32_t earlier, std::int32_t later) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier));
}

// ---- keyboard: the terminal itself, not standard input

// True when a key code is waiting. Never waits.
bool key_available();

// True while a key pressed is not decided yet: a lone Escape waits a moment
// for what may follow it. key_available tells once it is. Never waits.
bool key_undecided();

// The next key code, waiting for one. A character key gives its code (Escape
// 27, letters their character codes); a key without a character gives two codes
// on successive calls: 224 (cursor and editing keys, F11, F12) or 0 (F1 .. F10),
// then the key's own code (72 Up, 80 Down, 75 Left, 77 Right, 71 Home, 79 End,
// 73 Page Up, 81 Page Down, 82 Insert, 83 Delete, 59 .. 68 F1 .. F10, 133 F11,
// 134 F12). -1 at once when there is no terminal. A terminal lost while the
// program runs ends the program, as a hang-up does.
int read_key();

// ---- console output

// Formatted text to standard output, flushed at once so that it shows even
// without a line end and is never lost when the program is ended from outside.
void print_text(const char* format, ...) HOST_PRINTF_LIKE(1, 2);

// Text from outside the program (a directory name) to standard output, with
// everything a terminal would act on instead of showing made visible.
void print_untrusted(const char* text);

// Character `code` (ISO 8859-1, 0 .. 255) straight to the terminal, even when
// standard output is redirected, after what standard output has shown. Codes
// the terminal would act on instead of showing, and codes the locale's
// character set cannot show, are shown as visible stand-ins of one cell; a
// line feed starts a new line. Nothing without a terminal.
void put_char(int code);

// "pixelgrow: " and the formatted text as a line on the error stream, after
// what the terminal and standard output have shown.
void print_error(const char* format, ...) HOST_PRINTF_LIKE(1, 2);

// A warning the user should see, with OK to dismiss it; returns when it is
// dismissed. Without a windowing system: "caption: text" on the error stream.
void show_warning(const char* text, const char* caption);

// ---- system

// The working directory, or the empty text when it does not fit in `size`
// bytes (with its terminating zero) or cannot be read.
void current_directory(char* buffer, int size);

// "start NAME" opens the file NAME in the user's default viewer and returns at
// once, without waiting for the viewer. The name goes to the opener as one
// argument, whatever characters it holds: no command interpreter is involved.
// Silent when there is no opener, and without a graphical session, where a
// text-mode fallback of the opener would take over the terminal (see
// show_in_terminal); nothing for any other text.
void run_command(const char* text);

// Without a graphical session the terminal is the viewer: draws the picture
// whose saved file is `file` (`size` bytes, as they went to the disk: never
// read back from a file someone may have swapped since) right below the
// cursor, which ends at the start of the line below it. As large as fits
// with the rows kept for `above`, the line just printed above the cursor,
// and for `below`, what is printed after the picture up to the line the
// cursor then waits on, each line as the terminal wraps it. Nothing with a
// graphical session (run_command opens the viewer then), without a terminal
// or one that shows no pictures; the Windows host has no such viewer.
void show_in_terminal(const unsigned char* file, std::size_t size, const char* above, const char* below);

// ---- files

enum class SaveResult { SAVED, OPEN_FAILED, WRITE_FAILED };

// Puts `size` bytes under `name` in the working directory, all or nothing: they
// are written to a new temporary file beside it, flushed to the disk, and only
// then given the name, never replacing a file (nor a link) that has it: where
// the name is taken, the first free one of "NAME-2.EXT", "NAME-3.EXT" ... is
// given instead, and written back into `name` (`name_size` bytes). On SAVED
// the file is on the disk under `name`. On a failure, and when the program is
// ended by a signal meanwhile, neither the temporary file nor a partial file
// under the name is left, and every file that was there is untouched; should
// only the flush of the directory fail, the new name is removed too, since it
// might not survive a crash. OPEN_FAILED: the temporary file could not be
// created. On a failure `name` says the name the failure is about: the one
// that could not be given, or else the first free one the data would have
// taken, never an older file's; and `reason`, when given, gets the system's
// words for it ("Read-only file system").
SaveResult save_file(char* name, std::size_t name_size, const unsigned char* data, std::size_t size,
                     const char** reason = nullptr);
