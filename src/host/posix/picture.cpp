// Without a desktop the terminal is the viewer: the picture just saved is
// drawn in the best way the terminal has. What it has is known from the
// environment and from the answers to questions sent when the program takes
// the terminal; the answers come in with the keys and the key reader hands
// them over, so nothing waits for them while the program runs.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host.h"
#include "posix/signals.h"
#include "posix/sys.h"
#include "posix/terminal.h"
#include "terminal_picture.h"

using namespace signal_shared;

namespace {

// A terminal answers at once, a slow link within a second or so; a terminal
// that has said nothing by then never will.
constexpr int ANSWER_WAIT_MS = 1500;

TerminalNames names;
bool pixels_known = false;  // when the questions were sent

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

// A round of questions, ending with the device attributes, whose answer
// closes the round.
void ask(const std::string& questions) {
    if (questions.empty()) return;
    // Before the round counts, for a handler in between; wrapping as elapsed_ms does.
    answers_due = static_cast<std::int32_t>(static_cast<std::uint32_t>(elapsed_ms()) + ANSWER_WAIT_MS);
    rounds_asked = rounds_asked + 1;
    sys_write_all(tty_fd, questions.data(), questions.size());
}

// The picture's bytes in one piece. Should a signal end the program
// meanwhile, its handler closes what they left open; Ctrl+Z waits until they
// are all out, since a shell's "Stopped" would land inside them.
void write_picture(const std::string& bytes, PictureWay way) {
    sigset_t stop, old;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_BLOCK, &stop, &old);
    picture_closing = closing_for_cut_picture(way);
    line_started = 1;
    const bool written = sys_write_all(tty_fd, bytes.data(), bytes.size());
    const int error = errno;
    picture_closing = nullptr;
    line_started = 0;
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
    if (done || tty_fd < 0 || !raw_active || graphical_session()) return;
    done = true;
    names = names_from_environment();
    const TerminalSize size = terminal_size();
    pixels_known = size.width_px > 0 && size.height_px > 0;
    ask(next_questions(names, answers, rounds_asked, pixels_known));
}

void note_terminal_reply(const char* reply, int length) {
    if (rounds_asked == 0) return;
    read_answer(&answers, reply, length);
    // A round is in once its device attributes are: what it said may call for another.
    ask(next_questions(names, answers, rounds_asked, pixels_known));
}

int answer_time_left_ms() {
    if (answers.device_attributes >= rounds_asked) return 0;
    return std::max(0, static_cast<int>(ms_between(elapsed_ms(), answers_due)));
}

bool answer_due_at(std::int32_t when) {
    return answers.device_attributes < rounds_asked && ms_between(when, answers_due) > 0;
}

bool answer_awaited_at(std::int32_t when) {
    return answers.device_attributes < rounds_asked && ms_between(when, answers_due) > -ANSWER_WAIT_MS;
}

void show_in_terminal(const unsigned char* file, std::size_t size, const char* above, const char* below) {
    if (tty_fd < 0 || graphical_session() || !in_foreground_or_end()) return;
    poll_terminal_input();  // an answer that came since the last key poll
    const TerminalSize size_now = with_answered_pixels(terminal_size(), answers);
    const PictureWay way = choose_way(names, answers, size_now);
    RgbPicture picture;
    if (way == PictureWay::NONE || !read_bmp(file, size, &picture)) return;
    // The lines around the picture stay on the screen, however the width wraps them.
    const int kept_rows = rows_of_text(above, size_now) + rows_of_text(below, size_now);
    const Placement place = place_picture(way, std::min(picture.width, picture.height), size_now, kept_rows);
    const std::string bytes = encode_picture(way, picture, file, size, place, terminal_charset() == Charset::UTF8);
    if (bytes.empty()) return;
    (void)std::fflush(stdout);
    flush_terminal_output();
    write_picture(bytes, way);
}
