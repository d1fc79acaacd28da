#include "common/terminal_codec.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace {

// Key codes of keys without a character, after their prefix.
constexpr int KEY_UP = 72, KEY_DOWN = 80, KEY_LEFT = 75, KEY_RIGHT = 77;
constexpr int KEY_HOME = 71, KEY_END = 79, KEY_PAGE_UP = 73, KEY_PAGE_DOWN = 81;
constexpr int KEY_INSERT = 82, KEY_DELETE = 83;
constexpr int KEY_F1 = 59;  // F1 .. F10 are 59 .. 68
constexpr int KEY_F11 = 133, KEY_F12 = 134;
constexpr int KEY_BACK_TAB = 15;  // Shift+Tab, after the function prefix

KeyDecode need_more() { return {0, 0, {0, 0}}; }
KeyDecode swallow(int used) { return {used, 0, {0, 0}}; }
KeyDecode one(int used, int code) { return {used, 1, {code, 0}}; }
KeyDecode two(int used, int prefix, int code) { return {used, 2, {prefix, code}}; }
KeyDecode extended(int used, int code) { return two(used, KEY_PREFIX_EXTENDED, code); }
KeyDecode function_key(int used, int n) {  // n = 1 .. 12
    if (n >= 11) return extended(used, n == 11 ? KEY_F11 : KEY_F12);
    return two(used, KEY_PREFIX_FUNCTION, KEY_F1 + n - 1);
}

// The keys named by a final letter, in both ESC [ and ESC O forms.
KeyDecode by_letter(int used, unsigned char final) {
    switch (final) {
        case 'A': case 'a': return extended(used, KEY_UP);
        case 'B': case 'b': return extended(used, KEY_DOWN);
        case 'C': case 'c': return extended(used, KEY_RIGHT);
        case 'D': case 'd': return extended(used, KEY_LEFT);
        case 'H': return extended(used, KEY_HOME);
        case 'F': return extended(used, KEY_END);
        case 'P': return function_key(used, 1);
        case 'Q': return function_key(used, 2);
        case 'R': return function_key(used, 3);
        case 'S': return function_key(used, 4);
        case 'Z': return two(used, KEY_PREFIX_FUNCTION, KEY_BACK_TAB);
        default: return swallow(used);
    }
}

// ESC [ n ~ (and rxvt's $ ^ @ for the same keys with Shift, Ctrl or both).
KeyDecode by_number(int used, int n) {
    switch (n) {
        case 1: case 7: return extended(used, KEY_HOME);
        case 2: return extended(used, KEY_INSERT);
        case 3: return extended(used, KEY_DELETE);
        case 4: case 8: return extended(used, KEY_END);
        case 5: return extended(used, KEY_PAGE_UP);
        case 6: return extended(used, KEY_PAGE_DOWN);
        case 11: case 12: case 13: case 14: case 15: return function_key(used, n - 10);
        case 17: case 18: case 19: case 20: case 21: return function_key(used, n - 11);
        case 23: case 24: return function_key(used, n - 12);
        default: return swallow(used);
    }
}

// ESC O x: application cursor keys, F1 .. F4, and the keypad in application mode.
KeyDecode ss3_key(int used, unsigned char final) {
    if (final == 'M') return one(used, '\r');
    if (final >= 'j' && final <= 'y') return one(used, "*+,-./0123456789"[final - 'j']);
    return by_letter(used, final);
}

