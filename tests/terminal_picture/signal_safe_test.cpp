// What a signal handler runs while the program ends (the reply reader's
// decoder, read_answer, the closing of a cut picture) must never allocate:
// the handler may have cut an allocation short. Here the allocator fails
// the test whenever one of them is running; this program alone replaces it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "common/key_decoder.h"
#include "terminal_picture.h"

namespace {

bool forbidden = false;
int allocations_while_forbidden = 0;

void* allocate(std::size_t size) {
    if (forbidden) ++allocations_while_forbidden;
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Decodes `input` `piece` bytes at a time (at most 512), as the handler's
// reader does, handing each reply to read_answer.
Answers read_in_pieces(const std::string& input, std::size_t piece) {
    KeyDecoder decoder;
    Answers answers;
    unsigned char bytes[512];
    int length = 0;
    for (std::size_t fed = 0;;) {
        const bool last = fed == input.size();
        const std::size_t take = std::min(input.size() - fed, piece);
        for (std::size_t i = 0; i < take; ++i) bytes[length++] = static_cast<unsigned char>(input[fed + i]);
        fed += take;
        for (;;) {
            const KeyDecode key = decode_key(&decoder, bytes, length, !last);
            if (key.used == 0) break;
            if (key.reply) read_answer(&answers, decoder.reply, decoder.reply_length);
            for (int i = key.used; i < length; ++i) bytes[i - key.used] = bytes[i];
            length -= key.used;
        }
        if (last) return answers;
    }
}

TEST(SignalSafe, ReadingRepliesAndClosingAPictureNeverAllocate) {
    const std::string replies =
        "q\x1b[A\x1b_Gi=31;OK\x1b\\\x1bP>|XTerm(379)\x1b\\\x1b[6;20;9t\x1b[4;935;840t"
        "\x1b[?2;0;480;312S\x1b[>65;7006;1c\x1b[?63;1;2;4;6;9;15;16;22;28c" +
        std::string(300, '7') + "\x1b]11;rgb:0000/0000/0000\a\x1bP" + std::string(200, 'x');
    forbidden = true;
    const Answers a = read_in_pieces(replies, 7);
    for (PictureWay way : {PictureWay::NONE, PictureWay::KITTY, PictureWay::ITERM2, PictureWay::SIXEL,
                           PictureWay::HALF_BLOCKS_24BIT, PictureWay::HALF_BLOCKS_LINUX})
        EXPECT_NE(closing_for_cut_picture(way), nullptr);
    forbidden = false;
    EXPECT_EQ(allocations_while_forbidden, 0);
    // The replies were read, so the code above did run.
    EXPECT_TRUE(a.sixel && a.kitty);
    EXPECT_EQ(a.device_attributes, 1);
    EXPECT_EQ(a.text_width, 840);
    // And the counting works: an allocation while forbidden is seen.
    forbidden = true;
    const std::vector<char> grown(100);
    forbidden = false;
    EXPECT_EQ(allocations_while_forbidden, 1);
}

}  // namespace
