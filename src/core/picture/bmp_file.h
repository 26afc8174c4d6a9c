#pragma once
// Windows bitmap files: writing a picture at a given colour depth, and a
// strict check of a bitmap file's headers before the platform decodes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/picture/image.h"

namespace orvane {

// The file bytes (BITMAPFILEHEADER, BITMAPINFOHEADER, pixels bottom-up) of
// `image` at `bitsPerPixel` (16, 24 or 32; other depths are written as 24).
std::vector<std::uint8_t> EncodeBmp(const Image32& image, int bitsPerPixel);

// The same file bytes, held where they were made, ready for one write.
class BmpFileBytes {
public:
    const std::uint8_t* data() const;
    std::size_t size() const { return size_; }

private:
    friend BmpFileBytes EncodeBmpInPlace(Image32&& image, int bitsPerPixel);
    std::vector<std::uint32_t> words_;  // 32 bits: the picture's own memory, the file from byte 2
    std::vector<std::uint8_t> bytes_;   // other depths: a buffer of their own
    std::size_t size_ = 0;
};

// Pixels past the picture's own that EncodeBmpInPlace wants in the capacity
// of `image.pixels` to build a 32-bit file without moving the picture.
inline constexpr std::size_t kBmpInPlaceSpareWords = 14;

// A copy of `picture` with that spare capacity, so that its file is made
// where the copy is, without moving it again.
Image32 CopyForBitmap(const Image32& picture);

// EncodeBmp's bytes. At 32 bits they are made in the picture's memory,
// consumed here: the rows turned bottom-up and the headers put before them,
// so that a wallpaper change touches no second buffer of its size (nor the
// pages of one for the first time) before writing the file. Without
// kBmpInPlaceSpareWords of spare capacity the pixels are moved once.
BmpFileBytes EncodeBmpInPlace(Image32&& image, int bitsPerPixel);

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
