// The whole program as a user meets it: the real binary on a pseudo-terminal,
// driven by keys, and the files it leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support.h"

namespace {

constexpr int PICTURE_MS = 60000;  // a picture takes about two seconds; room for slow machines
const std::string MENU = "Menu:\r\nESC - stop image creation/Quit prog\r\nP   - show Progress\r\n";
const std::string INTRO = "\r\n\r\nGenerating image...I'll write a BMP image file to the current directory:\r\n";
const std::string OPEN_ERROR = "ERROR: Could not open/create BMP file in write_image()!";
const std::string WRITE_ERROR = "ERROR: Could not write BMP file in write_image()!";
const std::string VIEWER = "...and then call your default image-viewing program to display the file.\r\n\r\n";

// Reads "<eol>locii = %d   loops = %d  secs: %d<eol>" at `at`; false when it is not there.
bool read_summary(const std::string& text, std::size_t at, const std::string& eol, int* locii, int* loops,
                  std::size_t* end = nullptr) {
    const std::string head = eol + "locii = ";
    if (text.compare(at, head.size(), head) != 0) return false;
    int secs = -1, used = 0;
    if (std::sscanf(text.c_str() + at + head.size(), "%d   loops = %d  secs: %d%n", locii, loops, &secs, &used) != 3)
        return false;
    const std::size_t after = at + head.size() + static_cast<std::size_t>(used);
    if (secs < 0 || text.compare(after, eol.size(), eol) != 0) return false;
    if (end != nullptr) *end = after + eol.size();
    return true;
}

// The file name after `prefix` up to ".<eol>" when it is "randImage<digits>.bmp"; empty otherwise.
std::string picture_name_after(const std::string& text, std::size_t prefix_end, const std::string& eol) {
    const std::size_t stop = text.find("." + eol, prefix_end);
    if (stop == std::string::npos) return "";
    std::string name = text.substr(prefix_end, stop - prefix_end);
    const std::string digits = name.size() > 13 ? name.substr(9, name.size() - 13) : "";
    if (name.compare(0, 9, "randImage") != 0 || name.size() < 14 || name.compare(name.size() - 4, 4, ".bmp") != 0 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return "";
    return name;
}

// A working directory for the program, and a stand-in viewer opener that
// logs each file it is asked to open.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root_.empty());
        work_ = root_ + "/work";
        ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((root_ + "/bin").c_str(), 0755), 0);
        const std::string opener = root_ + "/bin/xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << launches_path() << "'\n";
        chmod(opener.c_str(), 0755);
    }
    void TearDown() override { finish(p_); }

    std::string launches_path() const { return root_ + "/launches"; }
    std::vector<std::string> env() const {
        return {"LANG=C.UTF-8", "LC_ALL",          "LC_CTYPE",
                "DISPLAY=:99",  "WAYLAND_DISPLAY", "PATH=" + root_ + "/bin:/usr/bin:/bin"};
    }

    void start(const std::vector<std::string>& argv = {PIXELGROW}, const std::vector<std::string>& more_env = {}) {
        std::vector<std::string> e = env();
        e.insert(e.end(), more_env.begin(), more_env.end());
        p_ = spawn_in_pty(argv, e, work_, cooked_settings());
        ASSERT_TRUE(wait_for(p_, INTRO, 10000)) << p_.output;
    }

    // Waits until the working directory holds exactly one finished picture; its name.
    std::string wait_picture_file(int timeout_ms) {
        for (int waited = 0; waited < timeout_ms; waited += 20) {
            const std::vector<std::string> names = files();
            if (names.size() == 1 && names[0].size() > 4 && names[0].compare(names[0].size() - 4, 4, ".bmp") == 0)
                return names[0];
            read_for(p_, 20);
        }
        return "";
    }

    std::vector<std::string> files() const { return list_files(work_); }

    // The summary's numbers, from the first summary at or after `from`.
    bool wait_summary(std::size_t from, int* locii, int* loops) {
        if (!wait_for(p_, "\r\nlocii = ", PICTURE_MS, from)) return false;
        const std::size_t at = p_.output.find("\r\nlocii = ", from);
        if (!wait_for(p_, MENU, 5000, at)) return false;
        return read_summary(p_.output, at, "\r\n", locii, loops);
    }

    // Runs the program in a new directory of that name, stops the picture and
    // quits; the line shown for the directory ("" when something failed).
    std::string directory_line(const std::string& name) {
        work_ = root_ + "/" + name;
        int locii = 0, loops = 0;
        if (mkdir(work_.c_str(), 0755) != 0) return "";
        start();
        send_during_growth("q");
        if (!wait_summary(0, &locii, &loops)) return "";
        send_keys(p_, "q");
        if (wait_exit(p_, 10000) != 0 || p_.output.compare(0, INTRO.size(), INTRO) != 0) return "";
        return p_.output.substr(INTRO.size(), p_.output.find("\r\n", INTRO.size()) - INTRO.size());
    }

    // After the error line on standard output, the reason on the error stream,
    // as any other program gives it: "pixelgrow: randImage<digits>.bmp: REASON",
    // then the summary. The reason, or "" when that is not what was shown.
    std::string failure_reason(const std::string& error_line) {
        const std::string head = "\r\n\r\n" + error_line + "\r\n\r\npixelgrow: ";
        const std::size_t at = p_.output.find(head);
        if (at == std::string::npos) return "";
        const std::size_t name = at + head.size(), colon = p_.output.find(": ", name);
        const std::size_t end = p_.output.find("\r\n\r\nlocii = ", name);
        if (colon == std::string::npos || end == std::string::npos || colon > end) return "";
        if (picture_name_after(p_.output.substr(0, colon) + ".\r\n", name, "\r\n").empty()) return "";
        return p_.output.substr(colon + 2, end - colon - 2);
    }

    // Sends a key once growth is under way.
    void send_during_growth(const std::string& key) {
        ASSERT_TRUE(wait_for(p_, "prog: ", 10000, p_.output.size()));
        send_keys(p_, key);
    }

    TempDir dir_;
    const std::string root_ = dir_.path();
    std::string work_;
    PtyProcess p_;
};

// True when the text ends with the full preview: 50 rows of 80 characters,
// each followed by a line feed, one more line feed, and a line feed before it.
testing::AssertionResult ends_with_preview(const std::string& text) {
    const std::vector<int> codes = shown_codes(text);
    const std::size_t size = 50 * 81 + 1;
    if (codes.size() < size + 1) return testing::AssertionFailure() << "too short: " << codes.size();
    const std::vector<int> tail(codes.end() - static_cast<long>(size) - 1, codes.end());
    if (tail[0] != '\n') return testing::AssertionFailure() << "no line feed before the preview";
    for (std::size_t i = 1; i < tail.size(); ++i) {
        const bool row_end = i % 81 == 0 || i == tail.size() - 1;
        if ((tail[i] == '\n') != row_end)
            return testing::AssertionFailure() << "code " << tail[i] << " at " << i << " of the preview";
        if (tail[i] == 13 || (tail[i] >= 7 && tail[i] <= 9))
            return testing::AssertionFailure() << "code " << tail[i] << " is never shown";
    }
    return testing::AssertionSuccess();
}

