#include "common/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Every code the bytes decode to, read in pieces of `piece` bytes (0: all at
// once), each piece decoded as far as it goes before the next arrives, and
// what is left unfinished at the end settled; the replies handed over go to
// `replies`, when given.
std::vector<int> decode_all(const std::string& text, std::size_t piece = 0,
                            std::vector<std::string>* replies = nullptr) {
    std::vector<int> out;
    KeyDecoder decoder;
    std::string pending;
    std::size_t fed = 0;
    for (;;) {
        const bool last = fed == text.size();
        const std::size_t take = piece == 0 ? text.size() : std::min(piece, text.size() - fed);
        pending += text.substr(fed, take);
        fed += take;
        for (;;) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(pending.data());
            const int length = static_cast<int>(pending.size());
            const KeyDecode key = decode_key(&decoder, bytes, length, !last);
            if (key.used < 0 || key.used > length) {
                ADD_FAILURE() << "decode used " << key.used << " of " << length;
                return out;
            }
            if (key.used == 0) break;
            for (int i = 0; i < key.count; ++i) out.push_back(key.codes[i]);
            if (key.reply && replies != nullptr) replies->emplace_back(decoder.reply, decoder.reply_length);
            pending.erase(0, static_cast<std::size_t>(key.used));
        }
        if (last) break;
    }
    if (!pending.empty()) ADD_FAILURE() << "left undecided: " << testing::PrintToString(pending);
    return out;
}

KeyDecode decode(const std::string& text, bool more) {
    KeyDecoder decoder;
    return decode_key(&decoder, reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()),
                      more);
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
    // A table, several sequences to a row.
    // clang-format off
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
    // clang-format on
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
    // A character parted between two reads (a full read buffer) is still one key, with Alt too.
    for (std::size_t piece : {1u, 2u, 3u})
        EXPECT_EQ(decode_all("a\xc3\xa9\xe2\x82\xac\x1b\xe2\x82\xac\xf0\x9f\x98\x80", piece),
                  (std::vector<int>{'a', 0xE9, 0x20AC, 0x20AC, 0x1F600}))
            << piece;
    EXPECT_EQ(decode_all("\xe2\x82"), (std::vector<int>{0xE2, 0x82}));  // never finished: the bytes themselves
    EXPECT_EQ(decode_all("\xe9x"), (std::vector<int>{0xE9, 'x'}));      // a Latin-1 byte stays itself
    EXPECT_EQ(decode_all("\x1bx"), (std::vector<int>{'x'}));            // Alt+x
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

// Every key the decoder knows in every form a terminal sends it, read whole
// and one byte per read.
TEST(KeyDecoder, EveryKeyInEveryForm) {
    struct Key {
        std::string name;  // the final letter, or the number before '~'
        std::vector<int> codes;
    };
    const std::vector<int> up{224, 72}, down{224, 80}, right{224, 77}, left{224, 75}, home{224, 71}, end{224, 79};
    auto f = [](int n) { return std::vector<int>{0, 58 + n}; };
    const Key letters[] = {{"A", up},   {"B", down},  {"C", right}, {"D", left}, {"a", up},
                           {"b", down}, {"c", right}, {"d", left},  {"H", home}, {"F", end},
                           {"P", f(1)}, {"Q", f(2)},  {"R", f(3)},  {"S", f(4)}, {"Z", {0, 15}}};
    const Key numbers[] = {{"1", home},  {"7", home},      {"2", {224, 82}}, {"3", {224, 83}},   {"4", end},
                           {"8", end},   {"5", {224, 73}}, {"6", {224, 81}}, {"11", f(1)},       {"12", f(2)},
                           {"13", f(3)}, {"14", f(4)},     {"15", f(5)},     {"17", f(6)},       {"18", f(7)},
                           {"19", f(8)}, {"20", f(9)},     {"21", f(10)},    {"23", {224, 133}}, {"24", {224, 134}}};
    const std::string keypad = "Mjklmnopqrstuvwxy";
    const std::string keypad_codes = "\r*+,-./0123456789";
    struct Form {
        std::string bytes;
        std::vector<int> codes;
    };
    std::vector<Form> forms;
    for (const Key& k : letters)
        for (const char* head : {"\x1b[", "\x1bO", "\x1b[1;5", "\x1b[1;2", "\x1bO5"})
            forms.push_back({head + k.name, k.codes});
    for (const Key& k : numbers)
        for (const char* tail : {"~", ";5~", ";2~", "$", "^", "@"}) forms.push_back({"\x1b[" + k.name + tail, k.codes});
    for (std::size_t i = 0; i < keypad.size(); ++i) forms.push_back({"\x1bO" + keypad.substr(i, 1), {keypad_codes[i]}});
    for (const Form& f : forms) {
        SCOPED_TRACE("sequence ESC" + f.bytes.substr(1));
        EXPECT_EQ(decode_all(f.bytes), f.codes);
        EXPECT_EQ(decode_all(f.bytes, 1), f.codes);
        std::vector<int> then_q = f.codes;
        then_q.push_back('q');
        EXPECT_EQ(decode_all(f.bytes + "q"), then_q);
    }
}

