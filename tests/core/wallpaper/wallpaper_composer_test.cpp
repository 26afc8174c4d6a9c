#include "core/wallpaper/wallpaper_composer.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/error.h"
#include "core/picture/resample.h"

namespace orvane {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

// A picture of vertical bands, decoded the way the files service does:
// each side past its limit shrunk to it. Records what it was asked.
struct FakePicture {
    Image32 whole;
    std::vector<std::pair<int, int>> asked;
    int wholeDecodes = 0;

    PictureSource Source() {
        PictureSource s;
        s.width = whole.width;
        s.height = whole.height;
        s.decodeWithin = [this](int mw, int mh) {
            asked.emplace_back(mw, mh);
            return Resample(whole, std::min(mw, whole.width), std::min(mh, whole.height));
        };
        s.decodeWhole = [this] {
            ++wholeDecodes;
            return whole;
        };
        return s;
    }
};

FakePicture Bands(int w, int h, std::initializer_list<std::pair<int, std::uint32_t>> bands) {
    FakePicture p{Image32(w, h), {}, 0};
    int x = 0;
    for (auto [width, colour] : bands) {
        for (int y = 0; y < h; ++y)
            for (int i = x; i < x + width; ++i) p.whole.at(i, y) = colour;
        x += width;
    }
    return p;
}

ScreenComposition Screen(WallpaperMode mode, int w, int h, bool screenSized = false) {
    return ScreenComposition{mode, w, h, screenSized, 0x000000FFu /* red */};
}

bool AllOf(const Image32& img, int x0, int x1, std::uint32_t colour) {
    for (int y = 0; y < img.height; ++y)
        for (int x = x0; x < x1; ++x)
            if (img.at(x, y) != colour) return false;
    return true;
}

TEST(ScreenWallpaper, FillCropsTheOverflowAndDecodesNoMoreThanItShows) {
    // 600 x 100 on 200 x 50: scaled to 300 x 50, 50 cropped on each side.
    FakePicture p = Bands(600, 100, {{100, kRed}, {400, kGreen}, {100, kBlue}});
    const Image32 b = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Fill, 200, 50), nullptr);
    ASSERT_EQ(std::make_pair(b.width, b.height), std::make_pair(200, 50));
    EXPECT_TRUE(AllOf(b, 0, 200, kGreen));
    EXPECT_EQ(p.asked, (std::vector<std::pair<int, int>>{{300, 50}}));
    EXPECT_EQ(p.wholeDecodes, 0);
}

TEST(ScreenWallpaper, FitLeavesBandsOfTheBackgroundColour) {
    FakePicture p = Bands(200, 200, {{200, kGreen}});
    const Image32 b = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Fit, 300, 100), nullptr);
    ASSERT_EQ(b.width, 300);
    EXPECT_TRUE(AllOf(b, 0, 100, kRed) && AllOf(b, 100, 200, kGreen) && AllOf(b, 200, 300, kRed));
    EXPECT_EQ(p.asked, (std::vector<std::pair<int, int>>{{100, 100}}));
}

TEST(ScreenWallpaper, StretchedIsTheDecodeResampledToTheScreen) {
    FakePicture p = Bands(90, 40, {{30, kRed}, {30, kGreen}, {30, kBlue}});
    const Image32 b = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Stretched, 120, 80), nullptr);
    EXPECT_TRUE(b.pixels == Resample(p.whole, 120, 80).pixels);
    EXPECT_EQ(p.asked, (std::vector<std::pair<int, int>>{{90, 40}}));
}

TEST(ScreenWallpaper, OwnSizeModesAreThePictureAloneOrPlacedOnTheWholeScreen) {
    FakePicture p = Bands(20, 10, {{10, kGreen}, {10, kBlue}});
    // One screen: the desktop places the picture itself, whatever the mode.
    for (int mode : {0, 1, 3, 22}) {
        const Image32 own = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode(mode), 100, 50), nullptr);
        EXPECT_TRUE(own.pixels == p.whole.pixels) << mode;
    }
    // One wallpaper per monitor: centred on the background, or tiled from the top-left.
    const Image32 centred = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Centred, 60, 30, true), nullptr);
    EXPECT_TRUE(AllOf(centred, 0, 20, kRed) && AllOf(centred, 40, 60, kRed));
    EXPECT_EQ(centred.at(20, 10), kGreen);
    EXPECT_EQ(centred.at(39, 19), kBlue);
    EXPECT_EQ(centred.at(30, 9), kRed);
    const Image32 tiled = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Tiled, 45, 25, true), nullptr);
    for (int x : {0, 20, 40}) EXPECT_EQ(tiled.at(x, 24), kGreen) << x;
    for (int x : {10, 30}) EXPECT_EQ(tiled.at(x, 0), kBlue) << x;
}

TEST(ScreenWallpaper, TheCalendarIsDrawnOnTheFinishedBitmap) {
    FakePicture p = Bands(50, 50, {{50, kGreen}});
    const Image32 b = ComposeScreenWallpaper(p.Source(), Screen(WallpaperMode::Fit, 100, 50), [](Image32& bitmap) {
        EXPECT_EQ(bitmap.width, 100);
        bitmap.at(0, 0) = kBlue;  // on a band: the calendar comes after them
    });
    EXPECT_EQ(b.at(0, 0), kBlue);
}

