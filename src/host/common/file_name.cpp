#include "common/file_name.h"

#include <cstdio>
#include <cstring>

bool numbered_name(const char* name, int n, char* out, std::size_t size) {
    const std::size_t length = std::strlen(name);
    if (n <= 1) {
        if (length >= size) return false;
        std::memcpy(out, name, length + 1);
        return true;
    }
    // The extension is what follows the last dot of the file's own name, unless the dot begins it.
    const char* dot = std::strrchr(name, '.');
    if (dot != nullptr && (dot == name || dot[-1] == '/' || dot[-1] == '\\' || std::strpbrk(dot, "/\\") != nullptr))
        dot = nullptr;
    const std::size_t stem = dot != nullptr ? static_cast<std::size_t>(dot - name) : length;
    const int written = std::snprintf(out, size, "%.*s-%d%s", static_cast<int>(stem), name, n, name + stem);
    return written > 0 && static_cast<std::size_t>(written) < size;
}
