#include "core/wallpaper/wallpaper_composer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "core/error.h"
#include "core/picture/bmp_file.h"
#include "core/picture/resample.h"
#include "core/wallpaper/placement.h"

namespace orvane {

namespace {

[[noreturn]] void ThrowNoPicture() { throw Error("Aucune image n'est chargée : le fond d'écran reste inchangé"); }

void CheckScreen(int width, int height) {
    if (width <= 0 || height <= 0 || !PictureSizeAcceptable(width, height))
        throw Error(FormatMessage1("Taille d'écran incorrecte (%s)",
                                   std::to_string(width) + " x " + std::to_string(height)));
}

std::uint32_t PixelOf(std::uint32_t colour) {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// With the room EncodeBmpInPlace wants, so the file is made where the bitmap is.
Image32 NewBitmap(int width, int height, std::uint32_t pixel) {
    Image32 b;
    b.width = width;
    b.height = height;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    b.pixels.reserve(n + kBmpInPlaceSpareWords);
    b.pixels.assign(n, pixel);
    return b;
}

// Copies `picture` onto `bitmap` with its top-left corner at (x, y),
// clipped; `tiled` repeats it from (0, 0) over the whole bitmap.
void Paste(const Image32& picture, Image32& bitmap, int x, int y, bool tiled) {
    if (tiled) {
        for (int row = 0; row < bitmap.height; ++row) {
            const std::uint32_t* from = &picture.pixels[static_cast<std::size_t>(row % picture.height) * picture.width];
            std::uint32_t* to = &bitmap.pixels[static_cast<std::size_t>(row) * bitmap.width];
            for (int col = 0; col < bitmap.width; col += picture.width)
                std::memcpy(to + col, from, static_cast<std::size_t>(std::min(picture.width, bitmap.width - col)) * 4);
        }
        return;
    }
    const int left = std::max(x, 0), right = static_cast<int>(std::min<long long>(
                                         static_cast<long long>(x) + picture.width, bitmap.width));
    const int top = std::max(y, 0), bottom = static_cast<int>(std::min<long long>(
                                        static_cast<long long>(y) + picture.height, bitmap.height));
    if (right <= left) return;
    for (int row = top; row < bottom; ++row)
        std::memcpy(&bitmap.pixels[static_cast<std::size_t>(row) * bitmap.width + left],
                    &picture.pixels[static_cast<std::size_t>(row - y) * picture.width + (left - x)],
                    static_cast<std::size_t>(right - left) * 4);
}

// The part of `image` from (x, y), width x height, clipped to it, moved to
// the front of its own memory.
Image32 CropInPlace(Image32&& image, int x, int y, int width, int height) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int w = std::min(image.width - x0, width - (x0 - x)), h = std::min(image.height - y0, height - (y0 - y));
    if (w <= 0 || h <= 0) return Image32();
    if (w == image.width && h == image.height) return std::move(image);
    for (int row = 0; row < h; ++row)
        std::memmove(&image.pixels[static_cast<std::size_t>(row) * w],
                     &image.pixels[static_cast<std::size_t>(y0 + row) * image.width + x0], static_cast<std::size_t>(w) * 4);
    image.pixels.resize(static_cast<std::size_t>(w) * h);
    image.width = w;
    image.height = h;
    return std::move(image);
}

// The decode for a picture to be shown at width x height: never larger than
// the picture itself, which the region resample then enlarges if need be.
Image32 DecodeFor(const PictureSource& picture, int width, int height) {
    Image32 decoded = picture.decodeWithin(picture.width > 0 ? std::min(width, picture.width) : width,
                                           picture.height > 0 ? std::min(height, picture.height) : height);
    if (decoded.empty()) ThrowNoPicture();
    return decoded;
}

Image32 Scaled(const PictureSource& picture, const Placement& place, int screenWidth, int screenHeight,
               std::uint32_t background) {
    Image32 decoded = DecodeFor(picture, place.width, place.height);
    // The visible part of the picture scaled to its placed size; where the
    // screen is larger (fit), bands around it. A decode already at that
    // size is cropped where it lies: no second picture's pages to touch.
    Image32 shown = decoded.width == place.width && decoded.height == place.height
                        ? CropInPlace(std::move(decoded), -place.x, -place.y, screenWidth, screenHeight)
                        : ResampleRegion(decoded, place.width, place.height, -place.x, -place.y, screenWidth,
                                         screenHeight);
    if (shown.width == screenWidth && shown.height == screenHeight) return shown;
    Image32 bitmap = NewBitmap(screenWidth, screenHeight, background);
    Paste(shown, bitmap, std::max(place.x, 0), std::max(place.y, 0), false);
    return bitmap;
}

Image32 Compose(const PictureSource& picture, const ScreenComposition& screen) {
    const int sw = screen.screenWidth, sh = screen.screenHeight;
    const WallpaperMode mode = screen.mode;
    if (screen.screenSized || ComposedAtScreenSize(mode)) CheckScreen(sw, sh);

    if (mode == WallpaperMode::Stretched) {
        Image32 decoded = DecodeFor(picture, sw, sh);
        if (decoded.width == sw && decoded.height == sh) return decoded;
        return Resample(decoded, sw, sh);
    }
    if (ComposedAtScreenSize(mode) && picture.width > 0 && picture.height > 0)
        return Scaled(picture, PlacePicture(picture.width, picture.height, sw, sh, mode), sw, sh,
                      PixelOf(screen.backgroundColour));

    Image32 whole = picture.decodeWhole();
    if (whole.empty()) ThrowNoPicture();
    if (ComposedAtScreenSize(mode)) {
        // The picture's size was not known beforehand: placed from the whole.
        const Placement place = PlacePicture(whole.width, whole.height, sw, sh, mode);
        PictureSource decoded;
        decoded.width = whole.width;
        decoded.height = whole.height;
        decoded.decodeWithin = [&whole](int, int) { return std::move(whole); };
        return Scaled(decoded, place, sw, sh, PixelOf(screen.backgroundColour));
    }
    if (!screen.screenSized) return whole;
    const Placement place = PlacePicture(whole.width, whole.height, sw, sh, mode);
    Image32 bitmap = NewBitmap(sw, sh, PixelOf(screen.backgroundColour));
    Paste(whole, bitmap, place.x, place.y, place.tiled);
    return bitmap;
}

}  // namespace

PictureSource PictureFromFile(PictureFiles& files, const std::string& path, const PictureFiles::PictureHeader& header) {
    PictureSource source;
    source.width = header.width;
    source.height = header.height;
    source.decodeWithin = [&files, path](int maxWidth, int maxHeight) {
        PictureFiles::PictureHeader ignored;
        return files.DecodeWithin(path, maxWidth, maxHeight, ignored);
    };
    source.decodeWhole = [&files, path] { return files.Decode(path); };
    return source;
}

Image32 ComposeScreenWallpaper(const PictureSource& picture, const ScreenComposition& screen,
                               const CalendarPainter& drawCalendar) {
    Image32 bitmap = Compose(picture, screen);
    if (drawCalendar) drawCalendar(bitmap);
    return bitmap;
}

PictureSource DecodeOnceForScreens(const PictureSource& picture, WallpaperMode mode,
                                   const std::vector<std::pair<int, int>>& screenSizes) {
    if (picture.width <= 0 || picture.height <= 0) return picture;
    int boundWidth = 1, boundHeight = 1;
    for (auto [w, h] : screenSizes) {
        if (w <= 0 || h <= 0) continue;
        const Placement p = PlacePicture(picture.width, picture.height, w, h, mode);
        boundWidth = std::max(boundWidth, std::min(p.width, picture.width));
        boundHeight = std::max(boundHeight, std::min(p.height, picture.height));
    }
    auto kept = std::make_shared<Image32>();
    PictureSource once = picture;
    once.decodeWithin = [picture, kept, boundWidth, boundHeight](int maxWidth, int maxHeight) {
        const int w = std::min(maxWidth, picture.width), h = std::min(maxHeight, picture.height);
        if (w > boundWidth || h > boundHeight) return picture.decodeWithin(maxWidth, maxHeight);
        if (kept->empty()) *kept = picture.decodeWithin(boundWidth, boundHeight);
        if (kept->empty()) return Image32();
        if (w > kept->width || h > kept->height) return picture.decodeWithin(maxWidth, maxHeight);
        if (w == kept->width && h == kept->height) {
            Image32 copy = NewBitmap(w, h, 0);
            copy.pixels.assign(kept->pixels.begin(), kept->pixels.end());
            return copy;
        }
        return Resample(*kept, w, h);
    };
    return once;
}

}  // namespace orvane