TEST_F(ProgramTest, WithNoKeyAPictureGrowsIsSavedAndOpened) {
    start();
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops))
        << p_.output.substr(p_.output.size() > 3000 ? p_.output.size() - 3000 : 0);
    EXPECT_GE(loops, 320);
    EXPECT_GT(locii, 0);
    const std::string& out = p_.output;
    EXPECT_EQ(out.substr(0, out.find("\rlocii: ")), INTRO + work_ + "\r\n" + VIEWER + MENU);
    EXPECT_EQ(out.substr(out.find("\rlocii: "), 29), "\rlocii: 0  prog: 0%   \\      ");

    const std::string success = "\r\nSuccessfully wrote 400x400 image: ";
    const std::size_t said = out.find(success);
    ASSERT_NE(said, std::string::npos);
    const std::string name = picture_name_after(out, said + success.size(), "\r\n");
    ASSERT_FALSE(name.empty()) << out.substr(said, 100);
    EXPECT_TRUE(ends_with_preview(out.substr(0, said)));
    EXPECT_EQ(out.substr(said + success.size() + name.size(), 13), ".\r\n\r\nlocii = ");
    EXPECT_EQ(out.substr(out.size() - MENU.size()), MENU);

    struct stat st = {};
    ASSERT_EQ(stat((work_ + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 480054);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    for (int i = 0; i < 500 && read_file(launches_path()).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_file(launches_path()), name + "\n");

    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
}

TEST_F(ProgramTest, PShowsThePreviewAndGrowthGoesOn) {
    start();
    send_during_growth("p");
    const std::size_t sent = p_.output.size();
    ASSERT_TRUE(wait_for(p_, MENU, 10000, sent));
    const std::size_t menu = p_.output.find(MENU, sent);
    EXPECT_TRUE(ends_with_preview(p_.output.substr(0, menu)));
    ASSERT_TRUE(wait_for(p_, "\rlocii: ", 10000, menu));  // still growing
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(menu, &locii, &loops));
    EXPECT_GE(loops, 320);
    EXPECT_NE(p_.output.find("Successfully wrote 400x400 image"), std::string::npos);
    send_keys(p_, "\x1b");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
}

TEST_F(ProgramTest, EscapeStopsThePictureAndASecondEscapeQuits) {
    start();
    send_during_growth("\x1b");
    const std::size_t sent = p_.output.size();
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(sent, &locii, &loops)) << p_.output.substr(sent);
    EXPECT_LT(loops, 320);
    const std::string after = p_.output.substr(sent);
    // The menu follows the status text on the same line, then the preview and the summary.
    EXPECT_NE(after.find("      " + MENU), std::string::npos) << after.substr(0, 300);
    EXPECT_TRUE(ends_with_preview(p_.output.substr(0, p_.output.find("\r\nlocii = ", sent))));
    EXPECT_EQ(after.find("Successfully"), std::string::npos);

    send_keys(p_, "\x1b");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a launch would have logged by now
    EXPECT_EQ(files(), std::vector<std::string>{});
    EXPECT_EQ(read_file(launches_path()), "");
}

TEST_F(ProgramTest, KeysWithoutACharacterActByTheirSecondCodeAndAnyKeyStartsTheNext) {
    start();
    send_during_growth("\x1b[B");  // Down: 224 only reprints the menu, 80 is P
    std::size_t sent = p_.output.size();
    ASSERT_TRUE(wait_for(p_, MENU, 10000, sent));
    const std::size_t first = p_.output.find(MENU, sent);
    ASSERT_TRUE(wait_for(p_, MENU, 10000, first + 1));
    EXPECT_TRUE(ends_with_preview(p_.output.substr(0, p_.output.find(MENU, first + 1))));

    send_during_growth("\x1b[6~");  // Page Down: 224, then 81 is Q
    sent = p_.output.size();
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(sent, &locii, &loops));
    EXPECT_LT(loops, 320);
    EXPECT_EQ(p_.output.find("Successfully"), std::string::npos);

    sent = p_.output.size();
    send_keys(p_, "n");  // any other key: the next picture, counts back at 0
    ASSERT_TRUE(wait_for(p_, INTRO, 10000, sent));
    ASSERT_TRUE(wait_for(p_, "\rlocii: ", 10000, sent));
    EXPECT_EQ(p_.output.substr(p_.output.find("\rlocii: ", sent), 20), "\rlocii: 0  prog: 0% ");
    send_during_growth("q");
    ASSERT_TRUE(wait_summary(p_.output.find(INTRO, sent), &locii, &loops));
    send_keys(p_, "Q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(ProgramTest, AFailedSaveIsReportedAndNothingIsOpened) {
    // The working directory disappears while the picture grows.
    start();
    ASSERT_EQ(rmdir(work_.c_str()), 0);
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops));
    EXPECT_EQ(failure_reason(OPEN_ERROR), "No such file or directory");
    const std::size_t sent = p_.output.size();
    send_keys(p_, " ");
    // The next picture shows an empty line for the directory it cannot read.
    ASSERT_TRUE(wait_for(p_, INTRO + "\r\n" + VIEWER, 10000, sent)) << p_.output.substr(sent);
    send_during_growth("q");
    ASSERT_TRUE(wait_summary(sent, &locii, &loops));
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(read_file(launches_path()), "");
}

TEST_F(ProgramTest, AReadOnlyDirectorySaysSoOnTheErrorStream) {
    // Root writes anywhere: it runs the program as nobody, whom the
    // directory's permissions hold back as they do any user. (A read-only
    // mount would need a mount namespace, which a chroot cannot give.)
    ASSERT_EQ(chmod(work_.c_str(), 0555), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(root_.c_str(), 0711), 0);
        start({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", PIXELGROW});
    } else {
        start();
    }
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops));
    EXPECT_EQ(failure_reason(OPEN_ERROR), "Permission denied");
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
    EXPECT_EQ(read_file(launches_path()), "");
}

TEST_F(ProgramTest, AWriteCutShortByTheFileSizeLimitLeavesNoFile) {
    start({"/bin/sh", "-c", std::string("ulimit -f 100; exec ") + PIXELGROW});
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops));
    EXPECT_EQ(failure_reason(WRITE_ERROR), "File too large");
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
    EXPECT_EQ(read_file(launches_path()), "");
}

