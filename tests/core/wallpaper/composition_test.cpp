#include "core/wallpaper/composition.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/picture/image_canvas.h"
#include "core/recording_canvas.h"

namespace orvane {
namespace {

using testing::Call;
using testing::CalendarDefaults;
using testing::FrenchNames;
using testing::RecordingCanvas;

WallpaperSettings WithRect(int mode, int l, int t, int r, int b) {
    WallpaperSettings s = CalendarDefaults();
    s.WallPaperMode = mode;
    s.CalL = l;
    s.CalT = t;
    s.CalR = r;
    s.CalB = b;
    return s;
}

// ---- mapping of the stored rectangle -------------------------------------------

TEST(CalendarOnWallpaper, PictureSizeModesScaleAllFourByTheHorizontalFactor) {
    for (int mode : {0, 1}) {
        // 800 wide picture, 1024 wide screen (768 high): the defaults map to
        // 600, 450, 800, 600; the vertical ones use 800/1024 as well.
        WallpaperSettings s = WithRect(mode, 768, 576, 1024, 768);
        EXPECT_EQ(CalendarRectOnWallpaper(s, 800, 1024), (CalendarRect{600, 450, 800, 600}));
        // The settings keep screen pixels.
        EXPECT_EQ(s.CalL, 768);
        EXPECT_EQ(s.CalT, 576);
    }
}

TEST(CalendarOnWallpaper, HalvesRoundToTheEvenNeighbour) {
    // 3 / 2 = 1.5 -> 2; 3 * 3 / 2 = 4.5 -> 4; -1.5 -> -2; 5 * 3 / 2 = 7.5 -> 8.
    WallpaperSettings s = WithRect(0, 1, 3, 5, -1);
    s.CalT = 3;
    s.CalB = 5;
    s.CalL = 1;
    s.CalR = -1;
    EXPECT_EQ(CalendarRectOnWallpaper(s, 3, 2), (CalendarRect{2, 4, -2, 8}));
}

TEST(CalendarOnWallpaper, TopBelowBottomIsExchangedInTheSettingsLeftRightNever) {
    WallpaperSettings s = WithRect(2, 900, 700, 100, 300);
    const CalendarRect r = CalendarRectOnWallpaper(s, 1024, 1024);
    EXPECT_EQ((CalendarRect{s.CalL, s.CalT, s.CalR, s.CalB}), (CalendarRect{900, 300, 100, 700}));
    EXPECT_EQ(r, (CalendarRect{900, 300, 100, 700}));

    // Drawn with the exchanged pair: the title sits at the smaller value.
    WallpaperSettings d = WithRect(2, 0, 400, 700, 0);
    RecordingCanvas canvas;
    DrawCalendarOnWallpaper(canvas, 1024, d, 1024, {2026, 12, 8}, FrenchNames());
    EXPECT_EQ(d.CalT, 0);
    EXPECT_EQ(d.CalB, 400);
    EXPECT_EQ(canvas.Of(Call::Text)[0].y, 0);
    EXPECT_EQ(canvas.Of(Call::Text)[0].height, 56);
}

TEST(CalendarOnWallpaper, HandEditedExtremesSaturateInsteadOfWrapping) {
    WallpaperSettings s = WithRect(0, INT_MIN, 0, INT_MAX, 10);
    const CalendarRect r = CalendarRectOnWallpaper(s, 3000, 1000);
    EXPECT_EQ(r.right, INT_MAX);
    EXPECT_EQ(r.left, INT_MIN);
    // A screen of no width leaves the rectangle alone instead of dividing by 0.
    WallpaperSettings z = WithRect(0, 10, 20, 30, 40);
    const CalendarRect rz = CalendarRectOnWallpaper(z, 800, 0);
    EXPECT_EQ(rz.left, 10);
    EXPECT_EQ(rz.bottom, 40);
}

TEST(CalendarOnWallpaper, DrawsAtTheMappedRectangleWithRefDay) {
    WallpaperSettings s = WithRect(1, 768, 576, 1024, 768);
    s.RefDay = 2;
    RecordingCanvas canvas;
    DrawCalendarOnWallpaper(canvas, 800, s, 1024, {2026, 12, 8}, FrenchNames());
    // Mapped to (600, 450)-(800, 600): 200 x 150, CW 28, title height 20.
    const auto texts = canvas.Of(Call::Text);
    EXPECT_EQ(texts[0].y, 450);
    EXPECT_EQ(texts[0].height, 150 / 7 - 1);
    EXPECT_EQ(texts[1].text, "lun.");
    EXPECT_EQ(texts[1].x, 600);
    EXPECT_EQ(canvas.Segments()[0].x1, 600);
    EXPECT_EQ(canvas.Segments()[7].x1, 600 + 7 * 28);
}

// ---- the preview's overlay over the picture ---------------------------------------

TEST(OverlayPixel, CalendarCoversWhiteLetsThePictureThroughEdgesBlend) {
    const std::uint32_t picture = 0xFF2060A0u;
    // Opaque: drawn alike on both backgrounds, the calendar's own colour.
    EXPECT_EQ(CompositeOverlayPixel(0xFF00FFFFu, 0xFF00FFFFu, picture), 0xFF00FFFFu);
    EXPECT_EQ(CompositeOverlayPixel(0x00000000u, 0xFF000000u, picture), 0xFF000000u);  // alpha bytes ignored
    // Transparent: the background itself, white on white and black on black.
    EXPECT_EQ(CompositeOverlayPixel(0xFFFFFFFFu, 0xFF000000u, picture), picture);
    EXPECT_EQ(CompositeOverlayPixel(0xFFFFFFFFu, 0xFFFFFFFFu, picture), picture);
    // A black letter's smoothed edge, half covering: half the picture shows
    // through, darkened, not a pale fringe.
    EXPECT_EQ(CompositeOverlayPixel(0xFF808080u, 0xFF000000u, picture), 0xFF103050u);
    // A coloured edge: the letter's part plus the share of the picture.
    EXPECT_EQ(CompositeOverlayPixel(0xFFFF8080u, 0xFF800000u, 0xFFFFFFFFu), 0xFFFF8080u);
}

// ---- the exact image canvas --------------------------------------------------------

TEST(ImageCanvasDrawing, FillsLikeGdiIncludingSwappedCornersAndClipping) {
    Image32 img(10, 10, 0xFF000000u);
    ImageCanvas canvas(img);
    canvas.SetBrushColour(0x0000FF);
    canvas.Fill(2, 2, 4, 3);
    EXPECT_EQ(img.at(2, 2), 0xFFFF0000u);
    EXPECT_EQ(img.at(3, 2), 0xFFFF0000u);
    EXPECT_EQ(img.at(4, 2), 0xFF000000u);
    EXPECT_EQ(img.at(2, 3), 0xFF000000u);

    // Swapped corners: from the first corner backwards, 7 and 6 (not 5).
    canvas.SetBrushColour(0x00FF00);
    canvas.Fill(7, 7, 5, 8);
    EXPECT_EQ(img.at(7, 7), 0xFF00FF00u);
    EXPECT_EQ(img.at(6, 7), 0xFF00FF00u);
    EXPECT_EQ(img.at(5, 7), 0xFF000000u);

    // Far outside or across the edges: clipped, no wrap.
    canvas.Fill(INT_MIN, INT_MIN, INT_MAX, 1);
    EXPECT_EQ(img.at(9, 0), 0xFF00FF00u);
    EXPECT_EQ(img.at(9, 1), 0xFF000000u);
    canvas.Fill(INT_MAX, INT_MAX, INT_MIN, INT_MIN);  // the whole picture, backwards
    EXPECT_EQ(img.at(9, 9), 0xFF00FF00u);
}

TEST(ImageCanvasDrawing, LinesLeaveOutTheirEndAndClipWithoutWalkingTheVoid) {
    Image32 img(8, 8, 0xFFFFFFFFu);
    ImageCanvas canvas(img, 0x0000FF);
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 1);
    EXPECT_EQ(img.at(1, 1), 0xFFFF0000u);
    EXPECT_EQ(img.at(4, 1), 0xFFFF0000u);
    EXPECT_EQ(img.at(5, 1), 0xFFFFFFFFu);
    canvas.LineTo(5, 4);  // continues from the end point
    EXPECT_EQ(img.at(5, 1), 0xFFFF0000u);
    EXPECT_EQ(img.at(5, 3), 0xFFFF0000u);
    EXPECT_EQ(img.at(5, 4), 0xFFFFFFFFu);

