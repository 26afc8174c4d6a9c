// libFuzzer target: the icon directory check. Any input is refused with the
// program's Error, or accepted with an image the platform can be handed as
// it is: inside the input, past the directory, of the size its entry gives,
// the first entry's size. Run with ORVANE_FUZZ_SEEDS=<folder> set, it writes
// a small sound icon there as a seed and exits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/picture/byte_reader.h"
#include "core/error.h"
#include "core/picture/icon_check.h"
#include "fuzz_support.h"

namespace {

int Side(std::uint8_t v) { return v ? v : 256; }

// Two entries, 16 x 16 at 4 and 32 bits, each with a bitmap header and
// some pixels.
std::vector<std::uint8_t> Seed() {
    std::vector<std::uint8_t> b(6 + 2 * 16, 0);
    b[2] = 1, b[4] = 2;
    for (int i = 0; i < 2; ++i) {
        const std::size_t e = 6 + 16 * i, bytes = 40 + 64 * (i + 1);
        b[e] = 16, b[e + 1] = 16, b[e + 4] = 1, b[e + 6] = i ? 32 : 4;
        for (int k = 0; k < 4; ++k) {
            b[e + 8 + k] = static_cast<std::uint8_t>(bytes >> (8 * k));
            b[e + 12 + k] = static_cast<std::uint8_t>(b.size() >> (8 * k));
        }
        const std::size_t at = b.size();
        b.resize(at + bytes, 0x33);
        b[at] = 40, b[at + 1] = b[at + 2] = b[at + 3] = 0;
    }
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("ORVANE_FUZZ_SEEDS")) {
        const std::vector<std::uint8_t> seed = Seed();
        orvane::CheckIcon(orvane::ByteReader(seed.data(), seed.size()), "seed.ico");  // must pass
        const std::string path = std::string(folder) + "/two-depths.ico";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        FUZZ_CHECK(f != nullptr);
        FUZZ_CHECK(std::fwrite(seed.data(), 1, seed.size(), f) == seed.size());
        std::fclose(f);
        std::_Exit(0);  // no leak report on the way out: nothing was fuzzed
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvane::IconImage image;
    try {
        image = orvane::CheckIcon(orvane::ByteReader(data, size), "fuzz.ico");
    } catch (const orvane::Error&) {
        return 0;
    }
    FUZZ_CHECK(size >= 6 + 16);
    const std::size_t count = data[4] | (data[5] << 8);
    FUZZ_CHECK(image.index < count);
    FUZZ_CHECK(image.offset >= 6 + 16 * count);
    FUZZ_CHECK(image.bytes >= 40);
    FUZZ_CHECK(std::uint64_t{image.offset} + image.bytes <= size);
    const std::uint8_t* entry = data + 6 + 16 * image.index;
    FUZZ_CHECK(image.width == Side(entry[0]) && image.height == Side(entry[1]));
    FUZZ_CHECK(image.width == Side(data[6]) && image.height == Side(data[7]));
    // The bytes the platform is handed can all be read.
    unsigned sum = 0;
    for (std::uint32_t i = 0; i < image.bytes; ++i) sum += data[image.offset + i];
    FUZZ_CHECK(sum <= 255u * image.bytes);
    return 0;
}
