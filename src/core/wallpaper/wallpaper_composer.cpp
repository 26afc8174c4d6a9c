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
    if (w == image.width) {
        // Whole rows: one block.
        std::memmove(image.pixels.data(), &image.pixels[static_cast<std::size_t>(y0) * w],
                     static_cast<std::size_t>(w) * h * 4);
    } else {
        for (int row = 0; row < h; ++row)
            std::memmove(&image.pixels[static_cast<std::size_t>(row) * w],
                         &image.pixels[static_cast<std::size_t>(y0 + row) * image.width + x0],
                         static_cast<std::size_t>(w) * 4);
    }
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

// `shown` at (x, y) on a bitmap of the background, each pixel written once
// (no fill first): the bands and the picture's rows appended in turn, so
// the bitmap's pages are touched by the only pass that writes them.
Image32 Banded(const Image32& shown, int x, int y, int width, int height, std::uint32_t background) {
    Image32 b;
    b.width = width;
    b.height = height;
    const std::size_t w = static_cast<std::size_t>(width);
    b.pixels.reserve(w * static_cast<std::size_t>(height) + kBmpInPlaceSpareWords);
    const int left = std::clamp(x, 0, width), right = std::clamp(x + shown.width, left, width);
    const int top = std::clamp(y, 0, height), bottom = std::clamp(y + shown.height, top, height);
    b.pixels.resize(w * static_cast<std::size_t>(top), background);
    for (int row = top; row < bottom; ++row) {
        b.pixels.resize(b.pixels.size() + static_cast<std::size_t>(left), background);
        const std::uint32_t* from = &shown.pixels[static_cast<std::size_t>(row - y) * shown.width + (left - x)];
        b.pixels.insert(b.pixels.end(), from, from + (right - left));
        b.pixels.resize(b.pixels.size() + static_cast<std::size_t>(width - right), background);
    }
    b.pixels.resize(w * static_cast<std::size_t>(height), background);
    return b;
}

// `picture`, whose capacity holds width x height pixels, grown into a
// bitmap of that size with its top-left corner at (x, y) inside it and bands
// of the background around it. Rows move from the last up: each lands at or
// past where it was, beyond the rows still to move, and its bands beside it
// cover only rows already moved.
Image32 GrownInPlace(Image32&& picture, int x, int y, int width, int height, std::uint32_t background) {
    const std::size_t w = static_cast<std::size_t>(width), pw = static_cast<std::size_t>(picture.width);
    std::vector<std::uint32_t>& p = picture.pixels;
    p.resize(w * static_cast<std::size_t>(height));
    std::uint32_t* px = p.data();
    std::fill(px + (static_cast<std::size_t>(y) + picture.height) * w, px + p.size(), background);
    for (int row = picture.height - 1; row >= 0; --row) {
        std::uint32_t* to = px + (static_cast<std::size_t>(y) + row) * w;
        std::memmove(to + x, px + row * pw, pw * 4);
        std::fill(to, to + x, background);
        std::fill(to + x + pw, to + w, background);
    }
    std::fill(px, px + static_cast<std::size_t>(y) * w, background);
    picture.width = width;
    picture.height = height;
    return std::move(picture);
}

