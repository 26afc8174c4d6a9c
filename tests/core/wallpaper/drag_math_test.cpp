#include <gtest/gtest.h>

#include "core/wallpaper/drag_math.h"

namespace orvane::drag {
namespace {

// A handle at (100, 50), 60 x 40, as it would wrap a 55 x 35 control at (102, 52).
const Bounds kHandle{100, 50, 60, 40};

struct Row {
    Mode mode;
    Point p;
    Bounds expected;
};

TEST(DragProspectiveBounds, EveryModeOnGridOne) {
    const Point start{10, 10};
    const Point p{25, 17};  // dx 15, dy 7
    const Row rows[] = {
        // left = X + left - SX - 2 = 113, top = Y + top - SY - 2 = 55
        {Mode::Move, p, {113, 55, 60, 40}},
        {Mode::TopLeft, p, {113, 55, 60 + 100 - 113, 40 + 50 - 55}},
        // width = X + width - SX - 3 = 72
        {Mode::TopRight, p, {100, 55, 72, 40 + 50 - 55}},
        // height = Y + height - SY - 3 = 44
        {Mode::BottomLeft, p, {113, 50, 60 + 100 - 113, 44}},
        {Mode::BottomRight, p, {100, 50, 72, 44}},
        {Mode::Top, p, {100, 55, 60, 35}},
        {Mode::Left, p, {113, 50, 47, 40}},
        {Mode::Bottom, p, {100, 50, 60, 44}},
        {Mode::Right, p, {100, 50, 72, 40}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.mode));
        EXPECT_EQ(ProspectiveBounds(r.mode, r.p, start, kHandle, 1, 1), r.expected);
    }
}

TEST(DragProspectiveBounds, EveryModeOnGridEight) {
    const Point start{3, 4};
    const Point p{30, 21};
    // snapX(X + left - SX) = 8 * (127 div 8) = 120; snapY(Y + top - SY) = 8 * (67 div 8) = 64
    // snapX(X + width - SX) = 8 * (87 div 8) = 80; snapY(Y + height - SY) = 8 * (57 div 8) = 56
    const Row rows[] = {
        {Mode::Move, p, {118, 62, 60, 40}},
        {Mode::TopLeft, p, {118, 62, 42, 28}},
        {Mode::TopRight, p, {100, 62, 77, 28}},
        {Mode::BottomLeft, p, {118, 50, 42, 53}},
        {Mode::BottomRight, p, {100, 50, 77, 53}},
        {Mode::Top, p, {100, 62, 60, 28}},
        {Mode::Left, p, {118, 50, 42, 40}},
        {Mode::Bottom, p, {100, 50, 60, 53}},
        {Mode::Right, p, {100, 50, 77, 40}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.mode));
        EXPECT_EQ(ProspectiveBounds(r.mode, r.p, start, kHandle, 8, 8), r.expected);
    }
}

TEST(DragProspectiveBounds, SnappingTruncatesTowardZeroForNegativeValues) {
    // X + left - SX = -13: 8 * (-13 div 8) = -8, not -16.
    const Bounds b{0, 0, 40, 40};
    EXPECT_EQ(ProspectiveBounds(Mode::Move, {-3, -3}, {10, 10}, b, 8, 8), (Bounds{-10, -10, 40, 40}));
}

TEST(DragProspectiveBounds, GripDraggedPastTheOppositeSideStopsAtFive) {
    const Point start{0, 0};
    EXPECT_EQ(ProspectiveBounds(Mode::BottomRight, {-200, -200}, start, kHandle, 1, 1).width, 5);
    EXPECT_EQ(ProspectiveBounds(Mode::BottomRight, {-200, -200}, start, kHandle, 1, 1).height, 5);
    EXPECT_EQ(ProspectiveBounds(Mode::TopLeft, {300, 300}, start, kHandle, 1, 1).width, 5);
    EXPECT_EQ(ProspectiveBounds(Mode::TopLeft, {300, 300}, start, kHandle, 1, 1).height, 5);
    EXPECT_EQ(ProspectiveBounds(Mode::Right, {-58, 0}, start, kHandle, 1, 1).width, 5);  // 60 - 58 - 3 = -1
    EXPECT_EQ(ProspectiveBounds(Mode::Bottom, {0, -32}, start, kHandle, 1, 1).height, 5);  // exactly 5
    EXPECT_EQ(ProspectiveBounds(Mode::Bottom, {0, -31}, start, kHandle, 1, 1).height, 6);
}

TEST(DragProspectiveBounds, MoveOnGridOneLandsWhereTheOutlineWasDrawn) {
    // A move by (dx, dy) gives left + dx - 2 and top + dy - 2, and the outline
    // covers the control's area of exactly those bounds.
    const Bounds n = ProspectiveBounds(Mode::Move, {40, 30}, {20, 20}, kHandle, 1, 1);
    EXPECT_EQ(n, (Bounds{118, 58, 60, 40}));
    EXPECT_EQ(ControlArea(n), (Rect{120, 60, 175, 95}));
}

