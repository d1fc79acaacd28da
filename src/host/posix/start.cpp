#include <csignal>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "host.h"
#include "posix/terminal.h"

void host_start() {
    static bool started = false;
    if (started) return;
    started = true;
    // A write past the file size limit should fail and be reported, not kill us.
    (void)std::signal(SIGXFSZ, SIG_IGN);
#ifdef __linux__
    // The pause between batches is 5 ms, and the kernel's usual slack of
    // 50 us for a sleeping thread comes on top of every one of them: 300 a
    // picture. Ask for none; the pause itself stays as long as it is.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    terminal_start();
}
