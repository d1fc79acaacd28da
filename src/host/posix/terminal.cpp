// The terminal: the one reader of what it sends, raw key input, direct
// character output, and the waits, in which the program takes the terminal
// when it becomes its own.
#include "posix/terminal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host.h"
#include "common/key_decoder.h"
#include "posix/conversation.h"
#include "posix/handler_state.h"
#include "posix/signals.h"
#include "posix/sys.h"
#include "posix/tty.h"

namespace {

HandlerState& state = handler_state;

int escape_wait_ms = 40;
// A terminal sends a reply at its own pace, its pieces this close together
// even over a link that parts them; so long a lone Escape waits, while an
// answer is due, for a reply it may begin.
constexpr int REPLY_PACE_MS = 150;
// An answer's Escape taken as the key, its rest coming later than that pace:
// the rest is still known by how it begins this long after.
constexpr int LATE_REST_MS = 1000;
// In the background nothing is read, and a shell that brings a running job
// to the foreground sends it no signal: the key wait looks this often.
constexpr int FOREGROUND_LOOK_MS = 100;
Charset charset = Charset::ASCII;

// What the terminal sent and is not decoded yet (state.reader_bytes, with the
// decoder between reads, where the ending handler finds them), and decoded
// codes not handed out yet: decoding runs ahead of the keys read, so that
// the terminal's answers are taken as soon as they are in.
unsigned char (&in_bytes)[READER_BYTES + 1] = state.reader_bytes;  // room to put an Escape back in front
int& in_length = state.reader_length;
KeyDecoder& decoder = state.reader_decoder;
// state.rest_may_follow: a lone Escape was taken as the key while an answer
// was awaited, so the bytes read next may be that answer's rest (see
// rest_decided); state.escape_taken_at says when.
bool undecided = false;            // the bytes so far (or a silence inside a sequence) wait to be decided
std::int32_t undecided_since = 0;  // since when
int held = 0;                      // how many of the bytes waiting came in earlier reads
int paused_ms = 0;                 // the pauses beyond a reply's pace while they waited
bool escape_after_reply = false;   // a lone Escape that came in the read a reply ended in
std::int32_t last_read_at = 0;     // when bytes last came
// Key codes decoded and not handed out yet, codes[code_next .. code_count).
int codes[32];
int code_count = 0;
int code_next = 0;

// Characters for the terminal, written out at each line feed: a preview is a
// few dozen writes instead of one per character.
unsigned char out_bytes[4096];
std::size_t out_length = 0;

// The terminal went away under us (the window closed, the line hung up): no
// key will ever come, so the program ends as a hang-up would end it, unless
// hang-ups were to be ignored.
[[noreturn]] void end_for_lost_terminal() {
    sigset_t old;
    block_signals(&old);
    restore_terminal();  // as far as a terminal that is gone can be
    state.tty_fd = -1;
    if (!ignored_at_start(SIGHUP)) {
        (void)std::signal(SIGHUP, SIG_DFL);
        sigset_t hup;
        sigemptyset(&hup);
        sigaddset(&hup, SIGHUP);
        sigprocmask(SIG_UNBLOCK, &hup, nullptr);
        (void)raise(SIGHUP);
    }
    std::exit(128 + SIGHUP);
}

bool terminal_gone(int error) { return error == EIO || error == ENXIO || error == EBADF; }

// The terminal becomes ours: raw key input, and the first round of
// questions, once; later rounds go out from take_reply, as answers call for
// them. Raw mode and the first round go out only from here: at start, and in
// the waits (sleep_ms, and read_key before it waits) wherever the program
// finds itself in the foreground again, started with `&` and brought forward
// (no signal says so) or continued after a stop (whose handler made the
// terminal raw already); never from polling for a key (key_available).
void take_terminal() {
    if (!state.raw_active) {
        if (!in_foreground_or_end()) return;
        sigset_t old;
        block_signals(&old);
        enter_raw_mode();
        unblock_signals(&old);
    }
    begin_conversation();
}

// Reads what the terminal has, waiting up to `timeout_ms` (-1: until something
// comes). False when nothing came.
bool read_input(int timeout_ms) {
    if (in_length >= READER_BYTES) return true;
    const int ready = sys_wait_readable(state.tty_fd, timeout_ms);
    if (ready < 0) end_for_lost_terminal();
    if (ready == 0) return false;
    const ssize_t n = sys_read(state.tty_fd, in_bytes + in_length, static_cast<std::size_t>(READER_BYTES - in_length));
    if (n == 0 || (n < 0 && terminal_gone(errno))) end_for_lost_terminal();
    if (n < 0) return false;
    in_length += static_cast<int>(n);
    const std::int32_t now = elapsed_ms();
    const int gap = ms_between(last_read_at, now);
    if ((undecided || decoder.mode != KeyDecoder::GROUND) && gap > REPLY_PACE_MS) paused_ms += gap;
    last_read_at = now;
    return true;
}

bool lone_escape() { return decoder.mode == KeyDecoder::GROUND && in_length == 1 && in_bytes[0] == KEY_ESCAPE; }

// The first bytes read after an answer's Escape was taken as the key.
bool rest_waits() { return state.rest_may_follow != 0 && in_length > 0; }

// A lone Escape that came in a read of its own, then a byte that begins
// nothing with it: the Escape key, whatever an answer due may bring.
bool escape_then_other_key() {
    return undecided && held == 1 && in_length > 1 && in_bytes[0] == KEY_ESCAPE && decoder.mode == KeyDecoder::GROUND &&
           !may_follow_escape(in_bytes[1]);
}

// Milliseconds until the undecided bytes are settled: the one rule of time.
// A key's sequence comes whole within the Escape wait. A reply's pieces may
// pause a slow link's gap in all: so long they wait where the bytes can only
// be a reply, and, where an answer was due when they began, also where they
// may be a key. A lone Escape, though, is the Escape key within a reply's
// pace even then (what came of a reply later is known by how it begins),
// unless it came in the read a reply ended in, where it begins the next
// answer; and outside that window it is as quick as ever.
int settle_in_ms() {
    const std::int32_t now = elapsed_ms();
    const int waited = ms_between(undecided_since, now);
    if (rest_waits()) return std::max(0, REPLY_PACE_MS - waited);
    if (lone_escape() && !escape_after_reply) {
        const int wait = answer_due_at(undecided_since) ? std::max(REPLY_PACE_MS, escape_wait_ms) : escape_wait_ms;
        return std::max(0, wait - waited);
    }
    if (only_a_reply_waits(&decoder, in_bytes, in_length) || answer_due_at(undecided_since) || escape_after_reply)
        return std::max(0, SLOW_LINK_GAP_MS - paused_ms - static_cast<int>(ms_between(last_read_at, now)));
    return std::max(0, escape_wait_ms - waited);
}

void take_bytes(int used) {
    std::memmove(in_bytes, in_bytes + used, static_cast<std::size_t>(in_length - used));
    in_length -= used;
    undecided = false;
    held = 0;
    escape_after_reply = false;
}

// The first bytes after an answer's Escape taken as the key: when they begin
// as the rest of an answer, the Escape goes back in front of them, so that
// the answer is read whole and nothing of it becomes keys. False while too
// few are in to tell.
bool rest_decided(bool waited) {
    const ReplyRest rest = ms_between(state.escape_taken_at, last_read_at) <= LATE_REST_MS
                               ? reply_rest(in_bytes, in_length)
                               : ReplyRest::NO;
    if (rest == ReplyRest::MAYBE && !waited) return false;
    state.rest_may_follow = 0;
    if (rest == ReplyRest::YES) {
        std::memmove(in_bytes + 1, in_bytes, static_cast<std::size_t>(in_length));
        in_bytes[0] = KEY_ESCAPE;
        ++in_length;
    }
    return true;
}

// Turns waiting bytes into codes, as many as there is room for, and hands
// each reply to the picture's questions. What is undecided (an Escape, part
// of a sequence, a silence inside one being swallowed) is settled once its
// wait is over; that is done before new bytes are read, so a key typed after
// the wait never joins an Escape from before it.
void decode_input() {
    if (code_next == code_count) code_next = code_count = 0;
    while (code_count + 2 <= static_cast<int>(sizeof codes / sizeof codes[0])) {
        const bool waited = undecided && settle_in_ms() == 0;
        KeyDecode key{0, 0, {0, 0}, false};
        if (rest_waits() && !rest_decided(waited)) {
            // too few bytes yet to tell a late answer's rest from keys
        } else if (escape_then_other_key()) {
            key = {1, 1, {KEY_ESCAPE, 0}, false};
        } else {
            const bool escape_settled = waited && lone_escape();
            key = decode_key(&decoder, in_bytes, in_length, !waited);
            if (escape_settled && answer_awaited_at(undecided_since)) {
                state.escape_taken_at = elapsed_ms();
                state.rest_may_follow = 1;
            }
        }
        if (key.used == 0) {
            if (in_length == 0 && decoder.mode == KeyDecoder::GROUND) {
                undecided = false;
                paused_ms = 0;
            } else if (!undecided) {
                undecided = true;
                undecided_since = elapsed_ms();
            }
            held = in_length;
            return;
        }
        take_bytes(key.used);
        if (decoder.mode == KeyDecoder::GROUND) paused_ms = 0;
        if (key.reply) {
            take_reply(decoder.reply, decoder.reply_length);
            escape_after_reply = lone_escape();  // the next answer begun: no key comes in a terminal's read
        }
        for (int i = 0; i < key.count; ++i) codes[code_count++] = key.codes[i];
    }
}

bool stdout_is_terminal = false;

void at_exit() {
    // Written out as far as the terminal takes it: a terminal lost by now is
    // no reason to end the program a second time.
    if (out_length > 0 && state.tty_fd >= 0) sys_write_all(state.tty_fd, out_bytes, out_length);
    out_length = 0;
    if (state.raw_active) await_answers();  // still raw: an answer read now is not echoed
    sigset_t old;
    block_signals(&old);
    restore_terminal();
    unblock_signals(&old);
}

}  // namespace

