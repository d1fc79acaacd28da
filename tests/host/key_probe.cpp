// A small program for the terminal tests: reads keys through the host services
// and prints their codes, one "key N" line each, until it reads 'x'.
//   key_probe read [WAIT]        waits for each key with read_key()
//   key_probe poll [WAIT [GAP]]  polls with key_available() every GAP ms (5), as the growth loop does
//   key_probe crash              aborts at the first key
//   key_probe spin               uses the processor until it is ended
//   key_probe chars N...         writes the codes N with put_char, then "done"
// WAIT is how long a lone Escape waits for the rest of a sequence, in ms.
#include <cstdlib>
#include <cstring>

#include "host.h"
#include "posix/terminal.h"

int main(int argc, char** argv) {
    host_start();
    const char* mode = argc > 1 ? argv[1] : "read";
    if (std::strcmp(mode, "chars") == 0) {
        print_text("[");
        for (int i = 2; i < argc; ++i) put_char(std::atoi(argv[i]));
        print_text("]done\n");
        return 0;
    }
    if (argc > 2) set_escape_wait_ms(std::atoi(argv[2]));
    const int gap = argc > 3 ? std::atoi(argv[3]) : 5;
    print_text("ready\n");
    if (std::strcmp(mode, "spin") == 0) {
        volatile unsigned spins = 0;
        for (;;) spins = spins + 1u;
    }
    for (;;) {
        if (std::strcmp(mode, "poll") == 0 && !key_available()) {
            sleep_ms(gap);
            continue;
        }
        const int key = read_key();
        if (std::strcmp(mode, "crash") == 0) std::abort();
        print_text("key %d\n", key);
        if (key == 'x' || key == -1) return 0;
    }
}
