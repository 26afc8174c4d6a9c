#include "core/picture/image_canvas.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace orvane {

std::uint32_t PixelOfColour(Colour colour) {
    const std::uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

ImageCanvas::ImageCanvas(Image32& image, Colour penColour) : image_(image), penPixel_(PixelOfColour(penColour)) {}

int ImageCanvas::CellHeight() const {
    if (fontHeight_ == 0) return 16;
    // A negative height asks for the character height; the cell adds the
    // internal leading, about a fifth of it.
    const long long h = std::llabs(static_cast<long long>(fontHeight_));
    return static_cast<int>(std::min<long long>(fontHeight_ > 0 ? h : h + h / 5, 1 << 24));
}

int ImageCanvas::TextWidth(const std::string& utf8) {
    long long characters = 0;
    for (unsigned char ch : utf8)
        if ((ch & 0xC0) != 0x80) ++characters;  // count code points, not bytes
    long long w = characters * CellHeight() / 2;
    if (bold_) w += w / 10;
    return static_cast<int>(std::min<long long>(w, 1 << 30));
}

int ImageCanvas::TextHeight(const std::string&) { return CellHeight(); }

void ImageCanvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void ImageCanvas::LineTo(int x, int y) {
    const long long x0 = penX_, y0 = penY_, x1 = x, y1 = y;
    penX_ = x1;
    penY_ = y1;
    const long long dx = x1 - x0, dy = y1 - y0;
    if (dx == 0 && dy == 0) return;

    // The pixel at step k of the major axis is computed directly (rounded to
    // nearest, as Bresenham's error term does), so that only the steps that
    // cross the picture are visited even when the ends lie far outside.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const long long minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const long long majorStart = xMajor ? x0 : y0, minorStart = xMajor ? y0 : x0;
    const int majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorStep = (xMajor ? dy : dx) > 0 ? 1 : -1;
    const long long majorLimit = xMajor ? image_.width : image_.height;
    const long long minorLimit = xMajor ? image_.height : image_.width;

    // Steps k in [0, major) whose major coordinate lies in [0, majorLimit).
    long long kFirst, kLast;
    if (majorStep > 0) {
        kFirst = std::max(0LL, -majorStart);
        kLast = std::min(major - 1, majorLimit - 1 - majorStart);
    } else {
        kFirst = std::max(0LL, majorStart - (majorLimit - 1));
        kLast = std::min(major - 1, majorStart);
    }
    for (long long k = kFirst; k <= kLast; ++k) {
        const __int128 num = static_cast<__int128>(2) * k * minor + major;
        const long long offset = static_cast<long long>(num / (2 * static_cast<__int128>(major)));
        const long long m = majorStart + majorStep * k;
        const long long n = minorStart + minorStep * offset;
        if (n < 0 || n >= minorLimit) continue;
        const int px = static_cast<int>(xMajor ? m : n), py = static_cast<int>(xMajor ? n : m);
        image_.at(px, py) = penPixel_;
    }
}

void ImageCanvas::Fill(int left, int top, int right, int bottom) {
    // GDI fills a rectangle given with swapped corners from its first corner
    // backwards: the first corner's pixel included, the second one's excluded
    // (PatBlt with a negative extent). The calendar produces such rectangles
    // when its columns or rows have no room.
    auto span = [](long long from, long long to, long long limit, long long& lo, long long& hi) {
        if (from <= to) {
            lo = from;
            hi = to;
        } else {
            lo = to + 1;
            hi = from + 1;
        }
        lo = std::max(lo, 0LL);
        hi = std::min(hi, limit);
    };
    long long l, r, t, b;
    span(left, right, image_.width, l, r);
    span(top, bottom, image_.height, t, b);
    if (l >= r || t >= b) return;
    const std::uint32_t pixel = PixelOfColour(brush_);
    for (long long y = t; y < b; ++y) {
        std::uint32_t* row = &image_.at(0, static_cast<int>(y));
        std::fill(row + l, row + r, pixel);
    }
}

}  // namespace orvane