TEST(ScreenWallpaper, ExtremePicturesAndBadScreensGiveAnErrorOrAWallpaperNeverACrash) {
    FakePicture line = Bands(1, 4000, {{1, kGreen}});
    const Image32 filled = ComposeScreenWallpaper(line.Source(), Screen(WallpaperMode::Fill, 1920, 1080), nullptr);
    EXPECT_TRUE(AllOf(filled, 0, 1920, kGreen));
    const Image32 fitted = ComposeScreenWallpaper(line.Source(), Screen(WallpaperMode::Fit, 1920, 1080), nullptr);
    EXPECT_EQ(fitted.at(960, 500), kGreen);
    EXPECT_EQ(fitted.at(959, 500), kRed);

    for (auto [w, h] : {std::pair{0, 1080}, std::pair{1920, -1}, std::pair{1 << 20, 1 << 20}})
        EXPECT_THROW(ComposeScreenWallpaper(line.Source(), Screen(WallpaperMode::Fill, w, h), nullptr), Error);
    PictureSource nothing = line.Source();
    nothing.decodeWithin = [](int, int) { return Image32(); };
    nothing.decodeWhole = [] { return Image32(); };
    for (int mode : {1, 2, 6, 10})
        EXPECT_THROW(ComposeScreenWallpaper(nothing, Screen(WallpaperMode(mode), 640, 480), nullptr), Error) << mode;
}

TEST(ScreenWallpaper, FitGrownWhereItWasDecodedIsTheSameBitmap) {
    FakePicture wide = Bands(300, 100, {{100, kGreen}, {200, kBlue}});
    FakePicture tall = Bands(90, 200, {{30, kGreen}, {60, kBlue}});
    for (FakePicture* p : {&wide, &tall}) {
        PictureSource roomy = p->Source();
        int roomyDecodes = 0;
        roomy.decodeWithinRoom = [p, &roomyDecodes](int mw, int mh, std::size_t spare) {
            ++roomyDecodes;
            const Image32 made = Resample(p->whole, std::min(mw, p->whole.width), std::min(mh, p->whole.height));
            Image32 out;
            out.width = made.width, out.height = made.height;
            out.pixels.reserve(made.pixels.size() + spare);
            out.pixels.assign(made.pixels.begin(), made.pixels.end());
            return out;
        };
        for (auto [w, h] : {std::pair{97, 61}, std::pair{64, 130}}) {
            const Image32 grown = ComposeScreenWallpaper(roomy, Screen(WallpaperMode::Fit, w, h), nullptr);
            const Image32 pasted = ComposeScreenWallpaper(p->Source(), Screen(WallpaperMode::Fit, w, h), nullptr);
            EXPECT_TRUE(grown.pixels == pasted.pixels) << p->whole.width << " on " << w << " x " << h;
        }
        EXPECT_EQ(roomyDecodes, 2);
    }
}

TEST(ScreenWallpaper, SeveralScreensShareOneDecodeOfTheLargestTheyNeed) {
    FakePicture p = Bands(800, 400, {{400, kGreen}, {400, kBlue}});
    const PictureSource once = DecodeOnceForScreens(p.Source(), WallpaperMode::Stretched, {{200, 100}, {400, 300}});
    const Image32 small = ComposeScreenWallpaper(once, Screen(WallpaperMode::Stretched, 200, 100), nullptr);
    const Image32 large = ComposeScreenWallpaper(once, Screen(WallpaperMode::Stretched, 400, 300), nullptr);
    EXPECT_EQ(p.asked, (std::vector<std::pair<int, int>>{{400, 300}}));
    EXPECT_EQ(small.width, 200);
    EXPECT_EQ(small.at(99, 50), kGreen);
    EXPECT_EQ(small.at(100, 50), kBlue);
    EXPECT_TRUE(large.pixels == Resample(p.whole, 400, 300).pixels);
    // A screen it was not made for, larger: decoded again rather than enlarged.
    ComposeScreenWallpaper(once, Screen(WallpaperMode::Stretched, 600, 300), nullptr);
    EXPECT_EQ(p.asked.size(), 2u);

    // Two monitors of one size and a smaller one, asked for in any order:
    // each gets the whole picture though the decode is handed out.
    p.asked.clear();
    const PictureSource twins = DecodeOnceForScreens(p.Source(), WallpaperMode::Stretched, {{400, 300}, {200, 100}, {400, 300}});
    for (auto [w, h] : {std::pair{400, 300}, std::pair{400, 300}, std::pair{200, 100}}) {
        const Image32 bitmap = ComposeScreenWallpaper(twins, Screen(WallpaperMode::Stretched, w, h), nullptr);
        EXPECT_TRUE(bitmap.pixels == Resample(Resample(p.whole, 400, 300), w, h).pixels) << w;
    }
    EXPECT_EQ(p.asked.size(), 1u);
}

}  // namespace
}  // namespace orvane