TEST_F(ProgramTest, WithoutATerminalPicturesFollowOneAnother) {
    const std::string log = root_ + "/out.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        apply_env(env());
        if (chdir(work_.c_str()) != 0 || !freopen(log.c_str(), "w", stdout)) _exit(126);
        execl(PIXELGROW, PIXELGROW, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string out;
    auto summaries = [&] {
        std::size_t count = 0;
        for (std::size_t at = out.find("\nlocii = "); at != std::string::npos; at = out.find("\nlocii = ", at + 1))
            ++count;
        return count;
    };
    for (int waited = 0; waited < 2 * PICTURE_MS && summaries() < 2; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out = read_file(log);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    out = read_file(log);
    ASSERT_GE(summaries(), 2u) << out.substr(0, 500);

    // Each picture's texts in order; without a terminal there is no preview.
    const std::string intro = "\n\nGenerating image...I'll write a BMP image file to the current directory:\n" + work_ +
                              "\n...and then call your default image-viewing program to display the file.\n\n"
                              "Menu:\nESC - stop image creation/Quit prog\nP   - show Progress\n";
    const std::string success = "\n\nSuccessfully wrote 400x400 image: ";
    const std::string menu = "Menu:\nESC - stop image creation/Quit prog\nP   - show Progress\n";
    std::vector<std::string> names;
    std::size_t at = 0;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE("picture " + std::to_string(i));
        ASSERT_EQ(out.compare(at, intro.size(), intro), 0) << out.substr(at, 300);
        at += intro.size();
        const std::size_t said = out.find(success, at);
        ASSERT_NE(said, std::string::npos);
        const std::string status = out.substr(at, said - at);
        EXPECT_EQ(status.compare(0, 8, "\rlocii: "), 0) << status.substr(0, 100);
        EXPECT_EQ(status.find('\n'), std::string::npos);  // nothing but status lines while growing
        const std::string name = picture_name_after(out, said + success.size(), "\n");
        ASSERT_FALSE(name.empty()) << out.substr(said, 100);
        names.push_back(name);
        at = said + success.size() + name.size() + 2;  // past ".\n"
        int locii = 0, loops = 0;
        std::size_t end = 0;
        ASSERT_TRUE(read_summary(out, at, "\n", &locii, &loops, &end)) << out.substr(at, 100);
        EXPECT_GE(loops, 320);
        ASSERT_EQ(out.compare(end, menu.size(), menu), 0) << out.substr(end, 100);
        at = end + menu.size();
    }
    EXPECT_NE(names[0], names[1]);
    for (const std::string& name : names) {
        struct stat st = {};
        EXPECT_EQ(stat((work_ + "/" + name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_size, 480054);
    }
}

// Two programs in one folder whose clocks say the same second, as two
// started together say it: neither picture replaces the other, and each
// success line names the file as written.
TEST_F(ProgramTest, PicturesOfTheSameSecondNeverReplaceOneAnother) {
    std::ofstream(work_ + "/randImage1796774400.bmp") << "an older picture";
    const std::vector<std::string> stopped_clock = {"/usr/bin/faketime", "-f", "2026-12-09 00:00:00", PIXELGROW};
    std::vector<std::string> e = env();
    // The clock stopped for the time of day only; the sanitizers' runtime
    // then comes second in the list of libraries, which they allow here.
    e.insert(e.end(), {"TZ=UTC", "FAKETIME_DONT_FAKE_MONOTONIC=1", "ASAN_OPTIONS=verify_asan_link_order=0"});
    PtyProcess programs[2] = {spawn_in_pty(stopped_clock, e, work_, cooked_settings()),
                              spawn_in_pty(stopped_clock, e, work_, cooked_settings())};
    struct EndedOnReturn {
        PtyProcess* programs;
        ~EndedOnReturn() { finish(programs[0]), finish(programs[1]); }
    } ended{programs};
    std::vector<std::string> names;
    for (PtyProcess& p : programs) {
        ASSERT_TRUE(wait_for(p, "\r\nlocii = ", PICTURE_MS)) << p.output.substr(0, 300);
        ASSERT_TRUE(wait_for(p, MENU, 5000, p.output.find("\r\nlocii = ")));
        const std::size_t said = p.output.find("Successfully wrote 400x400 image: ");
        ASSERT_NE(said, std::string::npos);
        const std::size_t start = said + 34, stop = p.output.find(".\r\n", start);
        names.push_back(p.output.substr(start, stop - start));
        send_keys(p, "q");
        EXPECT_EQ(wait_exit(p, 10000), 0);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"randImage1796774400-2.bmp", "randImage1796774400-3.bmp"}));
    EXPECT_EQ(read_file(work_ + "/randImage1796774400.bmp"), "an older picture");
    for (const std::string& name : names) {
        struct stat st = {};
        EXPECT_EQ(stat((work_ + "/" + name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_size, 480054);
    }
    EXPECT_EQ(files().size(), 3u);
}

// What a command prints.
std::string output_of(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    pclose(pipe);
    return out;
}

// In a narrow window the lines around the picture wrap; the picture leaves
// room for them as wrapped and takes the rest, so that the line naming the
// file and the whole menu stay on the screen, as tmux (a real terminal,
// without a desktop) shows it.
TEST_F(ProgramTest, InANarrowWindowTheSavedLineAndTheMenuStayOnTheScreen) {
    struct EndedOnReturn {  // the server on this test's own socket, and the program in it
        std::string kill;
        ~EndedOnReturn() {
            if (std::system(kill.c_str()) != 0) return;  // already gone
        }
    };
    const struct {
        int columns, picture_rows;
    } windows[] = {
        {40, 24 - 2 - 6},  // the saved line on two rows; below, the summary and the menu on six
        {30, 24 - 2 - 8},  // the summary and the menu's second line on two rows each
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.columns);
        // A server of its own for each window: one just told to end may not have gone yet.
        const std::string tmux =
            "tmux -L pixelgrow-narrow-" + std::to_string(getpid()) + "-" + std::to_string(w.columns) + " -f /dev/null ";
        const EndedOnReturn ended{tmux + "kill-server 2>/dev/null"};
        std::string start = tmux + "new-session -d -x " + std::to_string(w.columns) + " -y 24 ";
        start += "\"cd '" + work_ + "' && exec env -u DISPLAY -u WAYLAND_DISPLAY LANG=C.UTF-8 " PIXELGROW "\"";
        ASSERT_EQ(std::system(start.c_str()), 0);
        std::string screen;
        for (int waited = 0;
             waited < PICTURE_MS && screen.find("P   - show Progress", screen.find("secs:")) == std::string::npos;
             waited += 100) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            screen = output_of(tmux + "capture-pane -p -J");  // wrapped lines joined: each line whole
        }
        EXPECT_NE(screen.find("Successfully wrote 400x400 image: randImage"), std::string::npos) << screen;
        const std::size_t summary = screen.find("locii = ");
        ASSERT_NE(summary, std::string::npos) << screen;
        EXPECT_NE(screen.find("Menu:\nESC - stop image creation/Quit prog\nP   - show Progress", summary),
                  std::string::npos)
            << screen;
        int picture_rows = 0;
        for (std::size_t at = screen.find("\xe2\x96\x80"); at != std::string::npos;
             at = screen.find("\xe2\x96\x80", screen.find('\n', at)))
            ++picture_rows;
        EXPECT_EQ(picture_rows, w.picture_rows) << screen;
        EXPECT_EQ(std::system(ended.kill.c_str()), 0);
    }
}

TEST_F(ProgramTest, ADirectoryNameCannotCommandTheTerminal) {
    // A title change, a hidden cursor and C1 controls, raw and as UTF-8.
    EXPECT_EQ(directory_line("x\x1b]2;PWNED\a\x1b[?25l\xc2\x9b\x9b"),
              root_ + "/x\xe2\x90\x9b]2;PWNED\xe2\x90\x87\xe2\x90\x9b[?25l\xe2\x96\x92\xef\xbf\xbd");
    // Well-formed UTF-8 with no control but line feeds and carriage returns:
    // nothing the terminal would obey.
    for (long code : code_points(p_.output)) {
        if (code == '\r' || code == '\n') continue;
        ASSERT_TRUE(code >= 0x20 && code != 0x7F && (code < 0x80 || code >= 0xA0)) << code;
    }
    EXPECT_EQ(p_.output.find("PWNED\a"), std::string::npos);
}

TEST_F(ProgramTest, MarksThatReorderADirectoryNameAreShown) {
    // "abc", a right-to-left override, "gpj.exe": on screen it would read "abcexe.jpg".
    EXPECT_EQ(directory_line("abc\xe2\x80\xaegpj.exe"), root_ + "/abc\xe2\x96\x92gpj.exe");
}

TEST_F(ProgramTest, AnOldStyleMouseClickIsNoKey) {
    // ESC [ M and three bytes, here a 'q' among them: during growth it must
    // not stop the picture, at the summary it must not start the next one.
    start();
    send_during_growth("\x1b[Mq!!");
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops));
    EXPECT_GE(loops, 320);  // grown to the end: the click stopped nothing
    EXPECT_NE(p_.output.find("Successfully wrote 400x400 image"), std::string::npos);
    const std::size_t sent = p_.output.size();
    send_keys(p_, "\x1b[M !!");
    read_for(p_, 500);
    EXPECT_EQ(p_.output.find("Generating image", sent), std::string::npos) << p_.output.substr(sent);
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
}

