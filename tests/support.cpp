#include "support.h"

#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads what is there, waiting up to timeout_ms for something; false at the end of output.
bool read_some(PtyProcess& p, int timeout_ms) {
    pollfd fd{p.master, POLLIN, 0};
    if (poll(&fd, 1, timeout_ms) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(p.master, buffer, sizeof buffer);
    if (n <= 0) return false;  // EIO once the last holder of the terminal is gone
    p.output.append(buffer, static_cast<std::size_t>(n));
    return true;
}

// Whatever output is left once the process has ended.
void drain(PtyProcess& p) {
    for (;;) {
        pollfd fd{p.master, POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0) return;
        char buffer[4096];
        const ssize_t n = read(p.master, buffer, sizeof buffer);
        if (n <= 0) return;
        p.output.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

termios cooked_settings() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXANY | IMAXBEL | BRKINT | IUTF8;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CREAD | CS8 | HUPCL;
    t.c_lflag = ISIG | ICANON | IEXTEN | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE;
    const cc_t cc[][2] = {{VINTR, 3},   {VQUIT, 28}, {VERASE, 127}, {VKILL, 21}, {VEOF, 4},
                          {VSTART, 17}, {VSTOP, 19}, {VSUSP, 26},   {VMIN, 1},   {VTIME, 0}};
    for (const auto& c : cc) t.c_cc[c[0]] = c[1];
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return t;
}

PtyProcess start_in_pty(const std::function<void()>& body, const std::vector<std::string>& env, const termios& settings,
                        PtyWindow window) {
    PtyProcess p;
    winsize size{window.rows, window.columns, window.width_px, window.height_px};
    termios t = settings;
    p.pid = forkpty(&p.master, nullptr, &t, &size);
    if (p.pid == 0) {
        // A plain terminal that is asked nothing, whatever terminal runs the
        // tests; a test that wants another names it.
        apply_env({"TERM=dumb", "COLORTERM", "TERM_PROGRAM", "LC_TERMINAL", "KITTY_WINDOW_ID", "TMUX", "STY"});
        apply_env(env);
        body();
        _exit(0);
    }
    return p;
}

PtyProcess spawn_in_pty(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        const std::string& dir, const termios& settings, PtyWindow window) {
    return start_in_pty(
        [&] {
            if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
            std::vector<char*> args;
            args.reserve(argv.size() + 1);
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        },
        env, settings, window);
}

bool wait_for(PtyProcess& p, const std::string& text, int timeout_ms, std::size_t from) {
    const long long end = now_ms() + timeout_ms;
    for (;;) {
        if (p.output.find(text, from) != std::string::npos) return true;
        const long long left = end - now_ms();
        if (left <= 0) return false;
        if (!read_some(p, static_cast<int>(left < 50 ? left : 50)))
            return p.output.find(text, from) != std::string::npos;
    }
}

void read_for(PtyProcess& p, int ms) {
    const long long end = now_ms() + ms;
    for (long long left = ms; left > 0; left = end - now_ms())
        if (!read_some(p, static_cast<int>(left))) return;
}

void send_keys(PtyProcess& p, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = write(p.master, bytes.data() + at, bytes.size() - at);
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
}

int wait_exit(PtyProcess& p, int timeout_ms) {
    const long long end = now_ms() + timeout_ms;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(p.pid, &status, WNOHANG);
        if (done == p.pid) {
            drain(p);
            p.pid = -1;
            return status;
        }
        if (now_ms() > end) {
            kill(p.pid, SIGKILL);
            waitpid(p.pid, &status, 0);
            p.pid = -1;
            return -1;
        }
        read_some(p, 20);
    }
}

termios current_settings(const PtyProcess& p) {
    termios t{};
    tcgetattr(p.master, &t);
    return t;
}

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

void finish(PtyProcess& p) {
    if (p.pid > 0) {
        kill(p.pid, SIGKILL);
        int status;
        waitpid(p.pid, &status, 0);
        p.pid = -1;
    }
    if (p.master >= 0) close(p.master);
    p.master = -1;
}

std::string run_in_pty(const std::function<void()>& body, const std::vector<std::string>& env) {
    PtyProcess p = start_in_pty(
        [&] {
            body();
            (void)std::fflush(stdout);
        },
        env, cooked_settings());
    wait_exit(p, 30000);
    finish(p);
    return p.output;
}

std::vector<long> code_points(const std::string& text) {
    std::vector<long> points;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0, n = text.size(); i < n;) {
        const int length = b[i] < 0x80 ? 1 : b[i] >= 0xC2 && b[i] < 0xE0 ? 2 : b[i] >= 0xE0 && b[i] < 0xF0 ? 3 : 0;
        long point = length == 1 ? b[i] : b[i] & (0xFF >> (length + 1));
        bool ok = length > 0 && i + static_cast<std::size_t>(length) <= n;
        for (int k = 1; ok && k < length; ++k) {
            ok = (b[i + static_cast<std::size_t>(k)] & 0xC0) == 0x80;
            point = (point << 6) | (b[i + static_cast<std::size_t>(k)] & 0x3F);
        }
        points.push_back(ok ? point : -1);
        i += ok ? static_cast<std::size_t>(length) : 1;
    }
    return points;
}

std::vector<int> shown_codes(const std::string& output) {
    std::vector<int> codes;
    long before = -1;
    for (long point : code_points(output)) {
        if (point == '\n' && before == '\r')
            codes.back() = '\n';  // "\r\n" is one line end
        else if (point >= 0x2400 && point < 0x2420)
            codes.push_back(static_cast<int>(point - 0x2400));
        else if (point == 0x2421)
            codes.push_back(127);
        else
            codes.push_back(static_cast<int>(point));
        before = point;
    }
    return codes;
}

void apply_env(const std::vector<std::string>& env) {
    for (const std::string& e : env) {
        const std::size_t eq = e.find('=');
        if (eq == std::string::npos)
            unsetenv(e.c_str());
        else
            setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
}

TempDir::TempDir() {
    char name[] = "/tmp/pixelgrow_test_XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> list_files(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string output_of_child(const std::function<int()>& body, int* status) {
    int out[2];
    if (pipe(out) != 0) return "";
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        dup2(out[1], STDOUT_FILENO);
        const int code = body();
        (void)std::fflush(stdout);
        _exit(code);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    waitpid(pid, status, 0);
    return text;
}
