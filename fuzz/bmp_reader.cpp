// The BMP reader, on any bytes: it refuses or gives a whole picture, and what
// it gives reads back from the file's own rows.
#include <cstdint>

#include "fuzz_check.h"
#include "terminal_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RgbPicture picture;
    if (!read_bmp(data, size, &picture)) return 0;
    FUZZ_CHECK(picture.width > 0 && picture.height > 0);
    const std::size_t w = static_cast<std::size_t>(picture.width), h = static_cast<std::size_t>(picture.height);
    FUZZ_CHECK(picture.bytes.size() == w * h * 3);
    // The top row's first pixel is the last row's in the file, blue first.
    const std::size_t offset = data[10] | data[11] << 8 | data[12] << 16 | static_cast<std::size_t>(data[13]) << 24;
    const std::size_t stride = (w * 3 + 3) / 4 * 4;
    const std::uint8_t* first = data + offset + (h - 1) * stride;
    FUZZ_CHECK(picture.bytes[0] == first[2] && picture.bytes[1] == first[1] && picture.bytes[2] == first[0]);
    return 0;
}
