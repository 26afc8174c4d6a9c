#include <windows.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wallpaper/drag_handle.h"
#include "win32/handles.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

struct Received {
    UINT msg;
    POINT at;
};

// A window that records the mouse messages it receives.
class Recorder : public win::Window {
public:
    Recorder() : win::Window(testing_support::TestUi()) {}
    void CreateTop(int w, int h) {
        CreateWindowOfClass(win::WindowClassSpec{L"DragTestRecorder"}, 0, WS_OVERLAPPEDWINDOW, L"drag test", 100, 100,
                            w, h, nullptr);
    }
    void CreateChild(HWND parent, int x, int y, int w, int h) {
        CreateWindowOfClass(win::WindowClassSpec{L"DragTestRecorder"}, 0, WS_CHILD | WS_VISIBLE, L"", x, y, w, h,
                            parent);
    }
    std::vector<Received> got;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP:
            case WM_MBUTTONDOWN:
            case WM_MBUTTONUP:
                got.push_back({msg, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}});
                return 0;
            default:
                return Default(msg, wp, lp);
        }
    }
};

LPARAM At(int x, int y) { return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y))); }

bool Empty(RECT r) { return ::IsRectEmpty(&r) != FALSE; }

drag::Bounds ChildBounds(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class DragHandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.CreateTop(500, 400);
        // Left hidden: a shown top-level window costs Wine a round trip to X.
        control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 50, 40, 100, 60, parent.hwnd(), nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        handle.Create(parent.hwnd(), 104, 136);
        handle.onDragEnd = [this] { ++dragEnds; };
    }
    void TearDown() override { ::ReleaseCapture(); }

    void Send(UINT msg, WPARAM keys, int x, int y) { ::SendMessageW(handle.hwnd(), msg, keys, At(x, y)); }

    Recorder parent;
    HWND control = nullptr;
    DragHandle handle{testing_support::TestUi()};
    int dragEnds = 0;
};

