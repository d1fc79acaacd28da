// Without a desktop the terminal is the viewer: the picture just saved is
// drawn in the best way the terminal has, as the conversation with it found.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "host.h"
#include "posix/conversation.h"
#include "posix/desktop.h"
#include "posix/handler_state.h"
#include "posix/sys.h"
#include "posix/terminal.h"
#include "posix/tty.h"
#include "terminal_picture.h"

namespace {

HandlerState& state = handler_state;

// The picture's bytes in one piece. Should a signal end the program
// meanwhile, its handler closes what they left open; Ctrl+Z waits until they
// are all out, since a shell's "Stopped" would land inside them.
void write_picture(const std::string& bytes, PictureWay way) {
    sigset_t stop, old;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_BLOCK, &stop, &old);
    state.picture_closing = closing_for_cut_picture(way);
    state.line_started = 1;
    const bool written = sys_write_all(state.tty_fd, bytes.data(), bytes.size());
    const int error = errno;
    state.picture_closing = nullptr;
    state.line_started = 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (!written) {
        errno = error;
        end_if_terminal_lost();
    }
}

}  // namespace

void show_in_terminal(const unsigned char* file, std::size_t size, const char* above, const char* below) {
    if (state.tty_fd < 0 || graphical_session() || !in_foreground_or_end()) return;
    poll_terminal_input();  // an answer that came since the last key poll
    const Answers& answers = terminal_answers();
    const TerminalSize size_now = with_answered_pixels(terminal_size(), answers);
    const PictureWay way = choose_way(terminal_names(), answers, size_now);
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
