#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "terminal_picture.h"

namespace {

bool set(const char* value) { return value != nullptr && value[0] != '\0'; }
bool is(const char* value, const char* name) { return value != nullptr && std::strcmp(value, name) == 0; }
bool starts(const char* value, const char* prefix) {
    return value != nullptr && std::strncmp(value, prefix, std::strlen(prefix)) == 0;
}

bool ends(const char* value, const char* suffix) {
    if (value == nullptr) return false;
    const std::size_t n = std::strlen(value), m = std::strlen(suffix);
    return n >= m && std::strcmp(value + n - m, suffix) == 0;
}

// No picture where the terminal has no colours at all: dumb, the old video
// terminals (vt100, vt220) and monochrome entries.
bool colourless(const TerminalNames& n) {
    if (!set(n.term) || is(n.term, "dumb") || ends(n.term, "-mono")) return true;
    return n.term[0] == 'v' && n.term[1] == 't' && std::isdigit(static_cast<unsigned char>(n.term[2]));
}

bool in_tmux(const TerminalNames& n) { return set(n.tmux) || starts(n.term, "tmux"); }

// GNU screen, not tmux inside it: it turns 24-bit colour codes into streaks
// of wrong colours, and holds as many colours as its TERM says.
bool in_screen(const TerminalNames& n) { return set(n.sty) || (starts(n.term, "screen") && !set(n.tmux)); }

// A multiplexer shows its own screen, not ours: pictures need a passthrough
// that is off by default, and its answers describe itself.
bool multiplexed(const TerminalNames& n) { return in_tmux(n) || in_screen(n); }

// TERMs that promise 24-bit colour: their terminals' own entries, each of
// which draws it (the -direct entries say so in their name).
constexpr const char* FULL_COLOR_TERMS[] = {"alacritty", "xterm-kitty", "xterm-ghostty", "wezterm", "st-256color"};

bool full_color_term(const char* term) {
    if (ends(term, "-direct") || starts(term, "foot")) return true;
    for (const char* t : FULL_COLOR_TERMS)
        if (is(term, t)) return true;
    return false;
}

// The palette a TERM promises where nothing says more: the Linux console's
// own; 16 colours in the -16color entries, 8 in the -8color ones and in GNU
// screen's plain entry; otherwise the 256 that nearly every terminal has had
// for twenty years.
PictureWay palette_of_term(const char* term, bool screen) {
    if (is(term, "linux")) return PictureWay::HALF_BLOCKS_LINUX;
    if (ends(term, "-16color")) return PictureWay::HALF_BLOCKS_16;
    if (ends(term, "-8color")) return PictureWay::HALF_BLOCKS_8;
    if (screen && !ends(term, "256color")) return PictureWay::HALF_BLOCKS_8;
    return PictureWay::HALF_BLOCKS_256;
}

// The secondary device attributes (ESC [ > kind ; version ; extra c) of
// terminals that draw 24-bit colour and may not say their name: each as a
// whole, since a first number alone is shared (terminology's 61 is VTE's,
// and it maps 24-bit colours into its palette). ANY matches every number.
constexpr int ANY = -1;
constexpr int FULL_COLOR_ATTRIBUTES[][3] = {
    {61, ANY, 1},    // VTE from 0.75.90: GNOME Terminal, Tilix, xfce4-terminal, sakura
    {65, ANY, 1},    // VTE before it
    {1, 115, 0},     // Konsole
    {0, 115, 0},     // qterminal
    {0, ANY, 1},     // Alacritty, Windows Terminal
    {0, 276, 0},     // xterm.js
    {77, ANY, ANY},  // mintty
    {64, 0, 0},      // zutty
};

bool full_color_attributes(const Answers& a) {
    if (!a.secondary_said) return false;
    for (const auto& match : FULL_COLOR_ATTRIBUTES) {
        bool same = true;
        for (int i = 0; i < 3; ++i) same = same && (match[i] == ANY || match[i] == a.secondary_attributes[i]);
        if (same) return true;
    }
    return false;
}

bool named_kitty(const TerminalNames& n) {
    return is(n.term, "xterm-kitty") || is(n.term, "xterm-ghostty") || set(n.kitty_window_id);
}

bool named_iterm2(const TerminalNames& n) {
    return is(n.lc_terminal, "iTerm2") || is(n.term_program, "iTerm.app") || is(n.term_program, "WezTerm");
}

// What a terminal that names itself (ESC P > | name ESC \) shows best, where
// the name is certain, and whether it draws 24-bit colour. Names come as
// "kitty(0.26.5)", "ghostty 1.1.0", "WezTerm 20240203-110809-5046fc22"; the
// pictures of the others (XTerm, foot, mlterm) are known by their device
// attributes. WezTerm speaks kitty's protocol too, but not all of it, and
// the iTerm2 way is its own first choice. terminology names itself but maps
// 24-bit colours into its palette: not here.
enum class Speaks { NOTHING_SURE, KITTY, ITERM2 };
struct NamedTerminal {
    const char* name;
    Speaks speaks;
};
constexpr NamedTerminal NAMED_TERMINALS[] = {
    {"kitty", Speaks::KITTY},       {"ghostty", Speaks::KITTY},        {"Konsole", Speaks::KITTY},
    {"WezTerm", Speaks::ITERM2},    {"iTerm2", Speaks::ITERM2},        {"XTerm", Speaks::NOTHING_SURE},
    {"foot", Speaks::NOTHING_SURE}, {"contour", Speaks::NOTHING_SURE}, {"mintty", Speaks::NOTHING_SURE},
    {"VTE", Speaks::NOTHING_SURE},  {"mlterm", Speaks::NOTHING_SURE},
};

const NamedTerminal* named(const char* name) {
    for (const NamedTerminal& t : NAMED_TERMINALS) {
        const std::size_t n = std::strlen(t.name);
        bool same = std::strlen(name) >= n;
        for (std::size_t i = 0; same && i < n; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) ==
                   std::tolower(static_cast<unsigned char>(t.name[i]));
        if (same && (name[n] == '\0' || name[n] == ' ' || name[n] == '(')) return &t;
    }
    return nullptr;
}

Speaks speaks(const char* name) {
    const NamedTerminal* t = named(name);
    return t != nullptr ? t->speaks : Speaks::NOTHING_SURE;
}

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
        if (numbers(body, length - 1, n, 3) == 3 && n[0] == 6 && n[1] > 0 && n[2] > 0) {
            a->cell_height = n[1];
            a->cell_width = n[2];
        }
    } else if (final == 'S' && body[0] == '?') {
        if (numbers(body, length - 1, n, 4) == 4 && n[0] == 2 && n[1] == 0 && n[2] > 0 && n[3] > 0) {
            a->graphics_width = n[2];
            a->graphics_height = n[3];
        }
    }
}

