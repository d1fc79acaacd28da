// The rounds of questions the terminal is asked. Each ends with the device
// attributes, which every terminal answers, so its answer closes the round:
// whatever was not answered before it will not be.
#include <string>

#include "names.h"
#include "terminal_picture.h"

std::string next_questions(const TerminalNames& names, const Answers& answers, int rounds_asked, bool pixels_known) {
    // No questions where the terminal is dumb or a multiplexer stands
    // between us and it (its answers would describe the multiplexer); none
    // while a round is still out.
    if (colourless(names) || multiplexed(names) || answers.device_attributes < rounds_asked) return "";
    std::string q;
    if (rounds_asked == 0) {
        // The kitty query only where the names already say kitty: some
        // terminals print it. A cell's size, or else the text area's, where
        // the pty has no pixels: VTE, Alacritty and rxvt-unicode answer only
        // the second. The rest every terminal measured answers or ignores;
        // none prints them.
        if (named_kitty(names)) q += KITTY_QUERY;
        q += NAME_QUERY;
        if (!pixels_known) q += std::string(CELL_SIZE_QUERY) + TEXT_AREA_QUERY;
        q += SECONDARY_ATTRIBUTES_QUERY;
    } else if (rounds_asked == 1) {
        // What the first round's answers call for: the kitty query where
        // the terminal named itself as one that speaks it; the sixel area
        // only for a terminal that has sixel and said no size, since
        // elsewhere "ESC [ ? 2 ; 1 ; 0 S" is unknown, and a careless parser
        // might scroll.
        if (!named_kitty(names) && speaks(answers.name) == Speaks::KITTY) q += KITTY_QUERY;
        if (answers.sixel && !pixels_known && answers.cell_width == 0 && answers.text_width == 0)
            q += GRAPHICS_SIZE_QUERY;
    }
    return q.empty() ? q : q + DEVICE_ATTRIBUTES_QUERY;
}
