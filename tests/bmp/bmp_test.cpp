#include "bmp.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "grid.h"
#include "host.h"
#include "posix/sys.h"
#include "support.h"

namespace {

// Every test works in a fresh directory of its own.
class BmpTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }
    std::vector<std::string> files() const { return list_files(dir_.path()); }

    TempDir dir_;
    char previous_[4096] = {};
};

// The seconds in "randImage<seconds>.bmp", or -1 for any other name.
std::int64_t picture_stamp(const std::string& name) {
    long long stamp = -1;
    int end = 0;
    if (name.size() < 10 || name[9] < '0' || name[9] > '9') return -1;
    if (std::sscanf(name.c_str(), "randImage%lld.bmp%n", &stamp, &end) != 1 || end != static_cast<int>(name.size()))
        return -1;
    return stamp;
}

std::vector<unsigned char> read_bytes(const std::string& path) {
    const std::string text = read_file(path);
    return {text.begin(), text.end()};
}

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t le16(const std::vector<unsigned char>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// A grid no symmetry can hide: every cell differs from its mirror images.
void fill_pattern() {
    for (int y = 0; y < GRID_HEIGHT; ++y)
        for (int x = 0; x < GRID_WIDTH; ++x)
            *get_pixel(x, y) = Pixel{{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                      static_cast<std::uint8_t>((x * 7 + y * 13) % 251 + 1)}};
    *get_pixel(0, 399) = Pixel{{255, 1, 2}};
    *get_pixel(399, 0) = Pixel{{10, 20, 30}};
}

std::string write_and_capture(int* result, char* name) {
    testing::internal::CaptureStdout();
    *result = write_image(GRID_WIDTH, GRID_HEIGHT, name);
    return testing::internal::GetCapturedStdout();
}

TEST_F(BmpTest, WritesTheWholeGridBottomUpInBlueGreenRedOrder) {
    fill_pattern();
    char name[BMP_NAME_SIZE];
    const std::int64_t before = wall_time_seconds();
    int result = -1;
    const std::string said = write_and_capture(&result, name);
    const std::int64_t after = wall_time_seconds();
    EXPECT_EQ(result, 1);

    const std::string file = name;
    const std::int64_t stamp = picture_stamp(file);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(said, "\nSuccessfully wrote 400x400 image: " + file + ".\n");
    EXPECT_EQ(files(), std::vector<std::string>{file});  // no temporary left behind

    const std::vector<unsigned char> b = read_bytes(file);
    ASSERT_EQ(b.size(), 480054u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), 480054u);
    EXPECT_EQ(le32(b, 6), 0u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(le32(b, 18), 400u);
    EXPECT_EQ(le32(b, 22), 400u);
    EXPECT_EQ(le16(b, 26), 1u);
    EXPECT_EQ(le16(b, 28), 24u);
    EXPECT_EQ(le32(b, 30), 0u);
    EXPECT_EQ(le32(b, 34), 480000u);
    for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(le32(b, at), 0u) << "offset " << at;

    // First pixel: cell (0, 399), the (255, 1, 2) one. Last: cell (399, 0).
    EXPECT_EQ(std::vector<unsigned char>(b.begin() + 54, b.begin() + 57), (std::vector<unsigned char>{2, 1, 255}));
    EXPECT_EQ(std::vector<unsigned char>(b.end() - 3, b.end()), (std::vector<unsigned char>{30, 20, 10}));
    for (int y = 0; y < GRID_HEIGHT; ++y)
        for (int x = 0; x < GRID_WIDTH; ++x) {
            const std::size_t at = 54 + (static_cast<std::size_t>(399 - y) * 400 + static_cast<std::size_t>(x)) * 3;
            const Pixel* p = get_pixel(x, y);
            ASSERT_EQ(b[at], p->channel[2]) << x << "," << y;
            ASSERT_EQ(b[at + 1], p->channel[1]) << x << "," << y;
            ASSERT_EQ(b[at + 2], p->channel[0]) << x << "," << y;
        }
}

TEST(BmpBytes, RowsOfEveryWidthArePaddedToFourBytes) {
    fill_pattern();
    static unsigned char out[54 + sizeof image_grid];
    for (int width : {1, 2, 3, 4, 5, 133, 399, 400}) {
        SCOPED_TRACE(width);
        const int row = (width * 3 + 3) / 4 * 4;
        const std::size_t size = bmp_file_bytes(width, 3, out);
        ASSERT_EQ(size, 54u + 3u * static_cast<std::size_t>(row));
        const std::vector<unsigned char> b(out, out + size);
        EXPECT_EQ(le32(b, 2), size);
        EXPECT_EQ(le32(b, 34), size - 54);
        EXPECT_EQ(le32(b, 18), static_cast<std::uint32_t>(width));
        for (int y = 0; y < 3; ++y) {
            const std::size_t start = 54 + static_cast<std::size_t>((2 - y) * row);  // bottom row first
            const Pixel* last = get_pixel(width - 1, y);
            EXPECT_EQ(b[start + static_cast<std::size_t>(width - 1) * 3], last->channel[2]);
            for (std::size_t pad = start + static_cast<std::size_t>(width) * 3;
                 pad < start + static_cast<std::size_t>(row); ++pad)
                EXPECT_EQ(b[pad], 0) << "row " << y;
        }
    }
}

TEST_F(BmpTest, ARealImageReaderSeesTheSamePixels) {
    const char* reader = "/usr/bin/python3";
    if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
        if (std::getenv("PIXELGROW_REQUIRE_IMAGE_READER") != nullptr)
            FAIL() << "Pillow for /usr/bin/python3 is missing";
        GTEST_SKIP() << "no image reader here (Debian package python3-pil)";
    }
    fill_pattern();
    char name[BMP_NAME_SIZE];
    int result = 0;
    write_and_capture(&result, name);
    ASSERT_EQ(result, 1);
    // The reader turns the file into raw RGB rows from the top.
    const std::string command =
        std::string(reader) +
        " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
        "print(im.format, im.size, im.mode); open(\"pixels.rgb\", \"wb\").write(im.convert(\"RGB\").tobytes())' " +
        name + " > reader.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_file("reader.txt"), "BMP (400, 400) RGB\n");
    const std::vector<unsigned char> rgb = read_bytes("pixels.rgb");
    ASSERT_EQ(rgb.size(), sizeof image_grid);
    EXPECT_EQ(std::memcmp(rgb.data(), image_grid, rgb.size()), 0);
}