TEST_F(ProgramTest, BeforeASignalsDeathReportedByTheShellALineIsEnded) {
    // The shell prints "Hangup" or "Terminated" where the cursor is, which is
    // after the status line; after Ctrl+C it starts a fresh line itself.
    const struct {
        int signal;
        bool line_feed;
    } cases[] = {{SIGHUP, true}, {SIGUSR1, true}, {SIGTERM, true}, {SIGINT, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(strsignal(c.signal));
        start();
        ASSERT_TRUE(wait_for(p_, "prog: ", 10000));
        read_for(p_, 100);
        kill(p_.pid, c.signal);
        const int status = wait_exit(p_, 10000);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        const std::size_t last_status = p_.output.rfind("\rlocii: ");
        ASSERT_NE(last_status, std::string::npos);
        const std::string tail = p_.output.substr(last_status + 1);
        EXPECT_EQ(tail.find('\n') != std::string::npos, c.line_feed) << testing::PrintToString(tail);
        finish(p_);
    }
}

TEST_F(ProgramTest, InTheCLocaleEveryPreviewRowIsEightyCells) {
    start({PIXELGROW}, {"LC_ALL=C"});
    send_during_growth("p");
    const std::size_t sent = p_.output.size();
    ASSERT_TRUE(wait_for(p_, MENU, 10000, sent));
    const std::size_t menu = p_.output.find(MENU, sent);
    const std::size_t rows_size = 50 * 82 + 2;  // each row and its line end, then the extra line end
    ASSERT_GE(menu, rows_size);
    const std::string rows = p_.output.substr(menu - rows_size, rows_size);
    for (int y = 0; y < 50; ++y) {
        const std::string row = rows.substr(static_cast<std::size_t>(y) * 82, 82);
        EXPECT_EQ(row.substr(80), "\r\n") << "row " << y;
        for (char c : row.substr(0, 80))
            ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "row " << y << ": " << testing::PrintToString(row);
    }
    EXPECT_EQ(rows.substr(rows_size - 2), "\r\n");
    send_keys(p_, "q");
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(menu, &locii, &loops));
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
}

TEST_F(ProgramTest, AKeyTypedBeforeTheStartIsActedOn) {
    p_ = spawn_in_pty({"/bin/sh", "-c", std::string("sleep 1; exec ") + PIXELGROW}, env(), work_, cooked_settings());
    send_keys(p_, "q");  // typed while the shell still sleeps
    int locii = 0, loops = 0;
    ASSERT_TRUE(wait_summary(0, &locii, &loops)) << p_.output;
    EXPECT_EQ(loops, 1);  // stopped at the first poll
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(ProgramTest, WithStandardOutputClosedNothingIsWrittenToIt) {
    p_ = spawn_in_pty({"/bin/sh", "-c", std::string("exec ") + PIXELGROW + " >&-"}, env(), work_, cooked_settings());
    const std::string name = wait_picture_file(PICTURE_MS);
    ASSERT_FALSE(name.empty()) << p_.output;
    char fd1[64];
    (void)std::snprintf(fd1, sizeof fd1, "/proc/%d/fd/1", static_cast<int>(p_.pid));
    EXPECT_NE(access(fd1, F_OK), 0) << "descriptor 1 was opened";
    ASSERT_TRUE(wait_for(p_, "\r\n\r\n", 5000));  // the preview went to the terminal
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(p_.output.find("Generating"), std::string::npos);
    EXPECT_EQ(p_.output.find("locii"), std::string::npos);
    const std::string file = read_file(work_ + "/" + name);
    ASSERT_EQ(file.size(), 480054u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(files(), std::vector<std::string>{name});
}

TEST_F(ProgramTest, AClosedTerminalEndsTheProgramWithNoFurtherPicture) {
    // With hang-ups ignored, as under nohup, the lost terminal itself ends it.
    start({"/bin/sh", "-c", std::string("trap '' HUP; exec ") + PIXELGROW});
    ASSERT_TRUE(wait_for(p_, "prog: ", 10000));
    close(p_.master);
    p_.master = -1;
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(p_.pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGHUP) << "status " << status;
    if (WIFEXITED(status) || WIFSIGNALED(status)) p_.pid = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(files(), std::vector<std::string>{});
    EXPECT_EQ(read_file(launches_path()), "");
}

TEST_F(ProgramTest, EndedWhileThePictureIsFlushedToDiskItLeavesNothing) {
    // strace holds every flush to the disk for four seconds; SIGTERM comes
    // while the first one waits.
    ASSERT_EQ(std::system("strace -o /dev/null true 2>/dev/null"), 0) << "strace is needed (Debian package strace)";
    const std::string pid_file = root_ + "/pid";
    start({"/usr/bin/strace", "-f", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:delay_enter=4000000",
           "/bin/sh", "-c", "echo $$ > '" + pid_file + "'; exec " + PIXELGROW});
    // Only a temporary file that holds the whole picture is being flushed;
    // one still being written would end sooner.
    bool temporary = false;
    for (int waited = 0; waited < PICTURE_MS && !temporary; waited += 10) {
        for (const std::string& name : files()) {
            struct stat st {};
            temporary |= name.find(".tmp") != std::string::npos && stat((work_ + "/" + name).c_str(), &st) == 0 &&
                         st.st_size == 480054;
        }
        if (!temporary) read_for(p_, 10);
    }
    ASSERT_TRUE(temporary) << "no picture was being flushed: "
                           << p_.output.substr(p_.output.size() > 500 ? p_.output.size() - 500 : 0);
    // A file whole is not yet one flushing: the signal must come while the flush is held up.
    const int pid = std::atoi(read_file(pid_file).c_str());
    const std::string in_fsync = std::to_string(SYS_fsync) + " ";
    for (int waited = 0;
         waited < PICTURE_MS && read_file("/proc/" + std::to_string(pid) + "/syscall").rfind(in_fsync, 0) != 0;
         waited += 10)
        read_for(p_, 10);
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    const int status = wait_exit(p_, 20000);
    EXPECT_TRUE(WIFSIGNALED(status) || WIFEXITED(status)) << status;
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2)) << "the flush was not held up";
    EXPECT_EQ(p_.output.find("Successfully"), std::string::npos);
    EXPECT_EQ(files(), std::vector<std::string>{});
    EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
    EXPECT_EQ(read_file(launches_path()), "");
}

// ---- without a desktop: the picture in the terminal itself

const std::string DEVICE_ATTRIBUTES = "\x1b[c";
const std::string KITTY_QUERY = "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\";
const std::string NAME_QUERY = "\x1b[>q";
const std::string CELL_QUERY = "\x1b[16t";
const std::string TEXT_AREA_QUERY = "\x1b[14t";
const std::string AREA_QUERY = "\x1b[?2;1;0S";
const std::string SECONDARY_QUERY = "\x1b[>c";
const std::string KITTY_OK = "\x1b_Gi=31;OK\x1b\\";
const std::string SIXEL_ATTRIBUTES = "\x1b[?63;1;2;4;6;9;15;16;22;28c";  // xterm -ti vt340
std::string many_attributes() {                                          // 50 of them, 4 the second
    std::string text = "\x1b[?64;4";
    for (int i = 2; i < 50; ++i) text += ";1";
    return text + "c";
}
const std::string MANY_ATTRIBUTES = many_attributes();
const std::string ROW_END = "\x1b[m\r\n";  // a row of half blocks, its line feed made a new line
const std::string SUCCESS = "Successfully wrote 400x400 image: ";

std::string named(const std::string& name) { return "\x1bP>|" + name + "\x1b\\"; }

// The cells of the first row of half blocks: its characters, less the codes.
int columns_in_first_row(const std::string& text) {
    int cells = 0;
    for (std::size_t at = 0; at < text.size() && text[at] != '\r'; ++at) {
        if (text[at] == '\x1b') {
            at = text.find('m', at);
            if (at == std::string::npos) break;
        } else if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            ++cells;
        }
    }
    return cells;
}

int rows_in(const std::string& text) {
    int rows = 0;
    for (std::size_t at = text.find(ROW_END); at != std::string::npos; at = text.find(ROW_END, at + 1)) ++rows;
    return rows;
}

// A terminal as the program meets it without a desktop: its environment, its
// size, and its answer to each question it knows (a question not listed
// goes unanswered, as most terminals leave what they do not know).
struct Terminal {
    std::vector<std::string> env;
    std::vector<std::pair<std::string, std::string>> answers;
    PtyWindow window = {};
};

