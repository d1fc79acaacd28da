// The key decoder, fed as the terminal reader feeds it: bytes arrive in
// pieces (the reader's buffer holds 64), a sequence waits for the rest of
// itself, and once input stops what is left is settled. Whatever the cuts,
// the keys are those of the bytes read one at a time, and the decoding ends.
#include <cstdint>
#include <vector>

#include "common/key_decoder.h"
#include "fuzz_check.h"

namespace {

constexpr std::size_t BUFFER = 64;

// The codes of `bytes` arriving `piece` at a time.
std::vector<int> keys(const std::uint8_t* bytes, std::size_t size, std::size_t piece) {
    KeyDecoder decoder;
    std::vector<int> codes;
    unsigned char buffer[BUFFER];
    int length = 0;
    std::size_t at = 0;
    for (int calls = 0;; ++calls) {
        FUZZ_CHECK(calls <= static_cast<int>(2 * size + 4));  // each call takes a byte, or waits for one
        const bool more = at < size;
        const KeyDecode key = decode_key(&decoder, buffer, length, more);
        FUZZ_CHECK(key.used >= 0 && key.used <= length && key.count >= 0 && key.count <= 2);
        FUZZ_CHECK(key.used > 0 || key.count == 0);
        for (int i = 0; i < key.count; ++i) {
            FUZZ_CHECK(key.codes[i] >= 0 && key.codes[i] <= 0x10FFFF);  // a byte, or a character
            codes.push_back(key.codes[i]);
        }
        if (key.used > 0) {
            for (int i = key.used; i < length; ++i) buffer[i - key.used] = buffer[i];
            length -= key.used;
            continue;
        }
        if (!more) {
            FUZZ_CHECK(length == 0);  // settled: nothing is left waiting
            break;
        }
        // More is needed: the reader takes what fits of the next piece.
        std::size_t n = piece < size - at ? piece : size - at;
        if (n > BUFFER - static_cast<std::size_t>(length)) n = BUFFER - static_cast<std::size_t>(length);
        FUZZ_CHECK(n > 0);  // the decoder never waits on a full buffer
        for (std::size_t i = 0; i < n; ++i) buffer[length++] = bytes[at++];
    }
    return codes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::size_t piece = 1 + static_cast<std::size_t>(in.pick(BUFFER));
    FUZZ_CHECK(keys(in.data, in.size, piece) == keys(in.data, in.size, 1));
    return 0;
}
