#pragma once
// Shared by the fuzz targets: a failed property ends the run with a message,
// which libFuzzer records as a crash with the input that caused it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/picture/image.h"

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

namespace fuzz {

// Properties every resampled picture has whatever the input: the requested
// size, and each channel of each pixel inside the range that channel spans
// in the source (averaging and interpolation only mix, never overshoot).
inline void CheckResampled(const orvane::Image32& src, const orvane::Image32& out, int w, int h) {
    FUZZ_CHECK(out.width == w && out.height == h);
    FUZZ_CHECK(out.pixels.size() == static_cast<std::size_t>(w) * h);
    std::uint32_t lo[4] = {255, 255, 255, 255}, hi[4] = {0, 0, 0, 0};
    for (std::uint32_t p : src.pixels)
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t v = (p >> (8 * c)) & 0xFF;
            if (v < lo[c]) lo[c] = v;
            if (v > hi[c]) hi[c] = v;
        }
    for (std::uint32_t p : out.pixels)
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t v = (p >> (8 * c)) & 0xFF;
            FUZZ_CHECK(v >= lo[c] && v <= hi[c]);
        }
}

}  // namespace fuzz
