#pragma once
// Windows bitmap files: writing a picture at a given colour depth, and a
// strict check of a bitmap file's headers before the platform decodes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/image.h"

namespace orvane {

// The file bytes (BITMAPFILEHEADER, BITMAPINFOHEADER, pixels bottom-up) of
// `image` at `bitsPerPixel` (16, 24 or 32; other depths are written as 24).
std::vector<std::uint8_t> EncodeBmp(const Image32& image, int bitsPerPixel);

struct BmpInfo {
    int width = 0;
    int height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 0;   // of the info header, at offset 14
    std::uint32_t pixelOffset = 0;  // of the pixels, past the headers and colour tables
};

// Checks that `data` is a bitmap file whose headers are consistent and whose
// pixel data is present for its size. Throws Error with a French text when
// not (truncated, corrupt, absurd dimensions).
BmpInfo CheckBmp(const std::uint8_t* data, std::size_t size);

}  // namespace orvane
