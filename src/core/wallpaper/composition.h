#pragma once
// The month calendar over a picture: on the wallpaper bitmap, the stored
// rectangle (screen pixels) mapped onto the bitmap and the calendar drawn
// there; in the preview, the calendar's overlay laid over the picture.
#include <cstdint>

#include "core/picture/canvas.h"
#include "core/wallpaper/calendar.h"
#include "core/wallpaper/calendar_rect.h"
#include "core/wallpaper/settings.h"

namespace orvane {

// The stored calendar rectangle (screen pixels) on a bitmap `bitmapWidth`
// pixels wide. Puts CalT and CalB in order in `s` itself, where they stay.
// Outside stretched mode the bitmap is the picture at its own size and every
// coordinate, the vertical ones too, is scaled by the one horizontal factor
// bitmapWidth / screenWidth, rounded half to even.
CalendarRect CalendarRectOnWallpaper(WallpaperSettings& s, int bitmapWidth, int screenWidth);

// Maps the stored rectangle with CalendarRectOnWallpaper and draws the
// calendar there with the date and RefDay.
void DrawCalendarOnWallpaper(Canvas& canvas, int bitmapWidth, WallpaperSettings& s, int screenWidth, Date today,
                             const LocaleNames& names);

// One pixel of the preview's overlay over the picture (0xAARRGGBB pixels).
// The overlay is drawn twice, on white and on black: where the two agree the
// calendar covers the picture, except in white, the transparent colour;
// where they differ the system smoothed an edge against the background, and
// the picture shows through in the proportion of the difference, per
// channel, so that small letters keep their colour rather than a pale fringe.
std::uint32_t CompositeOverlayPixel(std::uint32_t onWhite, std::uint32_t onBlack, std::uint32_t picture);

}  // namespace orvane