TEST(KeyDecoder, OldStyleMouseReportsAreSwallowedWhole) {
    // ESC [ M and three bytes of any value: a click at the summary must start nothing.
    for (const char* report : {"\x1b[M !!", "\x1b[Mq!!", "\x1b[M#\x7f\xff", "\x1b[M\x1b[A"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(report)));
        for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{4}})
            EXPECT_EQ(decode_all(std::string(report) + "p", piece), std::vector<int>{'p'}) << "in pieces of " << piece;
    }
    EXPECT_EQ(decode("\x1b[Mq", true).used, 0);  // waits for the rest
}

TEST(KeyDecoder, LongSequencesAndTerminalRepliesAreSwallowedAcrossReads) {
    const std::string replies[] = {
        "\x1b[1;2;3;4;5;6;7;8;9;10p",                       // longer than any key
        "\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17q",  // ending in q must not stop anything
        "\x1b[?64;1;2;6;9;15;18;21;22c",                    // the terminal's identification
        "\x1b[?1;2$y",                                      // a mode report: '$' is no final here
        "\x1b]11;rgb:0000/0000/0000\x1b\\",                 // a colour report, ended by ST
        "\x1b]10;rgb:ffff/ffff/ffff\x07",                   // ... or by BEL
        "\x1bP1$r0;1m\x1b\\",                               // a DCS reply
        "\x1bO1;2;3;4;5;6;7;8;9;0;1;2;3;4P",
    };
    for (const std::string& r : replies) {
        SCOPED_TRACE(testing::PrintToString(r));
        for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{16}})
            EXPECT_EQ(decode_all(r + "x", piece), std::vector<int>{'x'}) << "in pieces of " << piece;
    }
    // Alone, the same introducers are Alt with a key; a silence ends a sequence left open.
    EXPECT_EQ(decode_all("\x1b]"), std::vector<int>{']'});
    EXPECT_EQ(decode_all("\x1bP"), std::vector<int>{'P'});
    KeyDecoder decoder;
    const std::string open = "\x1b]2;title";
    const auto* b = reinterpret_cast<const unsigned char*>(open.data());
    EXPECT_EQ(decode_key(&decoder, b, static_cast<int>(open.size()), true).used, static_cast<int>(open.size()));
    EXPECT_EQ(decoder.mode, KeyDecoder::IN_STRING);
    decode_key(&decoder, nullptr, 0, false);
    EXPECT_EQ(decoder.mode, KeyDecoder::GROUND);
    const unsigned char q = 'q';
    EXPECT_EQ(decode_key(&decoder, &q, 1, true).codes[0], 'q');
}

