// A small program for the terminal tests: reads keys through the host services
// and prints their codes, one "key N" line each, until it reads 'x'.
//   key_probe read    waits for each key with read_key()
//   key_probe poll    polls with key_available(), as the growth loop does
//   key_probe crash   aborts at the first key
//   key_probe chars N...  writes the codes N with put_char, then "done"
#include <cstdlib>
#include <cstring>

#include "host.h"

int main(int argc, char** argv) {
    host_start();
    const char* mode = argc > 1 ? argv[1] : "read";
    if (std::strcmp(mode, "chars") == 0) {
        print_text("[");
        for (int i = 2; i < argc; ++i) put_char(std::atoi(argv[i]));
        print_text("]done\n");
        return 0;
    }
    print_text("ready\n");
    for (;;) {
        if (std::strcmp(mode, "poll") == 0 && !key_available()) {
            sleep_ms(5);
            continue;
        }
        const int key = read_key();
        if (std::strcmp(mode, "crash") == 0) std::abort();
        print_text("key %d\n", key);
        if (key == 'x' || key == -1) return 0;
    }
}
