#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host.h"
#include "posix/desktop.h"
#include "posix/terminal.h"

namespace {

#ifdef __APPLE__
constexpr char OPENER[] = "open";
#else
constexpr char OPENER[] = "xdg-open";
#endif

}  // namespace

void current_directory(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    if (getcwd(buffer, static_cast<std::size_t>(size)) == nullptr) buffer[0] = '\0';
}

void run_command(const char* text) {
    static const char START[] = "start ";
    if (text == nullptr || std::strncmp(text, START, sizeof START - 1) != 0) return;
    const char* file = text + sizeof START - 1;
    if (file[0] == '\0') return;
    // Without a desktop the opener may fall back to a text-mode browser that
    // would take over this very terminal; the terminal shows the picture
    // instead (show_in_terminal).
    if (!graphical_session()) return;
    flush_terminal_output();

    // Two forks: the middle child ends at once and is reaped here, so the
    // viewer belongs to init, is never waited for and never left a zombie.
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        setsid();  // away from this terminal and its signals
        if (fork() != 0) _exit(0);
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, STDIN_FILENO);
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
            if (null_fd > STDERR_FILENO) close(null_fd);
        }
        (void)signal(SIGXFSZ, SIG_DFL);  // ignored here for our own writes; not the viewer's business
        char* const argv[] = {const_cast<char*>(OPENER), const_cast<char*>(file), nullptr};
        execvp(OPENER, argv);
        _exit(127);
    }
    while (waitpid(child, nullptr, 0) == -1 && errno == EINTR) {
    }
}

void show_warning(const char* text, const char* caption) {
    flush_terminal_output();
    (void)std::fprintf(stderr, "%s: %s\n", caption, text);
}
