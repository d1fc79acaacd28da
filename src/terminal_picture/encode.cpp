#include <algorithm>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include "terminal_picture.h"

namespace {

constexpr std::size_t KITTY_CHUNK = 4096;  // base64 bytes in one escape, the protocol's limit

void append_base64(std::string* out, const unsigned char* data, std::size_t size) {
    static const char DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out->reserve(out->size() + (size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = static_cast<unsigned>(data[i]) << 16 | static_cast<unsigned>(data[i + 1]) << 8 | data[i + 2];
        const char four[4] = {DIGITS[v >> 18], DIGITS[(v >> 12) & 63], DIGITS[(v >> 6) & 63], DIGITS[v & 63]};
        out->append(four, 4);
    }
    if (i < size) {
        const unsigned v =
            static_cast<unsigned>(data[i]) << 16 | (i + 1 < size ? static_cast<unsigned>(data[i + 1]) << 8 : 0u);
        const char four[4] = {DIGITS[v >> 18], DIGITS[(v >> 12) & 63], i + 1 < size ? DIGITS[(v >> 6) & 63] : '=', '='};
        out->append(four, 4);
    }
}

// A half-block colour as the encoder keeps track of it: a palette index, or
// for 24-bit red, green and blue in one number; NO_COLOR for the terminal's
// own, as after a reset.
constexpr int NO_COLOR = -1;

// The parameters that set one colour: 38;2;R;G;B, 48;5;N, or for the sixteen
// the codes every colour terminal knows, the bright ones as 90 .. 97 and
// 100 .. 107. None for the colour the terminal already holds.
struct Parameters {
    char text[16];
    std::size_t size;
};

Parameters color_parameters(bool foreground, int color, int held, PictureWay way) {
    Parameters p{};
    if (color == held) return p;
    char* at = p.text;
    char* const end = p.text + sizeof p.text;
    if (way == PictureWay::HALF_BLOCKS_24BIT) {
        at = std::copy_n(foreground ? "38;2;" : "48;2;", 5, at);
        at = std::to_chars(at, end, color >> 16).ptr;
        *at++ = ';';
        at = std::to_chars(at, end, color >> 8 & 255).ptr;
        *at++ = ';';
        at = std::to_chars(at, end, color & 255).ptr;
    } else if (way == PictureWay::HALF_BLOCKS_256) {
        at = std::copy_n(foreground ? "38;5;" : "48;5;", 5, at);
        at = std::to_chars(at, end, color).ptr;
    } else {
        at = std::to_chars(at, end, (foreground ? 30 : 40) + (color < 8 ? color : 60 + color - 8)).ptr;
    }
    p.size = static_cast<std::size_t>(at - p.text);
    return p;
}

// The code that sets both colours, in one where both change; nothing where
// the terminal holds them.
std::size_t code_size(const Parameters& fg, const Parameters& bg) {
    return fg.size + bg.size == 0 ? 0 : 3 + fg.size + bg.size + (fg.size > 0 && bg.size > 0 ? 1 : 0);
}

void append_code(std::string* out, const Parameters& fg, const Parameters& bg) {
    if (code_size(fg, bg) == 0) return;
    out->append("\x1b[");
    out->append(fg.text, fg.size);
    if (fg.size > 0 && bg.size > 0) *out += ';';
    out->append(bg.text, bg.size);
    *out += 'm';
}

// The ways to draw a cell: the upper half block, its foreground above; the
// lower one, the roles swapped; a space, the background alone, for a cell of
// one colour and for every cell where the character set lacks the blocks.
enum Glyph : unsigned char { UPPER, LOWER, SPACE };
constexpr const char* GLYPH_BYTES[] = {"\xe2\x96\x80", "\xe2\x96\x84", " "};
constexpr std::size_t GLYPH_SIZES[] = {3, 3, 1};

// A line drawn up to a cell in one way: the colours the terminal then holds,
// the bytes so far, the glyph of the cell and the way the line came to the
// cell before (its index among all steps of the line).
struct Step {
    int fg, bg;
    std::size_t size;
    Glyph glyph;
    std::size_t before;
};

// Where a line has many ways to its end that leave different colours, as
// cells of one colour each keep the foreground before them, only the
// shortest few are followed on: the rest would save a code at most.
constexpr std::size_t WAYS_KEPT = 8;

}  // namespace

std::string encode_kitty(const RgbPicture& picture) {
    std::string base64;
    append_base64(&base64, picture.bytes.data(), picture.bytes.size());
    std::string out;
    out.reserve(base64.size() + base64.size() / KITTY_CHUNK * 16 + 64);
    // Shown one pixel to a screen pixel: told a number of cells, the terminal
    // would stretch the picture over all of them. q=2 keeps it from
    // answering, since an answer would arrive as keys.
    out.append("\x1b_Ga=T,f=24,q=2,s=");
    out += std::to_string(picture.width);
    out.append(",v=");
    out += std::to_string(picture.height);
    for (std::size_t at = 0; at < base64.size() || at == 0; at += KITTY_CHUNK) {
        if (at > 0) out.append("\x1b_Gq=2");
        const std::size_t n = std::min(KITTY_CHUNK, base64.size() - at);
        out.append(at + n < base64.size() ? ",m=1;" : ",m=0;");
        out.append(base64, at, n);
        out.append("\x1b\\");
    }
    // The cursor stands right of the picture on its last row.
    out.append("\n");
    return out;
}

std::string encode_iterm2(const unsigned char* file, std::size_t size, int columns, int rows) {
    std::string out("\x1b]1337;File=inline=1;size=");
    out += std::to_string(size);
    // Fitted into so many cells, its aspect kept.
    out.append(";width=");
    out += std::to_string(columns);
    out.append(";height=");
    out += std::to_string(rows);
    out.append(";preserveAspectRatio=1:");
    append_base64(&out, file, size);
    out.append("\a\n");
    return out;
}

bool is_half_blocks(PictureWay way) {
    return way == PictureWay::HALF_BLOCKS_24BIT || way == PictureWay::HALF_BLOCKS_256 ||
           way == PictureWay::HALF_BLOCKS_16 || way == PictureWay::HALF_BLOCKS_8 ||
           way == PictureWay::HALF_BLOCKS_LINUX;
}

std::string encode_half_blocks(const RgbPicture& picture, PictureWay way, bool unicode) {
    std::string out;
    const bool full_color = way == PictureWay::HALF_BLOCKS_24BIT;
    const std::vector<unsigned char> indices =
        full_color ? std::vector<unsigned char>{} : palette_indices(picture, way, unicode);
    const unsigned char* rgb = picture.bytes.data();
    const auto color_at = [&](std::size_t at) {
        return full_color ? rgb[3 * at] << 16 | rgb[3 * at + 1] << 8 | rgb[3 * at + 2] : indices[at];
    };
    // Whether `glyph` may draw a cell of `top` over `bottom`: not the lower
    // half block on the Linux console where the top would be a bright
    // background, which the console lacks.
    const auto fits = [&](Glyph glyph, int top, int bottom) {
        if (glyph == SPACE) return top == bottom;
        return unicode && (glyph == UPPER || (top != bottom && (way != PictureWay::HALF_BLOCKS_LINUX || top < 8)));
    };
    // The colours the terminal holds once the cell is drawn; a space leaves
    // the foreground as it was.
    const auto colors = [](Glyph glyph, int top, int bottom, int fg) {
        return glyph == UPPER ? std::pair{top, bottom} : glyph == LOWER ? std::pair{bottom, top} : std::pair{fg, top};
    };
    const std::size_t w = static_cast<std::size_t>(picture.width);
    const int step = unicode ? 2 : 1;
    std::vector<Step> steps;
    std::vector<Glyph> glyphs(w);
    for (int y = 0; y + step <= picture.height; y += step) {
        const std::size_t top_row = static_cast<std::size_t>(y) * w, bottom_row = unicode ? top_row + w : top_row;
        // The fewest bytes for the line: each way of drawing a cell, after
        // each way of drawing the line up to it; of the ways that leave the
        // same colours only the shortest goes on. After the reset that ended
        // the line before, the terminal holds its own colours.
        steps.assign(1, Step{NO_COLOR, NO_COLOR, 0, SPACE, 0});
        std::size_t last = 0;  // where the steps to the cell before begin
        for (std::size_t x = 0; x < w; ++x) {
            const int top = color_at(top_row + x), bottom = color_at(bottom_row + x);
            const std::size_t first = steps.size();
            for (std::size_t from = last; from < first; ++from)
                for (const Glyph glyph : {UPPER, LOWER, SPACE}) {
                    if (!fits(glyph, top, bottom)) continue;
                    const Step before = steps[from];
                    const std::pair<int, int> after = colors(glyph, top, bottom, before.fg);
                    const int fg = after.first, bg = after.second;
                    const std::size_t size = before.size + GLYPH_SIZES[glyph] +
                                             code_size(color_parameters(true, fg, before.fg, way),
                                                       color_parameters(false, bg, before.bg, way));
                    const auto same = std::find_if(steps.begin() + static_cast<std::ptrdiff_t>(first), steps.end(),
                                                   [&](const Step& s) { return s.fg == fg && s.bg == bg; });
                    if (same == steps.end())
                        steps.push_back({fg, bg, size, glyph, from});
                    else if (size < same->size)
                        *same = {fg, bg, size, glyph, from};
                }
            if (steps.size() - first > WAYS_KEPT) {
                const auto begin = steps.begin() + static_cast<std::ptrdiff_t>(first);
                std::nth_element(begin, begin + WAYS_KEPT - 1, steps.end(),
                                 [](const Step& a, const Step& b) { return a.size < b.size; });
                steps.resize(first + WAYS_KEPT);
            }
            last = first;
        }
        // The shortest way back from the line's end, then its bytes.
        std::size_t at = last;
        for (std::size_t s = at; s < steps.size(); ++s)
            if (steps[s].size < steps[at].size) at = s;
        for (std::size_t x = w; x-- > 0; at = steps[at].before) glyphs[x] = steps[at].glyph;
        int fg = NO_COLOR, bg = NO_COLOR;
        for (std::size_t x = 0; x < w; ++x) {
            const int top = color_at(top_row + x), bottom = color_at(bottom_row + x);
            const auto [new_fg, new_bg] = colors(glyphs[x], top, bottom, fg);
            append_code(&out, color_parameters(true, new_fg, fg, way), color_parameters(false, new_bg, bg, way));
            out.append(GLYPH_BYTES[glyphs[x]], GLYPH_SIZES[glyphs[x]]);
            fg = new_fg, bg = new_bg;
        }
        out.append("\x1b[m\n");  // reset before the line end, so no colour fills the rest of the line
    }
    return out;
}

std::string encode_picture(PictureWay way, const RgbPicture& picture, const unsigned char* file, std::size_t file_size,
                           Placement placement, bool unicode) {
    if (placement.columns <= 0 || placement.rows <= 0) return {};
    switch (way) {
        case PictureWay::NONE:
            return {};
        case PictureWay::KITTY:
            if (placement.side_px >= picture.width && placement.side_px >= picture.height) return encode_kitty(picture);
            return encode_kitty(scale_area(picture, placement.side_px, placement.side_px));
        case PictureWay::ITERM2:
            return encode_iterm2(file, file_size, placement.columns, placement.rows);
        case PictureWay::SIXEL:
            // Terminals leave the cursor on the picture's last text row or the
            // one below it; a line end makes sure it is below.
            return encode_sixel(scale_area(picture, placement.side_px, placement.side_px)) + "\n";
        case PictureWay::HALF_BLOCKS_24BIT:
        case PictureWay::HALF_BLOCKS_256:
        case PictureWay::HALF_BLOCKS_16:
        case PictureWay::HALF_BLOCKS_8:
        case PictureWay::HALF_BLOCKS_LINUX:
            return encode_half_blocks(scale_area(picture, placement.columns, (unicode ? 2 : 1) * placement.rows), way,
                                      unicode);
    }
    return {};
}

const char* closing_for_cut_picture(PictureWay way) {
    switch (way) {
        case PictureWay::KITTY:
            // The escape ended, then an empty last chunk: a transfer left
            // unfinished would swallow the next picture's chunks (seen in kitty).
            return "\x1b\\\x1b_Gq=2,m=0;\x1b\\\x1b[0m";
        case PictureWay::SIXEL:
        case PictureWay::ITERM2:
            // ESC \ ends either string (for iTerm2's as BEL would), and is
            // nothing outside it, where BEL would ring the bell.
            return "\x1b\\\x1b[0m";
        default:
            return "\x1b[0m";
    }
}
