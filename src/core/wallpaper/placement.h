#pragma once
// Where a picture goes on a screen in each WallpaperMode, in screen pixels.
#include "core/wallpaper/calendar_rect.h"
#include "core/wallpaper/wallpaper_mode.h"

namespace orvane {

struct Placement {
    // The picture scaled to width x height with its top-left corner at
    // (x, y) on the screen. A negative corner or a size past the screen's
    // means the picture is cropped there; a smaller size leaves bands of
    // the background colour. Tiled: the picture at its own size repeated
    // from (0, 0).
    int x = 0, y = 0, width = 0, height = 0;
    bool tiled = false;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// All sizes at least 1 (callers check theirs first). Centred, placed at an
// origin and any mode not named in WallpaperMode keep the picture at its
// own size, centred. Scaled sides round half to even and are never below 1
// pixel; the centring offsets round the same way.
Placement PlacePicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight, WallpaperMode mode);

// The calendar rectangle set on a fromWidth x fromHeight screen, on a
// toWidth x toHeight one: each coordinate scaled by its own axis's factor,
// rounded half to even. The same integers when the sizes are equal, or when
// either size is not a real one (zero or negative: a hand-edited store).
CalendarRect ScaleCalendarRect(const CalendarRect& rect, int fromWidth, int fromHeight, int toWidth, int toHeight);

}  // namespace orvane
