#pragma once
// The wallpaper bitmap of one screen, from a picture that is decoded on
// demand: at the size the mode needs and no larger, so that a photo of many
// megapixels costs about the same in every scaled mode.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/picture/image.h"
#include "core/wallpaper/wallpaper_mode.h"
#include "core/wallpaper/wallpaper_services.h"

namespace orvane {

// The picture to compose. Each decode throws Error with its French text.
struct PictureSource {
    int width = 0;  // the picture's own upright size
    int height = 0;
    // The picture no larger than maxWidth x maxHeight, as
    // PictureFiles::DecodeWithin (never asked for more than its own size).
    std::function<Image32(int maxWidth, int maxHeight)> decodeWithin;
    // The whole picture at its own size.
    std::function<Image32()> decodeWhole;
    // Optional: decodeWithin's picture with `spareWords` pixels of capacity
    // past its own, so that a fitted picture grows into its screen's bitmap
    // where it was decoded.
    std::function<Image32(int maxWidth, int maxHeight, std::size_t spareWords)> decodeWithinRoom;
};

// The picture file `path` through the files service; `header` is what an
// earlier decode of it said (its own size).
PictureSource PictureFromFile(PictureFiles& files, const std::string& path, const PictureFiles::PictureHeader& header);

struct ScreenComposition {
    WallpaperMode mode = WallpaperMode::Stretched;
    int screenWidth = 0;
    int screenHeight = 0;
    // The bitmap is always the screen's size, the picture placed on it as
    // the mode says (one wallpaper per monitor, each shown stretched).
    // Otherwise centred, tiled and the modes the program does not know give
    // the picture at its own size for the desktop to place.
    bool screenSized = false;
    // Bands around a fitted picture, and what a centred one leaves bare on a
    // screen-sized bitmap: a Windows colour value (0x00BBGGRR).
    std::uint32_t backgroundColour = 0;
};

// Draws the calendar onto the finished bitmap; empty for none.
using CalendarPainter = std::function<void(Image32& bitmap)>;

// The wallpaper bitmap. Stretched, fill and fit (and every mode when
// screenSized) are exactly the screen's size; a screen of no size, or one
// past PictureSizeAcceptable, raises "Taille d'écran incorrecte (W x H)".
// A picture that decodes to nothing raises the "no picture" error rather
// than making a wallpaper of nothing. The bitmap has the spare room
// EncodeBmpInPlace wants when it was made here.
Image32 ComposeScreenWallpaper(const PictureSource& picture, const ScreenComposition& screen,
                               const CalendarPainter& drawCalendar);

}  // namespace orvane

namespace orvane {

// The same picture for several screens, decoded once: within the largest
// size any of them needs in `mode`, each screen's request then made from
// that copy (shrunk, never enlarged: a request past it decodes again).
PictureSource DecodeOnceForScreens(const PictureSource& picture, WallpaperMode mode,
                                   const std::vector<std::pair<int, int>>& screenSizes);

}  // namespace orvane
