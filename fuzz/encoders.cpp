// The picture encoders, for any terminal size, answers and way: the placement
// stays inside the terminal, half blocks fill exactly its rows and columns,
// every escape string opened is closed, and so is one cut off anywhere once
// the way's closing bytes follow it.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "terminal_picture.h"

namespace {

// Scans terminal output as a terminal's parser would. Strict: every escape
// is a complete control sequence or string. Lenient (a picture cut off, then
// closed): ESC also cancels an escape or control sequence under way, and a
// string terminator outside a string does nothing, as in a terminal. A
// string ends only at its terminator (ESC \, or BEL for ]), in either: the
// terminal that is least forgiving swallows all else.
bool nothing_left_open(const std::string& out, bool strict) {
    enum { TEXT, ESCAPE, CONTROL, STRING, STRING_ESCAPE } state = TEXT;
    char opener = 0;
    for (const char c : out) {
        switch (state) {
            case TEXT:
                if (c == '\x1b') state = ESCAPE;
                break;
            case ESCAPE:
                if (c == '[') {
                    state = CONTROL;
                } else if (c == '_' || c == 'P' || c == ']') {
                    state = STRING, opener = c;
                } else if (c == '\\' && !strict) {
                    state = TEXT;
                } else if (c != '\x1b' || strict) {
                    return false;
                }
                break;
            case CONTROL:
                if (c >= 0x40 && c <= 0x7E) {
                    state = TEXT;
                } else if (c == '\x1b' && !strict) {
                    state = ESCAPE;
                } else if (!((c >= '0' && c <= '9') || c == ';')) {
                    return false;
                }
                break;
            case STRING:
                if (c == '\x1b') state = STRING_ESCAPE;
                if (c == '\a' && opener == ']') state = TEXT;
                break;
            case STRING_ESCAPE:
                if (c == '\\') {
                    state = TEXT;
                } else if (strict) {
                    return false;
                } else if (c != '\x1b') {
                    state = STRING;
                }
                break;
        }
    }
    return state == TEXT;
}

// The rows of half blocks, each the count of its cells.
std::vector<int> cells_per_row(const std::string& out, bool unicode) {
    std::vector<int> rows{0};
    for (std::size_t at = 0; at < out.size();) {
        if (out[at] == '\x1b') {
            at = out.find('m', at);
            FUZZ_CHECK(at != std::string::npos);
            ++at;
        } else if (out[at] == '\n') {
            rows.push_back(0), ++at;
        } else if (unicode && out[at] != ' ') {
            FUZZ_CHECK(out.compare(at, 3, "\xe2\x96\x80") == 0 || out.compare(at, 3, "\xe2\x96\x84") == 0);
            ++rows.back(), at += 3;
        } else {
            FUZZ_CHECK(out[at] == ' ');
            ++rows.back(), ++at;
        }
    }
    FUZZ_CHECK(rows.back() == 0);  // the last row ended with its line end
    rows.pop_back();
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const auto way = static_cast<PictureWay>(in.pick(9));
    const bool unicode = in.pick(2) == 1;
    TerminalSize terminal{in.pick(65536), in.pick(65536), in.pick(65536), in.pick(65536)};
    Answers answers;
    answers.cell_width = in.pick(1 << 21), answers.cell_height = in.pick(1 << 21);
    answers.graphics_width = in.pick(1 << 21), answers.graphics_height = in.pick(1 << 21);
    const int reserved = in.pick(8), side = 1 + in.pick(48);
    const std::size_t cut = static_cast<std::size_t>(in.pick(1 << 16));
    RgbPicture picture{side, side, std::vector<unsigned char>(static_cast<std::size_t>(side) * side * 3)};
    for (std::size_t i = 0; i < picture.bytes.size() && i < in.size; ++i) picture.bytes[i] = in.data[i];

    terminal = with_answered_pixels(terminal, answers);
    FUZZ_CHECK(terminal.width_px >= 0 && terminal.height_px >= 0);
    const Placement place = place_picture(way, side, terminal, reserved);
    const int columns = terminal.columns > 0 ? terminal.columns : 80, rows = terminal.rows > 0 ? terminal.rows : 24;
    if (place.columns > 0) {
        FUZZ_CHECK(place.columns <= columns && place.rows >= 1 && place.rows <= rows - reserved);
        if (is_half_blocks(way)) {
            FUZZ_CHECK(place.side_px == 0 && place.columns <= std::max(1, side));
        } else {
            FUZZ_CHECK(place.side_px >= 1 && place.side_px <= side);
            if (terminal.width_px >= columns && terminal.height_px >= rows)
                FUZZ_CHECK(place.side_px <= terminal.width_px && place.side_px <= terminal.height_px);
        }
    }

    const std::string out = encode_picture(way, picture, in.data, in.size, place, unicode);
    if (way == PictureWay::NONE || place.columns == 0) {
        FUZZ_CHECK(out.empty());
        return 0;
    }
    FUZZ_CHECK(nothing_left_open(out, true) && out.back() == '\n');
    if (is_half_blocks(way))
        FUZZ_CHECK(cells_per_row(out, unicode) ==
                   std::vector<int>(static_cast<std::size_t>(place.rows), place.columns));
    const std::string cut_off = out.substr(0, cut % out.size()) + closing_for_cut_picture(way);
    FUZZ_CHECK(nothing_left_open(cut_off, false));
    return 0;
}
