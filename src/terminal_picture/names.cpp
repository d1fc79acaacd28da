// What the environment's names and the terminal's own name say of it.
#include <cctype>
#include <cstring>

#include "names.h"

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

// TERMs that promise 24-bit colour: their terminals' own entries, each of
// which draws it (the -direct entries say so in their name).
constexpr const char* FULL_COLOR_TERMS[] = {"alacritty", "xterm-kitty", "xterm-ghostty", "wezterm", "st-256color"};

}  // namespace

// Dumb, the old video terminals (vt100, vt220) and monochrome entries.
bool colourless(const TerminalNames& n) {
    if (!set(n.term) || is(n.term, "dumb") || ends(n.term, "-mono")) return true;
    return n.term[0] == 'v' && n.term[1] == 't' && std::isdigit(static_cast<unsigned char>(n.term[2]));
}

bool in_tmux(const TerminalNames& n) { return set(n.tmux) || starts(n.term, "tmux"); }

// GNU screen, not tmux inside it: it turns 24-bit colour codes into streaks
// of wrong colours, and holds as many colours as its TERM says.
bool in_screen(const TerminalNames& n) { return set(n.sty) || (starts(n.term, "screen") && !set(n.tmux)); }

bool multiplexed(const TerminalNames& n) { return in_tmux(n) || in_screen(n); }

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

bool named_kitty(const TerminalNames& n) {
    return is(n.term, "xterm-kitty") || is(n.term, "xterm-ghostty") || set(n.kitty_window_id);
}

bool named_iterm2(const TerminalNames& n) {
    return is(n.lc_terminal, "iTerm2") || is(n.term_program, "iTerm.app") || is(n.term_program, "WezTerm");
}

bool colorterm_full(const TerminalNames& n) { return is(n.colorterm, "truecolor") || is(n.colorterm, "24bit"); }

namespace {

// What a terminal that names itself shows best, where the name is certain;
// every one named here draws 24-bit colour. Names come as
// "kitty(0.26.5)", "ghostty 1.1.0", "WezTerm 20240203-110809-5046fc22"; the
// pictures of the others (XTerm, foot, mlterm) are known by their device
// attributes. WezTerm speaks kitty's protocol too, but not all of it, and
// the iTerm2 way is its own first choice. terminology names itself but maps
// 24-bit colours into its palette: not here.
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

}  // namespace

bool full_color_name(const char* name) { return named(name) != nullptr; }

Speaks speaks(const char* name) {
    const NamedTerminal* t = named(name);
    return t != nullptr ? t->speaks : Speaks::NOTHING_SURE;
}
