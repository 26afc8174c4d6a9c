#pragma once
// The wallpaper bitmap from the current picture: stretched to the screen in
// stretched mode, with the month calendar drawn onto it when it is on.
#include <functional>

#include "core/wallpaper/calendar.h"
#include "core/wallpaper/calendar_rect.h"
#include "core/picture/canvas.h"
#include "core/picture/image.h"
#include "core/wallpaper/settings.h"

namespace orvane {

// The stored calendar rectangle (screen pixels) on a bitmap `bitmapWidth`
// pixels wide. Puts CalT and CalB in order in `s` itself, where they stay.
// Outside stretched mode the bitmap is the picture at its own size and every
// coordinate, the vertical ones too, is scaled by the one horizontal factor
// bitmapWidth / screenWidth, rounded half to even.
CalendarRect CalendarRectOnWallpaper(WallpaperSettings& s, int bitmapWidth, int screenWidth);

// Maps the stored rectangle with CalendarRectOnWallpaper and draws the
// calendar there without margins, with today's date and RefDay.
void DrawCalendarOnWallpaper(Canvas& canvas, int bitmapWidth, WallpaperSettings& s, int screenWidth, Date today,
                             const LocaleNames& names);

// Runs `draw` on a canvas whose drawing lands in `image` by the time the call
// returns. The Windows side draws through GDI; native code uses ImageCanvas.
using CanvasRunner = std::function<void(Image32& image, const std::function<void(Canvas&)>& draw)>;

// The composed wallpaper bitmap: in mode 2 the picture resampled to the
// screen's size, in the other modes a copy of the picture; the calendar on it
// when `Calendar` is on. `picture` is never changed. An empty picture (its
// file was missing from the first change on) raises an Error rather than
// making a wallpaper of nothing.
Image32 ComposeWallpaper(const Image32& picture, WallpaperSettings& s, int screenWidth, int screenHeight, Date today,
                         const LocaleNames& names, const CanvasRunner& runOnCanvas);

}  // namespace orvane