// ESC [ ... : parameters (0x30..0x3F), intermediates (0x20..0x2F), then a final
// byte (0x40..0x7E). rxvt ends some keys in '$' instead.
KeyDecode csi_key(const unsigned char* b, int length, bool more_may_follow) {
    if (length < 3) return more_may_follow ? need_more() : swallow(length);
    if (b[2] == '[') {  // the linux console's F1 .. F5: ESC [ [ A .. E
        if (length < 4) return more_may_follow ? need_more() : swallow(length);
        if (b[3] >= 'A' && b[3] <= 'E') return function_key(4, b[3] - 'A' + 1);
        return swallow(4);
    }
    bool private_marker = false;  // '<' '=' '>' '?': reports, never keys
    int first_number = -1;
    bool in_first = true;
    for (int i = 2; i < length; ++i) {
        const unsigned char c = b[i];
        if (i >= KEY_SEQUENCE_MAX) return swallow(i);
        if (c >= '0' && c <= '9') {
            if (in_first) first_number = (first_number < 0 ? 0 : first_number) * 10 + (c - '0');
            if (first_number > 9999) first_number = 9999;
        } else if (c == ';' || c == ':') {
            in_first = false;
        } else if (c >= '<' && c <= '?') {
            private_marker = true;
        } else if (c == '$' || (c >= 0x40 && c <= 0x7E)) {
            const int used = i + 1;
            if (private_marker) return swallow(used);
            if (c == '~' || c == '$' || c == '^' || c == '@') return by_number(used, first_number);
            // Letters carry modifiers as "1;m" (or a bare "m" on some terminals).
            return by_letter(used, c);
        } else if (c >= 0x20 && c <= 0x2F) {
            // an intermediate byte: the final comes later
        } else {
            return swallow(i);  // a control byte breaks the sequence; it starts the next key
        }
    }
    return more_may_follow ? need_more() : swallow(length);
}

KeyDecode ss3(const unsigned char* b, int length, bool more_may_follow) {
    for (int i = 2; i < length; ++i) {
        const unsigned char c = b[i];
        if (c >= 0x40 && c <= 0x7E) return ss3_key(i + 1, c);
        if (!((c >= '0' && c <= '9') || c == ';')) return swallow(i);  // modifier digits only
        if (i + 1 >= KEY_SEQUENCE_MAX) return swallow(i + 1);
    }
    return more_may_follow ? need_more() : swallow(length);
}

// The length of the UTF-8 character led by `lead`, or 0 when it leads none.
int utf8_length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool names_utf8(const char* locale) {
    char lower[64] = {};
    for (int i = 0; i < 63 && locale[i] != '\0'; ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(locale[i])));
    return std::strstr(lower, "utf-8") != nullptr || std::strstr(lower, "utf8") != nullptr;
}

}  // namespace

KeyDecode decode_key(const unsigned char* b, int length, bool more_may_follow) {
    if (length <= 0) return need_more();
    const unsigned char c = b[0];
    if (c == 0x7F) return one(1, 8);  // Backspace, as the key's own code
    if (c != KEY_ESCAPE) {
        // A character of several bytes is one key when all of it is here; a
        // terminal sends a character's bytes together.
        const int n = utf8_length(c);
        if (n > 0 && n <= length) {
            int code = c & (0x7F >> n);
            bool valid = true;
            for (int i = 1; i < n; ++i) {
                valid = valid && (b[i] & 0xC0) == 0x80;
                code = (code << 6) | (b[i] & 0x3F);
            }
            if (valid) return one(n, code);
        }
        return one(1, c);
    }
    if (length == 1) return more_may_follow ? need_more() : one(1, KEY_ESCAPE);
    if (b[1] == '[') return csi_key(b, length, more_may_follow);
    if (b[1] == 'O') return ss3(b, length, more_may_follow);
    if (b[1] == KEY_ESCAPE || b[1] < 0x20) return one(1, KEY_ESCAPE);  // Escape, then another key
    // Alt with a character key: the key itself.
    KeyDecode key = decode_key(b + 1, length - 1, false);
    key.used += 1;
    return key;
}

bool locale_is_utf8(const char* lc_all, const char* lc_ctype, const char* lang) {
    for (const char* name : {lc_all, lc_ctype, lang})
        if (name != nullptr && name[0] != '\0') return names_utf8(name);
    return false;
}

int encode_char(int code, bool utf8, unsigned char out[3]) {
    if (code < 0 || code > 255) return 0;
    const bool control = (code < 32 && code != '\n') || (code >= 127 && code < 160);
    if (!utf8) {
        out[0] = control ? '.' : static_cast<unsigned char>(code);
        return 1;
    }
    unsigned int point = static_cast<unsigned int>(code);
    if (code < 32 && code != '\n')
        point = 0x2400 + point;  // the control pictures: U+2400 .. U+241F
    else if (code == 127)
        point = 0x2421;  // the picture for delete
    else if (control)
        point = 0x2592;  // C1 controls have no pictures: a medium shade
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