class PictureTest : public ProgramTest {
protected:
    // Starts `argv` without a desktop on that terminal.
    void open(const Terminal& terminal, const std::vector<std::string>& argv = {PIXELGROW}) {
        terminal_ = terminal;
        asked_.clear();
        scanned_ = 0;
        std::vector<std::string> e = env();
        e.insert(e.end(), terminal.env.begin(), terminal.env.end());
        e.push_back("DISPLAY");
        p_ = spawn_in_pty(argv, e, work_, cooked_settings(), terminal.window);
    }

    // Reads the terminal until `text` shows at or after `from`, answering each
    // question as it comes (up to the picture: its bytes are no questions).
    bool converse_until(const std::string& text, int timeout_ms, std::size_t from = 0) {
        for (int waited = 0; waited < timeout_ms; waited += 10) {
            answer_questions();
            if (wait_for(p_, text, 10, from)) return true;  // stops reading as soon as it shows
        }
        return false;
    }

    void answer_questions() {
        const std::size_t end = std::min(p_.output.find(SUCCESS), p_.output.size());
        for (;;) {
            std::size_t first = std::string::npos, length = 0;
            for (const std::string& q : {DEVICE_ATTRIBUTES, KITTY_QUERY, NAME_QUERY, CELL_QUERY, TEXT_AREA_QUERY,
                                         AREA_QUERY, SECONDARY_QUERY}) {
                const std::size_t at = p_.output.find(q, scanned_);
                if (at < end && (first == std::string::npos || at < first)) {
                    first = at;
                    length = q.size();
                }
            }
            if (first == std::string::npos) return;
            const std::string question = p_.output.substr(first, length);
            asked_ += question;
            for (const auto& [q, a] : terminal_.answers)
                if (q == question) send_keys(p_, a);
            scanned_ = first + length;
        }
    }

    // Runs the program on that terminal up to the first summary: what came
    // between the success line and the summary.
    void show(const Terminal& terminal) {
        open(terminal);
        ASSERT_TRUE(converse_until(SUCCESS, PICTURE_MS)) << p_.output;
        ASSERT_TRUE(wait_for(p_, "\r\nlocii = ", PICTURE_MS)) << p_.output;
        const std::size_t start = p_.output.find(".bmp.\r\n", p_.output.find(SUCCESS)) + 7;
        shown_ = p_.output.substr(start, p_.output.find("\r\nlocii = ", start) - start);
    }

    // Whether the first summary and the menu after it are shown.
    bool summary_shown() {
        return wait_for(p_, "\r\nlocii = ", PICTURE_MS) && wait_for(p_, MENU, 5000, p_.output.find("\r\nlocii = "));
    }

    // Quits at the summary; the terminal must be as it was.
    void quit() {
        ASSERT_TRUE(summary_shown());
        send_keys(p_, "q");
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
    }

    void clear_work() {
        finish(p_);
        for (const std::string& name : files()) unlink((work_ + "/" + name).c_str());
    }

    // Runs `PIXELGROW` and then a reader of what the terminal still holds for
    // whoever reads next (the shell), which it prints as "left<...>".
    void open_with_reader_after(const Terminal& terminal, const std::string& before = "") {
        const std::string then_read = "; stty -icanon -echo min 0 time 5; printf 'left<'; cat -v; printf '>'";
        // The program's id in pid_path(): the shell that writes it becomes the program.
        const std::string program = "sh -c 'echo $$ > \"" + pid_path() + "\"; exec " + PIXELGROW + "'";
        open(terminal, {"/bin/sh", "-c", before + program + then_read});
    }
    std::string pid_path() const { return root_ + "/pid"; }
    std::string left_for_the_shell() {
        if (!wait_for(p_, "left<", 10000) || !wait_for(p_, ">", 5000, p_.output.find("left<"))) return "(no reader)";
        const std::size_t at = p_.output.find("left<") + 5;
        return p_.output.substr(at, p_.output.find('>', at) - at);
    }

    Terminal terminal_;
    std::size_t scanned_ = 0;
    std::string asked_, shown_;
};

const PtyWindow XTERM_6X13{24, 80, 480, 312};  // 80 × 24 cells of 6 × 13 pixels
const PtyWindow NO_PIXELS{24, 80, 0, 0};
const PtyWindow KITTY_9X20{50, 132, 1188, 1000};

TEST_F(PictureTest, EachTerminalGetsTheBestWayItHas) {
    const std::string N = NAME_QUERY, C = CELL_QUERY, T = TEXT_AREA_QUERY, S = SECONDARY_QUERY, D = DEVICE_ATTRIBUTES;
    const struct {
        const char* what;
        Terminal terminal;
        std::string asked;         // the questions, in order
        std::string begins, ends;  // the picture's bytes; "" when none
        int block_rows;            // rows of half blocks, 0 for none
        std::string never = "";    // what the picture's bytes must not hold
        int block_columns = 0;     // cells in a row of half blocks, where checked
        // A table, one terminal to a row.
        // clang-format off
    } cases[] = {
        {"kitty", {{"TERM=xterm-kitty"}, {{KITTY_QUERY, KITTY_OK}, {D, "\x1b[?62;c"}}, KITTY_9X20},
         KITTY_QUERY + N + S + D, "\x1b_Ga=T,f=24,q=2,s=400,v=400,m=1;", "\x1b\\\r\n", 0},
        // Over ssh with a stand-in TERM: known by its name, then by its answer.
        {"kitty over ssh",
         {{"TERM=xterm-256color", "SSH_CONNECTION=10.0.0.1 50000 10.0.0.2 22"},
          {{N, named("kitty(0.26.5)")}, {C, "\x1b[6;20;9t"}, {KITTY_QUERY, KITTY_OK}, {D, "\x1b[?62;c"}},
          {50, 132, 0, 0}},
         N + C + T + S + D + KITTY_QUERY + D, "\x1b_Ga=T,f=24,q=2,s=400,v=400,m=1;", "\x1b\\\r\n", 0},
        {"iTerm2 over ssh", {{"TERM=xterm-256color", "LC_TERMINAL=iTerm2"}, {}, KITTY_9X20}, N + S + D,
         "\x1b]1337;File=inline=1;size=480054;width=44;height=20;", "\a\r\n", 0},
        {"sixel", {{"TERM=xterm"}, {{D, SIXEL_ATTRIBUTES}}, XTERM_6X13}, N + S + D, "\x1bPq\"1;1;221;221#0;2;",
         "\x1b\\\r\n", 0},
        {"sixel among 50 attributes", {{"TERM=xterm"}, {{D, MANY_ATTRIBUTES}}, XTERM_6X13}, N + S + D,
         "\x1bPq\"1;1;221;221#0;2;", "\x1b\\\r\n", 0},
        // No pixels from the pty: xterm's sixel area tells its 6 × 13 cells ...
        {"sixel sized by its area",
         {{"TERM=xterm"}, {{N, named("XTerm(379)")}, {AREA_QUERY, "\x1b[?2;0;480;312S"}, {D, SIXEL_ATTRIBUTES}},
          NO_PIXELS},
         N + C + T + S + D + AREA_QUERY + D, "\x1bPq\"1;1;221;221#0;2;", "\x1b\\\r\n", 0},
        // ... and where nothing tells them, half blocks, which count in cells.
        {"sixel of no known size", {{"TERM=xterm"}, {{D, SIXEL_ATTRIBUTES}}, NO_PIXELS},
         N + C + T + S + D + AREA_QUERY + D, "\x1b[38;5;", ROW_END, 17},
        {"sixel whose area is the most it draws",
         {{"TERM=xterm"}, {{AREA_QUERY, "\x1b[?2;0;16384;16384S"}, {D, SIXEL_ATTRIBUTES}}, NO_PIXELS},
         N + C + T + S + D + AREA_QUERY + D, "\x1b[38;5;", ROW_END, 17},
        {"silent", {{"TERM=xterm-256color"}, {}, XTERM_6X13}, N + S + D, "\x1b[38;5;", ROW_END, 17},
        // 24-bit colour: said by COLORTERM, by the TERM, by the answers; every row the rows leave.
        {"24-bit", {{"TERM=xterm-256color", "COLORTERM=truecolor"}, {{D, "\x1b[?62;22c"}}},
         N + C + T + S + D, "\x1b[38;2;", ROW_END, 43},
        {"Alacritty over ssh", {{"TERM=alacritty"}, {{S, "\x1b[>0;1700;1c"}, {D, "\x1b[?6c"}}},
         N + C + T + S + D, "\x1b[38;2;", ROW_END, 43},
        {"VTE over ssh", {{"TERM=xterm-256color"}, {{S, "\x1b[>65;7006;1c"}, {D, "\x1b[?65;1;9c"}}},
         N + C + T + S + D, "\x1b[38;2;", ROW_END, 43, "", 86},
        // The cells' shape from the text area VTE answers: 7 × 17 pixels, so
        // as many columns as 43 rows are high.
        {"VTE saying its text area",
         {{"TERM=xterm-256color"}, {{T, "\x1b[4;850;924t"}, {S, "\x1b[>65;7006;1c"}, {D, "\x1b[?65;1;9c"}}},
         N + C + T + S + D, "\x1b[38;2;", ROW_END, 43, "", 104},
        {"tmux", {{"TERM=screen-256color", "TMUX=/tmp/tmux-0/default,1,0"}, {}}, "", "\x1b[38;2;", ROW_END, 43},
        {"GNU screen", {{"TERM=screen.xterm-256color", "STY=123.pts-0.host", "COLORTERM=truecolor"}, {}}, "",
         "\x1b[38;5;", ROW_END, 43},
        // Sixteen colours and eight: their own codes, never the palette's.
        {"Linux console", {{"TERM=linux"}, {{D, "\x1b[?6c"}}, NO_PIXELS}, N + C + T + S + D, "\x1b[", ROW_END, 17, "8;"},
        {"GNU screen of 8 colours", {{"TERM=screen", "STY=123.pts-0.host"}, {}}, "", "\x1b[3", ROW_END, 43, "8;"},
        {"vt220", {{"TERM=vt220"}, {}}, "", "", "", 0},
        {"dumb", {{"TERM=dumb"}, {}}, "", "", "", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        show(c.terminal);
        EXPECT_EQ(testing::PrintToString(asked_), testing::PrintToString(c.asked));
        // Half blocks may begin with a space on its background alone: their
        // way's code comes within the first row.
        const std::size_t begins_at = shown_.find(c.begins);
        EXPECT_TRUE(c.block_rows > 0 ? begins_at < shown_.find(ROW_END) : begins_at == 0)
            << testing::PrintToString(shown_.substr(0, 60));
        ASSERT_GE(shown_.size(), c.ends.size());
        EXPECT_EQ(shown_.substr(shown_.size() - c.ends.size()), c.ends);
        EXPECT_EQ(rows_in(shown_), c.block_rows);
        if (c.block_columns > 0) {
            EXPECT_EQ(columns_in_first_row(shown_), c.block_columns);
        }
        if (!c.never.empty()) {
            EXPECT_EQ(shown_.find(c.never), std::string::npos);
        }
        quit();
        EXPECT_EQ(read_file(launches_path()), "");
        clear_work();
    }
}

TEST_F(PictureTest, WithADesktopTheViewerOpensItAndTheTerminalIsAskedNothing) {
    start({PIXELGROW}, {"TERM=xterm-kitty", "COLORTERM=truecolor"});
    const std::string name = wait_picture_file(PICTURE_MS);
    ASSERT_TRUE(summary_shown());
    EXPECT_EQ(p_.output.find('\x1b'), std::string::npos) << "a query or a picture";
    for (int i = 0; i < 500 && read_file(launches_path()).empty(); ++i)  // the viewer starts on its own time
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_file(launches_path()), name + "\n");
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
}

