// libFuzzer target: the JPEG decoding path. Any input either decodes into a
// consistent opaque picture or is refused with the program's Error; the
// library never ends the process.
#include <cstddef>
#include <cstdint>

#include "core/error.h"
#include "core/jpeg_decoder.h"
#include "core/resample.h"
#include "fuzz_support.h"

namespace {

// Frame sizes announced by SOFn markers; pictures the program would accept
// but whose decoding would only spend the fuzzer's time on memory traffic
// are skipped (the size refusal itself is covered by the unit tests).
bool Oversized(const std::uint8_t* d, std::size_t n) {
    for (std::size_t i = 0; i + 8 < n; ++i) {
        if (d[i] != 0xFF) continue;
        const std::uint8_t m = d[i + 1];
        if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
        const std::uint32_t h = (d[i + 5] << 8) | d[i + 6], w = (d[i + 7] << 8) | d[i + 8];
        if (static_cast<std::uint64_t>(w) * h > (1u << 20)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (Oversized(data, size)) return 0;
    orvane::Image32 img;
    try {
        img = orvane::DecodeJpeg(data, size);
    } catch (const orvane::Error&) {
        return 0;
    }
    FUZZ_CHECK(img.width > 0 && img.height > 0);
    FUZZ_CHECK(img.pixels.size() == static_cast<std::size_t>(img.width) * img.height);
    for (std::uint32_t p : img.pixels) FUZZ_CHECK((p >> 24) == 0xFF);

    // What the wallpaper composition does next with a decoded picture.
    const int w = 1 + (size % 97), h = 1 + (size % 61);
    fuzz::CheckResampled(img, orvane::Resample(img, w, h), w, h);
    return 0;
}
