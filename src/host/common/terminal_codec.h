// Pure translations between terminal bytes and the program's key and character
// codes, kept apart from the terminal itself so that they can be tested alone
// and shared by every host.
#pragma once

#include <cstddef>

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

// ---- key sequences, as tables that the decoder and its tests both read

// A key named by the final letter of ESC [ ... x or ESC O ... x. Modifiers
// ("ESC [ 1 ; 5 A", "ESC O 5 A") do not change the key.
struct LetterKey {
    char final;
    int prefix, code;
};
extern const LetterKey LETTER_KEYS[];
extern const std::size_t LETTER_KEY_COUNT;

// A key named by the number of ESC [ n ~ (also "ESC [ n ; m ~", and rxvt's
// '$', '^' and '@' in place of '~' for Shift, Ctrl and both).
struct NumberKey {
    int number;
    int prefix, code;
};
extern const NumberKey NUMBER_KEYS[];
extern const std::size_t NUMBER_KEY_COUNT;

// The keypad in application mode, ESC O x: keys with a character.
struct KeypadKey {
    char final;
    int code;
};
extern const KeypadKey KEYPAD_KEYS[];
extern const std::size_t KEYPAD_KEY_COUNT;

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
// however many reads, up to its final byte; called with no bytes and
// `more_may_follow` false, the decoder gives up on one left open.
KeyDecode decode_key(KeyDecoder* decoder, const unsigned char* bytes, int length, bool more_may_follow);

// ---- characters out

// What the locale's character set can show.
enum class Charset { UTF8, LATIN1, ASCII };

// The character set of the locale named by the environment (LC_ALL, else
// LC_CTYPE, else LANG; null or empty means unset): UTF-8, ISO 8859-1, or
// anything else, which is taken to show ASCII only.
Charset charset_of_locale(const char* lc_all, const char* lc_ctype, const char* lang);

// The character that shows `code` (ISO 8859-1, 0 .. 255): the code itself, or
// for a control other than the line feed a visible stand-in: the control
// pictures U+2400 .. U+241F and U+2421 for C0 and delete, a medium shade
// U+2592 for C1, which have no pictures.
unsigned visible_code_point(int code);

// The bytes that show character `code` (ISO 8859-1, 0 .. 255) on a terminal,
// one cell each. Codes the terminal would act on instead of showing (controls
// other than the line feed) and codes the character set cannot show come out
// as visible stand-ins. Returns the byte count (0 .. 3); nothing for a code
// outside 0 .. 255.
int encode_char(int code, Charset charset, unsigned char out[3]);

// The first character of text from outside the program (a directory name) as
// it may safely be shown: printable characters unchanged, anything the
// terminal would act on or the character set cannot show as a visible
// stand-in. `*used` gets the bytes of `text` taken (at least 1 for length at
// least 1). Returns the byte count put in `out`.
int visible_text_char(const unsigned char* text, int length, Charset charset, unsigned char out[4], int* used);
