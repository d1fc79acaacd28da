// The scanner of the terminal's answers, on any key input: cut into pieces of
// any size it finds what it finds in one piece, and its fields stay in range.
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "terminal_picture.h"

namespace {

bool same_findings(const Answers& a, const Answers& b) {
    return a.device_attributes == b.device_attributes && a.sixel == b.sixel && a.kitty == b.kitty &&
           std::strcmp(a.name, b.name) == 0 && a.cell_width == b.cell_width && a.cell_height == b.cell_height &&
           a.graphics_width == b.graphics_width && a.graphics_height == b.graphics_height &&
           a.secondary_said == b.secondary_said &&
           std::memcmp(a.secondary_attributes, b.secondary_attributes, sizeof a.secondary_attributes) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::size_t piece = 1 + static_cast<std::size_t>(in.pick(64));
    Answers whole, pieces;
    read_answers(&whole, in.data, in.size);
    for (std::size_t at = 0; at < in.size; at += piece)
        read_answers(&pieces, in.data + at, in.size - at < piece ? in.size - at : piece);
    FUZZ_CHECK(same_findings(whole, pieces));
    FUZZ_CHECK(std::memchr(whole.name, '\0', sizeof whole.name) != nullptr);
    FUZZ_CHECK(whole.held_length >= 0 && whole.held_length <= static_cast<int>(sizeof whole.held));
    FUZZ_CHECK(whole.cell_width >= 0 && whole.cell_height >= 0 && whole.graphics_width >= 0 &&
               whole.graphics_height >= 0);
    return 0;
}
