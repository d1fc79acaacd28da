// The one reader of the terminal's bytes, fed as the terminal reader feeds
// it: bytes arrive in pieces (the reader's buffer holds 64), a sequence waits
// for the rest of itself, and once input stops what is left is settled.
// Whatever the cuts, the keys and the answers are those of the bytes read one
// at a time, every reply fits its buffer, and the reading ends.
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/key_decoder.h"
#include "fuzz_check.h"
#include "terminal_picture.h"

namespace {

constexpr std::size_t BUFFER = 64;

struct Read {
    std::vector<int> codes;
    Answers answers;
    int replies = 0;
};

bool same(const Read& a, const Read& b) {
    const Answers &x = a.answers, &y = b.answers;
    return a.codes == b.codes && a.replies == b.replies && x.device_attributes == y.device_attributes &&
           x.sixel == y.sixel && x.kitty == y.kitty && std::strcmp(x.name, y.name) == 0 &&
           x.cell_width == y.cell_width && x.cell_height == y.cell_height && x.graphics_width == y.graphics_width &&
           x.graphics_height == y.graphics_height && x.text_width == y.text_width && x.text_height == y.text_height &&
           x.secondary_said == y.secondary_said &&
           std::memcmp(x.secondary_attributes, y.secondary_attributes, sizeof x.secondary_attributes) == 0;
}

// The keys and answers of `bytes` arriving `piece` at a time.
Read read(const std::uint8_t* bytes, std::size_t size, std::size_t piece) {
    KeyDecoder decoder;
    Read out;
    unsigned char buffer[BUFFER];
    int length = 0;
    std::size_t at = 0;
    for (int calls = 0;; ++calls) {
        FUZZ_CHECK(calls <= static_cast<int>(2 * size + 4));  // each call takes a byte, or waits for one
        const bool more = at < size;
        const KeyDecode key = decode_key(&decoder, buffer, length, more);
        FUZZ_CHECK(key.used >= 0 && key.used <= length && key.count >= 0 && key.count <= 2);
        FUZZ_CHECK(key.used > 0 || (key.count == 0 && !key.reply));
        FUZZ_CHECK(!key.reply || key.count == 0);  // a reply is no key
        for (int i = 0; i < key.count; ++i) {
            FUZZ_CHECK(key.codes[i] >= 0 && key.codes[i] <= 0x10FFFF);  // a byte, or a character
            out.codes.push_back(key.codes[i]);
        }
        if (key.reply) {
            FUZZ_CHECK(decoder.reply_length >= 1 && decoder.reply_length <= REPLY_MAX);
            read_answer(&out.answers, decoder.reply, decoder.reply_length);
            ++out.replies;
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
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::size_t piece = 1 + static_cast<std::size_t>(in.pick(BUFFER));
    const Read whole = read(in.data, in.size, piece);
    FUZZ_CHECK(same(whole, read(in.data, in.size, 1)));
    // The rest of a reply after an Escape taken as the key begins only with
    // what may follow an Escape at all.
    if (in.size > 0 && reply_rest(in.data, static_cast<int>(in.size)) != ReplyRest::NO)
        FUZZ_CHECK(may_follow_escape(in.data[0]));
    const Answers& a = whole.answers;
    FUZZ_CHECK(std::memchr(a.name, '\0', sizeof a.name) != nullptr);
    FUZZ_CHECK(a.cell_width >= 0 && a.cell_height >= 0 && a.graphics_width >= 0 && a.graphics_height >= 0 &&
               a.text_width >= 0 && a.text_height >= 0);
    return 0;
}
