#include "common/terminal_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Every code the bytes decode to, settling whatever is left unfinished at the end.
std::vector<int> decode_all(const std::string& text) {
    std::vector<int> out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    int at = 0;
    const int length = static_cast<int>(text.size());
    while (at < length) {
        const KeyDecode key = decode_key(bytes + at, length - at, false);
        if (key.used <= 0 || key.used > length - at) {
            ADD_FAILURE() << "decode used " << key.used << " of " << length - at;
            break;
        }
        for (int i = 0; i < key.count; ++i) out.push_back(key.codes[i]);
        at += key.used;
    }
    return out;
}

KeyDecode decode(const std::string& text, bool more) {
    return decode_key(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), more);
}

struct Case {
    const char* bytes;
    std::vector<int> codes;
};

TEST(KeyDecoder, KeysWithoutACharacterFromEachTerminalFamily) {
    const std::vector<int> up{224, 72}, down{224, 80}, left{224, 75}, right{224, 77};
    const std::vector<int> home{224, 71}, end{224, 79}, page_up{224, 73}, page_down{224, 81};
    const std::vector<int> insert{224, 82}, del{224, 83};
    auto f = [](int n) { return n <= 10 ? std::vector<int>{0, 58 + n} : std::vector<int>{224, n == 11 ? 133 : 134}; };
    const Case cases[] = {
        // xterm, normal and application cursor modes
        {"\x1b[A", up}, {"\x1b[B", down}, {"\x1b[C", right}, {"\x1b[D", left},
        {"\x1bOA", up}, {"\x1bOB", down}, {"\x1bOC", right}, {"\x1bOD", left},
        {"\x1b[H", home}, {"\x1b[F", end}, {"\x1bOH", home}, {"\x1bOF", end},
        {"\x1b[2~", insert}, {"\x1b[3~", del}, {"\x1b[5~", page_up}, {"\x1b[6~", page_down},
        {"\x1bOP", f(1)}, {"\x1bOQ", f(2)}, {"\x1bOR", f(3)}, {"\x1bOS", f(4)},
        {"\x1b[15~", f(5)}, {"\x1b[17~", f(6)}, {"\x1b[18~", f(7)}, {"\x1b[19~", f(8)},
        {"\x1b[20~", f(9)}, {"\x1b[21~", f(10)}, {"\x1b[23~", f(11)}, {"\x1b[24~", f(12)},
        // xterm with modifiers
        {"\x1b[1;5A", up}, {"\x1b[1;2B", down}, {"\x1b[1;3C", right}, {"\x1b[1;8D", left},
        {"\x1b[1;5H", home}, {"\x1b[5;5~", page_up}, {"\x1b[6;2~", page_down}, {"\x1b[1;2P", f(1)},
        {"\x1b[15;3~", f(5)}, {"\x1b[24;5~", f(12)}, {"\x1bO5A", up},
        // VT220 and the linux console
        {"\x1b[1~", home}, {"\x1b[4~", end}, {"\x1b[[A", f(1)}, {"\x1b[[B", f(2)}, {"\x1b[[C", f(3)},
        {"\x1b[[D", f(4)}, {"\x1b[[E", f(5)},
        // rxvt
        {"\x1b[7~", home}, {"\x1b[8~", end}, {"\x1b[11~", f(1)}, {"\x1b[12~", f(2)}, {"\x1b[13~", f(3)},
        {"\x1b[14~", f(4)}, {"\x1b[a", up}, {"\x1b[b", down}, {"\x1bOc", right}, {"\x1bOd", left},
        {"\x1b[5$", page_up}, {"\x1b[6^", page_down}, {"\x1b[3@", del},
        // keypad in application mode
        {"\x1bOM", {13}}, {"\x1bOp", {'0'}}, {"\x1bOy", {'9'}}, {"\x1bOk", {'+'}},
    };
    for (const Case& c : cases) {
        const std::string bytes = c.bytes;
        const KeyDecode key = decode(bytes, true);
        EXPECT_EQ(key.used, static_cast<int>(bytes.size())) << "sequence ESC" << bytes.substr(1);
        EXPECT_EQ(std::vector<int>(key.codes, key.codes + key.count), c.codes) << "sequence ESC" << bytes.substr(1);
    }
}

TEST(KeyDecoder, CharacterKeys) {
    EXPECT_EQ(decode_all("qQpP"), (std::vector<int>{'q', 'Q', 'p', 'P'}));
    EXPECT_EQ(decode_all("\r\x7f\x03"), (std::vector<int>{13, 8, 3}));  // Enter, Backspace, Ctrl+C as a byte
    EXPECT_EQ(decode_all("\xc3\xa9\xe2\x82\xac"), (std::vector<int>{0xE9, 0x20AC}));  // one key per character
    EXPECT_EQ(decode_all("\xe9x"), (std::vector<int>{0xE9, 'x'}));  // a Latin-1 byte stays itself
    EXPECT_EQ(decode_all("\x1bx"), (std::vector<int>{'x'}));         // Alt+x
}

TEST(KeyDecoder, LoneEscapeWaitsThenSettles) {
    EXPECT_EQ(decode("\x1b", true).used, 0);
    const KeyDecode settled = decode("\x1b", false);
    EXPECT_EQ(settled.used, 1);
    ASSERT_EQ(settled.count, 1);
    EXPECT_EQ(settled.codes[0], 27);
    // Escape typed twice, and Escape before another key arriving in one read.
    EXPECT_EQ(decode_all("\x1b\x1b"), (std::vector<int>{27, 27}));
    EXPECT_EQ(decode_all("\x1b\x1b[A"), (std::vector<int>{27, 224, 72}));
    EXPECT_EQ(decode_all("\x1b\r"), (std::vector<int>{27, 13}));
}

