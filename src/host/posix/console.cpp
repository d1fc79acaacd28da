#include <cstdarg>
#include <cstdio>

#include "host.h"

void print_text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

void show_warning(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}
