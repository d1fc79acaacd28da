// Runs a copy of the running test program as a child process, for the
// Windows tests that need a process of their own: the copy runs only the
// tests `filter` selects, with `variable` set to `value`, which tells those
// tests that they are the copy.
#pragma once

#include <windows.h>

#include <string>

struct TestCopy {
    PROCESS_INFORMATION process{};
    bool started = false;

    TestCopy(const char* filter, const char* variable, const char* value, DWORD flags) {
        wchar_t exe[MAX_PATH];
        if (GetModuleFileNameW(nullptr, exe, MAX_PATH) == 0) return;
        std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=";
        for (const char* c = filter; *c != '\0'; ++c) command += static_cast<wchar_t>(*c);
        SetEnvironmentVariableA(variable, value);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                                 &process) != 0;
        SetEnvironmentVariableA(variable, nullptr);
    }
    ~TestCopy() {
        if (!started) return;
        TerminateProcess(process.hProcess, 1);  // when it is still running
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    TestCopy(const TestCopy&) = delete;
    TestCopy& operator=(const TestCopy&) = delete;

    // True when the copy ended within `timeout_ms`, with its exit code.
    bool ended(DWORD timeout_ms, DWORD* code) {
        if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) return false;
        return GetExitCodeProcess(process.hProcess, code) != 0;
    }
};
