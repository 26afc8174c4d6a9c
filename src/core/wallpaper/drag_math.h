#pragma once
// The arithmetic of the drag-and-resize handle, free of any window: which
// grip lies under the pointer, where the handle would land for a pointer
// position during a drag, and how the pointer is kept inside the parent.
// All coordinates are integers in pixels; "div" truncates toward zero.
#include <cstdint>

namespace orvane::drag {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Left, top, width, height: the way controls describe their place.
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

// Left, top, right, bottom (right and bottom excluded).
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class Mode : int {
    Move = 0,
    TopLeft = 1,
    TopRight = 2,
    BottomLeft = 3,
    BottomRight = 4,
    Top = 5,
    Left = 6,
    Bottom = 7,
    Right = 8,
};

enum class Cursor {
    Default,
    SizeNWSE,  // diagonal, north-west / south-east
    SizeNESW,  // diagonal, north-east / south-west
    SizeNS,    // vertical
    SizeWE,    // horizontal
};

struct Hit {
    Mode mode = Mode::Move;
    Cursor cursor = Cursor::Default;
    friend bool operator==(const Hit&, const Hit&) = default;
};

// Margins between the handle and the one control it wraps: the handle starts
// 2 pixels before the control and ends 3 pixels after it.
constexpr int kLeadMargin = 2;
constexpr int kTrailMargin = 3;
constexpr int kGripSize = 5;
constexpr int kMinimumSize = 5;

// Grip under (x, y) in the handle's own coordinates, for a handle of client
// size w x h wrapping exactly one control. Later tests override earlier ones.
// `gripSize` is the grips' side: kGripSize at 96 DPI, larger on a scaled
// display so that the grips stay as easy to hit; the pointer is on a corner
// grip within gripSize of the corner, on an edge grip within
// (gripSize + 1) / 2 of the edge's middle.
Hit HitTest(int x, int y, int w, int h, int gripSize = kGripSize);

// Cursor that belongs to a drag mode (the move mode has the default one).
Cursor CursorForMode(Mode mode);

// Keeps the handle's corner inside the parent: x within [-left, parentWidth -
// left], y within [-top, parentHeight - top].
Point ClampToParent(Point p, const Bounds& handle, int parentWidth, int parentHeight);

// The bounds the handle would take for the pointer at p (handle coordinates)
// when the drag started at start, with snapping to the grid and widths and
// heights of at least 5. A grid step below 1 counts as 1.
Bounds ProspectiveBounds(Mode mode, Point p, Point start, const Bounds& handle, int gridX, int gridY);

// The table measures the pointer against the handle's own sides, which lie
// 2 pixels before and 3 after the control's: fed the press point as it is, a
// move by (dx, dy) would land at left + dx - 2 and a grip would jump by its
// margin at the first pixel. The start point shifted by the margin of each
// moving side makes a drag by (dx, dy) move those sides by exactly (dx, dy),
// and on a grid snaps the control's own edge. Used by the handle window.
Point TableStart(Mode mode, Point start);

// Handle bounds for a first attached control, and for a further control when
// others are attached already (the handle grows to cover them all).
Bounds AttachBounds(const Bounds& control);
Bounds CoverBounds(const Bounds& handle, const Bounds& control);

// The control's area of some handle bounds: where the drag outline is drawn.
Rect ControlArea(const Bounds& handle);

// A control's rectangle widened by 2 pixels on every side.
Rect Widened(const Bounds& control);

// The grips painted for one control whose rectangle relative to the handle,
// widened by 2, is r: four corners, and the four edge grips when `withEdges`
// (exactly one control attached). Returns the number written to out (4 or 8).
// Grips are gripSize square; edge grips start gripSize / 2 before the middle.
int GripRects(const Rect& r, bool withEdges, Rect out[8], int gripSize = kGripSize);

// Moves and resizes a control by the change from oldHandle to newHandle.
Bounds FollowHandle(const Bounds& control, const Bounds& oldHandle, const Bounds& newHandle);

}  // namespace orvane::drag
