#pragma once
// The wallpaper bitmap file: the current picture, stretched to the screen in
// stretched mode, with the calendar drawn through GDI, written as a Windows
// bitmap at the display's colour depth.
#include <functional>
#include <string>

#include "core/calendar.h"
#include "core/canvas.h"
#include "core/image.h"
#include "core/settings.h"

namespace orvane {

// What the composition takes from the system.
struct WallpaperTarget {
    int screenWidth = 0;   // primary display, pixels
    int screenHeight = 0;
    int bitsPerPixel = 32;  // colour depth of the display
    Date today;
};
WallpaperTarget CurrentWallpaperTarget();

// Composes the wallpaper from `picture` and replaces `fileName` whole (a
// temporary file beside it, then one move), so that the desktop never reads
// a half-written file and a failure keeps the previous one. May put CalT and
// CalB in order in `settings`. Raises Error("Impossible de créer le fichier
// %s") when the file cannot be written.
void ComposeWallpaperFile(const std::wstring& fileName, WallpaperSettings& settings, const Image32& picture);
void ComposeWallpaperFile(const std::wstring& fileName, WallpaperSettings& settings, const Image32& picture,
                          const WallpaperTarget& target, const LocaleNames& names);

// Runs `draw` on a GDI canvas whose pixels are those of `image` (a 32-bit
// DIB section filled from it and copied back, the top byte set to 255).
void DrawOnImageWithGdi(Image32& image, const std::function<void(Canvas&)>& draw);

}  // namespace orvane