Image32 Scaled(const PictureSource& picture, const Placement& place, int screenWidth, int screenHeight,
               std::uint32_t background) {
    const bool inside = place.x >= 0 && place.y >= 0 && place.x + place.width <= screenWidth &&
                        place.y + place.height <= screenHeight;
    if (inside && picture.decodeWithinRoom && place.width <= picture.width && place.height <= picture.height &&
        (place.width < screenWidth || place.height < screenHeight)) {
        const std::size_t room = static_cast<std::size_t>(screenWidth) * static_cast<std::size_t>(screenHeight) -
                                 static_cast<std::size_t>(place.width) * static_cast<std::size_t>(place.height) +
                                 kBmpInPlaceSpareWords;
        Image32 decoded = picture.decodeWithinRoom(place.width, place.height, room);
        if (decoded.empty()) ThrowNoPicture();
        if (decoded.width == place.width && decoded.height == place.height &&
            decoded.pixels.capacity() >= decoded.pixels.size() + room - kBmpInPlaceSpareWords)
            return GrownInPlace(std::move(decoded), place.x, place.y, screenWidth, screenHeight, background);
        return Banded(ResampleRegion(decoded, place.width, place.height, 0, 0, place.width, place.height), place.x,
                      place.y, screenWidth, screenHeight, background);
    }
    Image32 decoded = DecodeFor(picture, place.width, place.height);
    // The visible part of the picture scaled to its placed size; where the
    // screen is larger (fit), bands around it. A decode already at that
    // size is cropped where it lies: no second picture's pages to touch.
    Image32 shown = decoded.width == place.width && decoded.height == place.height
                        ? CropInPlace(std::move(decoded), -place.x, -place.y, screenWidth, screenHeight)
                        : ResampleRegion(decoded, place.width, place.height, -place.x, -place.y, screenWidth,
                                         screenHeight);
    if (shown.width == screenWidth && shown.height == screenHeight) return shown;
    return Banded(shown, std::max(place.x, 0), std::max(place.y, 0), screenWidth, screenHeight, background);
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

namespace {

// One decode shared by several screens: the decode itself and, made from it
// as soon as it exists, the smaller pictures the other screens will ask for.
// Each is handed out by copy while more screens will ask for it, and given
// away (not copied) to the last, so that no screen's picture is copied only
// to be dropped.
struct SharedDecode {
    struct Made {
        int width = 0, height = 0;
        int uses = 0;  // screens still to ask for it
        Image32 picture;
    };
    bool decoded = false;
    std::vector<Made> made;  // the decode first

    Made* Find(int width, int height) {
        for (Made& m : made)
            if (m.width == width && m.height == height && !m.picture.empty()) return &m;
        return nullptr;
    }
};

}  // namespace

PictureSource DecodeOnceForScreens(const PictureSource& picture, WallpaperMode mode,
                                   const std::vector<std::pair<int, int>>& screenSizes) {
    if (picture.width <= 0 || picture.height <= 0) return picture;
    // What each screen's composition will ask for (see DecodeFor).
    std::vector<std::pair<int, int>> requests;
    int boundWidth = 1, boundHeight = 1;
    for (auto [w, h] : screenSizes) {
        if (w <= 0 || h <= 0) continue;
        const Placement p = PlacePicture(picture.width, picture.height, w, h, mode);
        requests.emplace_back(std::min(p.width, picture.width), std::min(p.height, picture.height));
        boundWidth = std::max(boundWidth, requests.back().first);
        boundHeight = std::max(boundHeight, requests.back().second);
    }
    auto shared = std::make_shared<SharedDecode>();
    PictureSource once = picture;
    once.decodeWithinRoom = nullptr;  // every decode goes through the shared one
    once.decodeWithin = [picture, shared, requests, boundWidth, boundHeight](int maxWidth, int maxHeight) {
        const int w = std::min(maxWidth, picture.width), h = std::min(maxHeight, picture.height);
        if (w > boundWidth || h > boundHeight) return picture.decodeWithin(maxWidth, maxHeight);
        if (!shared->decoded) {
            shared->decoded = true;
            Image32 kept = picture.decodeWithin(boundWidth, boundHeight);
            if (kept.empty()) return Image32();
            shared->made.reserve(requests.size() + 1);  // `from` below stays where it is
            shared->made.push_back({kept.width, kept.height, 0, std::move(kept)});
            for (auto [rw, rh] : requests) {
                const Image32& from = shared->made.front().picture;
                if (rw > from.width || rh > from.height) continue;  // decoded again when asked
                SharedDecode::Made* m = shared->Find(rw, rh);
                if (!m) {
                    shared->made.push_back({rw, rh, 0, Resample(from, rw, rh)});
                    m = &shared->made.back();
                }
                ++m->uses;
            }
        }
        SharedDecode::Made* m = shared->Find(w, h);
        if (m && m->uses == 1) return std::move(m->picture);
        if (m) {
            m->uses = std::max(m->uses - 1, 0);
            return CopyForBitmap(m->picture);
        }
        // Asked for more than the screens said, or past what was decoded.
        const SharedDecode::Made* kept = shared->made.empty() ? nullptr : &shared->made.front();
        if (kept && !kept->picture.empty() && w <= kept->width && h <= kept->height)
            return Resample(kept->picture, w, h);
        return picture.decodeWithin(maxWidth, maxHeight);
    };
    return once;
}

}  // namespace orvane
