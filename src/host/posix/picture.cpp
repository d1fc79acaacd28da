// Without a desktop the terminal is the viewer: the saved file is read back
// and drawn in the best way the terminal has. What it has is known from the
// environment and from the answers to questions sent once when the program
// takes the terminal; the answers come in with the keys and are picked out
// as the keys are read, so nothing ever waits for them.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "posix/signals.h"
#include "posix/sys.h"
#include "posix/terminal.h"
#include "terminal_picture.h"

using signal_shared::tty_fd;

namespace {

// Below the picture: the summary's empty line and its own, the menu's three
// lines and the line the cursor waits on; above it, the success line.
constexpr int RESERVED_ROWS = 7;
constexpr std::size_t LARGEST_FILE = 64u << 20;
constexpr int LATE_ANSWER_WAIT_MS = 250;

TerminalNames names;
Queries asked;  // what was actually sent
Answers answers;

TerminalNames names_from_environment() {
    TerminalNames n;
    n.term = std::getenv("TERM");
    n.colorterm = std::getenv("COLORTERM");
    n.term_program = std::getenv("TERM_PROGRAM");
    n.lc_terminal = std::getenv("LC_TERMINAL");
    n.kitty_window_id = std::getenv("KITTY_WINDOW_ID");
    n.tmux = std::getenv("TMUX");
    n.sty = std::getenv("STY");
    return n;
}

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool read_file(const char* name, std::vector<unsigned char>* data) {
    const int fd = sys_open(name, O_RDONLY);
    if (fd < 0) return false;
    unsigned char block[1 << 16];
    ssize_t n;
    while ((n = sys_read(fd, block, sizeof block)) > 0 && data->size() < LARGEST_FILE)
        data->insert(data->end(), block, block + n);
    sys_close(fd);
    return n == 0;
}

TerminalSize terminal_size() {
    TerminalSize size;
    winsize w{};
    if (ioctl(tty_fd, TIOCGWINSZ, &w) == 0) {
        size.columns = w.ws_col;
        size.rows = w.ws_row;
        size.width_px = w.ws_xpixel;
        size.height_px = w.ws_ypixel;
    }
    return size;
}

// The picture's bytes in one piece. Should a signal end the program
// meanwhile, its handler closes what they left open; Ctrl+Z waits until they
// are all out, since a shell's "Stopped" would land inside them.
void write_picture(const std::string& bytes, PictureWay way) {
    sigset_t stop, old;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_BLOCK, &stop, &old);
    signal_shared::picture_end = cut_off_end(way);
    signal_shared::line_started = 1;
    const bool written = sys_write_all(tty_fd, bytes.data(), bytes.size());
    const int error = errno;
    signal_shared::picture_end = nullptr;
    signal_shared::line_started = 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (!written) {
        errno = error;
        end_if_terminal_lost();
    }
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

void ask_terminal() {
    static bool done = false;
    if (done || tty_fd < 0 || !signal_shared::raw_active || graphical_session()) return;
    done = true;
    names = names_from_environment();
    asked = queries_for(names);
    std::string questions;
    if (asked.kitty) questions += KITTY_QUERY;
    if (asked.device_attributes) questions += DEVICE_ATTRIBUTES_QUERY;
    if (!questions.empty()) sys_write_all(tty_fd, questions.data(), questions.size());
}

void note_terminal_input(const unsigned char* bytes, std::size_t length) {
    if (asked.device_attributes) read_answers(&answers, bytes, length);
}

void drop_late_answers() {
    if (!asked.device_attributes || answers.device_attributes || tty_fd < 0 || !in_foreground_signal_safe()) return;
    const std::int32_t start = elapsed_ms();
    unsigned char bytes[256];
    for (;;) {
        const int left = LATE_ANSWER_WAIT_MS - ms_between(start, elapsed_ms());
        if (left <= 0 || answers.device_attributes || sys_wait_readable(tty_fd, left) <= 0) return;
        const ssize_t n = sys_read(tty_fd, bytes, sizeof bytes);
        if (n <= 0) return;
        read_answers(&answers, bytes, static_cast<std::size_t>(n));
    }
}

void show_picture_in_terminal(const char* file) {
    if (tty_fd < 0 || !in_foreground_or_end()) return;
    poll_terminal_input();  // an answer that came since the last key poll
    const PictureWay way = choose_way(names, answers);
    if (way == PictureWay::NONE) return;
    std::vector<unsigned char> data;
    Rgb picture;
    if (!read_file(file, &data) || !read_bmp(data.data(), data.size(), &picture)) return;
    const Placement place = place_picture(std::min(picture.width, picture.height), terminal_size(), RESERVED_ROWS);
    const std::string bytes =
        encode_picture(way, picture, data.data(), data.size(), place, terminal_charset() == Charset::UTF8);
    if (bytes.empty()) return;
    std::fflush(stdout);
    flush_terminal_output();
    write_picture(bytes, way);
}
