// Characters for the terminal: what the locale's character set can show, and
// the visible stand-ins for what a terminal would act on instead of showing.
// Pure, so that it can be tested alone and shared by every host.
#pragma once

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
// stand-in, and so are the invisible marks that reorder text (U+202A ..
// U+202E, U+2066 .. U+2069, U+200E, U+200F, U+061C). `*used` gets the bytes
// of `text` taken (at least 1 for length at least 1). Returns the byte count
// put in `out`.
int visible_text_char(const unsigned char* text, int length, Charset charset, unsigned char out[4], int* used);

// The code point of the well-formed UTF-8 character at the front of `bytes`,
// with its length in `*n`; -1 when there is none.
long utf8_decode(const unsigned char* bytes, int length, int* n);
