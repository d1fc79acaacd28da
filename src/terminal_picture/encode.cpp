#include <algorithm>
#include <string>

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

void append_rgb(std::string* out, bool foreground, const unsigned char* p) {
    out->append(foreground ? "\x1b[38;2;" : "\x1b[48;2;");
    *out += std::to_string(p[0]);
    *out += ';';
    *out += std::to_string(p[1]);
    *out += ';';
    *out += std::to_string(p[2]);
    *out += 'm';
}

// A palette colour: the 256-colour code, or for the sixteen the codes every
// colour terminal knows, the bright ones as 90 .. 97 and 100 .. 107.
void append_index(std::string* out, bool foreground, int index, PictureWay way) {
    if (way == PictureWay::HALF_BLOCKS_256) {
        out->append(foreground ? "\x1b[38;5;" : "\x1b[48;5;");
        *out += std::to_string(index);
    } else {
        out->append("\x1b[");
        *out += std::to_string((foreground ? 30 : 40) + (index < 8 ? index : 60 + index - 8));
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
    // A colour is sent only when it differs from the same half of the cell before.
    const auto differs = [&](std::size_t a, std::size_t b) {
        return full_color ? !std::equal(rgb + 3 * a, rgb + 3 * a + 3, rgb + 3 * b) : indices[a] != indices[b];
    };
    const auto append_color = [&](bool foreground, std::size_t at) {
        if (full_color)
            append_rgb(&out, foreground, rgb + 3 * at);
        else
            append_index(&out, foreground, indices[at], way);
    };
    const std::size_t w = static_cast<std::size_t>(picture.width);
    const int step = unicode ? 2 : 1;
    for (int y = 0; y + step <= picture.height; y += step) {
        const std::size_t top = static_cast<std::size_t>(y) * w, bottom = unicode ? top + w : top;
        for (std::size_t x = 0; x < w; ++x) {
            if (unicode && (x == 0 || differs(top + x, top + x - 1))) append_color(true, top + x);
            if (x == 0 || differs(bottom + x, bottom + x - 1)) append_color(false, bottom + x);
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
