#include <algorithm>
#include <cstring>

#include "terminal_picture.h"

namespace {

bool set(const char* value) { return value != nullptr && value[0] != '\0'; }
bool is(const char* value, const char* name) { return value != nullptr && std::strcmp(value, name) == 0; }
bool starts(const char* value, const char* prefix) {
    return value != nullptr && std::strncmp(value, prefix, std::strlen(prefix)) == 0;
}

bool dumb(const TerminalNames& n) { return !set(n.term) || is(n.term, "dumb"); }

// A multiplexer shows its own screen, not ours: pictures need a passthrough
// that is off by default, and its answers describe itself.
bool multiplexed(const TerminalNames& n) {
    return set(n.tmux) || set(n.sty) || starts(n.term, "screen") || starts(n.term, "tmux");
}

bool named_kitty(const TerminalNames& n) {
    return is(n.term, "xterm-kitty") || is(n.term, "xterm-ghostty") || set(n.kitty_window_id);
}

bool named_iterm2(const TerminalNames& n) {
    return is(n.lc_terminal, "iTerm2") || is(n.term_program, "iTerm.app") || is(n.term_program, "WezTerm");
}

// The answer to the device attributes request: ESC [ ? Pn ; ... c. Sixel is
// there when one parameter is exactly 4.
void device_attributes(Answers* a, const std::string& body) {
    if (body.size() < 2 || body.front() != '?' || body.back() != 'c') return;
    a->device_attributes = true;
    std::size_t start = 1;
    while (start < body.size()) {
        std::size_t end = body.find_first_of(";c", start);
        if (body.compare(start, end - start, "4") == 0) a->sixel = true;
        start = end + 1;
    }
}

// The kitty query's answer: ESC _ G i=31;OK ESC \ (an error names itself instead of OK).
void kitty_answer(Answers* a, const std::string& body) {
    if (body.rfind("Gi=31", 0) == 0 && body.find(";OK") != std::string::npos) a->kitty = true;
}

enum State { GROUND, ESCAPE, CONTROL, STRING, STRING_ESCAPE };
constexpr std::size_t HELD_MAX = 128;  // more than any answer we look for; the rest is skipped

}  // namespace

Queries queries_for(const TerminalNames& names) {
    Queries q;
    if (dumb(names) || multiplexed(names)) return q;
    q.device_attributes = true;
    q.kitty = named_kitty(names);
    return q;
}

void read_answers(Answers* a, const unsigned char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = bytes[i];
        if (c == 0x1b && a->state != STRING) {  // an Escape breaks off any sequence and may start the next
            a->state = ESCAPE;
            continue;
        }
        switch (a->state) {
            case GROUND:
                break;
            case ESCAPE:
                a->held.clear();
                a->state = c == '[' ? CONTROL : c == '_' ? STRING : GROUND;
                break;
            case CONTROL:
                if (a->held.size() < HELD_MAX) a->held += static_cast<char>(c);
                if (c >= 0x40 && c <= 0x7e) {
                    device_attributes(a, a->held);
                    a->state = GROUND;
                } else if (c < 0x20) {
                    a->state = GROUND;
                }
                break;
            case STRING:
                if (c == 0x1b)
                    a->state = STRING_ESCAPE;
                else if (a->held.size() < HELD_MAX)
                    a->held += static_cast<char>(c);
                break;
            case STRING_ESCAPE:
                if (c == '\\') {
                    kitty_answer(a, a->held);
                    a->state = GROUND;
                } else {
                    a->held.clear();
                    a->state = c == '[' ? CONTROL : c == '_' ? STRING : GROUND;
                }
                break;
        }
    }
}

PictureWay choose_way(const TerminalNames& names, const Answers& answers) {
    if (dumb(names)) return PictureWay::NONE;
    const bool full_color = is(names.colorterm, "truecolor") || is(names.colorterm, "24bit");
    const PictureWay blocks = full_color ? PictureWay::HALF_BLOCKS_24BIT : PictureWay::HALF_BLOCKS_256;
    if (multiplexed(names)) return blocks;
    if (answers.kitty) return PictureWay::KITTY;
    if (named_iterm2(names)) return PictureWay::ITERM2;
    if (answers.sixel) return PictureWay::SIXEL;
    return blocks;
}

Placement place_picture(int picture_side, TerminalSize size, int reserved_rows) {
    // A terminal that does not say its size is taken as the classic 80 × 24,
    // and one that does not say its cells' pixels as 8 × 16.
    const int columns = size.columns > 0 ? size.columns : 80;
    const int rows = size.rows > 0 ? size.rows : 24;
    int cell_w = 8, cell_h = 16;
    if (size.width_px >= columns && size.height_px >= rows) {
        cell_w = size.width_px / columns;
        cell_h = size.height_px / rows;
    }
    const int free_rows = rows - reserved_rows;
    if (columns < 2 || free_rows < 2 || picture_side <= 0) return {};
    const int side = std::min({picture_side, columns * cell_w, free_rows * cell_h});
    Placement p;
    p.columns = std::max(1, side / cell_w);
    p.rows = std::max(1, side / cell_h);
    p.side_px = side;
    return p;
}