TEST(DragTableStart, ADragByDxDyMovesTheGrabbedSidesByExactlyThat) {
    const Point start{30, 20};
    const Point p{37, 16};  // dx 7, dy -4
    const auto at = [&](Mode m) { return ProspectiveBounds(m, p, TableStart(m, start), kHandle, 1, 1); };
    EXPECT_EQ(at(Mode::Move), (Bounds{107, 46, 60, 40}));
    EXPECT_EQ(at(Mode::TopLeft), (Bounds{107, 46, 53, 44}));
    EXPECT_EQ(at(Mode::TopRight), (Bounds{100, 46, 67, 44}));
    EXPECT_EQ(at(Mode::BottomLeft), (Bounds{107, 50, 53, 36}));
    EXPECT_EQ(at(Mode::BottomRight), (Bounds{100, 50, 67, 36}));
    EXPECT_EQ(at(Mode::Top), (Bounds{100, 46, 60, 44}));
    EXPECT_EQ(at(Mode::Left), (Bounds{107, 50, 53, 40}));
    EXPECT_EQ(at(Mode::Bottom), (Bounds{100, 50, 60, 36}));
    EXPECT_EQ(at(Mode::Right), (Bounds{100, 50, 67, 40}));
    // No movement: nothing changes in any mode.
    for (int m = 0; m <= 8; ++m) {
        const Mode mode = static_cast<Mode>(m);
        EXPECT_EQ(ProspectiveBounds(mode, start, TableStart(mode, start), kHandle, 1, 1), kHandle) << m;
    }
}

TEST(DragTableStart, OnAGridTheControlsEdgeSnaps) {
    // Control left = handle left + 2 = 102; moved by 9 -> 111 -> snapped 104.
    const Point start{30, 20};
    const Bounds n = ProspectiveBounds(Mode::Move, {39, 20}, TableStart(Mode::Move, start), kHandle, 8, 8);
    EXPECT_EQ(n.left + kLeadMargin, 104);
    EXPECT_EQ((n.left + kLeadMargin) % 8, 0);
}

TEST(DragClamp, PointKeepsTheHandleCornerInsideTheParent) {
    const Bounds h{100, 50, 60, 40};
    EXPECT_EQ(ClampToParent({-150, -80}, h, 400, 300), (Point{-100, -50}));
    EXPECT_EQ(ClampToParent({500, 400}, h, 400, 300), (Point{300, 250}));
    EXPECT_EQ(ClampToParent({20, 30}, h, 400, 300), (Point{20, 30}));
    EXPECT_EQ(ClampToParent({300, 250}, h, 400, 300), (Point{300, 250}));  // bounds included
}

TEST(DragHitTest, CornersEdgesAndTheirCursors) {
    const int w = 100, h = 60;
    EXPECT_EQ(HitTest(2, 3, w, h), (Hit{Mode::TopLeft, Cursor::SizeNWSE}));
    EXPECT_EQ(HitTest(98, 58, w, h), (Hit{Mode::BottomRight, Cursor::SizeNWSE}));
    EXPECT_EQ(HitTest(97, 1, w, h), (Hit{Mode::TopRight, Cursor::SizeNESW}));
    EXPECT_EQ(HitTest(0, 56, w, h), (Hit{Mode::BottomLeft, Cursor::SizeNESW}));
    EXPECT_EQ(HitTest(50, 2, w, h), (Hit{Mode::Top, Cursor::SizeNS}));
    EXPECT_EQ(HitTest(52, 59, w, h), (Hit{Mode::Bottom, Cursor::SizeNS}));
    EXPECT_EQ(HitTest(1, 30, w, h), (Hit{Mode::Left, Cursor::SizeWE}));
    EXPECT_EQ(HitTest(99, 32, w, h), (Hit{Mode::Right, Cursor::SizeWE}));
    EXPECT_EQ(HitTest(50, 30, w, h), (Hit{Mode::Move, Cursor::Default}));
    EXPECT_EQ(HitTest(5, 0, w, h), (Hit{Mode::Move, Cursor::Default}));  // |X| < 5 is strict
}

TEST(DragHitTest, EdgeWindowsAroundHalfWidthAreStrict) {
    // W = 101: W/2 = 50.5, so X from 48 to 53 is on the top edge, 47 and 54 are not.
    EXPECT_EQ(HitTest(48, 0, 101, 60).mode, Mode::Top);
    EXPECT_EQ(HitTest(53, 0, 101, 60).mode, Mode::Top);
    EXPECT_EQ(HitTest(47, 0, 101, 60).mode, Mode::Move);
    EXPECT_EQ(HitTest(54, 0, 101, 60).mode, Mode::Move);
    // W = 100: X from 48 to 52.
    EXPECT_EQ(HitTest(48, 0, 100, 60).mode, Mode::Top);
    EXPECT_EQ(HitTest(52, 0, 100, 60).mode, Mode::Top);
    EXPECT_EQ(HitTest(53, 0, 100, 60).mode, Mode::Move);
}

