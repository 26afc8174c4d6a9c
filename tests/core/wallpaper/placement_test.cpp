#include "core/wallpaper/placement.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// The part of the screen the placed picture covers must be the whole screen
// (fill) or lie wholly inside it (fit), and be centred to within half a pixel.
void ExpectCentredOn(const Placement& p, int sw, int sh) {
    EXPECT_LE(std::abs(2 * p.x + p.width - sw), 1) << p.x << " " << p.width;
    EXPECT_LE(std::abs(2 * p.y + p.height - sh), 1) << p.y << " " << p.height;
}

TEST(Placement, FillCoversTheScreenAndCropsTheOverflowEvenly) {
    // A 4:3 photo on a 16:9 screen: the width meets the screen, 1440 rows
    // scaled, 180 cropped above and below.
    EXPECT_EQ(PlacePicture(4000, 3000, 1920, 1080, WallpaperMode::Fill), (Placement{0, -180, 1920, 1440}));
    // A portrait picture on a landscape screen, and a panorama: the other side meets it.
    EXPECT_EQ(PlacePicture(1000, 3000, 1920, 1080, WallpaperMode::Fill), (Placement{0, -2340, 1920, 5760}));
    EXPECT_EQ(PlacePicture(8000, 1000, 1920, 1080, WallpaperMode::Fill), (Placement{-3360, 0, 8640, 1080}));
    // Enlarging works the same way.
    EXPECT_EQ(PlacePicture(640, 480, 1920, 1080, WallpaperMode::Fill), (Placement{0, -180, 1920, 1440}));
}

TEST(Placement, FitLiesInsideWithEvenBands) {
    EXPECT_EQ(PlacePicture(4000, 3000, 1920, 1080, WallpaperMode::Fit), (Placement{240, 0, 1440, 1080}));
    EXPECT_EQ(PlacePicture(3000, 1000, 1920, 1080, WallpaperMode::Fit), (Placement{0, 220, 1920, 640}));
    EXPECT_EQ(PlacePicture(100, 100, 1280, 1024, WallpaperMode::Fit), (Placement{128, 0, 1024, 1024}));
}

TEST(Placement, OddSizesRoundHalfToEven) {
    // 3 x 2 on 5 x 5: fill height 5, width 7.5 -> 8; crop 1.5 -> -2 (half to even).
    EXPECT_EQ(PlacePicture(3, 2, 5, 5, WallpaperMode::Fill), (Placement{-2, 0, 8, 5}));
    // 2 x 3 on 5 x 5: fit width 10/3 -> 3, band 1 on each side; 5 x 2 on 4 x 3: height 1.6 -> 2, bands 0.5 -> 0.
    EXPECT_EQ(PlacePicture(2, 3, 5, 5, WallpaperMode::Fit), (Placement{1, 0, 3, 5}));
    EXPECT_EQ(PlacePicture(5, 2, 4, 3, WallpaperMode::Fit), (Placement{0, 0, 4, 2}));
    // Centred with an odd difference: 2.5 -> 2, -0.5 -> 0.
    EXPECT_EQ(PlacePicture(5, 6, 10, 5, WallpaperMode::Centred), (Placement{2, 0, 5, 6}));
}

TEST(Placement, ExtremeShapesStayWithinOnePixelAndNeverVanish) {
    // A 1 x 4000 line: fitted it is one pixel wide, filled it is 7.68 million
    // rows tall of which 1080 show.
    EXPECT_EQ(PlacePicture(1, 4000, 1920, 1080, WallpaperMode::Fit), (Placement{960, 0, 1, 1080}));
    EXPECT_EQ(PlacePicture(1, 4000, 1920, 1080, WallpaperMode::Fill), (Placement{0, -3839460, 1920, 7680000}));
    EXPECT_EQ(PlacePicture(100000, 1, 800, 600, WallpaperMode::Fit), (Placement{0, 300, 800, 1}));
    for (int sw : {1, 7, 1366, 3840})
        for (int sh : {1, 5, 768, 2160})
            for (int pw : {1, 3, 1000, 6000})
                for (int ph : {1, 2, 999, 4000}) {
                    const Placement fi = PlacePicture(pw, ph, sw, sh, WallpaperMode::Fill);
                    EXPECT_TRUE((fi.width == sw || fi.height == sh) && fi.width >= sw && fi.height >= sh);
                    ExpectCentredOn(fi, sw, sh);
                    const Placement ft = PlacePicture(pw, ph, sw, sh, WallpaperMode::Fit);
                    EXPECT_TRUE(ft.width == sw || ft.height == sh);
                    EXPECT_TRUE(ft.width >= 1 && ft.width <= sw && ft.height >= 1 && ft.height <= sh);
                    ExpectCentredOn(ft, sw, sh);
                }
}

TEST(Placement, APictureOfTheScreensSizeIsPlacedAsItIsInEveryMode) {
    for (int mode : {0, 1, 2, 3, 6, 10, 22}) {
        EXPECT_EQ(PlacePicture(1920, 1080, 1920, 1080, static_cast<WallpaperMode>(mode)),
                  (Placement{0, 0, 1920, 1080, mode == 0}))
            << mode;
    }
}

TEST(Placement, ModesOtherThanTheScaledOnesKeepThePictureAtItsOwnSize) {
    EXPECT_EQ(PlacePicture(4000, 3000, 1920, 1080, WallpaperMode::Stretched), (Placement{0, 0, 1920, 1080}));
    EXPECT_EQ(PlacePicture(400, 300, 1920, 1080, WallpaperMode::Tiled), (Placement{0, 0, 400, 300, true}));
    // Placed at an origin and a mode the program does not know: centred at
    // the picture's own size (a larger picture is cropped on both sides).
    EXPECT_EQ(PlacePicture(400, 300, 1920, 1080, WallpaperMode::AtOrigin), (Placement{760, 390, 400, 300}));
    EXPECT_EQ(PlacePicture(4000, 3000, 1920, 1080, static_cast<WallpaperMode>(7)), (Placement{-1040, -960, 4000, 3000}));
}

TEST(CalendarRectScaling, FollowsEachAxisAndIsExactWhereItCanBe) {
    const CalendarRect quarter{1440, 810, 1920, 1080};
    EXPECT_EQ(ScaleCalendarRect(quarter, 1920, 1080, 1280, 1024), (CalendarRect{960, 768, 1280, 1024}));
    // Odd values round half to even: 3 * 1/2 = 1.5 -> 2, 5 * 1/2 = 2.5 -> 2.
    EXPECT_EQ(ScaleCalendarRect({3, 5, -3, 7}, 4, 4, 2, 2), (CalendarRect{2, 2, -2, 4}));
    // The same size gives the same integers, even out-of-screen ones.
    const CalendarRect odd{-17, 2147483000, 7, -2147483000};
    EXPECT_EQ(ScaleCalendarRect(odd, 1366, 768, 1366, 768), odd);
}

TEST(CalendarRectScaling, ASizeThatIsNoScreenLeavesTheRectangleAsStored) {
    const CalendarRect r{1440, 810, 1920, 1080};
    EXPECT_EQ(ScaleCalendarRect(r, 0, 1080, 1280, 1024), r);
    EXPECT_EQ(ScaleCalendarRect(r, 1920, -5, 1280, 1024), r);
    EXPECT_EQ(ScaleCalendarRect(r, 1920, 1080, 0, 0), r);
}

}  // namespace
}  // namespace orvane
