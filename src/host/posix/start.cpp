#include <csignal>

#include "host.h"
#include "posix/terminal.h"

void host_start() {
    static bool started = false;
    if (started) return;
    started = true;
    // A write past the file size limit should fail and be reported, not kill us.
    std::signal(SIGXFSZ, SIG_IGN);
    terminal_start();
}
