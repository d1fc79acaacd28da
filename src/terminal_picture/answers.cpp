// The terminal's replies turned into what they say. A signal handler goes on
// reading answers while the program ends, so nothing here allocates, locks or
// keeps state of its own: async-signal-safe.
#include <algorithm>
#include <cstring>

#include "terminal_picture.h"

namespace {

// Up to `max` numbers separated by ';' from `text` (digits and ';' only, a
// leading private marker skipped); how many there were, or -1 for anything else.
int numbers(const char* text, int length, int* out, int max) {
    int count = 0, at = text[0] == '?' || text[0] == '>' ? 1 : 0;
    while (at < length) {
        if (count == max) return -1;
        long value = 0;
        const int first = at;
        while (at < length && text[at] >= '0' && text[at] <= '9') {
            value = std::min(value * 10 + (text[at] - '0'), 1L << 20);
            ++at;
        }
        if (at == first && at < length && text[at] != ';') return -1;
        out[count++] = static_cast<int>(value);
        if (at < length && text[at++] != ';') return -1;
    }
    return count;
}

// A control sequence's answer, its parameters and final byte in `body`:
// ESC [ ? Pn ; ... c, the device attributes: sixel when one parameter is exactly 4;
// ESC [ > kind ; version ; extra c, the secondary device attributes;
// ESC [ 6 ; height ; width t, a cell's pixels;
// ESC [ 4 ; height ; width t, the text area's pixels;
// ESC [ ? 2 ; 0 ; width ; height S, the pixels sixel may cover (0: success).
void control_answer(Answers* a, const char* body, int length) {
    if (length < 2) return;
    const char final = body[length - 1];
    int n[32];
    if (final == 'c' && body[0] == '?') {
        ++a->device_attributes;
        // However many attributes the terminal lists, a few at a time.
        for (int at = 1; at < length - 1;) {
            int end = at;
            while (end < length - 1 && body[end] != ';') ++end;
            if (numbers(body + at, end - at, n, 1) == 1 && n[0] == 4) a->sixel = true;
            at = end + 1;
        }
    } else if (final == 'c' && body[0] == '>') {
        const int count = numbers(body, length - 1, n, 32);
        a->secondary_said = count >= 1;
        for (int i = 0; i < 3; ++i) a->secondary_attributes[i] = i < count ? n[i] : 0;
    } else if (final == 't' && body[0] != '?') {
        if (numbers(body, length - 1, n, 3) == 3 && n[1] > 0 && n[2] > 0) {
            if (n[0] == 6) {
                a->cell_height = n[1];
                a->cell_width = n[2];
            } else if (n[0] == 4) {
                a->text_height = n[1];
                a->text_width = n[2];
            }
        }
    } else if (final == 'S' && body[0] == '?') {
        if (numbers(body, length - 1, n, 4) == 4 && n[0] == 2 && n[1] == 0 && n[2] > 0 && n[3] > 0) {
            a->graphics_width = n[2];
            a->graphics_height = n[3];
        }
    }
}

bool begins(const char* body, int length, const char* prefix) {
    const int n = static_cast<int>(std::strlen(prefix));
    return length >= n && std::memcmp(body, prefix, static_cast<std::size_t>(n)) == 0;
}

// A control string's answer: `body` begins with its introducer.
// ESC _ G i=31;OK ESC \: the kitty query answered (an error names itself instead of OK).
// ESC P > | name ESC \: the terminal's name.
void string_answer(Answers* a, const char* body, int length) {
    if (begins(body, length, "_Gi=31")) {
        for (int i = 0; i + 3 <= length; ++i)
            if (begins(body + i, length - i, ";OK")) a->kitty = true;
    } else if (begins(body, length, "P>|")) {
        const int n = std::min(length - 3, static_cast<int>(sizeof a->name) - 1);
        for (int i = 0; i < n; ++i) {
            const char c = body[3 + i];
            a->name[i] = c >= 0x20 && c < 0x7f ? c : '?';
        }
        a->name[n] = '\0';
    }
}

}  // namespace

void read_answer(Answers* a, const char* reply, int length) {
    if (length >= 1 && reply[0] == '[')
        control_answer(a, reply + 1, length - 1);
    else
        string_answer(a, reply, length);
}
