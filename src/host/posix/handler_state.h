// Everything a signal handler of the POSIX host reads, in one place. A
// handler may run between any two instructions of the rest of the program,
// so each field says who writes it, when a handler reads it, and why what
// the handler finds there is whole. Nothing else that ordinary code writes
// is read by a handler; besides these it reads only what is fixed before any
// handler is installed: the clock's start (clock.cpp) and the table of
// system calls behind sys.h (which only tests replace, before the program
// starts its work).
//
// The handlers (signals.cpp): an ending signal removes a half-written file,
// closes a picture cut off, reads the answers still on their way and puts the
// terminal back; Ctrl+Z puts the terminal back before stopping; continuing
// makes it raw again.
#pragma once

#include <signal.h>
#include <termios.h>

#include "common/key_decoder.h"
#include "terminal_picture.h"

constexpr int TEMP_NAME_SIZE = 300;
constexpr int READER_BYTES = 64;  // what the reader holds undecoded at most

struct HandlerState {
    // The signals the handlers catch, which each handler blocks while it
    // runs. Written once by install_signal_handlers, before any handler is.
    sigset_t handled{};

    // The controlling terminal, or -1. Written by terminal_start before the
    // handlers are installed, and set to -1, with the signals blocked, when
    // the terminal is lost; every handler writes to it and reads from it.
    int tty_fd = -1;

    // The terminal's own settings, whether they are held, and whether raw
    // settings are (or are being) applied. Written by enter_raw_mode and
    // restore_terminal (tty.cpp), from ordinary code only with the signals
    // blocked, so a handler never sees them half changed; raw_active is set
    // before the raw settings go in, so that a handler in between puts the
    // user's back. Every handler reads them to restore the terminal.
    termios saved_settings{};
    volatile sig_atomic_t saved_valid = 0;
    volatile sig_atomic_t raw_active = 0;

    // Whether the cursor may stand in the middle of a line (a status line),
    // where the shell would print its report of a signal's death: written by
    // note_line_end and write_picture, a single sig_atomic_t each time; read
    // by the ending handler.
    volatile sig_atomic_t line_started = 0;

    // While a picture is written to the terminal: what ends a string it may
    // have left open and resets its colours, a string constant. Set before
    // the picture's first byte goes out and cleared after its last
    // (picture.cpp); the pointer is written whole, and points to a constant.
    const char* volatile picture_closing = nullptr;

    // A file being written, removed if the program is ended. Written by
    // file.cpp with the signals blocked, name and flag in one step.
    char temp_name[TEMP_NAME_SIZE] = {};
    volatile sig_atomic_t temp_name_set = 0;

    // The conversation with the terminal (conversation.cpp): the answers so
    // far, the rounds of questions asked, and until when (elapsed_ms) the
    // last round's answer is awaited. answers_due is written before
    // rounds_asked grows, so that a handler that sees a round asked also
    // sees its time. The ending handler goes on reading answers into
    // `answers` until the last round's is in or its time is up; a field it
    // finds half written by ordinary code is one more answer read again.
    Answers answers;
    volatile sig_atomic_t rounds_asked = 0;
    volatile sig_atomic_t answers_due = 0;

    // The one reader of the terminal (terminal.cpp): the bytes it holds
    // undecoded (room for an Escape put back in front), the decoder between
    // reads, and whether a lone Escape was just taken as the key while an
    // answer was awaited (the bytes next may be that answer's rest) and when.
    // Written by the reader only; the ending handler copies them and reads
    // on from the copy. A copy torn by the signal can garble only keys,
    // which that last read drops.
    unsigned char reader_bytes[READER_BYTES + 1] = {};
    int reader_length = 0;
    KeyDecoder reader_decoder;
    volatile sig_atomic_t rest_may_follow = 0;
    volatile sig_atomic_t escape_taken_at = 0;
};

extern HandlerState handler_state;
