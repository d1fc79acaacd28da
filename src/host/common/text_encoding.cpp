#include "common/text_encoding.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace {

constexpr unsigned long SHADE = 0x2592;  // stands in for what has no picture of its own

// The length of the UTF-8 character led by `lead`, or 0 when it leads none.
int utf8_length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
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
    return code == 127 ? 0x2421 : SHADE;
}

// A code the terminal would act on rather than show: C0 but the line feed, delete, C1.
bool is_control(int code) { return (code < 32 && code != '\n') || (code >= 127 && code < 160); }

// The marks that change the order in which the text around them is shown,
// and are themselves invisible: a name could show as another name.
bool is_direction_mark(long point) {
    return (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069) || point == 0x200E ||
           point == 0x200F || point == 0x061C;
}

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
    if (is_direction_mark(point)) return utf8_encode(SHADE, out);
    std::memcpy(out, text, static_cast<std::size_t>(n));
    return n;
}
