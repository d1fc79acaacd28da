#include <windows.h>
// after windows.h, which they build on
#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "common/output.h"
#include "host.h"

void current_directory(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    // The length without the zero when it fits; the room it would need when not.
    const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    if (n == 0 || n >= static_cast<DWORD>(size)) buffer[0] = '\0';
}

// The shell opens the file with its default program; nothing runs the name
// through a command interpreter, so it is one argument whatever it holds.
void run_command(const char* text) {
    static const char START[] = "start ";
    if (text == nullptr || std::strncmp(text, START, sizeof START - 1) != 0) return;
    const char* file = text + sizeof START - 1;
    wchar_t wide[MAX_PATH + 1];
    if (file[0] == '\0' || MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH + 1) == 0) return;
    flush_terminal_output();
    static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    (void)com;
    ShellExecuteW(nullptr, L"open", wide, nullptr, nullptr, SW_SHOWNORMAL);
}

// The console shows no pictures: the viewer opened by run_command does.
void show_in_terminal(const unsigned char*, std::size_t, const char*, const char*) {}
