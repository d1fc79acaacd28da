#include "common/key_decoder.h"

#include "common/text_encoding.h"

namespace {

constexpr int E = KEY_PREFIX_EXTENDED;
constexpr int F = KEY_PREFIX_FUNCTION;

// A key named by the final letter of ESC [ ... x or ESC O ... x. Modifiers
// ("ESC [ 1 ; 5 A", "ESC O 5 A") do not change the key.
struct LetterKey {
    char final;
    int prefix, code;
};
constexpr LetterKey LETTER_KEYS[] = {
    {'A', E, KEY_UP},     {'B', E, KEY_DOWN},   {'C', E, KEY_RIGHT},    {'D', E, KEY_LEFT},
    {'a', E, KEY_UP},     {'b', E, KEY_DOWN},   {'c', E, KEY_RIGHT},    {'d', E, KEY_LEFT},  // rxvt with Shift or Ctrl
    {'H', E, KEY_HOME},   {'F', E, KEY_END},    {'P', F, KEY_F1},       {'Q', F, KEY_F1 + 1},
    {'R', F, KEY_F1 + 2}, {'S', F, KEY_F1 + 3}, {'Z', F, KEY_BACK_TAB},
};

// A key named by the number of ESC [ n ~ (also "ESC [ n ; m ~", and rxvt's
// '$', '^' and '@' in place of '~' for Shift, Ctrl and both).
struct NumberKey {
    int number;
    int prefix, code;
};
constexpr NumberKey NUMBER_KEYS[] = {
    {1, E, KEY_HOME},    {7, E, KEY_HOME},    {2, E, KEY_INSERT},  {3, E, KEY_DELETE},
    {4, E, KEY_END},     {8, E, KEY_END},     {5, E, KEY_PAGE_UP}, {6, E, KEY_PAGE_DOWN},
    {11, F, KEY_F1},     {12, F, KEY_F1 + 1}, {13, F, KEY_F1 + 2}, {14, F, KEY_F1 + 3},  // rxvt's F1 .. F4
    {15, F, KEY_F1 + 4}, {17, F, KEY_F1 + 5}, {18, F, KEY_F1 + 6}, {19, F, KEY_F1 + 7},
    {20, F, KEY_F1 + 8}, {21, F, KEY_F1 + 9}, {23, E, KEY_F11},    {24, E, KEY_F12},
};

// The keypad in application mode, ESC O x: keys with a character.
struct KeypadKey {
    char final;
    int code;
};
constexpr KeypadKey KEYPAD_KEYS[] = {
    {'M', '\r'}, {'j', '*'}, {'k', '+'}, {'l', ','}, {'m', '-'}, {'n', '.'}, {'o', '/'}, {'p', '0'}, {'q', '1'},
    {'r', '2'},  {'s', '3'}, {'t', '4'}, {'u', '5'}, {'v', '6'}, {'w', '7'}, {'x', '8'}, {'y', '9'},
};

constexpr unsigned char BELL = 0x07;
constexpr int MOUSE_REPORT_LENGTH = 6;  // ESC [ M, then a button byte and two position bytes

KeyDecode need_more() { return {0, 0, {0, 0}, false}; }
KeyDecode swallow(int used) { return {used, 0, {0, 0}, false}; }
KeyDecode one(int used, int code) { return {used, 1, {code, 0}, false}; }
KeyDecode two(int used, int prefix, int code) { return {used, 2, {prefix, code}, false}; }
KeyDecode replied(int used) { return {used, 0, {0, 0}, true}; }

// A reply's bytes, kept for its reader as far as they fit.
void hold(KeyDecoder* d, const unsigned char* b, int n) {
    for (int i = 0; i < n && d->reply_length < REPLY_MAX; ++i) d->reply[d->reply_length++] = static_cast<char>(b[i]);
}
void hold_anew(KeyDecoder* d, const unsigned char* b, int n) {
    d->reply_length = 0;
    hold(d, b, n);
}
// A control sequence's final byte is kept even where the rest did not fit:
// it says what the reply is.
void hold_final(KeyDecoder* d, unsigned char c) {
    if (d->reply_length == REPLY_MAX) --d->reply_length;
    d->reply[d->reply_length++] = static_cast<char>(c);
}

bool is_final(unsigned char c) { return c >= 0x40 && c <= 0x7E; }
bool is_private_marker(unsigned char c) { return c >= '<' && c <= '?'; }  // a report's, never a key's

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

KeyDecode keypad_or_letter_key(int used, unsigned char final) {
    for (const KeypadKey& k : KEYPAD_KEYS)
        if (static_cast<unsigned char>(k.final) == final) return one(used, k.code);
    return letter_key(used, final);
}

// What follows ESC [ or ESC O up to the final byte.
struct Sequence {
    enum { ENDED, UNFINISHED, BROKEN, TOO_LONG } state;
    int used;             // bytes up to and including the final one (ENDED), or up to where it stopped
    unsigned char final;  // ENDED: the final byte
    int first_number;     // the first parameter, 0 when none
    bool has_params;      // any parameter or intermediate byte before the final one
    bool private_marker;  // '<' '=' '>' '?': a report, never a key
};

// One scanner for both kinds. A control sequence (ESC [) takes parameters
// (0x30..0x3F), intermediates (0x20..0x2F), then a final byte (0x40..0x7E);
// rxvt ends some keys in '$', which in a report (with a private marker) is an
// intermediate byte. ESC O takes only digits and ';' before its final byte.
Sequence scan_sequence(const unsigned char* b, int length, bool control) {
    Sequence s{Sequence::UNFINISHED, length, 0, 0, false, false};
    bool in_first = true;
    for (int i = 2; i < length; ++i) {
        const unsigned char c = b[i];
        if (is_final(c) || (control && c == '$' && !s.private_marker)) {
            s.state = Sequence::ENDED;
            s.used = i + 1;
            s.final = c;
            return s;
        }
        if (c >= '0' && c <= '9') {
            if (in_first && s.first_number < 1000) s.first_number = s.first_number * 10 + (c - '0');
        } else if (c == ';' || (control && c == ':')) {
            in_first = false;
        } else if (control && is_private_marker(c)) {
            s.private_marker = true;
        } else if (!control || c < 0x20 || c > 0x2F) {
            s.state = Sequence::BROKEN;  // a byte that breaks the sequence off; it starts the next key
            s.used = i;
            return s;
        }
        s.has_params = true;
        if (i + 1 == KEY_SEQUENCE_MAX) {
            s.state = Sequence::TOO_LONG;
            s.used = i + 1;
            return s;
        }
    }
    return s;
}

KeyDecode control_sequence(KeyDecoder* d, const unsigned char* b, int length, bool more_may_follow, bool control) {
    const Sequence s = scan_sequence(b, length, control);
    switch (s.state) {
        case Sequence::UNFINISHED:
            return more_may_follow ? need_more() : swallow(length);
        case Sequence::BROKEN:
            return swallow(s.used);
        case Sequence::TOO_LONG:  // no key is this long: swallow it up to its end, a reply if of ESC [
            d->mode = KeyDecoder::IN_CONTROL;
            hold_anew(d, b + 1, s.used - 1);
            return swallow(s.used);
        case Sequence::ENDED:
            break;
    }
    if (!control) return keypad_or_letter_key(s.used, s.final);
    if (s.final == 'M' && !s.has_params && !s.private_marker) {
        // An old-style mouse report: three bytes of any value follow.
        if (length >= MOUSE_REPORT_LENGTH) return swallow(MOUSE_REPORT_LENGTH);
        return more_may_follow ? need_more() : swallow(length);
    }
    if (!s.private_marker) {
        const KeyDecode key = s.final == '~' || s.final == '$' || s.final == '^' || s.final == '@'
                                  ? number_key(s.used, s.first_number)
                                  : letter_key(s.used, s.final);  // modifiers come as "1;m", or a bare "m"
        if (key.count > 0) return key;
    }
    // A report (its private marker says so), or some other sequence no key
    // sends (a cell size): a reply, for whoever asked.
    hold_anew(d, b + 1, s.used - 1);
    return replied(s.used);
}

// The rest of a control sequence begun in an earlier read: parameter and
// intermediate bytes up to the final one.
KeyDecode rest_of_control(KeyDecoder* d, const unsigned char* b, int length) {
    for (int i = 0; i < length; ++i) {
        if (b[i] >= 0x20 && b[i] <= 0x3F) continue;
        d->mode = KeyDecoder::GROUND;
        if (!is_final(b[i])) return swallow(i);  // anything else breaks it off and starts the next key
        hold(d, b, i);
        hold_final(d, b[i]);
        return d->reply[0] == '[' ? replied(i + 1) : swallow(i + 1);  // ESC O is never a reply
    }
    hold(d, b, length);
    return swallow(length);
}

// The rest of a control string: anything up to ESC \ (or BEL for ESC ],
// whose replies some terminals end so). CAN and SUB cancel it; an Escape
// followed by anything else breaks it off and starts the next key. An
// Escape that ends the bytes so far is left for the next call.
KeyDecode rest_of_string(KeyDecoder* d, const unsigned char* b, int length) {
    for (int i = 0; i < length; ++i) {
        if (b[i] == 0x18 || b[i] == 0x1A) {
            d->mode = KeyDecoder::GROUND;
            return swallow(i + 1);
        }
        if (b[i] == BELL && d->reply[0] == ']') {
            d->mode = KeyDecoder::GROUND;
            hold(d, b, i);
            return replied(i + 1);
        }
        if (b[i] != KEY_ESCAPE) continue;
        hold(d, b, i);
        if (i + 1 == length) return swallow(i);
        d->mode = KeyDecoder::GROUND;
        return b[i + 1] == '\\' ? replied(i + 2) : swallow(i);
    }
    hold(d, b, length);
    return swallow(length);
}

// Whether the bytes begin a character of several bytes that goes on beyond them.
bool utf8_unfinished(const unsigned char* b, int length) {
    const unsigned char c = b[0];
    const int size = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length >= size) return false;
    for (int i = 1; i < length; ++i)
        if ((b[i] & 0xC0) != 0x80) return false;
    return true;
}

