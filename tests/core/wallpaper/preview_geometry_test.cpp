#include <gtest/gtest.h>

#include "core/wallpaper/preview_geometry.h"

namespace orvane {
namespace {

TEST(PreviewScale, ScreenOverOuterWindowSize) {
    const PreviewScale s = ComputePreviewScale(1024, 768, 512, 384);
    EXPECT_DOUBLE_EQ(s.x, 2.0);
    EXPECT_DOUBLE_EQ(s.y, 2.0);
    const PreviewScale t = ComputePreviewScale(1024, 768, 402, 298);
    EXPECT_DOUBLE_EQ(t.x, 1024.0 / 402.0);
    EXPECT_DOUBLE_EQ(t.y, 768.0 / 298.0);
    // A collapsed window never divides by zero.
    const PreviewScale z = ComputePreviewScale(1024, 768, 0, -5);
    EXPECT_DOUBLE_EQ(z.x, 1024.0);
    EXPECT_DOUBLE_EQ(z.y, 768.0);
}

TEST(PreviewCalendarRect, DefaultRectangleOnAHalfSizeWindow) {
    const PreviewScale s = ComputePreviewScale(1024, 768, 512, 384);
    EXPECT_EQ(CalendarToHandle({768, 576, 1024, 768}, s), (drag::Bounds{384, 288, 128, 96}));
    EXPECT_EQ(HandleToCalendar({384, 288, 128, 96}, s), (CalendarRect{768, 576, 1024, 768}));
}

TEST(PreviewCalendarRect, HalvesRoundToTheEvenNeighbour) {
    const PreviewScale s = ComputePreviewScale(1024, 768, 512, 384);
    // 5 / 2 = 2.5 -> 2; 7 / 2 = 3.5 -> 4; widths (13 - 5) / 2 = 4, (21 - 7) / 2 = 7
    EXPECT_EQ(CalendarToHandle({5, 7, 13, 21}, s), (drag::Bounds{2, 4, 4, 7}));
    // Scale 0.5 the other way: 5 * 0.5 = 2.5 -> 2, 3 * 0.5 = 1.5 -> 2, (5 + 2) * 0.5 = 3.5 -> 4
    const PreviewScale h = ComputePreviewScale(256, 192, 512, 384);
    EXPECT_EQ(HandleToCalendar({5, 3, 2, 6}, h), (CalendarRect{2, 2, 4, 4}));
}

TEST(PreviewCalendarRect, HandEditedExtremesStayAddressable) {
    const PreviewScale s = ComputePreviewScale(1024, 768, 512, 384);
    const drag::Bounds far = CalendarToHandle({INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX}, s);
    EXPECT_EQ(far.left, kMaxWindowCoordinate);
    EXPECT_EQ(far.top, -kMaxWindowCoordinate);
    EXPECT_EQ(far.width, 0);  // upside down: no negative size
    EXPECT_EQ(far.height, kMaxWindowCoordinate);
    // Back to screen pixels without overflow.
    const CalendarRect back = HandleToCalendar(far, s);
    EXPECT_EQ(back.left, 2 * kMaxWindowCoordinate);
    EXPECT_EQ(back.right, 2 * kMaxWindowCoordinate);
}

TEST(PreviewHandlePlacement, GivesThePlacedRectangleBackUntilTheUserMovesTheHandle) {
    // On a 1024 x 768 screen through a 402 x 298 window, the rectangle
    // converted to the handle and back would come out as (700, 504, 1002, 743).
    const PreviewScale s = ComputePreviewScale(1024, 768, 402, 298);
    const CalendarRect stored{701, 503, 1003, 741};
    ASSERT_NE(HandleToCalendar(CalendarToHandle(stored, s), s), stored);
    HandlePlacement placement;
    const drag::Bounds placed = placement.Place(stored, s);
    EXPECT_EQ(placed, CalendarToHandle(stored, s));
    EXPECT_EQ(placement.OnScreen(placed, s), stored);
    placement.UserLeftAt(placed);  // a click that moved nothing
    EXPECT_EQ(placement.OnScreen(placed, s), stored);

    // Moved by the user: the rectangle the handle now shows.
    const drag::Bounds moved{placed.left - 10, placed.top, placed.width, placed.height};
    placement.UserLeftAt(moved);
    EXPECT_EQ(placement.OnScreen(moved, s), HandleToCalendar(moved, s));
    // Placed again, the new stored rectangle is given back exactly.
    placement.Place(stored, ComputePreviewScale(1024, 768, 300, 250));
    EXPECT_EQ(placement.OnScreen({}, s), stored);
}

TEST(PreviewCorners, QuarterOfTheOuterSizeAtEachCorner) {
    EXPECT_EQ(CornerBounds(Corner::TopLeft, 512, 384), (drag::Bounds{0, 0, 128, 96}));
    EXPECT_EQ(CornerBounds(Corner::TopRight, 512, 384), (drag::Bounds{384, 0, 128, 96}));
    EXPECT_EQ(CornerBounds(Corner::BottomLeft, 512, 384), (drag::Bounds{0, 288, 128, 96}));
    EXPECT_EQ(CornerBounds(Corner::BottomRight, 512, 384), (drag::Bounds{384, 288, 128, 96}));
    // "En haut à droite" on a 1024 x 768 screen stores (768, 0, 1024, 192).
    const PreviewScale s = ComputePreviewScale(1024, 768, 512, 384);
    EXPECT_EQ(HandleToCalendar(CornerBounds(Corner::TopRight, 512, 384), s), (CalendarRect{768, 0, 1024, 192}));
    // Lower right with everything a multiple of 4 gives the default rectangle.
    EXPECT_EQ(HandleToCalendar(CornerBounds(Corner::BottomRight, 512, 384), s), (CalendarRect{768, 576, 1024, 768}));
    // The design window: 402 div 4 = 100, times 3 = 300.
    EXPECT_EQ(CornerBounds(Corner::BottomRight, 402, 298), (drag::Bounds{300, 222, 100, 74}));
}

TEST(PreviewSetPos, NarrowedToTheRoomLeftWithThePictureProportions) {
    SetPosInput in;
    in.mainLeft = 300;
    in.mainTop = 120;
    in.mainWidth = 400;
    in.previewWidth = 402;
    in.previewHeight = 298;
    in.screenWidth = 1024;
    in.screenHeight = 768;
    in.pictureWidth = 800;
    in.pictureHeight = 600;
    EXPECT_EQ(ComputeSetPos(in), (WindowPlace{700, 120, 324, 243}));
}

TEST(PreviewSetPos, KeepsItsSizeWhenItFitsWhateverThePicture) {
    SetPosInput in{100, 50, 300, 402, 298, 1024, 768, 100, 1000};
    EXPECT_EQ(ComputeSetPos(in), (WindowPlace{400, 50, 402, 298}));
    in.mainLeft = 322;  // right edge exactly at 1024
    EXPECT_EQ(ComputeSetPos(in), (WindowPlace{622, 50, 402, 298}));
}

TEST(PreviewSetPos, WithoutPictureTheNarrowedWindowIsSquare) {
    SetPosInput in{300, 0, 400, 402, 298, 1024, 768, 0, 0};
    EXPECT_EQ(ComputeSetPos(in), (WindowPlace{700, 0, 324, 324}));
}

TEST(PreviewSetPos, NoRoomKeepsAMinimumSizeOnTheScreen) {
    // Main window reaching past the right edge: the raw width would be -76.
    SetPosInput in{700, 100, 400, 402, 298, 1024, 768, 800, 600};
    const WindowPlace p = ComputeSetPos(in);
    EXPECT_EQ(p.width, kMinPreviewWidth);
    EXPECT_EQ(p.left, 1024 - kMinPreviewWidth);
    EXPECT_EQ(p.height, kMinPreviewHeight);  // 160 / (4/3) = 120
    EXPECT_EQ(p.top, 100);
    // Exactly zero room.
    in.mainLeft = 624;
    EXPECT_EQ(ComputeSetPos(in).width, kMinPreviewWidth);
}

TEST(PreviewSetPos, ExtremeProportionsStayBetweenMinimumAndScreenHeight) {
    // Very wide picture: 324 / 1000 rounds to 0 -> minimum height.
    SetPosInput wide{300, 10, 400, 402, 298, 1024, 768, 100000, 100};
    EXPECT_EQ(ComputeSetPos(wide).height, kMinPreviewHeight);
    // Very tall picture: 324 * 100 would leave the screen -> screen height, top 0.
    SetPosInput tall{300, 200, 400, 402, 298, 1024, 768, 10, 1000};
    const WindowPlace p = ComputeSetPos(tall);
    EXPECT_EQ(p.height, 768);
    EXPECT_EQ(p.top, 0);
}

}  // namespace
}  // namespace orvane
