#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/error.h"
#include "core/picture/resample.h"

namespace orvane {
namespace {

Image32 Random(int w, int h, unsigned seed) {
    Image32 img(w, h);
    std::mt19937 rng(seed);
    for (auto& p : img.pixels) p = 0xFF000000u | (rng() & 0xFFFFFF);
    return img;
}

Image32 Crop(const Image32& img, int x, int y, int w, int h) {
    Image32 out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.at(i, j) = img.at(x + i, y + j);
    return out;
}

// Every kind of axis (shrink by a little or a lot, enlarge, keep, one
// column) and regions at the edges, in the middle and at odd columns: the
// pixels are Resample's, to the level.
TEST(ResampleRegion, IsTheCropOfTheWholeResample) {
    struct Case {
        int sw, sh, fw, fh, x, y, w, h;
    };
    const Case cases[] = {
        {4000, 300, 1920, 144, 0, 0, 1920, 144},   // the whole
        {400, 300, 213, 160, 27, 11, 101, 97},     // shrink, odd region
        {401, 299, 173, 89, 172, 88, 1, 1},        // last pixel
        {100, 75, 1920, 1440, 0, 180, 1920, 1080}, // enlarge, fill's crop
        {37, 53, 37, 120, 5, 3, 29, 100},          // same width
        {64, 64, 200, 64, 61, 0, 139, 64},         // same height
        {1, 40, 64, 640, 3, 300, 50, 20},          // one column
        {1000, 10, 9, 10, 1, 0, 7, 10},            // region narrower than a pixel's taps
        {333, 3, 5, 3, 2, 0, 3, 3},
    };
    for (const Case& c : cases) {
        const Image32 src = Random(c.sw, c.sh, static_cast<unsigned>(c.sw * 31 + c.x));
        const Image32 region = ResampleRegion(src, c.fw, c.fh, c.x, c.y, c.w, c.h);
        const Image32 expected = Crop(Resample(src, c.fw, c.fh), c.x, c.y, c.w, c.h);
        EXPECT_TRUE(region.width == c.w && region.height == c.h && region.pixels == expected.pixels) << c.sw << "x" << c.sh << " -> " << c.fw << "x" << c.fh;
    }
}

TEST(ResampleRegion, ClipsToTheWholeAndNeverPlansIt) {
    const Image32 src = Random(50, 20, 7);
    // Half outside on the left and top: the inside part only.
    const Image32 clipped = ResampleRegion(src, 100, 40, -10, -5, 30, 15);
    EXPECT_TRUE(clipped.width == 20 && clipped.pixels == Crop(Resample(src, 100, 40), 0, 0, 20, 10).pixels);
    EXPECT_TRUE(ResampleRegion(src, 100, 40, 100, 0, 5, 5).empty());
    EXPECT_TRUE(ResampleRegion(src, 100, 40, 0, 0, 0, 5).empty());
    // A 1 x 4000 line filling a screen: 7.68 million rows of which 1080 are
    // wanted, made without the whole's plan or pixels: only its middle rows
    // show, and they are one colour.
    Image32 line = Random(1, 4000, 3);
    for (int y = 1995; y < 2005; ++y) line.at(0, y) = 0xFF123456u;
    const Image32 shown = ResampleRegion(line, 1920, 7680000, 0, 3839460, 1920, 1080);
    EXPECT_TRUE(shown.width == 1920 && shown.pixels == Image32(1920, 1080, 0xFF123456u).pixels);
    EXPECT_THROW(ResampleRegion(src, 1 << 20, 1 << 20, 0, 0, 1 << 20, 1 << 20), Error);
    // No pixels: opaque black of the region's size.
    EXPECT_EQ(ResampleRegion(Image32(), 10, 10, 2, 2, 3, 3).pixels, Image32(3, 3).pixels);
}

}  // namespace
}  // namespace orvane
