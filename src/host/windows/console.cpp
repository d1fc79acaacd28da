// The Windows console: key events read from the console itself, characters
// written to it, whether or not the standard streams are redirected.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/console_keys.h"
#include "common/output.h"
#include "host.h"
#include "windows/shared.h"

namespace {

HANDLE console_in = INVALID_HANDLE_VALUE;   // CONIN$, or invalid without a console
HANDLE console_out = INVALID_HANDLE_VALUE;  // CONOUT$

// Decoded codes not handed out yet, and repeats of the last key still to give.
int codes[2];
int code_count = 0;
int code_next = 0;
ConsoleKey last_key{};
unsigned repeats_left = 0;

// Characters for the console, written out at each line feed.
wchar_t out_units[2048];
DWORD out_length = 0;

HANDLE open_console(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

// Takes key events until one gives codes. Without `wait`, only what is there
// already; false when nothing gave codes.
bool take_codes(bool wait) {
    for (;;) {
        if (repeats_left > 0) {
            --repeats_left;
            code_count = console_key_codes(last_key, codes);
            code_next = 0;
            if (code_count > 0) return true;
            continue;
        }
        // Waiting on the input, even for no time, is also what makes wine
        // read its terminal.
        if (!wait && WaitForSingleObject(console_in, 0) != WAIT_OBJECT_0) return false;
        DWORD pending = 0;
        if (!wait && (!GetNumberOfConsoleInputEvents(console_in, &pending) || pending == 0)) return false;
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputW(console_in, &record, 1, &read) || read == 0) return false;
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;  // mouse, focus, releases
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        last_key = {key.wVirtualKeyCode, key.uChar.UnicodeChar, (key.dwControlKeyState & ENHANCED_KEY) != 0};
        repeats_left = key.wRepeatCount > 0 ? key.wRepeatCount : 1;
    }
}

}  // namespace

// Windows has no shell report that a dying program's line could run into.
void note_line_end(bool, bool) {}

void host_start() {
    static bool started = false;
    if (started) return;
    started = true;
    console_in = open_console(L"CONIN$");
    console_out = open_console(L"CONOUT$");
    install_ctrl_handler();
    std::atexit(flush_terminal_output);
}

bool key_available() {
    if (code_next < code_count) return true;
    return console_in != INVALID_HANDLE_VALUE && take_codes(false);
}

// The console hands over each key whole.
bool key_undecided() { return false; }

int read_key() {
    if (console_in == INVALID_HANDLE_VALUE) return -1;
    flush_terminal_output();
    if (code_next == code_count && !take_codes(true)) return -1;
    return codes[code_next++];
}

void put_char(int code) {
    std::fflush(stdout);  // what standard output holds comes first
    if (console_out == INVALID_HANDLE_VALUE || code < 0 || code > 255) return;
    if (out_length == sizeof out_units / sizeof out_units[0]) flush_terminal_output();
    out_units[out_length++] = static_cast<wchar_t>(visible_code_point(code));
    if (code == '\n') flush_terminal_output();
}

void flush_terminal_output() {
    if (out_length == 0) return;
    DWORD written = 0;
    if (console_out != INVALID_HANDLE_VALUE) WriteConsoleW(console_out, out_units, out_length, &written, nullptr);
    out_length = 0;
}

// Standard output's bytes are shown in the console's code page.
Charset terminal_charset() { return GetConsoleOutputCP() == CP_UTF8 ? Charset::UTF8 : Charset::LATIN1; }

void show_warning(const char* text, const char* caption) {
    flush_terminal_output();
    // Without a desktop to show it on, the box fails at once: the error stream then.
    if (MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONWARNING) <= 0)
        std::fprintf(stderr, "%s: %s\n", caption, text);
}
