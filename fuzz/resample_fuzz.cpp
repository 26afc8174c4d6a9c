// libFuzzer target: pictures and sizes drawn from the input, through the
// resampler and the bitmap writers. Sizes, colour ranges and uniform colours
// must hold for every ratio, and every written file must pass CheckBmp and
// read back as written, made in the picture's own memory or not.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/resample.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const int w = 1 + data[0] % 96, h = 1 + data[1] % 96;
    const int tw = 1 + (data[2] | (data[3] << 8)) % 400, th = 1 + (data[4] | (data[5] << 8)) % 400;
    const std::uint8_t* p = data + 6;
    const std::size_t n = size - 6;
    orvane::Image32 img(w, h);
    for (std::size_t i = 0; i < img.pixels.size(); ++i) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b) v |= static_cast<std::uint32_t>(n ? p[(4 * i + b) % n] : 0) << (8 * b);
        img.pixels[i] = v;
    }
    fuzz::CheckResampled(img, orvane::Resample(img, tw, th), tw, th);

    // A uniform picture keeps its colour exactly, whatever the ratio.
    const orvane::Image32 flat(w, h, img.pixels[0]);
    const orvane::Image32 flatOut = orvane::Resample(flat, tw, th);
    for (std::uint32_t v : flatOut.pixels) FUZZ_CHECK(v == img.pixels[0]);

    for (int bits : {16, 24, 32}) {
        const std::vector<std::uint8_t> file = orvane::EncodeBmp(img, bits);
        // Built in the picture's own memory, the same bytes.
        orvane::Image32 copy = img;
        if (n % 2) copy.pixels.reserve(copy.pixels.size() + orvane::kBmpInPlaceSpareWords);
        const orvane::BmpFileBytes inPlace = orvane::EncodeBmpInPlace(std::move(copy), bits);
        FUZZ_CHECK(inPlace.size() == file.size());
        FUZZ_CHECK(std::equal(file.begin(), file.end(), inPlace.data()));
        const orvane::BmpInfo info = orvane::CheckBmp(file.data(), file.size());
        FUZZ_CHECK(info.width == w && info.height == h && info.bitsPerPixel == bits);
        const std::size_t stride = (static_cast<std::size_t>(w) * bits + 31) / 32 * 4;
        FUZZ_CHECK(file.size() == 54 + stride * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* q = &file[54 + stride * (h - 1 - y) + static_cast<std::size_t>(x) * bits / 8];
                const std::uint32_t src = img.at(x, y);
                if (bits == 16) {
                    const std::uint32_t v = q[0] | (q[1] << 8);
                    for (int c = 0; c < 3; ++c) {
                        const int five = static_cast<int>((v >> (5 * c)) & 31);
                        const int eight = static_cast<int>((src >> (8 * c)) & 0xFF);
                        const int diff = five * 255 - eight * 31;  // |five/31 - eight/255| <= 1/62
                        FUZZ_CHECK(diff <= 128 && diff >= -128);
                    }
                } else {
                    const std::uint32_t rgb = q[0] | (q[1] << 8) | (q[2] << 16);
                    FUZZ_CHECK(rgb == (src & 0xFFFFFF));
                    if (bits == 32) FUZZ_CHECK(q[3] == src >> 24);
                }
            }
    }
    return 0;
}
