#include "common/terminal_codec.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

constexpr int E = KEY_PREFIX_EXTENDED;
constexpr int F = KEY_PREFIX_FUNCTION;

const LetterKey LETTER_KEYS[] = {
    {'A', E, KEY_UP},   {'B', E, KEY_DOWN},  {'C', E, KEY_RIGHT},    {'D', E, KEY_LEFT},
    {'a', E, KEY_UP},   {'b', E, KEY_DOWN},  {'c', E, KEY_RIGHT},    {'d', E, KEY_LEFT},  // rxvt with Shift or Ctrl
    {'H', E, KEY_HOME}, {'F', E, KEY_END},   {'P', F, KEY_F1},       {'Q', F, KEY_F1 + 1},
    {'R', F, KEY_F1 + 2}, {'S', F, KEY_F1 + 3}, {'Z', F, KEY_BACK_TAB},
};
const std::size_t LETTER_KEY_COUNT = sizeof LETTER_KEYS / sizeof LETTER_KEYS[0];

const NumberKey NUMBER_KEYS[] = {
    {1, E, KEY_HOME},     {7, E, KEY_HOME},      {2, E, KEY_INSERT},    {3, E, KEY_DELETE},
    {4, E, KEY_END},      {8, E, KEY_END},       {5, E, KEY_PAGE_UP},   {6, E, KEY_PAGE_DOWN},
    {11, F, KEY_F1},      {12, F, KEY_F1 + 1},   {13, F, KEY_F1 + 2},   {14, F, KEY_F1 + 3},  // rxvt's F1 .. F4
    {15, F, KEY_F1 + 4},  {17, F, KEY_F1 + 5},   {18, F, KEY_F1 + 6},   {19, F, KEY_F1 + 7},
    {20, F, KEY_F1 + 8},  {21, F, KEY_F1 + 9},   {23, E, KEY_F11},      {24, E, KEY_F12},
};
const std::size_t NUMBER_KEY_COUNT = sizeof NUMBER_KEYS / sizeof NUMBER_KEYS[0];

const KeypadKey KEYPAD_KEYS[] = {
    {'M', '\r'}, {'j', '*'}, {'k', '+'}, {'l', ','}, {'m', '-'}, {'n', '.'}, {'o', '/'}, {'p', '0'},
    {'q', '1'},  {'r', '2'}, {'s', '3'}, {'t', '4'}, {'u', '5'}, {'v', '6'}, {'w', '7'}, {'x', '8'}, {'y', '9'},
};
const std::size_t KEYPAD_KEY_COUNT = sizeof KEYPAD_KEYS / sizeof KEYPAD_KEYS[0];