bool in_foreground_or_end() {
    if (state.tty_fd < 0) return false;
    const pid_t group = tcgetpgrp(state.tty_fd);
    if (group < 0 && terminal_gone(errno)) end_for_lost_terminal();
    return group == getpgrp();
}

void end_if_terminal_lost() {
    if (terminal_gone(errno)) end_for_lost_terminal();
}

void poll_terminal_input() {
    if (in_foreground_or_end() && read_input(0)) decode_input();
}

void terminal_start() {
    charset = charset_of_locale(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
    state.tty_fd = sys_open("/dev/tty", O_RDWR | O_NOCTTY);
    stdout_is_terminal = isatty(STDOUT_FILENO) == 1;
    install_signal_handlers();  // also without a terminal: a half-written file is removed
    (void)std::atexit(at_exit);
    take_terminal();
}

void flush_terminal_output() {
    if (out_length == 0) return;
    const bool written = state.tty_fd >= 0 && sys_write_all(state.tty_fd, out_bytes, out_length);
    out_length = 0;
    if (!written && state.tty_fd >= 0 && terminal_gone(errno)) end_for_lost_terminal();
}

Charset terminal_charset() { return charset; }

void set_escape_wait_ms(int ms) { escape_wait_ms = ms; }

bool key_available() {
    if (code_next < code_count) return true;
    if (!in_foreground_or_end()) return false;
    decode_input();
    if (code_next == code_count && read_input(0)) decode_input();
    return code_next < code_count;
}

bool key_undecided() {
    return undecided && !rest_waits() && !only_a_reply_waits(&decoder, in_bytes, in_length) && in_foreground_or_end();
}

int read_key() {
    if (state.tty_fd < 0) return -1;
    flush_terminal_output();
    for (;;) {
        take_terminal();  // before waiting on it: the terminal may be ours only now
        decode_input();
        if (code_next < code_count) return codes[code_next++];
        if (in_foreground_or_end())
            read_input(undecided ? settle_in_ms() : -1);  // an undecided start waits only for what is left of its wait
        else
            sleep_ms(FOREGROUND_LOOK_MS);  // a read would stop us: look again for the foreground
    }
}

void put_char(int code) {
    (void)std::fflush(stdout);  // what standard output holds comes first
    if (state.tty_fd < 0) return;
    unsigned char bytes[3];
    const int n = encode_char(code, charset, bytes);
    if (out_length + static_cast<std::size_t>(n) > sizeof out_bytes) flush_terminal_output();
    std::memcpy(out_bytes + out_length, bytes, static_cast<std::size_t>(n));
    out_length += static_cast<std::size_t>(n);
    note_line_end(code == '\n', false);
    if (code == '\n') flush_terminal_output();
}

void note_line_end(bool at_line_start, bool on_standard_output) {
    if (!on_standard_output || stdout_is_terminal) state.line_started = !at_line_start;
}

void sleep_ms(std::int32_t ms) {
    flush_terminal_output();
    take_terminal();  // the pauses are where the program finds the terminal its own again
    if (ms <= 0) return;
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}