TEST(KeyDecoder, SequencesSplitAcrossReadsWaitForTheirEnd) {
    const std::string full = "\x1b[24;5~";
    for (std::size_t cut = 1; cut < full.size(); ++cut)
        EXPECT_EQ(decode(full.substr(0, cut), true).used, 0) << "after " << cut << " bytes";
    EXPECT_EQ(decode("\x1b[[", true).used, 0);
    EXPECT_EQ(decode("\x1bO", true).used, 0);
    const KeyDecode key = decode(full + "x", true);
    EXPECT_EQ(key.used, static_cast<int>(full.size()));
    EXPECT_EQ(key.codes[1], 134);
}

TEST(KeyDecoder, UnknownAndUnfinishedSequencesAreSwallowedWhole) {
    // Never reported as Escape, and nothing of them leaks out as keys.
    EXPECT_EQ(decode_all("\x1b[99~"), std::vector<int>{});
    EXPECT_EQ(decode_all("\x1b[<0;12;7M"), std::vector<int>{});  // a mouse report
    EXPECT_EQ(decode_all("\x1b[I\x1b[O"), std::vector<int>{});   // focus in and out
    EXPECT_EQ(decode_all("\x1b[1;5"), std::vector<int>{});       // cut short for good
    EXPECT_EQ(decode_all("\x1b[E\x1bOX"), std::vector<int>{});   // keypad 5, unknown ESC O key
    EXPECT_EQ(decode_all("\x1b[99~q"), (std::vector<int>{'q'}));
    EXPECT_EQ(decode_all("\x1b[12\x1b[A"), (std::vector<int>{224, 72}));  // broken off by the next key
}

TEST(KeyDecoder, RandomBytesNeverStallOrOverrun) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(1 + rng() % 24, '\0');
        for (char& c : bytes) {
            const unsigned pick = rng() % 4;  // lean towards the bytes sequences are made of
            c = static_cast<char>(pick == 0 ? 0x1b : pick == 1 ? "[O;~0123456789ABCDPQ$^@<"[rng() % 24] : rng() % 256);
        }
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const int length = static_cast<int>(bytes.size());
        for (int at = 0; at < length;) {
            const KeyDecode waiting = decode_key(b + at, length - at, true);
            ASSERT_GE(waiting.used, 0);
            ASSERT_LE(waiting.used, length - at);
            if (waiting.used == 0) {
                ASSERT_LT(length - at, KEY_SEQUENCE_MAX);  // only short starts wait
            }
            const KeyDecode key = decode_key(b + at, length - at, false);
            ASSERT_GE(key.used, 1);
            ASSERT_LE(key.used, length - at);
            ASSERT_GE(key.count, 0);
            ASSERT_LE(key.count, 2);
            at += key.used;
        }
    }
}

TEST(CharacterEncoding, Utf8TerminalsGetLatin1AsUtf8AndControlsAsPictures) {
    auto utf8 = [](int code) {
        unsigned char out[3];
        const int n = encode_char(code, true, out);
        return std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
    };
    EXPECT_EQ(utf8('A'), "A");
    EXPECT_EQ(utf8('\n'), "\n");
    EXPECT_EQ(utf8(160), "\xc2\xa0");
    EXPECT_EQ(utf8(233), "\xc3\xa9");
    EXPECT_EQ(utf8(255), "\xc3\xbf");
    EXPECT_EQ(utf8(0), "\xe2\x90\x80");   // U+2400
    EXPECT_EQ(utf8(13), "\xe2\x90\x8d");  // U+240D
    EXPECT_EQ(utf8(27), "\xe2\x90\x9b");  // U+241B
    EXPECT_EQ(utf8(127), "\xe2\x90\xa1");  // U+2421
    EXPECT_EQ(utf8(128), "\xe2\x96\x92");  // U+2592
    EXPECT_EQ(utf8(159), "\xe2\x96\x92");
    EXPECT_EQ(utf8(256), "");
    EXPECT_EQ(utf8(-1), "");
}

TEST(CharacterEncoding, OtherTerminalsGetSingleBytesAndAsciiStandIns) {
    auto plain = [](int code) {
        unsigned char out[3];
        const int n = encode_char(code, false, out);
        return std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
    };
    EXPECT_EQ(plain(233), "\xe9");
    EXPECT_EQ(plain(160), "\xa0");
    EXPECT_EQ(plain('\n'), "\n");
    EXPECT_EQ(plain(0), ".");
    EXPECT_EQ(plain(27), ".");
    EXPECT_EQ(plain(150), ".");
    EXPECT_EQ(plain('~'), "~");
}

TEST(CharacterEncoding, LocaleFromTheEnvironment) {
    EXPECT_TRUE(locale_is_utf8(nullptr, nullptr, "en_US.UTF-8"));
    EXPECT_TRUE(locale_is_utf8("", "", "de_DE.utf8"));
    EXPECT_TRUE(locale_is_utf8(nullptr, "C.UTF-8", "C"));
    EXPECT_FALSE(locale_is_utf8("C", "C.UTF-8", "en_US.UTF-8"));  // LC_ALL wins
    EXPECT_FALSE(locale_is_utf8(nullptr, nullptr, "en_US.ISO-8859-1"));
    EXPECT_FALSE(locale_is_utf8(nullptr, nullptr, nullptr));
}

}  // namespace