TEST_F(PictureTest, WithStandardOutputRedirectedThePictureStillGoesToTheTerminalOnly) {
    open({{"TERM=xterm-256color", "COLORTERM=truecolor"}, {}},
         {"/bin/sh", "-c", std::string("exec ") + PIXELGROW + " > out.txt"});
    ASSERT_TRUE(wait_for(p_, ROW_END, PICTURE_MS)) << p_.output;  // the first row of cells
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
    const std::string out = read_file(work_ + "/out.txt");
    EXPECT_NE(out.find(SUCCESS), std::string::npos);
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << "nothing for the terminal in the file";
    EXPECT_EQ(rows_in(p_.output), 43) << "the picture on the terminal, on the 50 rows less 7";
}

// In a directory others can write, the saved file may be swapped before it is
// shown: for a pipe nobody writes, a link to the terminal, a device without
// end, a huge file. What is shown is the picture saved, at once.
TEST_F(PictureTest, ASwappedFileIsNeverReadBack) {
    ASSERT_EQ(std::system("strace -o /dev/null true 2>/dev/null"), 0) << "strace is needed (Debian package strace)";
    const struct {
        const char* what;
        std::function<bool(const std::string&)> swap;
    } cases[] = {
        {"a pipe", [](const std::string& path) { return mkfifo(path.c_str(), 0666) == 0; }},
        {"a link to the terminal", [](const std::string& path) { return symlink("/dev/tty", path.c_str()) == 0; }},
        {"a device", [](const std::string& path) { return symlink("/dev/zero", path.c_str()) == 0; }},
        {"a huge file",
         [](const std::string& path) {
             std::ofstream(path) << "BM";
             return truncate(path.c_str(), 1L << 30) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // strace holds the program for a second after the rename that names the
        // file. (A sanitized build's leak check cannot run under strace.)
        open({{"TERM=xterm-256color", "COLORTERM=truecolor", "ASAN_OPTIONS=detect_leaks=0"}, {}},
             {"/usr/bin/strace", "-f", "-o", "/dev/null", "-e", "trace=rename,renameat,renameat2", "-e",
              "inject=rename,renameat,renameat2:delay_exit=1000000", PIXELGROW});
        const std::string name = wait_picture_file(PICTURE_MS);
        ASSERT_FALSE(name.empty());
        const std::string path = work_ + "/" + name;
        ASSERT_EQ(unlink(path.c_str()), 0);
        ASSERT_TRUE(c.swap(path));
        ASSERT_TRUE(wait_for(p_, "\r\nlocii = ", 10000))
            << p_.output.substr(p_.output.size() > 300 ? p_.output.size() - 300 : 0);
        EXPECT_EQ(rows_in(p_.output.substr(p_.output.find(SUCCESS))), 43) << "the picture saved";
        quit();
        clear_work();
    }
}

// An answer on its way when the program ends is read by it, not typed into
// the shell, whichever way the program ends: q, Ctrl+C, a signal from outside.
TEST_F(PictureTest, ALateAnswerIsNotLeftForTheShell) {
    const struct {
        const char* what;
        std::function<void()> end;
    } ways[] = {
        {"q",
         [this] {
             send_during_growth("q");
             ASSERT_TRUE(summary_shown());
             send_keys(p_, "q");
         }},
        {"Ctrl+C", [this] { send_during_growth("\x03"); }},
        {"SIGTERM",
         [this] {
             ASSERT_TRUE(wait_for(p_, "prog: ", 10000));
             ASSERT_EQ(kill(std::atoi(read_file(pid_path()).c_str()), SIGTERM), 0);
         }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.what);
        // The shell's own Ctrl+C does nothing but let the reader run.
        open_with_reader_after({{"TERM=xterm"}, {}}, "trap : INT; ");
        ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
        w.end();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a slow link
        send_keys(p_, named("XTerm(379)") + "\x1b[?62;22c");
        EXPECT_EQ(left_for_the_shell(), "");
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        clear_work();
    }
}

// Over a link that parts every packet, the answers come a byte at a time, a
// slow link's gap apart, beginning after the Escape wait of a key: no piece
// is a key (an Escape would stop the picture, the rest would start the next),
// and the answer is read (the name says 24-bit colour).
TEST_F(PictureTest, AnAnswerTrickledAByteAtATimeIsNoKey) {
    open({{"TERM=xterm"}, {}});
    ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (const char c : named("XTerm(379)") + "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c") {
        send_keys(p_, std::string(1, c));
        read_for(p_, 60);
    }
    ASSERT_TRUE(summary_shown()) << p_.output.substr(p_.output.size() > 300 ? p_.output.size() - 300 : 0);
    const std::size_t said = p_.output.find(SUCCESS);
    ASSERT_NE(said, std::string::npos) << "the picture was stopped";
    EXPECT_NE(p_.output.find(".bmp.\r\n\x1b[38;2;", said), std::string::npos) << "the name was not read";
    read_for(p_, 500);
    EXPECT_EQ(p_.output.find("Generating image", said), std::string::npos) << "a next picture was started";
    quit();
}

// A terminal that has not answered in time counts as silent: the program
// waits for nothing at exit, and keys typed after q stay for the shell.
TEST_F(PictureTest, ASilentTerminalKeepsTheKeysTypedAfterQuitting) {
    open_with_reader_after({{"TERM=xterm"}, {}});
    ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
    ASSERT_TRUE(wait_for(p_, "\r\nlocii = ", PICTURE_MS));  // a picture takes longer than the answer may
    ASSERT_TRUE(wait_for(p_, MENU, 5000));
    send_keys(p_, "q");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send_keys(p_, "ls");
    EXPECT_EQ(left_for_the_shell(), "ls");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
}

// A terminal that stopped reading (a frozen link or window) does not keep an
// ending signal from ending the program.
TEST_F(PictureTest, AnEndingSignalEndsTheProgramWhenTheTerminalStopsReading) {
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        open({{"TERM=xterm-256color", "COLORTERM=truecolor"}, {}});
        ASSERT_TRUE(wait_for(p_, "prog: ", 10000));
        // Never read again, the terminal fills up with status lines and holds the program.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        kill(p_.pid, sig);
        int status = 0;
        const auto sent = std::chrono::steady_clock::now();
        while (waitpid(p_.pid, &status, WNOHANG) == 0 &&
               std::chrono::steady_clock::now() - sent < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto took = std::chrono::steady_clock::now() - sent;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        if (WIFSIGNALED(status) || WIFEXITED(status)) p_.pid = -1;
        // At once; a second leaves room for a loaded machine.
        EXPECT_LT(took, std::chrono::seconds(1));
        EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
        clear_work();
    }
}

// Ended halfway through the picture, by each ending signal, while the
// terminal has stopped reading (a frozen link): the program ends at once,
// and once the terminal reads again, the last it gets is what closes the
// string the picture was in and resets the colours; the rest of the picture,
// never to be shown whole, was dropped.
TEST_F(PictureTest, AnEndingSignalMidPictureLeavesNoStringOpenEvenWhenTheTerminalStopsReading) {
    const struct {
        const char* way;
        Terminal terminal;
        std::string begins, closing;
    } ways[] = {
        {"kitty",
         {{"TERM=xterm-kitty"}, {{KITTY_QUERY, KITTY_OK}, {DEVICE_ATTRIBUTES, "\x1b[?62;c"}}, KITTY_9X20},
         "\x1b_Ga=T",
         "\x1b\\\x1b_Gq=2,m=0;\x1b\\\x1b[0m"},
        {"sixel", {{"TERM=xterm"}, {{DEVICE_ATTRIBUTES, SIXEL_ATTRIBUTES}}, XTERM_6X13}, "\x1bPq", "\x1b\\\x1b[0m"},
        {"iTerm2", {{"TERM=xterm-256color", "LC_TERMINAL=iTerm2"}, {}, KITTY_9X20}, "\x1b]1337;File=", "\x1b\\\x1b[0m"},
        {"half blocks",
         {{"TERM=xterm-256color", "COLORTERM=truecolor"}, {}, {300, 500, 0, 0}},
         "\x1b[38;2;",
         "\x1b[0m"},
    };
    for (const auto& w : ways)
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            SCOPED_TRACE(std::string(w.way) + " " + strsignal(sig));
            open(w.terminal);
            ASSERT_TRUE(converse_until(w.begins, PICTURE_MS));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the terminal's queue full, the program held
            const auto sent = std::chrono::steady_clock::now();
            kill(p_.pid, sig);
            int status = 0;
            while (waitpid(p_.pid, &status, WNOHANG) == 0 &&
                   std::chrono::steady_clock::now() - sent < std::chrono::seconds(5))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));  // at once, with room
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
            if (WIFSIGNALED(status) || WIFEXITED(status)) p_.pid = -1;
            read_for(p_, 200);  // the terminal reads again
            const std::string tail = p_.output.substr(p_.output.find(w.begins, p_.output.find(SUCCESS)));
            // Shells start a new line after Ctrl+C themselves; after the others the program does.
            const std::string ending = w.closing + (sig == SIGINT ? "" : "\r\n");
            ASSERT_GE(tail.size(), ending.size());
            EXPECT_EQ(testing::PrintToString(tail.substr(tail.size() - ending.size())), testing::PrintToString(ending));
            EXPECT_TRUE(same_settings(current_settings(p_), cooked_settings()));
            clear_work();
        }
}

