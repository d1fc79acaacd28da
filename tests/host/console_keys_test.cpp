#include "common/console_keys.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Key events as the Windows console reports them, and the codes the console's
// own key reading gives for them.
struct Event {
    const char* what;
    ConsoleKey key;
    std::vector<int> codes;
};

TEST(ConsoleKeys, EventsGiveTheCodesOfTheConsolesKeyReading) {
    const Event events[] = {
        {"q", {0x51, 'q', false}, {'q'}},
        {"Shift+P", {0x50, 'P', false}, {'P'}},
        {"Escape with its character", {0x1B, 27, false}, {27}},
        {"Escape without it", {0x1B, 0, false}, {27}},
        {"Enter", {0x0D, 13, false}, {13}},
        {"Ctrl+C as a key", {0x43, 3, false}, {3}},
        {"a character past Latin-1", {0x45, 0x20AC, false}, {0x20AC}},
        {"Up", {0x26, 0, true}, {224, 72}},
        {"Down", {0x28, 0, true}, {224, 80}},
        {"Left", {0x25, 0, true}, {224, 75}},
        {"Right", {0x27, 0, true}, {224, 77}},
        {"Home", {0x24, 0, true}, {224, 71}},
        {"End", {0x23, 0, true}, {224, 79}},
        {"Page Up", {0x21, 0, true}, {224, 73}},
        {"Page Down", {0x22, 0, true}, {224, 81}},
        {"Insert", {0x2D, 0, true}, {224, 82}},
        {"Delete", {0x2E, 0, true}, {224, 83}},
        {"keypad Up, Num Lock off", {0x26, 0, false}, {0, 72}},
        {"keypad Page Down", {0x22, 0, false}, {0, 81}},
        {"keypad 5", {0x0C, 0, false}, {0, 76}},
        {"F1", {0x70, 0, false}, {0, 59}},
        {"F5", {0x74, 0, false}, {0, 63}},
        {"F10", {0x79, 0, false}, {0, 68}},
        {"F11", {0x7A, 0, false}, {224, 133}},
        {"F12", {0x7B, 0, false}, {224, 134}},
        {"Shift alone", {0x10, 0, false}, {}},
        {"Ctrl alone", {0x11, 0, false}, {}},
        {"Caps Lock", {0x14, 0, false}, {}},
        {"F13", {0x7C, 0, false}, {}},
    };
    for (const Event& e : events) {
        int codes[2] = {-7, -7};
        const int n = console_key_codes(e.key, codes);
        ASSERT_GE(n, 0) << e.what;
        ASSERT_LE(n, 2) << e.what;
        EXPECT_EQ(std::vector<int>(codes, codes + n), e.codes) << e.what;
    }
}

}  // namespace
