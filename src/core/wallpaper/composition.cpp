#include "core/wallpaper/composition.h"

#include <utility>

#include "core/error.h"
#include "core/picture/resample.h"
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
    DrawCalendar(canvas, r.left, r.top, r.right, r.bottom, 0, 0, 0, today, s.RefDay, s, names);
}

Image32 ComposeWallpaper(const Image32& picture, WallpaperSettings& s, int screenWidth, int screenHeight, Date today,
                         const LocaleNames& names, const CanvasRunner& runOnCanvas) {
    if (picture.empty()) throw Error("Aucune image n'est chargée : le fond d'écran reste inchangé");

    Image32 bitmap;
    if (s.WallPaperMode == 2) {
        if (!PictureSizeAcceptable(screenWidth, screenHeight) || screenWidth <= 0 || screenHeight <= 0)
            throw Error(FormatMessage1("Taille d'écran incorrecte (%s)",
                                       std::to_string(screenWidth) + " x " + std::to_string(screenHeight)));
        bitmap = Resample(picture, screenWidth, screenHeight);
    } else {
        bitmap = picture;
    }
    if (s.Calendar) {
        const int bitmapWidth = bitmap.width;
        runOnCanvas(bitmap, [&](Canvas& canvas) {
            DrawCalendarOnWallpaper(canvas, bitmapWidth, s, screenWidth, today, names);
        });
    }
    return bitmap;
}

}  // namespace orvane
