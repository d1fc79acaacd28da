#include "main_loop.h"
#include "host.h"

// Arguments are ignored: the program has no options.
int main() {
    host_start();
    return main_loop();
}
