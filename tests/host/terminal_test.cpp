#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support.h"

namespace {

using std::chrono::milliseconds;

const std::vector<std::string> UTF8 = {"LANG=C.UTF-8", "LC_ALL"};

// The probe in `mode`, with its further arguments, once it is ready for keys.
PtyProcess start_probe(const std::string& mode, const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv{KEY_PROBE, mode};
    argv.insert(argv.end(), args.begin(), args.end());
    PtyProcess p = spawn_in_pty(argv, UTF8, "", cooked_settings());
    EXPECT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
    return p;
}

// Sends keys and waits for the lines the probe prints for them.
void expect_keys(PtyProcess& p, const std::string& bytes, const std::string& lines) {
    const std::size_t from = p.output.size();
    send_keys(p, bytes);
    EXPECT_TRUE(wait_for(p, lines, 5000, from)) << "after sending " << testing::PrintToString(bytes)
                                                << " the output was " << testing::PrintToString(p.output.substr(from));
}

TEST(Terminal, KeysWithoutACharacterArriveAsTwoCodes) {
    for (const char* mode : {"read", "poll"}) {
        SCOPED_TRACE(mode);
        PtyProcess p = start_probe(mode);
        expect_keys(p, "\x1b[A", "key 224\r\nkey 72\r\n");
        expect_keys(p, "\x1b[B", "key 224\r\nkey 80\r\n");
        expect_keys(p, "\x1bOD", "key 224\r\nkey 75\r\n");
        expect_keys(p, "\x1b[6~", "key 224\r\nkey 81\r\n");
        expect_keys(p, "\x1bOP", "key 0\r\nkey 59\r\n");
        expect_keys(p, "\x1b[24~", "key 224\r\nkey 134\r\n");
        expect_keys(p, "q", "key 113\r\n");
        expect_keys(p, "x", "key 120\r\n");
        EXPECT_EQ(wait_exit(p, 5000), 0);
        finish(p);
    }
}

TEST(Terminal, LoneEscapeAndSplitSequences) {
    for (const char* mode : {"read", "poll"}) {
        SCOPED_TRACE(mode);
        PtyProcess p = start_probe(mode);
        expect_keys(p, "\x1b", "key 27\r\n");
        expect_keys(p, "p", "key 112\r\n");  // typed after the Escape was settled
        // An unknown sequence leaves nothing behind, not even an Escape.
        const std::size_t from = p.output.size();
        send_keys(p, "\x1b[99~");
        expect_keys(p, "x", "key 120\r\n");
        EXPECT_EQ(p.output.find("key 27", from), std::string::npos) << p.output.substr(from);
        EXPECT_EQ(wait_exit(p, 5000), 0);
        finish(p);
    }
}

TEST(Terminal, ASequenceSplitAcrossReadsIsOneKey) {
    // The Escape wait is long here, so that no stall of a loaded machine
    // between the two writes can settle the start on its own.
    for (const char* mode : {"read", "poll"}) {
        SCOPED_TRACE(mode);
        PtyProcess p = start_probe(mode, {"5000"});
        const std::size_t from = p.output.size();
        send_keys(p, "\x1b[");
        std::this_thread::sleep_for(milliseconds(5));
        send_keys(p, "5~");
        EXPECT_TRUE(wait_for(p, "key 224\r\nkey 73\r\n", 5000, from)) << p.output.substr(from);
        send_keys(p, "x");
        EXPECT_EQ(wait_exit(p, 5000), 0);
        EXPECT_EQ(p.output.find("key 27", from), std::string::npos) << p.output.substr(from);
        finish(p);
    }
}

TEST(Terminal, LongSequencesAndTerminalRepliesGiveNoKey) {
    for (const char* mode : {"read", "poll"}) {
        SCOPED_TRACE(mode);
        PtyProcess p = start_probe(mode);
        const std::size_t from = p.output.size();
        send_keys(p, "\x1b[1;2;3;4;5;6;7;8;9;10p");     // longer than any key, ending in p
        send_keys(p, "\x1b[?64;1;2;6;9;15;18;21;22c");  // an identification reply
        send_keys(p, "\x1b]11;rgb:0000/");              // a colour reply in two reads
        std::this_thread::sleep_for(milliseconds(5));
        send_keys(p, "0000/0000\x1b\\");
        expect_keys(p, "x", "key 120\r\n");
        EXPECT_EQ(wait_exit(p, 5000), 0);
        EXPECT_EQ(p.output.substr(from), "key 120\r\n");
        finish(p);
    }
}

// Once the terminal is asked (as it is without a desktop), the pieces of its
// answer may come further apart than the Escape wait, over a slow link: the
// start of an answer waits for the rest, and no piece is read as keys.
TEST(Terminal, AnAnswerInSlowPiecesGivesNoKey) {
    for (const char* mode : {"read", "poll"}) {
        SCOPED_TRACE(mode);
        PtyProcess p =
            spawn_in_pty({KEY_PROBE, mode}, {"LANG=C.UTF-8", "LC_ALL", "TERM=xterm", "DISPLAY", "WAYLAND_DISPLAY"}, "",
                         cooked_settings());
        ASSERT_TRUE(wait_for(p, "\x1b[c", 10000)) << p.output;
        ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
        const std::size_t from = p.output.size();
        for (const char* piece : {"\x1bP", ">|XTerm(379)", "\x1b", "\\\x1b[?", "63;4c"}) {
            send_keys(p, piece);
            std::this_thread::sleep_for(milliseconds(100));
        }
        expect_keys(p, "x", "key 120\r\n");
        EXPECT_EQ(wait_exit(p, 5000), 0);
        const std::string keys = p.output.substr(from);
        EXPECT_EQ(keys.find("key "), keys.rfind("key ")) << keys;  // the x alone (after the next questions)
        finish(p);
    }
}

// A lone Escape, then in a later read a byte that begins no sequence with
// it: the Escape key and that key at once, though the Escape would wait 20 s.
// A byte that may begin one ('[') still joins it.
TEST(Terminal, AnEscapeThenAKeyThatBeginsNothingWithItAreTwoKeysAtOnce) {
    const struct {
        const char* then;
        const char* lines;
    } cases[] = {
        {"z", "key 27\r\nkey 122\r\n"},
        {"\x1b", "key 27\r\n"},
        {"\r", "key 27\r\nkey 13\r\n"},
        {"[A", "key 224\r\nkey 72\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.then)));
        PtyProcess p = start_probe("read", {"20000"});
        const std::size_t from = p.output.size();
        send_keys(p, "\x1b");
        std::this_thread::sleep_for(milliseconds(100));  // a read of its own
        expect_keys(p, c.then, c.lines);
        EXPECT_EQ(p.output.substr(from), c.lines);
        kill(p.pid, SIGTERM);
        wait_exit(p, 5000);
        finish(p);
    }
}

// Answers parted right after an Escape, a third of a second apart: the
// Escape that ends a read with an answer begins the next answer; a lone one
// counts as the key, but what follows it of an answer becomes no key.
TEST(Terminal, AnAnswerPartedAfterItsEscapeGivesNoKeyButThatEscape) {
    const struct {
        std::vector<std::string> pieces;
        std::string keys;
    } cases[] = {
        {{"\x1bP>|XTerm(379)\x1b\\\x1b", "[?62;22c"}, ""},
        {{"\x1b", "P>|XTerm(379)\x1b\\\x1b[?62;22c"}, "key 27\r\n"},
        {{"\x1b", "[?62;22c"}, "key 27\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pieces));
        PtyProcess p =
            spawn_in_pty({KEY_PROBE, "read"}, {"LANG=C.UTF-8", "LC_ALL", "TERM=xterm", "DISPLAY", "WAYLAND_DISPLAY"},
                         "", cooked_settings());
        ASSERT_TRUE(wait_for(p, "\x1b[c", 10000)) << p.output;
        ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
        const std::size_t from = p.output.size();
        for (const std::string& piece : c.pieces) {
            send_keys(p, piece);
            std::this_thread::sleep_for(milliseconds(300));
        }
        send_keys(p, "x");
        EXPECT_EQ(wait_exit(p, 5000), 0);
        std::string keys;  // the key lines alone, not the further questions
        for (std::size_t at = p.output.find("key ", from); at != std::string::npos; at = p.output.find("key ", at + 1))
            keys += p.output.substr(at, p.output.find("\r\n", at) + 2 - at);
        EXPECT_EQ(keys, c.keys + "key 120\r\n");
        finish(p);
    }
}

TEST(Terminal, AnEscapeThatWaitedIsSettledBeforeTheNextKeyIsRead) {
    // Polled five times a second: the Escape is read at one poll, and the p
    // typed after its wait has run out arrives by the next.
    PtyProcess p = start_probe("poll", {"40", "200"});
    const std::size_t from = p.output.size();
    send_keys(p, "\x1b");
    std::this_thread::sleep_for(milliseconds(300));
    send_keys(p, "p");
    EXPECT_TRUE(wait_for(p, "key 27\r\nkey 112\r\n", 5000, from)) << p.output.substr(from);
    send_keys(p, "x");
    EXPECT_EQ(wait_exit(p, 5000), 0);
    finish(p);
}

TEST(Terminal, RawWhileRunningWithoutEchoButWithOutputProcessing) {
    const termios before = cooked_settings();
    PtyProcess p = start_probe("read");
    const termios raw = current_settings(p);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_NE(raw.c_lflag & ISIG, 0u);  // Ctrl+C still interrupts
    EXPECT_NE(raw.c_oflag & OPOST, 0u);
    expect_keys(p, "\r", "key 13\r\n");  // Enter as itself
    send_keys(p, "x");
    EXPECT_EQ(wait_exit(p, 5000), 0);
    EXPECT_EQ(p.output.find('x'), std::string::npos) << "typed keys must not echo: " << p.output;
    EXPECT_TRUE(same_settings(current_settings(p), before));
    finish(p);
}

TEST(Terminal, SettingsComeBackOnEveryWayOut) {
    const termios before = cooked_settings();
    struct Ending {
        const char* name;
        int signal;  // 0: sent as a key
        const char* key;
        int want_signal;
    };
    const Ending endings[] = {{"Ctrl+C", 0, "\x03", SIGINT},           {"Ctrl+\\", 0, "\x1c", SIGQUIT},
                              {"SIGTERM", SIGTERM, "", SIGTERM},       {"SIGHUP", SIGHUP, "", SIGHUP},
                              {"SIGUSR1", SIGUSR1, "", SIGUSR1},       {"SIGALRM", SIGALRM, "", SIGALRM},
                              {"SIGVTALRM", SIGVTALRM, "", SIGVTALRM}, {"crash", 0, "k", SIGABRT}};
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.name);
        PtyProcess p = start_probe(e.want_signal == SIGABRT ? "crash" : "read");
        EXPECT_FALSE(same_settings(current_settings(p), before));
        if (e.signal != 0)
            kill(p.pid, e.signal);
        else
            send_keys(p, e.key);
        const int status = wait_exit(p, 5000);
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), e.want_signal);
        EXPECT_TRUE(same_settings(current_settings(p), before));
        finish(p);
    }
}