TEST(DragHitTest, LargerGripsAtHigherDpiWidenEveryHitArea) {
    // Grips of 8 (5 at 144 DPI): corners within 8, edge middles within 4.5.
    const int w = 100, h = 60, g = 8;
    EXPECT_EQ(HitTest(7, 7, w, h, g), (Hit{Mode::TopLeft, Cursor::SizeNWSE}));
    EXPECT_EQ(HitTest(8, 0, w, h, g).mode, Mode::Move);
    EXPECT_EQ(HitTest(93, 53, w, h, g).mode, Mode::BottomRight);
    EXPECT_EQ(HitTest(93, 7, w, h, g).mode, Mode::TopRight);
    EXPECT_EQ(HitTest(7, 53, w, h, g).mode, Mode::BottomLeft);
    EXPECT_EQ(HitTest(46, 7, w, h, g), (Hit{Mode::Top, Cursor::SizeNS}));
    EXPECT_EQ(HitTest(54, 0, w, h, g).mode, Mode::Top);
    EXPECT_EQ(HitTest(55, 0, w, h, g).mode, Mode::Move);
    EXPECT_EQ(HitTest(50, 53, w, h, g).mode, Mode::Bottom);
    EXPECT_EQ(HitTest(7, 26, w, h, g), (Hit{Mode::Left, Cursor::SizeWE}));
    EXPECT_EQ(HitTest(93, 34, w, h, g).mode, Mode::Right);
    EXPECT_EQ(HitTest(93, 35, w, h, g).mode, Mode::Move);
    // The same points with the grips of 96 DPI mostly miss.
    EXPECT_EQ(HitTest(7, 7, w, h).mode, Mode::Move);
    EXPECT_EQ(HitTest(46, 7, w, h).mode, Mode::Move);
    EXPECT_EQ(HitTest(54, 0, w, h).mode, Mode::Move);
}

TEST(DragAttach, FirstControlAndCoveringFurtherOnes) {
    EXPECT_EQ(AttachBounds({232, 184, 145, 73}), (Bounds{230, 182, 150, 78}));
    // A second control to the left and below: the handle grows with the same margins.
    const Bounds h = AttachBounds({232, 184, 145, 73});
    EXPECT_EQ(CoverBounds(h, {10, 300, 20, 20}), (Bounds{8, 182, 372, 141}));
    // A control inside changes nothing.
    EXPECT_EQ(CoverBounds(h, {240, 190, 10, 10}), h);
}

TEST(DragGrips, CornerAndEdgeSquaresOfOneControl) {
    // Control at (2, 2) 55 x 35 in a 60 x 40 handle: widened (0, 0, 59, 39).
    const Rect r = Widened({2, 2, 55, 35});
    EXPECT_EQ(r, (Rect{0, 0, 59, 39}));
    Rect g[8];
    ASSERT_EQ(GripRects(r, true, g), 8);
    EXPECT_EQ(g[0], (Rect{0, 0, 5, 5}));
    EXPECT_EQ(g[1], (Rect{54, 0, 59, 5}));
    EXPECT_EQ(g[2], (Rect{54, 34, 59, 39}));
    EXPECT_EQ(g[3], (Rect{0, 34, 5, 39}));
    // mx = 0 + 59 div 2 = 29, my = 0 + 39 div 2 = 19
    EXPECT_EQ(g[4], (Rect{27, 0, 32, 5}));
    EXPECT_EQ(g[5], (Rect{27, 34, 32, 39}));
    EXPECT_EQ(g[6], (Rect{0, 17, 5, 22}));
    EXPECT_EQ(g[7], (Rect{54, 17, 59, 22}));
    EXPECT_EQ(GripRects(r, false, g), 4);
}

TEST(DragGrips, LargerGripsKeepTheirPlaceAtCornersAndMiddles) {
    const Rect r = Widened({2, 2, 55, 35});  // (0, 0, 59, 39), mx 29, my 19
    Rect g[8];
    ASSERT_EQ(GripRects(r, true, g, 8), 8);
    EXPECT_EQ(g[0], (Rect{0, 0, 8, 8}));
    EXPECT_EQ(g[1], (Rect{51, 0, 59, 8}));
    EXPECT_EQ(g[2], (Rect{51, 31, 59, 39}));
    EXPECT_EQ(g[3], (Rect{0, 31, 8, 39}));
    EXPECT_EQ(g[4], (Rect{25, 0, 33, 8}));
    EXPECT_EQ(g[5], (Rect{25, 31, 33, 39}));
    EXPECT_EQ(g[6], (Rect{0, 15, 8, 23}));
    EXPECT_EQ(g[7], (Rect{51, 15, 59, 23}));
}

}  // namespace
}  // namespace orvane::drag
