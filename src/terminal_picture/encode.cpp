#include <algorithm>
#include <string>
#include <cstdlib>

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

// The 256-colour palette's 6 × 6 × 6 cube levels and its 24 greys.
constexpr int CUBE[6] = {0, 95, 135, 175, 215, 255};

int nearest_level(int v) {
    int best = 0;
    for (int i = 1; i < 6; ++i)
        if (std::abs(CUBE[i] - v) < std::abs(CUBE[best] - v)) best = i;
    return best;
}

int distance2(int r, int g, int b, int r2, int g2, int b2) {
    return (r - r2) * (r - r2) + (g - g2) * (g - g2) + (b - b2) * (b - b2);
}

// The palette entry nearest a colour: the nearest cube corner or the nearest grey.
int palette_index(const unsigned char* p) {
    const int r = nearest_level(p[0]), g = nearest_level(p[1]), b = nearest_level(p[2]);
    const int cube = 16 + 36 * r + 6 * g + b;
    const int cube_d = distance2(p[0], p[1], p[2], CUBE[r], CUBE[g], CUBE[b]);
    const int mean = (p[0] + p[1] + p[2]) / 3;
    const int grey = std::clamp((mean - 8 + 5) / 10, 0, 23);  // greys are 8 + 10 i
    const int level = 8 + 10 * grey;
    return distance2(p[0], p[1], p[2], level, level, level) < cube_d ? 232 + grey : cube;
}

void append_color(std::string* out, bool foreground, const unsigned char* p, bool full_color) {
    out->append(foreground ? "\x1b[38;" : "\x1b[48;");
    if (full_color) {
        out->append("2;");
        *out += std::to_string(p[0]);
        *out += ';';
        *out += std::to_string(p[1]);
        *out += ';';
        *out += std::to_string(p[2]);
    } else {
        out->append("5;");
        *out += std::to_string(palette_index(p));
    }
    *out += 'm';
}

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

std::string encode_half_blocks(const RgbPicture& picture, bool full_color, bool unicode) {
    std::string out;
    const std::size_t w = static_cast<std::size_t>(picture.width);
    const int step = unicode ? 2 : 1;
    for (int y = 0; y + step <= picture.height; y += step) {
        const unsigned char* top = &picture.bytes[static_cast<std::size_t>(y) * w * 3];
        const unsigned char* bottom = unicode ? top + w * 3 : top;
        for (std::size_t x = 0; x < w; ++x) {
            // A colour is sent only when it differs from the cell before.
            const bool first = x == 0;
            if (unicode && (first || !std::equal(top + 3 * x, top + 3 * x + 3, top + 3 * x - 3)))
                append_color(&out, true, top + 3 * x, full_color);
            if (first || !std::equal(bottom + 3 * x, bottom + 3 * x + 3, bottom + 3 * x - 3))
                append_color(&out, false, bottom + 3 * x, full_color);
            // The upper half block: foreground above, background below. A
            // terminal whose character set lacks it gets a space, one pixel a cell.
            out.append(unicode ? "\xe2\x96\x80" : " ");
        }
        out.append("\x1b[0m\n");  // reset before the line end, so no colour fills the rest of the line
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
            return encode_half_blocks(scale_area(picture, placement.columns, (unicode ? 2 : 1) * placement.rows),
                                      way == PictureWay::HALF_BLOCKS_24BIT, unicode);
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