TEST(Terminal, SettingsComeBackWhenTheProcessorTimeLimitIsReached) {
    // Debian's sh leaves the terminal as the program left it.
    PtyProcess p = spawn_in_pty({"/bin/sh", "-c", std::string("ulimit -S -t 1; exec ") + KEY_PROBE + " spin"}, UTF8, "",
                                cooked_settings());
    ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
    const int status = wait_exit(p, 20000);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGXCPU);
    EXPECT_TRUE(same_settings(current_settings(p), cooked_settings()));
    finish(p);
}

TEST(Terminal, ASignalIgnoredAtStartStaysIgnored) {
    PtyProcess p = spawn_in_pty({"/bin/sh", "-c", std::string("trap '' HUP USR1; exec ") + KEY_PROBE + " read"}, UTF8,
                                "", cooked_settings());
    ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
    kill(p.pid, SIGHUP);
    kill(p.pid, SIGUSR1);
    expect_keys(p, "z", "key 122\r\n");  // still running, still reading keys
    send_keys(p, "x");
    EXPECT_EQ(wait_exit(p, 5000), 0);
    EXPECT_TRUE(same_settings(current_settings(p), cooked_settings()));
    finish(p);
}

TEST(Terminal, ALostTerminalEndsTheProgramAsAHangUp) {
    // Closing the terminal sends a hang-up; with hang-ups ignored the lost
    // terminal is found at the next read or poll.
    for (const char* ignore : {"", "trap '' HUP; "})
        for (const char* mode : {"read", "poll"}) {
            SCOPED_TRACE(std::string(ignore) + mode);
            PtyProcess p = spawn_in_pty({"/bin/sh", "-c", std::string(ignore) + "exec " + KEY_PROBE + " " + mode}, UTF8,
                                        "", cooked_settings());
            ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
            close(p.master);
            p.master = -1;
            int status = 0;
            for (int i = 0; i < 500 && waitpid(p.pid, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(milliseconds(10));
            if (ignore[0] == '\0') {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "status " << status;
            } else {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGHUP) << "status " << status;
            }
            if (!WIFEXITED(status) && !WIFSIGNALED(status)) finish(p);  // still running: kill it
            p.pid = -1;
        }
}

TEST(Terminal, BroughtToTheForegroundWithoutAContinueItTakesTheTerminal) {
    // The probe starts in a process group of its own, in the background; the
    // session leader then hands it the terminal without sending SIGCONT.
    PtyProcess p = start_in_pty(
        [] {
            const pid_t probe = fork();
            if (probe == 0) {
                setpgid(0, 0);
                execl(KEY_PROBE, KEY_PROBE, "poll", static_cast<char*>(nullptr));
                _exit(127);
            }
            setpgid(probe, probe);
            usleep(300000);
            (void)signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, probe);
            int status = 0;
            waitpid(probe, &status, 0);
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
        },
        UTF8, cooked_settings());
    ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
    bool raw = false;
    for (int i = 0; i < 300 && !raw; ++i) {
        std::this_thread::sleep_for(milliseconds(10));
        raw = (current_settings(p).c_lflag & ECHO) == 0;
    }
    EXPECT_TRUE(raw);
    expect_keys(p, "x", "key 120\r\n");
    EXPECT_EQ(wait_exit(p, 5000), 0);
    EXPECT_EQ(p.output.find("x\r\nkey"), std::string::npos) << "typed keys must not echo: " << p.output;
    finish(p);
}