// ---- keys and job control as users meet them

// Whether the terminal turns raw (no echo) within `timeout_ms`.
bool becomes_raw(PtyProcess& p, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if ((current_settings(p).c_lflag & ECHO) == 0) return true;
        read_for(p, 10);
    }
    return false;
}

// Under a job-control shell, started with & and brought back with fg: while
// it waits at the summary (no signal comes then), stopped by its first output
// under tostop, or stopped by SIGTSTP while it grew. In the foreground it
// takes the terminal at once: raw keys, and the questions it could not ask
// in the background, so that its picture is drawn in the terminal.
TEST_F(PictureTest, BroughtToTheForegroundItTakesTheTerminalAtOnce) {
    const std::string go = root_ + "/go";
    const std::string until_go = "until [ -e '" + go + "' ]; do sleep 0.02; done; ";
    const std::string until_stopped = "until [ -n \"$(jobs -s)\" ]; do sleep 0.02; done; ";
    const struct {
        const char* what;
        std::string before, wait;  // shell commands before the job starts, and before fg
        std::string go_after;      // what the program shows before the test lets the shell go on, if not the summary
        bool at_summary;           // fg finds it waiting at the summary, else it grows on after fg
    } cases[] = {
        {"waiting at the summary", "", until_go, "", true},
        {"stopped by tostop", "stty tostop; ", until_stopped, "", false},
        {"stopped by SIGTSTP while it grew", "", until_go + "kill -TSTP %1; " + until_stopped, "prog: ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unlink(go.c_str());
        open(
            {{"TERM=xterm"}, {}},
            {"/bin/bash", "-c",
             "set -m; " + c.before + "\"$0\" & " + c.wait + "echo fg-now; fg >/dev/null; echo \"exit=$?\"", PIXELGROW});
        ASSERT_TRUE(c.at_summary ? summary_shown() : wait_for(p_, c.go_after, PICTURE_MS));
        std::ofstream(go) << "";
        ASSERT_TRUE(wait_for(p_, "fg-now\r\n", 10000)) << p_.output;
        const std::size_t fg = p_.output.find("fg-now\r\n");
        EXPECT_EQ(p_.output.find(DEVICE_ATTRIBUTES), std::string::npos) << "asked in the background";
        EXPECT_TRUE(becomes_raw(p_, 10000));
        EXPECT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000, fg)) << "not asked in the foreground";
        if (c.at_summary) send_keys(p_, "n");  // the next picture, drawn in the terminal
        ASSERT_TRUE(wait_for(p_, "\r\nlocii = ", PICTURE_MS, fg));
        ASSERT_TRUE(wait_for(p_, MENU, 5000, p_.output.find("\r\nlocii = ", fg)));
        EXPECT_GT(rows_in(p_.output.substr(fg)), 0) << "no picture in the terminal";
        send_keys(p_, "q");
        EXPECT_TRUE(wait_for(p_, "exit=0", 10000, fg));
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        clear_work();
    }
}

