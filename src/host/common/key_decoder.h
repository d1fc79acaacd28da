// Terminal bytes to the program's key codes: pure, so that it can be tested
// alone and shared by every host.
#pragma once

// Keys without a character come as two codes, a prefix and the key's own code.
constexpr int KEY_PREFIX_EXTENDED = 224;  // cursor and editing keys, F11, F12
constexpr int KEY_PREFIX_FUNCTION = 0;    // F1 .. F10, Shift+Tab
constexpr int KEY_ESCAPE = 27;

// Key codes after their prefix.
constexpr int KEY_UP = 72, KEY_DOWN = 80, KEY_LEFT = 75, KEY_RIGHT = 77;
constexpr int KEY_HOME = 71, KEY_END = 79, KEY_PAGE_UP = 73, KEY_PAGE_DOWN = 81;
constexpr int KEY_INSERT = 82, KEY_DELETE = 83;
constexpr int KEY_F1 = 59;  // F1 .. F10 are 59 .. 68
constexpr int KEY_F11 = 133, KEY_F12 = 134;
constexpr int KEY_BACK_TAB = 15;

// The longest key sequence worth waiting for. A longer one is no key: it is
// swallowed up to its end.
constexpr int KEY_SEQUENCE_MAX = 16;

// What the decoder remembers between reads: whether it is inside a sequence
// that began in an earlier read and is being swallowed up to its end.
struct KeyDecoder {
    enum { GROUND, IN_CONTROL, IN_STRING } mode = GROUND;
};

struct KeyDecode {
    int used;   // bytes taken from the front; 0 when more bytes are needed to decide
    int count;  // codes produced: 0 (a sequence that is no key, swallowed), 1 or 2
    int codes[2];
};

// Decodes the key at the front of `bytes`. A lone Escape and an unfinished
// sequence wait for more bytes while `more_may_follow`; once it is false they
// are settled: Escape alone is 27, an unfinished sequence is dropped. A
// control sequence (ESC [, ESC O) or a control string (ESC ] , ESC P, ESC _,
// ESC ^, ESC X: terminal replies) is swallowed whole, however long and across
// however many reads, up to its final byte; so is a mouse report. Called with
// no bytes and `more_may_follow` false, the decoder gives up on one left open.
KeyDecode decode_key(KeyDecoder* decoder, const unsigned char* bytes, int length, bool more_may_follow);