TEST(Terminal, SuspendRestoresAndContinueMakesRawAgain) {
    // Under a job-control shell, as a user meets it: Ctrl+Z, the shell's own
    // prompt on a cooked terminal, then fg.
    const termios before = cooked_settings();
    PtyProcess p = spawn_in_pty(
        {"/bin/bash", "-c", "set -m; \"$0\" read; echo \"stopped=$?\"; read -r line; fg; echo \"exit=$?\"", KEY_PROBE},
        UTF8, "", before);
    ASSERT_TRUE(wait_for(p, "ready\r\n", 10000)) << p.output;
    EXPECT_FALSE(same_settings(current_settings(p), before));
    send_keys(p, "\x1a");                                       // Ctrl+Z
    ASSERT_TRUE(wait_for(p, "stopped=148", 5000)) << p.output;  // 128 + SIGTSTP
    EXPECT_TRUE(same_settings(current_settings(p), before));
    send_keys(p, "go\r");  // the shell reads a line, then brings the probe back
    bool raw_again = false;
    for (int i = 0; i < 500 && !raw_again; ++i) {
        std::this_thread::sleep_for(milliseconds(10));
        raw_again = (current_settings(p).c_lflag & ECHO) == 0;
    }
    EXPECT_TRUE(raw_again);
    expect_keys(p, "\x1b[B", "key 224\r\nkey 80\r\n");  // and it carries on reading keys
    expect_keys(p, "x", "exit=0");
    EXPECT_EQ(wait_exit(p, 5000), 0);
    EXPECT_TRUE(same_settings(current_settings(p), before));
    finish(p);
}

