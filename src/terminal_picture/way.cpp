// The way a terminal shows a picture best, from its names and its answers.
#include "names.h"
#include "terminal_picture.h"

namespace {

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

}  // namespace

PictureWay choose_way(const TerminalNames& names, const Answers& answers, TerminalSize size) {
    if (colourless(names)) return PictureWay::NONE;
    // tmux turns 24-bit colour into what its own terminal holds.
    if (in_tmux(names)) return PictureWay::HALF_BLOCKS_24BIT;
    if (in_screen(names)) return palette_of_term(names.term, true);
    const bool pixels = size.width_px > 0 && size.height_px > 0;
    if (answers.kitty && pixels) return PictureWay::KITTY;
    if (named_iterm2(names) || speaks(answers.name) == Speaks::ITERM2) return PictureWay::ITERM2;
    if (answers.sixel && pixels) return PictureWay::SIXEL;
    const bool full_color = colorterm_full(names) || full_color_term(names.term) || full_color_name(answers.name) ||
                            full_color_attributes(answers);
    return full_color ? PictureWay::HALF_BLOCKS_24BIT : palette_of_term(names.term, false);
}
