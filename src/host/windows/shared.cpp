#include "windows/shared.h"

#include <windows.h>

namespace ctrl_shared {

namespace {
SRWLOCK guard = SRWLOCK_INIT;
}

void lock() { AcquireSRWLockExclusive(&guard); }
void unlock() { ReleaseSRWLockExclusive(&guard); }

wchar_t temp_name[TEMP_NAME_SIZE];
bool temp_name_set = false;

}  // namespace ctrl_shared

namespace {

// The lock is kept: the program's thread must not give the file its name
// while the process is being ended.
BOOL WINAPI on_ctrl(DWORD) {
    ctrl_shared::lock();
    if (ctrl_shared::temp_name_set) DeleteFileW(ctrl_shared::temp_name);
    ctrl_shared::temp_name_set = false;
    return FALSE;  // the console's own handler ends the program
}

}  // namespace

void install_ctrl_handler() { SetConsoleCtrlHandler(on_ctrl, TRUE); }
