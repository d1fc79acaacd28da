// The Windows host layer, as far as it needs no console: files, the working
// directory, and the program's view of a missing console. (The clock is seen
// in tests/windows/same_as_linux.sh: the same picture names as on Linux.)
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host.h"
#include "test_copy.h"

namespace {

// A fresh working directory for one test, removed with what it holds.
class InTempDir : public testing::Test {
protected:
    void SetUp() override {
        char base[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, base), 0u);
        dir_ = std::string(base) + "pixelgrow-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount64());
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
        ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous_), 0u);
        ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous_);
        for (const std::string& name : files()) {
            const std::string path = dir_ + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        }
        RemoveDirectoryA(dir_.c_str());
    }

    // The names in the directory, sorted as the listing gives them.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((dir_ + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    std::string dir_;
    char previous_[MAX_PATH] = {};
};

std::string contents(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Saves under `name`; the name given, or "" on a failure.
std::string save(const char* name, const std::string& bytes, SaveResult* result = nullptr) {
    char given[300];
    std::snprintf(given, sizeof given, "%s", name);
    const SaveResult r =
        save_file(given, sizeof given, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (result != nullptr) *result = r;
    return r == SaveResult::SAVED ? given : "";
}

using SaveFile = InTempDir;

TEST_F(SaveFile, NeverReplacesAFileOfTheNameAndLeavesNoTemporaryFile) {
    std::ofstream("randImage1.bmp", std::ios::binary) << "an older picture";
    std::string first(480054, '\0');
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 7 + i / 256);
    first[10] = '\n';  // binary: no line end is translated
    first[11] = '\x1a';
    ASSERT_EQ(save("randImage1.bmp", first), "randImage1-2.bmp");
    EXPECT_EQ(contents("randImage1-2.bmp"), first);
    // A second picture in the same second takes the next name; a folder is a name taken too.
    ASSERT_TRUE(CreateDirectoryA("randImage1-3.bmp", nullptr));
    ASSERT_EQ(save("randImage1.bmp", "second"), "randImage1-4.bmp");
    EXPECT_EQ(contents("randImage1.bmp"), "an older picture");
    EXPECT_EQ(contents("randImage1-4.bmp"), "second");
    std::vector<std::string> names = files();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"randImage1-2.bmp", "randImage1-3.bmp", "randImage1-4.bmp", "randImage1.bmp"}));
}

TEST_F(SaveFile, FailuresLeaveNoFileBehind) {
    SaveResult result = SaveResult::SAVED;
    EXPECT_EQ(save("no such folder\\picture.bmp", "bytes", &result), "");
    EXPECT_EQ(result, SaveResult::OPEN_FAILED);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

using WorkingDirectory = InTempDir;

TEST_F(WorkingDirectory, FitsWithItsZeroOrIsEmpty) {
    char expected[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, expected);
    ASSERT_GT(length, 0u);
    std::vector<char> buffer(length + 1, 'x');
    current_directory(buffer.data(), static_cast<int>(length + 1));
    EXPECT_EQ(std::string(buffer.data()), expected);
    for (const int size : {static_cast<int>(length), 1}) {
        buffer.assign(length + 1, 'x');
        current_directory(buffer.data(), size);
        EXPECT_EQ(buffer[0], '\0') << size;
    }
}

// Runs in a process of its own without a console: this test starts itself
// again, detached, and the copy checks that no key is ever waited for.
constexpr char CHILD_VARIABLE[] = "PIXELGROW_TEST_WITHOUT_CONSOLE";
constexpr DWORD CHILD_PASSED = 42;

TEST(WithoutAConsole, NoKeyIsAvailableAndReadingOneGivesMinusOneAtOnce) {
    if (std::getenv(CHILD_VARIABLE) != nullptr) {
        host_start();
        ASSERT_FALSE(key_available());
        ASSERT_EQ(read_key(), -1);
        ASSERT_EQ(read_key(), -1);
        put_char('x');  // goes nowhere, and must not fail
        ExitProcess(CHILD_PASSED);
    }
    TestCopy copy("WithoutAConsole.*", CHILD_VARIABLE, "1", DETACHED_PROCESS);
    ASSERT_TRUE(copy.started) << GetLastError();
    DWORD code = 0;
    ASSERT_TRUE(copy.ended(30000, &code)) << "a key was waited for";
    EXPECT_EQ(code, CHILD_PASSED);
}

}  // namespace