TEST_F(BmpTest, AFileOrLinkUnderTheNameIsKeptAndThePictureTakesTheNextFreeName) {
    fill_pattern();
    const std::string target = dir_.path() + "/precious.txt";
    std::ofstream(target) << "keep me";
    // The name comes from the clock: for this second and the next, a link
    // under the name, a picture under the second name; the third is free.
    const std::int64_t now = wall_time_seconds();
    for (std::int64_t s = now; s <= now + 1; ++s) {
        const std::string stem = "randImage" + std::to_string(s);
        ASSERT_EQ(symlink(target.c_str(), (stem + ".bmp").c_str()), 0);
        std::ofstream(stem + "-2.bmp") << "an older picture";
    }
    const mode_t old_mask = umask(022);
    char name[BMP_NAME_SIZE];
    int result = 0;
    const std::string said = write_and_capture(&result, name);
    umask(old_mask);
    ASSERT_EQ(result, 1);
    const std::string stamp = std::string(name).substr(9, 10);
    EXPECT_EQ(std::string(name), "randImage" + stamp + "-3.bmp");
    EXPECT_EQ(said, "\nSuccessfully wrote 400x400 image: " + std::string(name) + ".\n");
    struct stat st = {};
    ASSERT_EQ(lstat(name, &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // a new file's usual permissions
    EXPECT_EQ(st.st_size, 480054);
    ASSERT_EQ(lstat(("randImage" + stamp + ".bmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_file("randImage" + stamp + "-2.bmp"), "an older picture");
    EXPECT_EQ(read_file(target), "keep me");
}

TEST_F(BmpTest, AFailedOpenIsReportedAndLeavesTheName) {
    // A directory that is gone takes no new files, not even from root.
    const std::string gone = dir_.path() + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    char name[BMP_NAME_SIZE] = "old";
    int result = -1;
    const std::string said = write_and_capture(&result, name);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(said, "ERROR: Could not open/create BMP file in write_image()!\n\n");
    EXPECT_GE(picture_stamp(name), 0) << name;
}

TEST_F(BmpTest, AWriteThatFailsPartWayLeavesNoFile) {
    fill_pattern();
    // In a child limited to files of 100,000 bytes, as `ulimit -f` does.
    int status = 0;
    const std::string said = output_of_child(
        [] {
            (void)signal(SIGXFSZ, SIG_IGN);  // as the program does: the write fails instead of killing
            rlimit limit{100000, 100000};
            setrlimit(RLIMIT_FSIZE, &limit);
            char name[BMP_NAME_SIZE];
            return write_image(GRID_WIDTH, GRID_HEIGHT, name) == 0 ? 0 : 1;
        },
        &status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "write_image should have returned 0";
    EXPECT_EQ(said, "ERROR: Could not write BMP file in write_image()!\n\n");
    EXPECT_EQ(files(), std::vector<std::string>{});
}

// Each call that can fail on the way to the disk, made to fail once: the
// write is reported as failed and nothing is left in the directory.
int failing_fsync_file(int fd) {
    struct stat st = {};
    fstat(fd, &st);
    if (S_ISDIR(st.st_mode)) return SYS_REAL.fsync(fd);
    errno = EIO;
    return -1;
}
int failing_fsync_directory(int fd) {
    struct stat st = {};
    fstat(fd, &st);
    if (!S_ISDIR(st.st_mode)) return SYS_REAL.fsync(fd);
    errno = EIO;
    return -1;
}
ssize_t failing_write(int, const void*, size_t) {
    errno = ENOSPC;
    return -1;
}
ssize_t short_writes_then_failing(int fd, const void* data, size_t size) {
    static int calls = 0;
    if (++calls % 3 == 0) {
        errno = EIO;
        return -1;
    }
    return SYS_REAL.write(fd, data, size < 1000 ? size : 1000);
}
int failing_close(int fd) {
    SYS_REAL.close(fd);
    errno = EIO;
    return -1;
}
int failing_rename(const char*, const char*) {
    errno = EXDEV;
    return -1;
}
int name_always_taken(const char*, const char*) {
    errno = EEXIST;
    return -1;
}
int failing_open(const char*, int, mode_t) {
    errno = EACCES;
    return -1;
}

TEST_F(BmpTest, EveryFailureOnTheWayToTheDiskIsReportedAndLeavesNothing) {
    fill_pattern();
    struct Injected {
        const char* name;
        void (*inject)(SysCalls&);
        const char* said;
    };
    const char* write_error = "ERROR: Could not write BMP file in write_image()!\n\n";
    const char* open_error = "ERROR: Could not open/create BMP file in write_image()!\n\n";
    struct Case {
        const char* name;
        void (*inject)(SysCalls&);
        const char* said;
        int error;  // what the error stream gives as the reason
    };
    const Case cases[] = {
        {"flushing the file", [](SysCalls& c) { c.fsync = failing_fsync_file; }, write_error, EIO},
        {"flushing the directory", [](SysCalls& c) { c.fsync = failing_fsync_directory; }, write_error, EIO},
        {"writing", [](SysCalls& c) { c.write = failing_write; }, write_error, ENOSPC},
        {"writing, part way", [](SysCalls& c) { c.write = short_writes_then_failing; }, write_error, EIO},
        {"closing", [](SysCalls& c) { c.close = failing_close; }, write_error, EIO},
        {"renaming", [](SysCalls& c) { c.rename_no_replace = failing_rename; }, write_error, EXDEV},
        {"every name taken", [](SysCalls& c) { c.rename_no_replace = name_always_taken; }, write_error, EEXIST},
        {"creating", [](SysCalls& c) { c.open = failing_open; }, open_error, EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.inject(sys_calls);
        char name[BMP_NAME_SIZE];
        int result = -1;
        testing::internal::CaptureStderr();
        const std::string said = write_and_capture(&result, name);
        const std::string why = testing::internal::GetCapturedStderr();
        sys_calls = SYS_REAL;
        EXPECT_EQ(result, 0);
        EXPECT_EQ(said, c.said);
        EXPECT_EQ(why, "pixelgrow: " + std::string(name) + ": " + std::strerror(c.error) + "\n");
        EXPECT_EQ(files(), std::vector<std::string>{});
    }
    // And with every call as it is, the picture is there.
    char name[BMP_NAME_SIZE];
    int result = 0;
    write_and_capture(&result, name);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(files(), std::vector<std::string>{name});
}

}  // namespace
