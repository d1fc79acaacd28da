// Saving a file all or nothing: a new temporary file beside the final one,
// flushed to the disk, then given the first free name of the wanted one and
// its numbered sisters in one step, never replacing a file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "host.h"
#include "common/file_name.h"
#include "windows/shared.h"

using namespace ctrl_shared;

namespace {

constexpr int TEMP_ATTEMPTS = 100;
constexpr int NAME_ATTEMPTS = 1000;  // "name-1000.bmp" at the most

// Created only when no file has the name (not even a link), and recorded for
// the control handler in the same step. FILE_SHARE_DELETE lets the handler
// remove it while it is open.
HANDLE create_temporary(const wchar_t* name) {
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        lock();
        std::swprintf(temp_name, TEMP_NAME_SIZE, L"%ls.%d.tmp", name, attempt);
        const HANDLE file = CreateFileW(temp_name, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        temp_name_set = file != INVALID_HANDLE_VALUE;
        unlock();
        if (file != INVALID_HANDLE_VALUE || error != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

// The system's own words for an error, without the line end it puts after them.
const char* system_words(DWORD error) {
    static char words[256];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, words,
                                   sizeof words, nullptr);
    if (n == 0) std::snprintf(words, sizeof words, "error %lu", static_cast<unsigned long>(error));
    for (DWORD i = n; i > 0 && (words[i - 1] == '\r' || words[i - 1] == '\n' || words[i - 1] == '.'); --i)
        words[i - 1] = '\0';
    return words;
}

bool write_all(HANDLE file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Moves the temporary file to the first name free of `name`, "name-2" ...,
// which goes into `name`; when it cannot, the name last tried does, the one
// the failure is about. Without MOVEFILE_REPLACE_EXISTING a name taken
// fails; the write-through flag has the new entry on the disk on return.
bool move_to_free_name(char* name, std::size_t name_size) {
    char candidate[TEMP_NAME_SIZE];
    wchar_t wide[TEMP_NAME_SIZE];
    for (int n = 1; n <= NAME_ATTEMPTS; ++n) {
        if (!numbered_name(name, n, candidate, name_size < sizeof candidate ? name_size : sizeof candidate) ||
            MultiByteToWideChar(CP_ACP, 0, candidate, -1, wide, TEMP_NAME_SIZE - 16) == 0) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        const bool moved = MoveFileExW(temp_name, wide, MOVEFILE_WRITE_THROUGH);
        const DWORD error = GetLastError();
        if (moved || n == NAME_ATTEMPTS || (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)) {
            std::memcpy(name, candidate, std::strlen(candidate) + 1);
            SetLastError(error);
            return moved;
        }
    }
    return false;
}

// For an error about data that got no name: the name it would have taken,
// the first free one, not an older file's.
void first_free_name(char* name, std::size_t name_size) {
    char candidate[TEMP_NAME_SIZE];
    wchar_t wide[TEMP_NAME_SIZE];
    for (int n = 1; n <= NAME_ATTEMPTS; ++n) {
        if (!numbered_name(name, n, candidate, name_size < sizeof candidate ? name_size : sizeof candidate) ||
            MultiByteToWideChar(CP_ACP, 0, candidate, -1, wide, TEMP_NAME_SIZE - 16) == 0)
            return;
        if (GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) {
            std::memcpy(name, candidate, std::strlen(candidate) + 1);
            return;
        }
    }
}

}  // namespace

SaveResult save_file(char* name, std::size_t name_size, const unsigned char* data, std::size_t size,
                     const char** reason) {
    wchar_t final_name[TEMP_NAME_SIZE - 16];
    HANDLE file = INVALID_HANDLE_VALUE;
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, final_name, TEMP_NAME_SIZE - 16) == 0 ||
        (file = create_temporary(final_name)) == INVALID_HANDLE_VALUE) {
        if (reason != nullptr) *reason = system_words(GetLastError());
        first_free_name(name, name_size);
        return SaveResult::OPEN_FAILED;
    }
    bool ok = write_all(file, data, size) && FlushFileBuffers(file);
    DWORD error = ok ? 0 : GetLastError();
    ok = CloseHandle(file) && ok;
    lock();
    const bool written = ok;
    ok = ok && move_to_free_name(name, name_size);
    if (!ok && error == 0) error = GetLastError();
    if (!ok) DeleteFileW(temp_name);
    temp_name_set = false;
    unlock();
    if (!written) first_free_name(name, name_size);
    if (!ok && reason != nullptr) *reason = system_words(error);
    return ok ? SaveResult::SAVED : SaveResult::WRITE_FAILED;
}