// A control string's answer: `body` begins with its introducer.
// ESC _ G i=31;OK ESC \: the kitty query answered (an error names itself instead of OK).
// ESC P > | name ESC \: the terminal's name.
// Nothing here allocates: a signal handler may read answers.
bool begins(const char* body, int length, const char* prefix) {
    const int n = static_cast<int>(std::strlen(prefix));
    return length >= n && std::memcmp(body, prefix, static_cast<std::size_t>(n)) == 0;
}

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

std::string first_questions(const TerminalNames& names, bool pixels_known) {
    if (colourless(names) || multiplexed(names)) return "";
    std::string q = named_kitty(names) ? KITTY_QUERY : "";
    q += NAME_QUERY;
    if (!pixels_known) q += CELL_SIZE_QUERY;
    // Every terminal measured answers or ignores it; none prints it.
    q += SECONDARY_ATTRIBUTES_QUERY;
    return q + DEVICE_ATTRIBUTES_QUERY;
}

std::string second_questions(const TerminalNames& names, const Answers& answers, bool pixels_known) {
    if (colourless(names) || multiplexed(names)) return "";
    std::string q;
    if (!named_kitty(names) && speaks(answers.name) == Speaks::KITTY) q += KITTY_QUERY;
    // Only now, for a terminal that has sixel: elsewhere "ESC [ ? 2 ; 1 ; 0 S"
    // is unknown, and a careless parser might scroll.
    if (answers.sixel && !pixels_known && answers.cell_width == 0) q += GRAPHICS_SIZE_QUERY;
    return q.empty() ? q : q + DEVICE_ATTRIBUTES_QUERY;
}

