#include "posix/desktop.h"

#include <cstdlib>

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

bool graphical_session() {
#ifdef __APPLE__
    // The desktop is there unless we were reached over ssh, where it would
    // show the picture on a screen the user is not at.
    return !set("SSH_CONNECTION") && !set("SSH_TTY");
#else
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
#endif
}
