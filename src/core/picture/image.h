#pragma once
// A plain 32-bit picture: rows top to bottom, each pixel 0xAARRGGBB
// (blue in the low byte), the layout of a top-down 32-bit DIB section.
#include <cstdint>
#include <vector>

namespace orvane {

struct Image32 {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // width * height, row-major, top row first

    Image32() = default;
    Image32(int w, int h, std::uint32_t fill = 0xFF000000u);

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Largest picture the program accepts: its 32-bit image must stay well inside
// what a 64-bit process can allocate without trouble (1 GiB of pixels).
constexpr std::uint64_t kMaxPicturePixels = 1ull << 28;
bool PictureSizeAcceptable(std::int64_t width, std::int64_t height);

// Windows colour value (0x00BBGGRR) of the complement of a 0xAARRGGBB pixel.
std::uint32_t ComplementColour(std::uint32_t pixel);

}  // namespace orvane