TEST(KeyDecoder, RepliesAreHandedOverWholeAndKeysAreNot) {
    const std::string long_attributes = "[?" + std::string(150, '1') + ";4c";
    const struct {
        std::string bytes;
        std::vector<std::string> replies;
        std::vector<int> keys;
    } cases[] = {
        {"\x1b[?63;1;2;4;6;9;15;16;22;28cq", {"[?63;1;2;4;6;9;15;16;22;28c"}, {'q'}},  // longer than a key
        {"\x1b[>65;7006;1c", {"[>65;7006;1c"}, {}},
        {"\x1b[6;20;9t", {"[6;20;9t"}, {}},          // no private marker, but no key either
        {"\x1b[A\x1b[62c", {}, {224, 72, 224, 77}},  // keys (rxvt's Shift+Right) are no replies
        {"\x1bP>|XTerm(379)\x1b\\", {"P>|XTerm(379)"}, {}},
        {"\x1b_Gi=31;OK\x1b\\", {"_Gi=31;OK"}, {}},
        {"\x1b]11;rgb:0000/0000/0000\x07", {"]11;rgb:0000/0000/0000"}, {}},  // BEL ends ESC ] ...
        {"\x1bP>|Wez\x07Term\x1b\\", {"P>|Wez\x07Term"}, {}},                // ... but is content elsewhere
        {"\x1bPab\x18q", {}, {'q'}},                                         // CAN cancels
        {"\x1bPab\x1b[Aq", {}, {224, 72, 'q'}},                              // an Escape breaks it off
        {"\x1b[?62;\x1b[?12;4c", {"[?12;4c"}, {}},                           // ... as it does a sequence
        {"\x1bO1;2;3;4;5;6;7;8;9;0;1;2;3;4P", {}, {}},                       // too long for a key, and no reply
        {"\x1b" + long_attributes, {long_attributes.substr(0, REPLY_MAX - 1) + "c"}, {}},  // the final byte kept
    };
    for (const auto& c : cases)
        for (std::size_t piece : {std::size_t{1}, std::size_t{5}, c.bytes.size()}) {
            SCOPED_TRACE(testing::PrintToString(c.bytes) + " in pieces of " + std::to_string(piece));
            std::vector<std::string> replies;
            EXPECT_EQ(decode_all(c.bytes, piece, &replies), c.keys);
            EXPECT_EQ(replies, c.replies);
        }
}

// What follows an Escape taken as the key: the rest of a reply whose Escape
// came ahead of it, keys, or too little yet to tell.
TEST(KeyDecoder, TheRestOfAReplyAfterItsEscapeIsKnownByHowItBegins) {
    using R = ReplyRest;
    const struct {
        std::string bytes;
        ReplyRest rest;
    } cases[] = {
        {"[?63;4c", R::YES},
        {"[>0;1700;1c", R::YES},
        {"[6;20;9t", R::YES},
        {"[4;900;1200t", R::YES},
        {"P>|XTerm(379)", R::YES},
        {"_Gi=31;OK", R::YES},
        {"[", R::MAYBE},
        {"[6", R::MAYBE},
        {"P", R::MAYBE},
        {"P>", R::MAYBE},
        {"_", R::MAYBE},
        {"q", R::NO},
        {"x[?", R::NO},
        {"[A", R::NO},
        {"[5~", R::NO},
        {"P1$r", R::NO},
        {"]11;rgb:0/0/0", R::NO},
        {"\x1b[?63;4c", R::NO},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reply_rest(reinterpret_cast<const unsigned char*>(c.bytes.data()), static_cast<int>(c.bytes.size())),
                  c.rest)
            << testing::PrintToString(c.bytes);
}

TEST(KeyDecoder, RandomBytesNeverStallOrOverrun) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(1 + rng() % 24, '\0');
        for (char& c : bytes) {
            const unsigned pick = rng() % 4;  // lean towards the bytes sequences are made of
            c = static_cast<char>(pick == 0   ? 0x1b
                                  : pick == 1 ? "[O;~0123456789ABCDPQ$^@<]\\"[rng() % 26]
                                              : rng() % 256);
        }
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const int length = static_cast<int>(bytes.size());
        KeyDecoder decoder;
        for (int at = 0; at < length;) {
            KeyDecoder waiting_decoder = decoder;
            const KeyDecode waiting = decode_key(&waiting_decoder, b + at, length - at, true);
            ASSERT_GE(waiting.used, 0);
            ASSERT_LE(waiting.used, length - at);
            if (waiting.used == 0) {
                ASSERT_LT(length - at, KEY_SEQUENCE_MAX);  // only short starts wait
            }
            const KeyDecode key = decode_key(&decoder, b + at, length - at, false);
            ASSERT_GE(key.used, 1);
            ASSERT_LE(key.used, length - at);
            ASSERT_GE(key.count, 0);
            ASSERT_LE(key.count, 2);
            at += key.used;
        }
    }
}

}  // namespace
