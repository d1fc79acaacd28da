#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::string encoded(int code, Charset charset) {
    unsigned char out[3];
    const int n = encode_char(code, charset, out);
    return std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
}

TEST(CharacterEncoding, Utf8TerminalsGetLatin1AsUtf8AndControlsAsPictures) {
    const std::pair<int, const char*> cases[] = {
        {'A', "A"},
        {'\n', "\n"},
        {160, "\xc2\xa0"},
        {233, "\xc3\xa9"},
        {255, "\xc3\xbf"},
        {0, "\xe2\x90\x80"},
        {13, "\xe2\x90\x8d"},
        {27, "\xe2\x90\x9b"},
        {127, "\xe2\x90\xa1"},
        {128, "\xe2\x96\x92"},
        {159, "\xe2\x96\x92"},
        {256, ""},
        {-1, ""},
    };
    for (const auto& [code, want] : cases) EXPECT_EQ(encoded(code, Charset::UTF8), want) << code;
}

TEST(CharacterEncoding, SingleByteCharsetsGetOneVisibleCellPerCode) {
    // ISO 8859-1 shows 160..255 itself; ASCII cannot, and gets '#' for them.
    const int codes[] = {'~', '\n', 0, 27, 150, 160, 233, 255};
    const char* latin1[] = {"~", "\n", ".", ".", ".", "\xa0", "\xe9", "\xff"};
    const char* ascii[] = {"~", "\n", ".", ".", ".", "#", "#", "#"};
    for (std::size_t i = 0; i < std::size(codes); ++i) {
        EXPECT_EQ(encoded(codes[i], Charset::LATIN1), latin1[i]) << codes[i];
        EXPECT_EQ(encoded(codes[i], Charset::ASCII), ascii[i]) << codes[i];
    }
}

std::string visible(const std::string& text, Charset charset) {
    std::string out;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    for (int at = 0, length = static_cast<int>(text.size()); at < length;) {
        unsigned char shown[4];
        int used = 0;
        const int n = visible_text_char(b + at, length - at, charset, shown, &used);
        out.append(reinterpret_cast<char*>(shown), static_cast<std::size_t>(n));
        at += used;
    }
    return out;
}

TEST(CharacterEncoding, OutsideTextKeepsPrintablesAndShowsControls) {
    const std::string hostile =
        "x\x1b]2;PWNED\a\x1b[?25l\n\xc2\x9b"
        "caf\xc3\xa9 \xe2\x82\xac\xff";
    EXPECT_EQ(visible(hostile, Charset::UTF8),
              "x\xe2\x90\x9b]2;PWNED\xe2\x90\x87\xe2\x90\x9b[?25l\xe2\x90\x8a\xe2\x96\x92"
              "caf\xc3\xa9 \xe2\x82\xac\xef\xbf\xbd");
    EXPECT_EQ(visible(hostile, Charset::LATIN1), "x?]2;PWNED??[?25l?\xc2?caf\xc3\xa9 \xe2?\xac\xff");
    EXPECT_EQ(visible(hostile, Charset::ASCII), "x?]2;PWNED??[?25l???caf?? ????");
    EXPECT_EQ(visible("/home/user/pictures", Charset::UTF8), "/home/user/pictures");
    // A surrogate and an overlong form are no characters: one stand-in per byte.
    std::string replacements;
    for (int i = 0; i < 5; ++i) replacements += "\xef\xbf\xbd";
    EXPECT_EQ(visible("\xed\xa0\x80\xc0\xaf", Charset::UTF8), replacements);
}

TEST(CharacterEncoding, OutsideTextShowsMarksThatReorderIt) {
    // "abc", a right-to-left override, "gpj.exe": it would read as "abcexe.jpg".
    EXPECT_EQ(visible("abc\xe2\x80\xaegpj.exe", Charset::UTF8), "abc\xe2\x96\x92gpj.exe");
    for (const char* mark :
         {"\xe2\x80\xaa", "\xe2\x80\xae", "\xe2\x81\xa6", "\xe2\x81\xa9", "\xe2\x80\x8e", "\xe2\x80\x8f", "\xd8\x9c"})
        EXPECT_EQ(visible(mark, Charset::UTF8), "\xe2\x96\x92") << testing::PrintToString(std::string(mark));
    // Their neighbours are ordinary characters.
    for (const char* kept : {"\xe2\x80\xa9", "\xe2\x80\xaf", "\xe2\x81\xaa", "\xe2\x80\x8d", "\xd8\x9b"})
        EXPECT_EQ(visible(kept, Charset::UTF8), kept) << testing::PrintToString(std::string(kept));
}

TEST(CharacterEncoding, CharsetFromTheEnvironment) {
    EXPECT_EQ(charset_of_locale(nullptr, nullptr, "en_US.UTF-8"), Charset::UTF8);
    EXPECT_EQ(charset_of_locale("", "", "de_DE.utf8"), Charset::UTF8);
    EXPECT_EQ(charset_of_locale(nullptr, "C.UTF-8", "C"), Charset::UTF8);
    EXPECT_EQ(charset_of_locale("C", "C.UTF-8", "en_US.UTF-8"), Charset::ASCII);  // LC_ALL wins
    EXPECT_EQ(charset_of_locale(nullptr, nullptr, "en_US.ISO-8859-1"), Charset::LATIN1);
    EXPECT_EQ(charset_of_locale(nullptr, nullptr, "de_DE.iso88591"), Charset::LATIN1);
    EXPECT_EQ(charset_of_locale(nullptr, nullptr, "et_EE.ISO-8859-15"), Charset::ASCII);
    EXPECT_EQ(charset_of_locale(nullptr, "POSIX", nullptr), Charset::ASCII);
    EXPECT_EQ(charset_of_locale(nullptr, nullptr, nullptr), Charset::ASCII);
}

}  // namespace