// A terminal that has not answered yet (the second round of questions, asked
// once the first round's sixel came near the picture's end): an Escape
// pressed shortly before the picture is full, and decided only after, still
// stops it: nothing is saved, and the program waits at the summary.
TEST_F(PictureTest, AnEscapeJustBeforeThePictureIsFullStopsIt) {
    open({{"TERM=xterm"}, {}, NO_PIXELS});
    ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
    const auto progress_at_least = [this](int percent) {
        for (int waited = 0; waited < PICTURE_MS; waited += 5) {
            const std::size_t at = p_.output.rfind("prog: ");
            if (at != std::string::npos && std::atoi(p_.output.c_str() + at + 6) >= percent) return true;
            read_for(p_, 5);
        }
        return false;
    };
    ASSERT_TRUE(progress_at_least(85));
    send_keys(p_, SIXEL_ATTRIBUTES);
    ASSERT_TRUE(wait_for(p_, AREA_QUERY + DEVICE_ATTRIBUTES, 10000));
    ASSERT_TRUE(progress_at_least(92));
    ASSERT_EQ(p_.output.find("\r\nlocii = "), std::string::npos) << "too late to tell";
    send_keys(p_, "\x1b");
    ASSERT_TRUE(summary_shown());
    EXPECT_EQ(p_.output.find(SUCCESS), std::string::npos) << "saved";
    read_for(p_, 500);
    EXPECT_EQ(waitpid(p_.pid, nullptr, WNOHANG), 0) << "the Escape quit at the summary";
    send_keys(p_, "q");
    EXPECT_EQ(wait_exit(p_, 10000), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

// While the terminal's answer is due, an Escape followed a quarter of a
// second later by a key that begins no reply is the Escape key and then that
// key: the picture stops, and the key starts the next at the summary.
TEST_F(PictureTest, AnEscapeThenAKeyAreTwoKeysWhileAnAnswerIsDue) {
    for (const char* key : {"x", "p"}) {
        SCOPED_TRACE(key);
        open({{"TERM=xterm"}, {}});
        ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
        send_during_growth("\x1b");
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the user's pace
        send_keys(p_, key);
        ASSERT_TRUE(summary_shown());
        const std::size_t summary = p_.output.find("\r\nlocii = ");
        EXPECT_EQ(p_.output.substr(0, summary).find(SUCCESS), std::string::npos) << "not stopped";
        ASSERT_TRUE(wait_for(p_, INTRO, 10000, summary)) << "the key was lost";
        send_during_growth("q");
        int locii = 0, loops = 0;
        ASSERT_TRUE(wait_summary(summary + 1, &locii, &loops));
        send_keys(p_, "q");
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        clear_work();
    }
}

// An answer whose Escape came alone and its rest later than a reply's pace
// (over a link that parts it there): the Escape counts as the key, but the
// rest is known for what it is and dropped: no P of it starts a picture, and
// nothing of it is left for the shell. So while the picture grows, 0.6 s
// after its Escape, and at the summary, late (after 1.5 s), 0.1 s after it.
TEST_F(PictureTest, TheRestOfAnAnswerAfterItsEscapeIsNoKey) {
    const std::string REST = named("XTerm(379)").substr(1) + SIXEL_ATTRIBUTES;
    const struct {
        const char* what;
        bool at_summary;
        int gap_ms;
    } cases[] = {{"while it grows", false, 600}, {"at the summary, late", true, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open_with_reader_after({{"TERM=xterm"}, {}});
        ASSERT_TRUE(wait_for(p_, DEVICE_ATTRIBUTES, 10000));
        const auto asked = std::chrono::steady_clock::now();
        if (c.at_summary) {
            send_during_growth("q");
            ASSERT_TRUE(summary_shown());
            std::this_thread::sleep_until(asked + std::chrono::milliseconds(1700));
        } else {
            ASSERT_TRUE(wait_for(p_, "prog: ", 10000));
        }
        send_keys(p_, "\x1b");
        std::this_thread::sleep_for(std::chrono::milliseconds(c.gap_ms));
        send_keys(p_, REST);
        if (!c.at_summary) {
            ASSERT_TRUE(summary_shown());
            read_for(p_, 500);
            EXPECT_EQ(p_.output.find("Generating image", p_.output.find("\r\nlocii = ")), std::string::npos)
                << "its P started a picture";
            send_keys(p_, "q");
        }
        EXPECT_EQ(left_for_the_shell(), "");
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        clear_work();
    }
}

// A control string the terminal never ends, or a parameter list without its
// final byte, gives the keys back: of q pressed every 0.3 s at the summary,
// the second quits at the latest.
TEST_F(ProgramTest, AControlStringNeverEndedGivesTheKeysBack) {
    std::string parameters = "\x1b[?";
    for (int i = 0; i < 40; ++i) parameters += "1;";
    for (const std::string& opener :
         {std::string("\x1bP1$r"), std::string("\x1b]0;title"), std::string("\x1b_Gi=31;"), parameters}) {
        SCOPED_TRACE(testing::PrintToString(opener));
        start();
        send_during_growth("q");
        int locii = 0, loops = 0;
        ASSERT_TRUE(wait_summary(0, &locii, &loops));
        send_keys(p_, opener);
        int presses = 0, status = -1;
        const auto ended_within = [&](int ms) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            do {
                if (waitpid(p_.pid, &status, WNOHANG) == p_.pid) return true;
                read_for(p_, 10);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the terminal may be closed already
            } while (std::chrono::steady_clock::now() < end);
            return false;
        };
        read_for(p_, 300);
        do {
            send_keys(p_, "q");
            ++presses;
        } while (!ended_within(300) && presses < 5);  // the user's pace
        EXPECT_EQ(status, 0);
        EXPECT_LE(presses, 2);
        if (status != -1) p_.pid = -1;
        finish(p_);
    }
}

// Two pictures of one second on a full disk, or with every name taken: the
// error names the file it is about, never the older picture's.
TEST_F(ProgramTest, AFailedSaveNamesTheFileItIsAbout) {
    const std::string stem = "randImage1796774400";
    const struct {
        const char* what;
        int taken;  // names of that second already there: the name itself, then -2, -3 ...
        const char* limit;
        std::string said;
    } cases[] = {
        {"a second picture on a full disk", 1, "ulimit -f 100; ", stem + "-2.bmp: File too large"},
        {"all 1000 names taken", 1000, "", stem + "-1000.bmp: File exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int n = 1; n <= c.taken; ++n) {
            std::string name = work_ + "/" + stem;
            if (n > 1) name += '-' + std::to_string(n);
            std::ofstream(name + ".bmp") << "older";
        }
        start({"/bin/sh", "-c", std::string(c.limit) + "exec /usr/bin/faketime -f '2026-12-09 00:00:00' " + PIXELGROW},
              {"TZ=UTC", "FAKETIME_DONT_FAKE_MONOTONIC=1", "ASAN_OPTIONS=verify_asan_link_order=0"});
        int locii = 0, loops = 0;
        ASSERT_TRUE(wait_summary(0, &locii, &loops));
        EXPECT_NE(p_.output.find("\r\n\r\npixelgrow: " + c.said + "\r\n"), std::string::npos)
            << p_.output.substr(p_.output.size() > 500 ? p_.output.size() - 500 : 0);
        EXPECT_EQ(read_file(work_ + "/" + stem + ".bmp"), "older");
        send_keys(p_, "q");
        EXPECT_EQ(wait_exit(p_, 10000), 0);
        finish(p_);
        for (const std::string& name : files()) unlink((work_ + "/" + name).c_str());
    }
}

}  // namespace