namespace {

constexpr unsigned char BELL = 0x07;

KeyDecode need_more() { return {0, 0, {0, 0}}; }
KeyDecode swallow(int used) { return {used, 0, {0, 0}}; }
KeyDecode one(int used, int code) { return {used, 1, {code, 0}}; }
KeyDecode two(int used, int prefix, int code) { return {used, 2, {prefix, code}}; }

bool is_final(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

KeyDecode letter_key(int used, unsigned char final) {
    for (const LetterKey& k : LETTER_KEYS)
        if (static_cast<unsigned char>(k.final) == final) return two(used, k.prefix, k.code);
    return swallow(used);
}

KeyDecode number_key(int used, int number) {
    for (const NumberKey& k : NUMBER_KEYS)
        if (k.number == number) return two(used, k.prefix, k.code);
    return swallow(used);
}

// The rest of a control sequence begun in an earlier read: parameter and
// intermediate bytes up to the final one. Returns the bytes it takes.
int skip_control(KeyDecoder* d, const unsigned char* b, int length) {
    for (int i = 0; i < length; ++i) {
        if (b[i] >= 0x20 && b[i] <= 0x3F) continue;
        d->mode = KeyDecoder::GROUND;
        return is_final(b[i]) ? i + 1 : i;  // anything else breaks it off and starts the next key
    }
    return length;
}

// The rest of a control string: anything up to BEL or ESC \. An Escape that
// may begin ESC \ but ends the bytes so far is left for the next call.
int skip_string(KeyDecoder* d, const unsigned char* b, int length) {
    for (int i = 0; i < length; ++i) {
        if (b[i] == BELL || b[i] == 0x18 || b[i] == 0x1A) {  // CAN and SUB cancel it
            d->mode = KeyDecoder::GROUND;
            return i + 1;
        }
        if (b[i] != KEY_ESCAPE) continue;
        if (i + 1 == length) return i;
        d->mode = KeyDecoder::GROUND;
        return b[i + 1] == '\\' ? i + 2 : i;
    }
    return length;
}

// ESC [ ... : parameters (0x30..0x3F), intermediates (0x20..0x2F), then a final
// byte (0x40..0x7E). rxvt ends some keys in '$' instead, which in a report
// (with a private marker) is an intermediate byte.
KeyDecode control_sequence(KeyDecoder* d, const unsigned char* b, int length, bool more_may_follow) {
    if (length < 3) return more_may_follow ? need_more() : swallow(length);
    if (b[2] == '[') {  // the linux console's F1 .. F5: ESC [ [ A .. E
        if (length < 4) return more_may_follow ? need_more() : swallow(length);
        if (b[3] >= 'A' && b[3] <= 'E') return two(4, F, KEY_F1 + b[3] - 'A');
        return swallow(4);
    }
    bool private_marker = false;  // '<' '=' '>' '?': reports, never keys
    int first_number = 0;
    bool in_first = true;
    for (int i = 2; i < length; ++i) {
        const unsigned char c = b[i];
        if (is_final(c) || (c == '$' && !private_marker)) {
            const int used = i + 1;
            if (private_marker) return swallow(used);
            if (c == '~' || c == '$' || c == '^' || c == '@') return number_key(used, first_number);
            return letter_key(used, c);  // modifiers come as "1;m", or a bare "m" on some terminals
        }
        if (c >= '0' && c <= '9') {
            if (in_first && first_number < 1000) first_number = first_number * 10 + (c - '0');
        } else if (c == ';' || c == ':') {
            in_first = false;
        } else if (c >= '<' && c <= '?') {
            private_marker = true;
        } else if (c < 0x20 || c > 0x2F) {
            return swallow(i);  // a control byte breaks the sequence; it starts the next key
        }
        if (i + 1 == KEY_SEQUENCE_MAX) {  // too long for a key: swallow it up to its end
            d->mode = KeyDecoder::IN_CONTROL;
            return swallow(i + 1);
        }
    }
    return more_may_follow ? need_more() : swallow(length);
}

// ESC O x: application cursor keys, F1 .. F4, the keypad in application mode,
// optionally with modifier digits before x.
KeyDecode ss3(KeyDecoder* d, const unsigned char* b, int length, bool more_may_follow) {
    for (int i = 2; i < length; ++i) {
        const unsigned char c = b[i];
        if (is_final(c)) {
            for (const KeypadKey& k : KEYPAD_KEYS)
                if (static_cast<unsigned char>(k.final) == c) return one(i + 1, k.code);
            return letter_key(i + 1, c);
        }
        if (!((c >= '0' && c <= '9') || c == ';')) return swallow(i);
        if (i + 1 == KEY_SEQUENCE_MAX) {
            d->mode = KeyDecoder::IN_CONTROL;
            return swallow(i + 1);
        }
    }
    return more_may_follow ? need_more() : swallow(length);
}

bool starts_string(unsigned char c) { return c == ']' || c == 'P' || c == '_' || c == '^' || c == 'X'; }

// The length of the UTF-8 character led by `lead`, or 0 when it leads none.
int utf8_length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The code point of the well-formed UTF-8 character at `b`, or -1.
long utf8_decode(const unsigned char* b, int length, int* n) {
    *n = utf8_length(b[0]);
    if (*n == 0 || *n > length) return -1;
    long point = b[0] & (0x7F >> *n);
    for (int i = 1; i < *n; ++i) {
        if ((b[i] & 0xC0) != 0x80) return -1;
        point = (point << 6) | (b[i] & 0x3F);
    }
    const long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[*n] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return -1;
    return point;
}

int utf8_encode(unsigned long point, unsigned char* out) {
    if (point < 0x80) {
        out[0] = static_cast<unsigned char>(point);
        return 1;
    }
    if (point < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (point >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (point & 0x3F));
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 | (point >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    return 3;
}

unsigned long control_picture(unsigned int code) {
    if (code < 32) return 0x2400 + code;
    return code == 127 ? 0x2421 : 0x2592;
}

// A code the terminal would act on rather than show: C0 but the line feed, delete, C1.
bool is_control(int code) { return (code < 32 && code != '\n') || (code >= 127 && code < 160); }

bool contains(const char* haystack, const char* needle) { return std::strstr(haystack, needle) != nullptr; }

Charset charset_of_name(const char* locale) {
    char lower[64] = {};
    for (int i = 0; i < 63 && locale[i] != '\0'; ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(locale[i])));
    if (contains(lower, "utf-8") || contains(lower, "utf8")) return Charset::UTF8;
    for (const char* latin1 : {"8859-1", "88591"}) {
        const char* at = std::strstr(lower, latin1);
        if (at != nullptr && !std::isdigit(static_cast<unsigned char>(at[std::strlen(latin1)]))) return Charset::LATIN1;
    }
    return Charset::ASCII;
}

}  // namespace

KeyDecode decode_key(KeyDecoder* d, const unsigned char* b, int length, bool more_may_follow) {
    if (d->mode != KeyDecoder::GROUND) {
        if (length <= 0) {
            if (!more_may_follow) d->mode = KeyDecoder::GROUND;  // nothing more came: give up on it
            return need_more();
        }
        const int used = d->mode == KeyDecoder::IN_CONTROL ? skip_control(d, b, length) : skip_string(d, b, length);
        if (used > 0) return swallow(used);
        if (d->mode != KeyDecoder::GROUND) {  // an Escape that may begin the string's end
            if (more_may_follow) return need_more();
            d->mode = KeyDecoder::GROUND;
        }
    }
    if (length <= 0) return need_more();
    const unsigned char c = b[0];
    if (c == 0x7F) return one(1, 8);  // Backspace, as the key's own code
    if (c != KEY_ESCAPE) {
        // A character of several bytes is one key when all of it is here; a
        // terminal sends a character's bytes together.
        int n = 0;
        const long point = utf8_decode(b, length, &n);
        return point >= 0 ? one(n, static_cast<int>(point)) : one(1, c);
    }
    if (length == 1) return more_may_follow ? need_more() : one(1, KEY_ESCAPE);
    if (b[1] == '[') return control_sequence(d, b, length, more_may_follow);
    if (b[1] == 'O') return ss3(d, b, length, more_may_follow);
    if (starts_string(b[1])) {
        // Alone, Alt with that key; followed by more, a terminal's reply.
        if (length == 2) return more_may_follow ? need_more() : one(2, b[1]);
        d->mode = KeyDecoder::IN_STRING;
        return swallow(2 + skip_string(d, b + 2, length - 2));
    }
    if (b[1] == KEY_ESCAPE || b[1] < 0x20) return one(1, KEY_ESCAPE);  // Escape, then another key
    // Alt with a character key: the key itself.
    KeyDecode key = decode_key(d, b + 1, length - 1, false);
    key.used += 1;
    return key;
}

Charset charset_of_locale(const char* lc_all, const char* lc_ctype, const char* lang) {
    for (const char* name : {lc_all, lc_ctype, lang})
        if (name != nullptr && name[0] != '\0') return charset_of_name(name);
    return Charset::ASCII;
}

unsigned visible_code_point(int code) {
    return is_control(code) ? static_cast<unsigned>(control_picture(static_cast<unsigned>(code)))
                            : static_cast<unsigned>(code);
}

int encode_char(int code, Charset charset, unsigned char out[3]) {
    if (code < 0 || code > 255) return 0;
    if (charset == Charset::UTF8) return utf8_encode(visible_code_point(code), out);
    if (is_control(code))
        out[0] = '.';
    else if (code >= 160 && charset == Charset::ASCII)
        out[0] = '#';  // the bright end of the scale, and still one cell
    else
        out[0] = static_cast<unsigned char>(code);
    return 1;
}

int visible_text_char(const unsigned char* text, int length, Charset charset, unsigned char out[4], int* used) {
    *used = 1;
    const unsigned char c = text[0];
    if (charset != Charset::UTF8) {
        const bool shown = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && charset == Charset::LATIN1);
        out[0] = shown ? c : '?';
        return 1;
    }
    if (c < 0x20 || c == 0x7F) return utf8_encode(control_picture(c), out);  // a line feed too
    if (c < 0x80) {
        out[0] = c;
        return 1;
    }
    int n = 0;
    const long point = utf8_decode(text, length, &n);
    if (point < 0) return utf8_encode(0xFFFD, out);  // a byte that is no character
    *used = n;
    if (point < 0xA0) return utf8_encode(control_picture(static_cast<unsigned>(point)), out);
    std::memcpy(out, text, static_cast<std::size_t>(n));
    return n;
}
