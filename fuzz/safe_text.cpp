// Text from outside the program made safe for the terminal, on any bytes and
// in each character set: every byte of it is taken, and what comes out is
// only characters that the set shows, none that a terminal acts on or that
// reorders the text around it.
#include <cstdint>
#include <string>

#include "common/text_encoding.h"
#include "fuzz_check.h"

namespace {

bool acts_or_reorders(long point) {
    return point < 0x20 || (point >= 0x7F && point < 0xA0) || point == 0x061C || point == 0x200E || point == 0x200F ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

void check_shown(const std::string& shown, Charset charset) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(shown.data());
    const int length = static_cast<int>(shown.size());
    for (int at = 0; at < length;) {
        if (charset != Charset::UTF8) {
            const unsigned char c = bytes[at++];
            FUZZ_CHECK((c >= 0x20 && c < 0x7F) || (charset == Charset::LATIN1 && c >= 0xA0));
            continue;
        }
        int n = 1;
        const long point = bytes[at] < 0x80 ? bytes[at] : utf8_decode(bytes + at, length - at, &n);
        FUZZ_CHECK(point >= 0 && n >= 1);
        FUZZ_CHECK(!acts_or_reorders(point));
        at += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const Charset charset : {Charset::UTF8, Charset::LATIN1, Charset::ASCII}) {
        std::string shown;
        for (std::size_t at = 0; at < size;) {
            unsigned char out[4];
            int used = 0;
            const int n = visible_text_char(data + at, static_cast<int>(size - at), charset, out, &used);
            FUZZ_CHECK(used >= 1 && static_cast<std::size_t>(used) <= size - at && n >= 1 && n <= 4);
            shown.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
            at += static_cast<std::size_t>(used);
        }
        check_shown(shown, charset);
    }
    return 0;
}
