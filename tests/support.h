// What the tests share: programs on a pseudo-terminal, the way a user meets
// them (keys go in through the terminal, everything it shows comes back out),
// temporary directories and child processes.
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

// The size a new pty says it has: cells, and pixels (0: not said, as many
// terminals and ssh clients do).
struct PtyWindow {
    unsigned short rows = 50, columns = 132, width_px = 0, height_px = 0;
};

// Starts argv[0] (a path) in a new session whose controlling terminal is a
// fresh pty with `settings`. `env` entries are "NAME=value" to set or "NAME" to
// unset; `dir`, when not empty, is the working directory.
PtyProcess spawn_in_pty(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        const std::string& dir, const termios& settings, PtyWindow window = {});

// Runs `body` in a child process whose controlling terminal is a fresh pty
// with `settings`, `env` applied as for spawn_in_pty; the child ends when
// body returns.
PtyProcess start_in_pty(const std::function<void()>& body, const std::vector<std::string>& env, const termios& settings,
                        PtyWindow window = {});

// Reads until `text` appears in the output at or after `from`; false on timeout.
bool wait_for(PtyProcess& p, const std::string& text, int timeout_ms, std::size_t from = 0);

void send_keys(PtyProcess& p, const std::string& bytes);

// Reads what the process writes for `ms` milliseconds, so that it never
// blocks on a full terminal while the test waits for something else.
void read_for(PtyProcess& p, int ms);

// Waits for the process to end, reading its output; the wait status, or -1
// when it did not end in time (it is killed then).
int wait_exit(PtyProcess& p, int timeout_ms);

termios current_settings(const PtyProcess& p);
bool same_settings(const termios& a, const termios& b);

// Kills what is left and closes the terminal.
void finish(PtyProcess& p);

// Runs `body` in a child process whose controlling terminal is a fresh pty,
// with `env` applied as for spawn_in_pty; returns all the terminal received.
std::string run_in_pty(const std::function<void()>& body, const std::vector<std::string>& env);

// The code points of UTF-8 text; -1 for each byte that is no part of a
// well-formed character.
std::vector<long> code_points(const std::string& text);

// The character codes a UTF-8 terminal was sent: each character once, the
// control pictures taken back to the codes they stand for, "\r\n" as 10.
std::vector<int> shown_codes(const std::string& output);

// "NAME=value" sets, "NAME" unsets.
void apply_env(const std::vector<std::string>& env);

// A fresh directory under /tmp, removed with all it holds when this goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);  // empty when missing

// The names in a directory, sorted, without the dot entries.
std::vector<std::string> list_files(const std::string& dir);

// Runs `body` in a forked child whose standard output is captured; returns
// the output, with the child's wait status in `status`. The child ends with
// body's return value.
std::string output_of_child(const std::function<int()>& body, int* status);