TEST_F(DragHandleTest, StartsSmallHiddenAndDisabledWithItsColours) {
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{104, 136, 24, 24}));
    EXPECT_FALSE(handle.Visible());
    EXPECT_FALSE(handle.Enabled());
    EXPECT_FALSE(::IsWindowVisible(handle.hwnd()));
    EXPECT_TRUE(::GetWindowLongPtrW(handle.hwnd(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(handle.Color(), RGB(0, 0, 0));
    EXPECT_EQ(handle.SecondaryColor(), 8421504u);
    handle.SetSnapToGrid(true);
    EXPECT_EQ(handle.GridY(), 8);
    EXPECT_EQ(::SendMessageW(handle.hwnd(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
}

TEST_F(DragHandleTest, AttachingAFormIsRefused) {
    try {
        handle.Attach(parent.hwnd());
        FAIL() << "a form was attached";
    } catch (const NotAChildControl& e) {
        EXPECT_STREQ(e.what(), "Handles can not be attached to a Form!");
    }
    EXPECT_EQ(handle.AttachedCount(), 0);
    EXPECT_FALSE(handle.Visible());
}

TEST_F(DragHandleTest, AttachWrapsTheControlWithTwoAndThreePixelMargins) {
    handle.Attach(control);
    EXPECT_EQ(handle.AttachedCount(), 1);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{48, 38, 105, 65}));
    EXPECT_EQ(ChildBounds(handle.hwnd()), (drag::Bounds{48, 38, 105, 65}));
    EXPECT_TRUE(handle.Visible());
    EXPECT_TRUE(handle.Enabled());
    EXPECT_EQ(handle.ParentWindow(), parent.hwnd());
    EXPECT_EQ(::GetCapture(), handle.hwnd());
    // Attaching it again changes nothing.
    handle.Attach(control);
    EXPECT_EQ(handle.AttachedCount(), 1);
    // The first move without a button gives the mouse back.
    Send(WM_MOUSEMOVE, 0, 300, 300);
    EXPECT_NE(::GetCapture(), handle.hwnd());
}

TEST_F(DragHandleTest, GripsArePaintedInColourAtCornersAndEdges) {
    handle.Attach(control);
    handle.SetColor(RGB(255, 0, 0));
    win::MemDc dc(::CreateCompatibleDC(nullptr));
    win::GdiObject bmp(::CreateBitmap(300, 300, 1, 32, nullptr));
    win::SelectGuard sel(dc.get(), bmp.get());
    ::PatBlt(dc.get(), 0, 0, 300, 300, WHITENESS);
    handle.PaintGrips(dc.get(), 0, 0);
    // Control (50, 40, 100, 60) widened by 2: (48, 38) - (152, 102).
    const COLORREF red = RGB(255, 0, 0), white = RGB(255, 255, 255);
    EXPECT_EQ(::GetPixel(dc.get(), 48, 38), red);
    EXPECT_EQ(::GetPixel(dc.get(), 52, 42), red);
    EXPECT_EQ(::GetPixel(dc.get(), 53, 38), white);
    EXPECT_EQ(::GetPixel(dc.get(), 151, 101), red);
    EXPECT_EQ(::GetPixel(dc.get(), 152, 102), white);  // right and bottom edges excluded
    EXPECT_EQ(::GetPixel(dc.get(), 100, 38), red);     // top edge grip at mx = 48 + 52
    EXPECT_EQ(::GetPixel(dc.get(), 48, 70), red);      // left edge grip at my = 38 + 32
    EXPECT_EQ(::GetPixel(dc.get(), 100, 70), white);   // the middle stays clear
}

TEST_F(DragHandleTest, GripsAndTheirHitAreasScaleWithTheDpi) {
    handle.Attach(control);
    EXPECT_EQ(handle.Dpi(), 96);  // the test display's
    EXPECT_EQ(handle.GripSize(), 5);
    Send(WM_MOUSEMOVE, 0, 7, 7);
    EXPECT_EQ(handle.DragMode(), drag::Mode::Move);  // off a 5-pixel grip

    handle.SetDpi(120);
    EXPECT_EQ(handle.GripSize(), 6);
    handle.SetDpi(144);
    EXPECT_EQ(handle.GripSize(), 8);
    Send(WM_MOUSEMOVE, 0, 7, 7);
    EXPECT_EQ(handle.DragMode(), drag::Mode::TopLeft);

    handle.SetColor(RGB(255, 0, 0));
    win::MemDc dc(::CreateCompatibleDC(nullptr));
    win::GdiObject bmp(::CreateBitmap(300, 300, 1, 32, nullptr));
    win::SelectGuard sel(dc.get(), bmp.get());
    ::PatBlt(dc.get(), 0, 0, 300, 300, WHITENESS);
    handle.PaintGrips(dc.get(), 0, 0);
    // Widened control (48, 38) - (152, 102): 8-pixel corners, and the top
    // edge grip from mx - 4 = 96 to 104.
    const COLORREF red = RGB(255, 0, 0), white = RGB(255, 255, 255);
    EXPECT_EQ(::GetPixel(dc.get(), 55, 45), red);
    EXPECT_EQ(::GetPixel(dc.get(), 56, 38), white);
    EXPECT_EQ(::GetPixel(dc.get(), 144, 94), red);
    EXPECT_EQ(::GetPixel(dc.get(), 96, 38), red);
    EXPECT_EQ(::GetPixel(dc.get(), 103, 45), red);
    EXPECT_EQ(::GetPixel(dc.get(), 104, 38), white);
    EXPECT_EQ(::GetPixel(dc.get(), 95, 38), white);

    // A press on the wider grip without a hover before it resizes from that
    // corner: a drag by (-10, -10) moves the control's corner by as much.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 7, 7);
    Send(WM_LBUTTONUP, 0, -3, -3);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{38, 28, 115, 75}));
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{40, 30, 110, 70}));
    EXPECT_EQ(dragEnds, 1);

    // Told by the system that the parent's DPI changed, it asks its window.
    ::SendMessageW(handle.hwnd(), WM_DPICHANGED_AFTERPARENT, 0, 0);
    EXPECT_EQ(handle.Dpi(), 96);
    EXPECT_EQ(handle.GripSize(), 5);
}

TEST_F(DragHandleTest, BoundsChangesCarryTheControl) {
    handle.Attach(control);
    handle.SetLeft(60);
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{62, 40, 100, 60}));
    handle.SetWidth(125);
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{62, 40, 120, 60}));
    handle.SetBounds({10, 20, 50, 30});
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{12, 22, 45, 25}));
    EXPECT_EQ(ChildBounds(handle.hwnd()), (drag::Bounds{10, 20, 50, 30}));
}

TEST_F(DragHandleTest, MouseDragMovesTheControlAndRaisesMouseUpOnce) {
    handle.Attach(control);
    Send(WM_MOUSEMOVE, 0, 50, 30);  // hover in the middle: move mode
    EXPECT_EQ(handle.DragMode(), drag::Mode::Move);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 30);
    EXPECT_TRUE(handle.Dragging());
    Send(WM_MOUSEMOVE, MK_LBUTTON, 70, 45);
    // The outline covers the control's area of the prospective bounds, on the screen.
    POINT origin{0, 0};
    ::ClientToScreen(parent.hwnd(), &origin);
    const RECT fb = handle.FeedbackRect();
    EXPECT_EQ(fb.left - origin.x, 70);
    EXPECT_EQ(fb.top - origin.y, 55);
    EXPECT_EQ(fb.right - fb.left, 100);
    EXPECT_EQ(dragEnds, 0);
    Send(WM_LBUTTONUP, 0, 70, 45);
    EXPECT_FALSE(handle.Dragging());
    EXPECT_EQ(dragEnds, 1);
    EXPECT_TRUE(Empty(handle.FeedbackRect()));
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{68, 53, 105, 65}));
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{70, 55, 100, 60}));  // where the outline was
    EXPECT_NE(::GetCapture(), handle.hwnd());
    // A press and release without moving raises the event and moves nothing.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 40, 40);
    Send(WM_LBUTTONUP, 0, 40, 40);
    EXPECT_EQ(dragEnds, 2);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{68, 53, 105, 65}));
}

