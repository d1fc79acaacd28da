// Pure translations between terminal bytes and the program's key and character
// codes, kept apart from the terminal itself so that they can be tested alone.
#pragma once

// Keys without a character come as two codes, a prefix and the key's own code.
constexpr int KEY_PREFIX_EXTENDED = 224;  // cursor and editing keys, F11, F12
constexpr int KEY_PREFIX_FUNCTION = 0;    // F1 .. F10
constexpr int KEY_ESCAPE = 27;

// The longest key sequence worth waiting for; anything longer is garbage.
constexpr int KEY_SEQUENCE_MAX = 16;

struct KeyDecode {
    int used;      // bytes taken from the front; 0 when more bytes are needed to decide
    int count;     // codes produced: 0 (an unknown sequence, swallowed), 1 or 2
    int codes[2];
};

// Decodes the key at the front of `bytes` (length at least 1). A lone Escape and
// an unfinished sequence wait for more bytes while `more_may_follow`; once it is
// false they are settled: Escape alone is 27, an unfinished sequence is dropped.
KeyDecode decode_key(const unsigned char* bytes, int length, bool more_may_follow);

// Whether the locale named by the environment (LC_ALL, else LC_CTYPE, else LANG;
// null or empty means unset) uses UTF-8.
bool locale_is_utf8(const char* lc_all, const char* lc_ctype, const char* lang);

// The bytes that show character `code` (ISO 8859-1, 0 .. 255) on a terminal.
// Codes the terminal would act on instead of showing (controls other than the
// line feed) come out as visible stand-ins. Returns the byte count (0 .. 3);
// nothing for a code outside 0 .. 255.
int encode_char(int code, bool utf8, unsigned char out[3]);
