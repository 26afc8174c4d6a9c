#include "core/wallpaper/composition.h"

#include <algorithm>
#include <utility>

#include "core/rounding.h"

namespace orvane {

namespace {

int ScaleToBitmap(int v, int bitmapWidth, int screenWidth) {
    // The product is formed in 64 bits: hand-edited coordinates near the
    // 32-bit limits would wrap around in 32.
    const long long product = static_cast<long long>(bitmapWidth) * v;
    return RoundHalfEven(static_cast<double>(product) / static_cast<double>(screenWidth));
}

}  // namespace

CalendarRect CalendarRectOnWallpaper(WallpaperSettings& s, int bitmapWidth, int screenWidth) {
    if (s.CalT > s.CalB) std::swap(s.CalT, s.CalB);
    CalendarRect r{s.CalL, s.CalT, s.CalR, s.CalB};
    // A screen of no width cannot be: the rectangle is then taken as it is
    // rather than divided by zero.
    if (s.WallPaperMode != 2 && screenWidth > 0) {
        r.left = ScaleToBitmap(r.left, bitmapWidth, screenWidth);
        r.top = ScaleToBitmap(r.top, bitmapWidth, screenWidth);
        r.right = ScaleToBitmap(r.right, bitmapWidth, screenWidth);
        r.bottom = ScaleToBitmap(r.bottom, bitmapWidth, screenWidth);
    }
    return r;
}

void DrawCalendarOnWallpaper(Canvas& canvas, int bitmapWidth, WallpaperSettings& s, int screenWidth, Date today,
                             const LocaleNames& names) {
    const CalendarRect r = CalendarRectOnWallpaper(s, bitmapWidth, screenWidth);
    DrawCalendar(canvas, r, today, s.RefDay, s, names);
}

std::uint32_t CompositeOverlayPixel(std::uint32_t onWhite, std::uint32_t onBlack, std::uint32_t picture) {
    onWhite &= 0x00FFFFFFu;
    onBlack &= 0x00FFFFFFu;
    if (onWhite == onBlack) return onWhite == 0x00FFFFFFu ? picture : (onBlack | 0xFF000000u);
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int w = static_cast<int>((onWhite >> shift) & 0xFF);
        const int b = static_cast<int>((onBlack >> shift) & 0xFF);
        const int p = static_cast<int>((picture >> shift) & 0xFF);
        const int through = std::clamp(w - b, 0, 255);
        const int v = std::clamp(b + (through * p + 127) / 255, 0, 255);
        out |= static_cast<std::uint32_t>(v) << shift;
    }
    return out;
}

}  // namespace orvane
