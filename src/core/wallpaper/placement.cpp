#include "core/wallpaper/placement.h"

#include <algorithm>
#include <cstdint>

#include "core/rounding.h"

namespace orvane {

namespace {

// side * to / from, rounded half to even. The product stays exact in a
// double for any 32-bit operands.
int Scaled(int side, int to, int from) {
    return RoundHalfEven(static_cast<double>(side) * static_cast<double>(to) / static_cast<double>(from));
}

Placement Centred(int width, int height, int screenWidth, int screenHeight) {
    Placement p;
    p.width = width;
    p.height = height;
    p.x = RoundHalfEven((static_cast<double>(screenWidth) - width) / 2.0);
    p.y = RoundHalfEven((static_cast<double>(screenHeight) - height) / 2.0);
    return p;
}

}  // namespace

Placement PlacePicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight, WallpaperMode mode) {
    // Compared as cross products: whether the screen is wider, in shape,
    // than the picture, without a division that could round either way.
    const bool screenWider = static_cast<std::int64_t>(screenWidth) * pictureHeight >=
                             static_cast<std::int64_t>(screenHeight) * pictureWidth;
    switch (mode) {
        case WallpaperMode::Stretched: return Placement{0, 0, screenWidth, screenHeight, false};
        case WallpaperMode::Tiled: return Placement{0, 0, pictureWidth, pictureHeight, true};
        case WallpaperMode::Fill: {
            // The side that meets the screen exactly is the one whose scale
            // is the larger; the other overflows and is cropped.
            if (screenWider)
                return Centred(screenWidth, std::max(screenHeight, Scaled(pictureHeight, screenWidth, pictureWidth)),
                               screenWidth, screenHeight);
            return Centred(std::max(screenWidth, Scaled(pictureWidth, screenHeight, pictureHeight)), screenHeight,
                           screenWidth, screenHeight);
        }
        case WallpaperMode::Fit: {
            if (screenWider)
                return Centred(std::clamp(Scaled(pictureWidth, screenHeight, pictureHeight), 1, screenWidth),
                               screenHeight, screenWidth, screenHeight);
            return Centred(screenWidth, std::clamp(Scaled(pictureHeight, screenWidth, pictureWidth), 1, screenHeight),
                           screenWidth, screenHeight);
        }
        default: return Centred(pictureWidth, pictureHeight, screenWidth, screenHeight);
    }
}

CalendarRect ScaleCalendarRect(const CalendarRect& rect, int fromWidth, int fromHeight, int toWidth, int toHeight) {
    if (fromWidth <= 0 || fromHeight <= 0 || toWidth <= 0 || toHeight <= 0) return rect;
    if (fromWidth == toWidth && fromHeight == toHeight) return rect;
    return CalendarRect{Scaled(rect.left, toWidth, fromWidth), Scaled(rect.top, toHeight, fromHeight),
                        Scaled(rect.right, toWidth, fromWidth), Scaled(rect.bottom, toHeight, fromHeight)};
}

}  // namespace orvane
