// What the console control handler shares with the program's thread. The
// handler runs on a thread of its own when Ctrl+C is pressed or the console
// window is closed; everything here is touched only under the lock.
#pragma once

namespace ctrl_shared {

void lock();
void unlock();

constexpr int TEMP_NAME_SIZE = 300;
extern wchar_t temp_name[TEMP_NAME_SIZE];  // a file being written, removed if the program is ended
extern bool temp_name_set;

}  // namespace ctrl_shared

// Installs the handler: it removes a file left half-written, then lets the
// console end the program as it would have.
void install_ctrl_handler();