    // A diagonal: one pixel per step of the longer axis.
    Image32 d(8, 8, 0xFFFFFFFFu);
    ImageCanvas dc(d);
    dc.MoveTo(0, 0);
    dc.LineTo(6, 3);
    int drawn = 0;
    for (std::uint32_t p : d.pixels) drawn += p == 0xFF000000u;
    EXPECT_EQ(drawn, 6);
    EXPECT_EQ(d.at(0, 0), 0xFF000000u);
    EXPECT_EQ(d.at(6, 3), 0xFFFFFFFFu);

    // From one end of the 32-bit plane to the other: only the crossing row.
    Image32 far(8, 8, 0xFFFFFFFFu);
    ImageCanvas fc(far);
    fc.MoveTo(INT_MIN, 2);
    fc.LineTo(INT_MAX, 2);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(far.at(x, 2), 0xFF000000u);
    fc.MoveTo(INT_MIN, INT_MIN);
    fc.LineTo(INT_MAX, INT_MAX);  // the main diagonal, through the picture
    EXPECT_EQ(far.at(5, 5), 0xFF000000u);
}

TEST(ImageCanvasDrawing, TextIsMeasuredGrowingWithHeightButNotDrawn) {
    EXPECT_FALSE(ImageCanvas::DrawsText());
    Image32 img(40, 40, 0xFFFFFFFFu);
    ImageCanvas canvas(img);
    canvas.SetFontHeight(20);
    const int w20 = canvas.TextWidth("déc.");
    canvas.SetFontHeight(40);
    EXPECT_GT(canvas.TextWidth("déc."), w20);
    EXPECT_EQ(w20, 40);  // four characters, not five bytes
    canvas.SetFontBold(true);
    EXPECT_GT(canvas.TextWidth("déc."), 80);
    canvas.SetFontHeight(0);
    EXPECT_GT(canvas.TextHeight("x"), 0);
    canvas.SetFontHeight(INT_MIN);
    EXPECT_GT(canvas.TextHeight("x"), 0);
    canvas.PutText(0, 0, "déc.");
    for (std::uint32_t p : img.pixels) ASSERT_EQ(p, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace orvane
