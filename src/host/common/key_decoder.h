// The one reader of what the terminal sends: its bytes split into the
// program's key codes and the terminal's replies. Pure, so that it can be
// tested alone, shared by every host and run from a signal handler: it never
// allocates.
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

// The longest reply held for its reader; what goes beyond is dropped (a
// control sequence keeps its final byte).
constexpr int REPLY_MAX = 128;

// What the decoder remembers between reads: whether it is inside a sequence
// that began in an earlier read and is being swallowed up to its end, and
// the reply it is reading.
struct KeyDecoder {
    enum { GROUND, IN_CONTROL, IN_STRING } mode = GROUND;
    // A reply's bytes after its Escape: "[?63;4c", "P>|XTerm(379)" (a string
    // without its terminator), "_Gi=31;OK".
    char reply[REPLY_MAX] = {};
    int reply_length = 0;
};

struct KeyDecode {
    int used;   // bytes taken from the front; 0 when more bytes are needed to decide
    int count;  // codes produced: 0 (a sequence that is no key, swallowed), 1 or 2
    int codes[2];
    bool reply;  // the bytes taken ended a sequence that is no key, now whole in the decoder's `reply`
};

// Decodes the key at the front of `bytes`. A lone Escape and an unfinished
// sequence wait for more bytes while `more_may_follow`; once it is false they
// are settled: Escape alone is 27, an unfinished sequence is dropped. A
// control sequence (ESC [, ESC O) or a control string (ESC ] , ESC P, ESC _,
// ESC ^, ESC X: terminal replies) is swallowed whole, however long and across
// however many reads, up to its final byte or its terminator (ESC \, and BEL
// for ESC ]; CAN and SUB cancel it); so is a mouse report. A control sequence
// of ESC [ that is no key, and a control string, ended whole are handed over
// as a reply. Called with no bytes and `more_may_follow` false, the decoder
// gives up on one left open.
KeyDecode decode_key(KeyDecoder* decoder, const unsigned char* bytes, int length, bool more_may_follow);

// Whether the bytes the decoder waits on (those it took none of, after a call
// with `more_may_follow`) can only be part of a terminal's reply, not of a
// key: a control string begun, a control sequence with a private marker or
// too long for a key. A lone Escape, ESC [ and the like may still be a key.
bool only_a_reply_waits(const KeyDecoder* decoder, const unsigned char* bytes, int length);

// Whether `c`, read after a lone Escape, may go on with it: the start of a
// key's sequence or of a reply ('[', 'O', and what begins a control string).
// After any other byte the Escape was the Escape key (Alt means nothing here).
bool may_follow_escape(unsigned char c);

// Whether `bytes`, read after a lone Escape that was taken as the key, begin
// what the rest of a terminal's reply begins with when its Escape came ahead
// of it: a report's parameters ("[?", "[>", "[6;"), the terminal's name
// ("P>|"), a kitty reply ("_G"). MAYBE while too few bytes are in to tell.
enum class ReplyRest { NO, MAYBE, YES };
ReplyRest reply_rest(const unsigned char* bytes, int length);