bool starts_string(unsigned char c) { return c == ']' || c == 'P' || c == '_' || c == '^' || c == 'X'; }

// How the rest of each reply the program awaits begins after its Escape;
// '#' stands for any digit.
constexpr const char* REPLY_RESTS[] = {"[?", "[>", "[#;", "P>|", "_G"};

}  // namespace

KeyDecode decode_key(KeyDecoder* d, const unsigned char* b, int length, bool more_may_follow) {
    if (d->mode != KeyDecoder::GROUND) {
        if (length <= 0) {
            if (!more_may_follow) d->mode = KeyDecoder::GROUND;  // nothing more came: give up on it
            return need_more();
        }
        const KeyDecode rest =
            d->mode == KeyDecoder::IN_CONTROL ? rest_of_control(d, b, length) : rest_of_string(d, b, length);
        if (rest.used > 0) return rest;
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
        if (point >= 0) return one(n, static_cast<int>(point));
        // Its first bytes alone, the rest beyond a full read buffer: wait for them.
        return more_may_follow && utf8_unfinished(b, length) ? need_more() : one(1, c);
    }
    if (length == 1) return more_may_follow ? need_more() : one(1, KEY_ESCAPE);
    if (b[1] == '[') {
        if (length >= 3 && b[2] == '[') {  // the linux console's F1 .. F5: ESC [ [ A .. E
            if (length < 4) return more_may_follow ? need_more() : swallow(length);
            if (b[3] >= 'A' && b[3] <= 'E') return two(4, F, KEY_F1 + b[3] - 'A');
            return swallow(4);
        }
        return control_sequence(d, b, length, more_may_follow, true);
    }
    if (b[1] == 'O') return control_sequence(d, b, length, more_may_follow, false);
    if (starts_string(b[1])) {
        // Alone, Alt with that key; followed by more, a terminal's reply.
        if (length == 2) return more_may_follow ? need_more() : one(2, b[1]);
        d->mode = KeyDecoder::IN_STRING;
        hold_anew(d, b + 1, 1);
        KeyDecode rest = rest_of_string(d, b + 2, length - 2);
        rest.used += 2;
        return rest;
    }
    if (b[1] < 0x20) return one(1, KEY_ESCAPE);  // Escape, then another Escape or control key
    // Alt with a character key: the key itself, once all of its bytes are here.
    KeyDecode key = decode_key(d, b + 1, length - 1, more_may_follow);
    if (key.used == 0) return key;
    key.used += 1;
    return key;
}

bool only_a_reply_waits(const KeyDecoder* d, const unsigned char* b, int length) {
    if (d->mode != KeyDecoder::GROUND) return true;
    return length >= 3 && b[0] == KEY_ESCAPE && b[1] == '[' && is_private_marker(b[2]);
}

bool may_follow_escape(unsigned char c) { return c == '[' || c == 'O' || starts_string(c); }

ReplyRest reply_rest(const unsigned char* b, int length) {
    bool maybe = false;
    for (const char* rest : REPLY_RESTS) {
        int i = 0;
        while (rest[i] != '\0' && i < length &&
               (rest[i] == '#' ? b[i] >= '0' && b[i] <= '9' : b[i] == static_cast<unsigned char>(rest[i])))
            ++i;
        if (rest[i] == '\0') return ReplyRest::YES;
        maybe = maybe || i == length;
    }
    return maybe ? ReplyRest::MAYBE : ReplyRest::NO;
}
