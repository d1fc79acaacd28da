// The Windows host on a real console: key events put into the console's input
// come out as the console's key reading gives them, and characters written
// land in its cells as the visible stand-ins.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host.h"
#include "test_copy.h"

namespace {

HANDLE open_console(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

INPUT_RECORD key_event(WORD virtual_key, wchar_t character, bool down = true, DWORD state = 0, WORD repeat = 1) {
    INPUT_RECORD r{};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = repeat;
    r.Event.KeyEvent.wVirtualKeyCode = virtual_key;
    r.Event.KeyEvent.uChar.UnicodeChar = character;
    r.Event.KeyEvent.dwControlKeyState = state;
    return r;
}

class Console : public testing::Test {
protected:
    void SetUp() override {
        in_ = open_console(L"CONIN$");
        out_ = open_console(L"CONOUT$");
        ASSERT_NE(in_, INVALID_HANDLE_VALUE) << "these tests need a console";
        ASSERT_NE(out_, INVALID_HANDLE_VALUE);
        host_start();
    }
    void TearDown() override {
        CloseHandle(in_);
        CloseHandle(out_);
    }
    HANDLE in_ = INVALID_HANDLE_VALUE;
    HANDLE out_ = INVALID_HANDLE_VALUE;
};

TEST_F(Console, KeyEventsGiveOneOrTwoCodesAndEverythingElseNone) {
    INPUT_RECORD mouse{};
    mouse.EventType = MOUSE_EVENT;
    const INPUT_RECORD records[] = {
        key_event('Q', 'q'),
        key_event('Q', 'q', false),  // the release
        key_event(VK_UP, 0, true, ENHANCED_KEY),
        mouse,
        key_event(VK_SHIFT, 0, true, SHIFT_PRESSED),
        key_event(VK_F1, 0),
        key_event(VK_NEXT, 0),            // the keypad's Page Down, Num Lock off
        key_event('A', 'a', true, 0, 3),  // held: three repeats in one event
        key_event(VK_ESCAPE, 0),
    };
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(in_, records, ARRAYSIZE(records), &written));
    ASSERT_EQ(written, ARRAYSIZE(records));

    std::vector<int> codes;
    while (key_available()) codes.push_back(read_key());
    EXPECT_EQ(codes, (std::vector<int>{'q', 224, 72, 0, 59, 0, 81, 'a', 'a', 'a', 27}));
}

TEST_F(Console, CharactersLandInTheCellsAsShownStandIns) {
    CONSOLE_SCREEN_BUFFER_INFO before;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out_, &before));
    const int sent[] = {'\n', 'P', 0x1B, 0x07, 0x9B, 0xE9, 0xFF, '\n'};
    for (int code : sent) put_char(code);
    CONSOLE_SCREEN_BUFFER_INFO after;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out_, &after));
    ASSERT_GE(after.dwCursorPosition.Y, 1);
    wchar_t cells[6] = {};
    DWORD read = 0;
    const COORD row{0, static_cast<SHORT>(after.dwCursorPosition.Y - 1)};
    ASSERT_TRUE(ReadConsoleOutputCharacterW(out_, cells, 6, row, &read));
    EXPECT_EQ(std::wstring(cells, read), (std::wstring{L'P', 0x241B, 0x2407, 0x2592, 0xE9, 0xFF}));
}

// Ctrl+C ends a program that waits for a key, through the console's own
// handling after ours. This test starts itself again as that program, on the
// same console, and keeps going itself.
constexpr char CTRL_CHILD[] = "PIXELGROW_TEST_CTRL_CHILD";

BOOL WINAPI keep_going(DWORD) { return TRUE; }

TEST(ConsoleControl, CtrlCEndsAProgramWaitingForAKey) {
    if (const char* ready = std::getenv(CTRL_CHILD)) {
        host_start();
        SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, ready));
        read_key();
        ExitProcess(7);  // a key came instead: wrong
    }
    const std::string ready = "pixelgrow-ready-" + std::to_string(GetCurrentProcessId());
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    ASSERT_NE(event, nullptr);
    TestCopy copy("ConsoleControl.*", CTRL_CHILD, ready.c_str(), 0);
    ASSERT_TRUE(copy.started);
    EXPECT_EQ(WaitForSingleObject(event, 20000), WAIT_OBJECT_0) << "the copy never got ready";
    SetConsoleCtrlHandler(keep_going, TRUE);
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    DWORD code = 0;
    const bool ended = copy.ended(20000, &code);
    SetConsoleCtrlHandler(keep_going, FALSE);
    CloseHandle(event);
    ASSERT_TRUE(ended) << "Ctrl+C did not end it";
    // What the console's handling exits with: Windows says so; wine says 0.
    EXPECT_TRUE(code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT) || code == 0) << code;
}

}  // namespace
