// Runs a fuzz target over the files it is given, and the files in the folders
// it is given, once each: the seed corpus and every input that once found a
// fault, replayed by the test suite where the fuzzer itself is not built.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i])) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                                   std::istreambuf_iterator<char>()};
            if (!in.eof() && in.fail()) {
                (void)std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
                return 1;
            }
            (void)LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    (void)std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;  // an empty corpus is a mistake, not a pass
}
