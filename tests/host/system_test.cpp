#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "support.h"

namespace {

// Sets environment variables for one test and puts them back afterwards.
class EnvGuard {
public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }

private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> saved_;
};

// A stand-in viewer opener that records its arguments, where its standard
// streams lead, and its pid, then lingers like a real viewer. Every launch
// also adds its first argument to a log beside the record.
std::string install_fake_opener(const std::string& dir) {
    const std::string script = dir + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\n"
                             "out=\""
                          << dir
                          << "/launched\"\n"
                             "fds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                             "{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done;\n"
                             "  echo \"$fds\"; echo \"$$\"; } > \"$out.tmp\"\n"
                             "printf '%s\\n' \"$1\" >> \"$out.log\"\n"
                             "mv \"$out.tmp\" \"$out\"\n"
                             "exec sleep 30\n";
    chmod(script.c_str(), 0755);
    return dir + "/launched";
}

bool wait_for_file(const std::string& path, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if (access(path.c_str(), F_OK) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(Launch, OpensTheFileWithOneArgumentAndNoShell) {
    const TempDir temp;
    const std::string& dir = temp.path();
    const std::string record = install_fake_opener(dir);
    EnvGuard env;
    env.set("PATH", (dir + ":" + std::getenv("PATH")).c_str());
    env.set("DISPLAY", ":99");
    ASSERT_EQ(chdir(dir.c_str()), 0);

    const std::string name = "my pic; touch pwned $(touch pwned2) 'q\" `touch pwned3`.bmp";
    run_command(("start " + name).c_str());  // returns without waiting for the viewer
    ASSERT_TRUE(wait_for_file(record, 10000));
    std::istringstream lines(read_file(record));
    std::string count, arg, in, out, err, pid;
    std::getline(lines, count);
    std::getline(lines, arg);
    std::getline(lines, in);
    std::getline(lines, out);
    std::getline(lines, err);
    std::getline(lines, pid);
    EXPECT_EQ(count, "1");
    EXPECT_EQ(arg, name);
    EXPECT_EQ(in, "/dev/null");
    EXPECT_EQ(out, "/dev/null");
    EXPECT_EQ(err, "/dev/null");
    for (const char* p : {"pwned", "pwned2", "pwned3"}) EXPECT_NE(access((dir + "/" + p).c_str(), F_OK), 0) << p;
    if (!pid.empty()) kill(std::atoi(pid.c_str()), SIGTERM);
    ASSERT_EQ(chdir("/"), 0);
}

TEST(Launch, NothingStartsWithoutAGraphicalSessionOrForOtherText) {
    const TempDir temp;
    const std::string& dir = temp.path();
    const std::string record = install_fake_opener(dir);
    EnvGuard env;
    env.set("PATH", (dir + ":" + std::getenv("PATH")).c_str());
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", "");
    run_command("start picture.bmp");
    env.set("DISPLAY", ":99");
    run_command("picture.bmp");
    run_command("start ");
    // Then one launch that does happen, so the wait below is not for nothing.
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", "wayland-0");
    run_command("start last.bmp");
    ASSERT_TRUE(wait_for_file(record, 10000));
    EXPECT_EQ(read_file(record + ".log"), "last.bmp\n");  // the only launch
    const std::string text = read_file(record);
    const std::string pid = text.substr(text.rfind('\n', text.size() - 2) + 1);
    kill(std::atoi(pid.c_str()), SIGTERM);
}

TEST(WorkingDirectory, FitsOrIsEmpty) {
    const TempDir temp;
    const std::string& dir = temp.path();
    char cwd_before[4096];
    ASSERT_NE(getcwd(cwd_before, sizeof cwd_before), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    char buffer[270];
    std::memset(buffer, 'x', sizeof buffer);
    current_directory(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), dir);

    // A directory whose path needs exactly 270 bytes does not fit; 269 does.
    std::string deep = dir;
    while (deep.size() < 269) {
        const std::size_t part = std::min<std::size_t>(100, 269 - deep.size() - 1);
        deep.push_back('/');
        deep.append(part, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0) << deep;
    }
    ASSERT_EQ(deep.size(), 269u);
    ASSERT_EQ(chdir(deep.c_str()), 0);
    current_directory(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), deep);
    const std::string deeper = deep + "/e";
    ASSERT_EQ(mkdir(deeper.c_str(), 0700), 0);
    ASSERT_EQ(chdir(deeper.c_str()), 0);
    current_directory(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), "");

    // A directory that no longer exists cannot be read.
    ASSERT_EQ(chdir(dir.c_str()), 0);
    const std::string gone = dir + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    std::strcpy(buffer, "previous");
    current_directory(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), "");

    ASSERT_EQ(chdir(cwd_before), 0);
}

void ignore_alarm(int) {}

TEST(Clock, SleepLastsTheFullTimeAcrossSignals) {
    struct sigaction action = {};
    action.sa_handler = ignore_alarm;
    struct sigaction old = {};
    sigaction(SIGALRM, &action, &old);
    itimerval every_2ms{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &every_2ms, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t from = elapsed_ms();
    sleep_ms(30);
    const std::int32_t to = elapsed_ms();
    const auto slept = std::chrono::steady_clock::now() - start;
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_GE(slept, std::chrono::milliseconds(30));
    EXPECT_GE(to - from, 29);  // the program's own clock saw it too
}

TEST(Clock, DifferencesHoldAcrossTheWrapOfTheMillisecondCount) {
    const std::int32_t max = INT32_MAX, min = INT32_MIN;
    const std::int32_t pairs[][3] = {
        // earlier, later, the difference
        {0, 1500, 1500}, {max - 9, min + 30, 40}, {max, min, 1},
        {-1, 0, 1},      {min + 5, min + 5, 0},   {max - 999, min + 999'000, 1'000'000},
    };
    for (const auto& p : pairs) EXPECT_EQ(ms_between(p[0], p[1]), p[2]) << p[0] << " to " << p[1];
}

}  // namespace