TEST_F(DragHandleTest, GripDragResizesAndNeverBelowFive) {
    handle.Attach(control);
    // Bottom-right grip of a 105 x 65 handle (its very last pixel column lies
    // outside the widened control, so the press lands just inside).
    Send(WM_MOUSEMOVE, 0, 102, 62);
    EXPECT_EQ(handle.DragMode(), drag::Mode::BottomRight);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 102, 62);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 122, 72);
    Send(WM_LBUTTONUP, 0, 122, 72);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{48, 38, 125, 75}));
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{50, 40, 120, 70}));
    // Past the opposite corner: 5 x 5.
    Send(WM_MOUSEMOVE, 0, 122, 72);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 122, 72);
    Send(WM_LBUTTONUP, 0, -40, -30);
    EXPECT_EQ(handle.Bounds().width, 5);
    EXPECT_EQ(handle.Bounds().height, 5);
    EXPECT_EQ(dragEnds, 2);
}

TEST_F(DragHandleTest, PressesOutsideTheControlArePassedOnAndStartNoDrag) {
    Recorder sibling;
    sibling.CreateChild(parent.hwnd(), 300, 200, 80, 60);
    handle.Attach(control);
    // Handle-relative (280, 180) is (328, 218) in the parent: inside the sibling.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 280, 180);
    EXPECT_FALSE(handle.Dragging());
    ASSERT_EQ(sibling.got.size(), 1u);
    EXPECT_EQ(sibling.got[0].msg, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(sibling.got[0].at.x, 28);
    EXPECT_EQ(sibling.got[0].at.y, 18);
    // Outside every control: the parent gets it, in its own coordinates.
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 400, 10);
    ASSERT_EQ(parent.got.size(), 1u);
    EXPECT_EQ(parent.got[0].msg, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(parent.got[0].at.x, 448);
    EXPECT_EQ(parent.got[0].at.y, 48);
    // A release without a drag goes the same way and raises nothing.
    Send(WM_LBUTTONUP, 0, 280, 180);
    EXPECT_EQ(sibling.got.size(), 2u);
    EXPECT_EQ(dragEnds, 0);
}

TEST_F(DragHandleTest, ArrowKeysNudgeByOnePixelWithoutMouseUp) {
    int nudges = 0;
    handle.onNudge = [&] { ++nudges; };
    handle.Attach(control);
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{50, 37, 105, 65}));
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{52, 39, 100, 60}));
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, VK_LEFT, 0);
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{49, 38, 105, 65}));
    EXPECT_EQ(dragEnds, 0);
    EXPECT_EQ(nudges, 5);
    ::SendMessageW(handle.hwnd(), WM_KEYDOWN, 'A', 0);  // other keys move nothing
    EXPECT_EQ(nudges, 5);
}

TEST_F(DragHandleTest, LostCaptureCancelsTheDragWithoutMoving) {
    handle.Attach(control);
    Send(WM_MOUSEMOVE, 0, 50, 30);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 30);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 80, 60);
    ::SetCapture(parent.hwnd());
    EXPECT_FALSE(handle.Dragging());
    EXPECT_TRUE(Empty(handle.FeedbackRect()));
    ::ReleaseCapture();
    EXPECT_EQ(handle.Bounds(), (drag::Bounds{48, 38, 105, 65}));
    EXPECT_EQ(dragEnds, 0);
}

TEST_F(DragHandleTest, DetachAllReturnsToTheFirstState) {
    handle.Attach(control);
    handle.SetLocked(true);
    handle.DetachAll();
    EXPECT_EQ(handle.AttachedCount(), 0);
    EXPECT_FALSE(handle.Locked());
    EXPECT_EQ(handle.Bounds().width, 24);
    EXPECT_EQ(handle.Bounds().height, 24);
    EXPECT_FALSE(handle.Visible());
    EXPECT_FALSE(handle.Enabled());
    EXPECT_EQ(handle.ParentWindow(), nullptr);
    // Bounds changes no longer touch the control.
    handle.SetLeft(0);
    EXPECT_EQ(ChildBounds(control), (drag::Bounds{50, 40, 100, 60}));
}

}  // namespace
}  // namespace orvane