TEST(Terminal, StartedInTheBackgroundNeverStops) {
    // A job-control shell starts the probe as a background job; if touching
    // the terminal stopped it, the wait would never return.
    PtyProcess p =
        spawn_in_pty({"/bin/sh", "-c", std::string("set -m; ") + KEY_PROBE + " chars 65 & wait $!; echo status=$?"},
                     {"LANG=C.UTF-8"}, "", cooked_settings());
    EXPECT_TRUE(wait_for(p, "status=0", 10000)) << p.output;
    EXPECT_EQ(wait_exit(p, 5000), 0);
    EXPECT_TRUE(same_settings(current_settings(p), cooked_settings()));
    finish(p);
}

TEST(Terminal, WithoutATerminalKeysReadAsMinusOneAtOnce) {
    int status = 0;
    const std::string text = output_of_child(
        [] {
            setsid();  // no controlling terminal from here on
            execl(KEY_PROBE, KEY_PROBE, "read", static_cast<char*>(nullptr));
            return 127;
        },
        &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(text, "ready\nkey -1\n");
}

// What put_char shows, as the terminal receives it.
std::string shown(const std::vector<std::string>& env, const std::vector<std::string>& codes) {
    std::vector<std::string> argv{KEY_PROBE, "chars"};
    argv.insert(argv.end(), codes.begin(), codes.end());
    PtyProcess p = spawn_in_pty(argv, env, "", cooked_settings());
    EXPECT_EQ(wait_exit(p, 10000), 0);
    finish(p);
    const std::size_t open = p.output.find('['), close = p.output.rfind("]done");
    return open == std::string::npos || close == std::string::npos ? "?" + p.output
                                                                   : p.output.substr(open + 1, close - open - 1);
}

TEST(Terminal, PutCharShowsLatin1VisiblyInOrderWithStandardOutput) {
    EXPECT_EQ(shown({"LC_ALL", "LC_CTYPE", "LANG=en_US.UTF-8"}, {"65", "233", "0", "10", "27", "150", "255"}),
              "A\xc3\xa9\xe2\x90\x80\r\n\xe2\x90\x9b\xe2\x96\x92\xc3\xbf");
    // The C locale cannot show 160..255: one ASCII cell each, as for ISO 8859-1 the byte itself.
    EXPECT_EQ(shown({"LC_ALL=C", "LANG=en_US.UTF-8"}, {"65", "233", "0", "10", "27", "150"}), "A#.\r\n..");
    EXPECT_EQ(shown({"LC_ALL=en_US.ISO-8859-1"}, {"65", "233", "0"}), "A\xe9.");
}

TEST(Terminal, PutCharGoesToTheTerminalWhenStandardOutputIsRedirected) {
    const TempDir dir;
    const std::string file = dir.path() + "/out.txt";
    PtyProcess p = spawn_in_pty({"/bin/sh", "-c", std::string("exec ") + KEY_PROBE + " chars 66 67 > " + file},
                                {"LANG=C.UTF-8", "LC_ALL"}, "", cooked_settings());
    EXPECT_EQ(wait_exit(p, 10000), 0);
    finish(p);
    EXPECT_NE(p.output.find("BC"), std::string::npos) << p.output;
    EXPECT_EQ(read_file(file), "[]done\n");
}

}  // namespace
