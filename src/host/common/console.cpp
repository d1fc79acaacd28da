// Text to standard output, the same for every host.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/output.h"
#include "host.h"

void print_text(const char* format, ...) {
    flush_terminal_output();
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    (void)std::fflush(stdout);
    // The program's texts end where their formats end ("%s\n", a status line's spaces).
    const std::size_t length = std::strlen(format);
    note_line_end(length > 0 && format[length - 1] == '\n', true);
}

void print_error(const char* format, ...) {
    flush_terminal_output();
    (void)std::fflush(stdout);
    va_list args;
    va_start(args, format);
    (void)std::fputs("pixelgrow: ", stderr);
    (void)std::vfprintf(stderr, format, args);
    (void)std::fputc('\n', stderr);
    va_end(args);
}

void print_untrusted(const char* text) {
    flush_terminal_output();
    const auto* at = reinterpret_cast<const unsigned char*>(text);
    int left = static_cast<int>(std::strlen(text));
    const Charset charset = terminal_charset();
    while (left > 0) {
        unsigned char shown[4];
        int used = 1;
        const int n = visible_text_char(at, left, charset, shown, &used);
        (void)std::fwrite(shown, 1, static_cast<std::size_t>(n), stdout);
        at += used;
        left -= used;
    }
    (void)std::fflush(stdout);
    note_line_end(false, true);
}
