#include "core/picture/image.h"

#include "core/error.h"

namespace orvane {

Image32::Image32(int w, int h, std::uint32_t fill) : width(w), height(h) {
    if (!PictureSizeAcceptable(w, h)) throw Error("Image trop grande");
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill);
}

bool PictureSizeAcceptable(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0) return false;
    if (width > (1 << 20) || height > (1 << 20)) return false;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxPicturePixels;
}

std::uint32_t ComplementColour(std::uint32_t pixel) {
    const std::uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return (255 - r) | ((255 - g) << 8) | ((255 - b) << 16);
}

}  // namespace orvane
