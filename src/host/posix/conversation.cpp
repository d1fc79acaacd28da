// The conversation with the terminal. What it can show is known from the
// environment and from its answers to rounds of questions, the first sent
// when the program takes the terminal; the answers come in with the keys and
// the reader hands them over, so nothing waits for them while the program
// runs.
#include "posix/conversation.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host.h"
#include "common/key_decoder.h"
#include "posix/desktop.h"
#include "posix/handler_state.h"
#include "posix/sys.h"
#include "posix/tty.h"

namespace {

// A terminal answers at once, a slow link within a second or so; a terminal
// that has said nothing by then never will.
constexpr int ANSWER_WAIT_MS = 1500;

HandlerState& state = handler_state;
TerminalNames names;        // when the conversation began
bool pixels_known = false;  // ... the pty gave its pixel size
bool begun = false;

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

// The next round, if the names and the answers call for one: written in one
// piece, after its time is set for a handler that may come in between
// (wrapping as elapsed_ms does).
void ask_next() {
    const std::string questions = next_questions(names, state.answers, state.rounds_asked, pixels_known);
    if (questions.empty()) return;
    state.answers_due = static_cast<std::int32_t>(static_cast<std::uint32_t>(elapsed_ms()) + ANSWER_WAIT_MS);
    state.rounds_asked = state.rounds_asked + 1;
    sys_write_all(state.tty_fd, questions.data(), questions.size());
}

// How much longer an answer to the questions sent is awaited: 0 once the
// last round's answer is in, or once its time is up (a silent terminal).
// Async-signal-safe.
int answer_time_left_ms() {
    if (state.answers.device_attributes >= state.rounds_asked) return 0;
    return std::max(0, static_cast<int>(ms_between(elapsed_ms(), state.answers_due)));
}

}  // namespace

void begin_conversation() {
    if (begun || state.tty_fd < 0 || !state.raw_active || graphical_session()) return;
    begun = true;
    names = names_from_environment();
    const TerminalSize size = terminal_size();
    pixels_known = size.width_px > 0 && size.height_px > 0;
    ask_next();
}

void take_reply(const char* reply, int length) {
    if (state.rounds_asked == 0) return;
    read_answer(&state.answers, reply, length);
    ask_next();  // a round is in once its device attributes are: what it said may call for another
}

const TerminalNames& terminal_names() { return names; }
const Answers& terminal_answers() { return state.answers; }

bool answer_due_at(std::int32_t when) {
    return state.answers.device_attributes < state.rounds_asked && ms_between(when, state.answers_due) > 0;
}

bool answer_awaited_at(std::int32_t when) {
    return state.answers.device_attributes < state.rounds_asked &&
           ms_between(when, state.answers_due) > -ANSWER_WAIT_MS;
}

void await_answers() {
    if (state.tty_fd < 0 || !in_foreground_signal_safe()) return;
    // The reader's own state, copied: a signal may have cut a change of it
    // short, and what that garbles can only be keys, which go unread here.
    KeyDecoder d = state.reader_decoder;
    unsigned char bytes[sizeof state.reader_bytes + 256];
    int length = std::clamp(state.reader_length, 0, static_cast<int>(sizeof state.reader_bytes));
    const int most = static_cast<int>(sizeof bytes) - 1;  // room kept to put an Escape back in front
    std::memcpy(bytes, state.reader_bytes, static_cast<std::size_t>(length));
    // An answer's Escape taken as the key just now (the one that quit, say):
    // its rest is awaited too, known by how it begins, as long as a slow
    // link's gap after it.
    bool rest = state.rest_may_follow != 0;
    for (;;) {
        const ReplyRest begun_rest = rest && length > 0 ? reply_rest(bytes, length) : ReplyRest::MAYBE;
        if (begun_rest == ReplyRest::YES) {
            std::memmove(bytes + 1, bytes, static_cast<std::size_t>(length));
            bytes[0] = KEY_ESCAPE;
            ++length;
        }
        rest = rest && begun_rest == ReplyRest::MAYBE;
        for (; !rest;) {
            const KeyDecode key = decode_key(&d, bytes, length, true);
            if (key.used == 0) break;
            if (key.reply) read_answer(&state.answers, d.reply, d.reply_length);
            std::memmove(bytes, bytes + key.used, static_cast<std::size_t>(length - key.used));
            length -= key.used;
        }
        const int rest_left = rest ? SLOW_LINK_GAP_MS - ms_between(state.escape_taken_at, elapsed_ms()) : 0;
        const int left = std::max(answer_time_left_ms(), rest_left);
        if (left <= 0) return;
        const int ready = sys_wait_readable(state.tty_fd, left);  // 0 also when a signal came: look at the clock again
        if (ready < 0) return;
        if (ready == 0) continue;
        if (length >= most) return;  // nothing decodes: nothing more is worth reading
        const ssize_t n = sys_read(state.tty_fd, bytes + length, static_cast<std::size_t>(most - length));
        if (n <= 0) return;
        length += static_cast<int>(n);
    }
}