void read_answer(Answers* a, const char* reply, int length) {
    if (length >= 1 && reply[0] == '[')
        control_answer(a, reply + 1, length - 1);
    else
        string_answer(a, reply, length);
}

namespace {

// A terminal that does not say its size is taken as the classic 80 × 24.
int columns_or_default(TerminalSize size) { return size.columns > 0 ? size.columns : 80; }
int rows_or_default(TerminalSize size) { return size.rows > 0 ? size.rows : 24; }

// No sane cell is larger: a graphics area that would need larger cells is
// the most the terminal could draw (Konsole answers 16384 × 16384), not its
// window.
constexpr int LARGEST_CELL_PX = 64;

}  // namespace

TerminalSize with_answered_pixels(TerminalSize size, const Answers& answers) {
    if (size.width_px > 0 && size.height_px > 0) return size;
    if (answers.cell_width > 0 && size.columns > 0 && size.rows > 0) {
        // No larger than a window size can say: an answer is any number.
        size.width_px =
            static_cast<int>(std::min<std::int64_t>(std::int64_t{answers.cell_width} * size.columns, 65535));
        size.height_px = static_cast<int>(std::min<std::int64_t>(std::int64_t{answers.cell_height} * size.rows, 65535));
    } else if (answers.graphics_width > 0 && answers.graphics_width <= LARGEST_CELL_PX * columns_or_default(size) &&
               answers.graphics_height <= LARGEST_CELL_PX * rows_or_default(size)) {
        size.width_px = answers.graphics_width;
        size.height_px = answers.graphics_height;
    }
    return size;
}

PictureWay choose_way(const TerminalNames& names, const Answers& answers, TerminalSize size) {
    if (colourless(names)) return PictureWay::NONE;
    // tmux turns 24-bit colour into what its own terminal holds.
    if (in_tmux(names)) return PictureWay::HALF_BLOCKS_24BIT;
    if (in_screen(names)) return palette_of_term(names.term, true);
    const bool pixels = size.width_px > 0 && size.height_px > 0;
    if (answers.kitty && pixels) return PictureWay::KITTY;
    if (named_iterm2(names) || speaks(answers.name) == Speaks::ITERM2) return PictureWay::ITERM2;
    if (answers.sixel && pixels) return PictureWay::SIXEL;
    const bool full_color = is(names.colorterm, "truecolor") || is(names.colorterm, "24bit") ||
                            full_color_term(names.term) || named(answers.name) != nullptr ||
                            full_color_attributes(answers);
    return full_color ? PictureWay::HALF_BLOCKS_24BIT : palette_of_term(names.term, false);
}

Placement place_picture(PictureWay way, int picture_side, TerminalSize size, int reserved_rows) {
    // One that does not say its cells' pixels is taken as 8 × 16 (only the
    // ways that count in cells are chosen then).
    const int columns = columns_or_default(size);
    const int rows = rows_or_default(size);
    const int free_rows = rows - reserved_rows;
    if (columns < 2 || free_rows < 2 || picture_side <= 0) return {};
    Placement p;
    if (is_half_blocks(way)) {
        // Two of the picture's pixels a cell, one above the other; an even
        // side, so that the square is whole.
        const int side = std::min({picture_side, columns, 2 * free_rows}) & ~1;
        p.columns = std::max(1, side);
        p.rows = std::max(1, side / 2);
        return p;
    }
    int cell_w = 8, cell_h = 16;
    if (size.width_px >= columns && size.height_px >= rows) {
        cell_w = size.width_px / columns;
        cell_h = size.height_px / rows;
    }
    const int side = std::min({picture_side, columns * cell_w, free_rows * cell_h});
    p.columns = std::max(1, side / cell_w);
    p.rows = std::max(1, side / cell_h);
    p.side_px = side;
    return p;
}

int rows_of_text(const char* text, TerminalSize size) {
    const int columns = columns_or_default(size);
    int rows = 0, width = 0;
    for (const char* c = text;; ++c) {
        if (*c == '\n' || *c == '\0') {
            rows += width == 0 ? 1 : (width + columns - 1) / columns;
            width = 0;
            if (*c == '\0') return rows;
        } else if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) {  // a character's first byte: a cell
            ++width;
        }
    }
}
