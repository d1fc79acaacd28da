// Runs a program on a pseudo-terminal, the way a user meets it: keys go in
// through the terminal, everything it shows comes back out.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

struct PtyProcess {
    pid_t pid = -1;
    int master = -1;
    std::string output;  // everything read from the terminal so far
};

// The settings a new terminal starts with in these tests: an ordinary cooked
// terminal, with a few values that raw mode must not leave behind.
termios cooked_settings();

// Starts argv[0] (a path) in a new session whose controlling terminal is a
// fresh pty with `settings`. `env` entries are "NAME=value" to set or "NAME" to
// unset; `dir`, when not empty, is the working directory.
PtyProcess spawn_in_pty(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        const std::string& dir, const termios& settings);

// Reads until `text` appears in the output at or after `from`; false on timeout.
bool wait_for(PtyProcess& p, const std::string& text, int timeout_ms, std::size_t from = 0);

void send_keys(PtyProcess& p, const std::string& bytes);

// Waits for the process to end, reading its output; the wait status, or -1
// when it did not end in time (it is killed then).
int wait_exit(PtyProcess& p, int timeout_ms);

// Waits for the process to stop (job control); false on timeout.
bool wait_stopped(PtyProcess& p, int timeout_ms);

termios current_settings(const PtyProcess& p);
bool same_settings(const termios& a, const termios& b);

// Kills what is left and closes the terminal.
void finish(PtyProcess& p);

// Runs `body` in a child process whose controlling terminal is a fresh pty,
// with `env` applied as for spawn_in_pty; returns all the terminal received.
std::string run_in_pty(const std::function<void()>& body, const std::vector<std::string>& env);

// The character codes a UTF-8 terminal was sent: each character once, the
// control pictures taken back to the codes they stand for, "\r\n" as 10.
std::vector<int> shown_codes(const std::string& output);
