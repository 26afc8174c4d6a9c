#include "core/wallpaper/drag_math.h"

#include <algorithm>
#include <cstdlib>

namespace orvane::drag {

namespace {

int Snap(int v, int grid) {
    if (grid < 1) grid = 1;
    return grid * (v / grid);  // truncation toward zero, as the grid rule says
}

}  // namespace

Hit HitTest(int x, int y, int w, int h, int gripSize) {
    Hit hit;
    const int g = gripSize;
    const auto near = [](int a, int b, int limit) { return std::abs(a - b) < limit; };
    if (near(x, 0, g) && near(y, 0, g)) hit = {Mode::TopLeft, Cursor::SizeNWSE};
    if (near(x, w, g) && near(y, h, g)) hit = {Mode::BottomRight, Cursor::SizeNWSE};
    if (near(x, w, g) && near(y, 0, g)) hit = {Mode::TopRight, Cursor::SizeNESW};
    if (near(x, 0, g) && near(y, h, g)) hit = {Mode::BottomLeft, Cursor::SizeNESW};
    // |X - W/2| < (g + 1) / 2 with W/2 a real number: doubled to stay in
    // integers (|2X - W| < 6 for grips of 5).
    if (std::abs(2 * x - w) < g + 1 && near(y, 0, g)) hit = {Mode::Top, Cursor::SizeNS};
    if (std::abs(2 * x - w) < g + 1 && near(y, h, g)) hit = {Mode::Bottom, Cursor::SizeNS};
    if (std::abs(2 * y - h) < g + 1 && near(x, 0, g)) hit = {Mode::Left, Cursor::SizeWE};
    if (std::abs(2 * y - h) < g + 1 && near(x, w, g)) hit = {Mode::Right, Cursor::SizeWE};
    return hit;
}

Cursor CursorForMode(Mode mode) {
    switch (mode) {
        case Mode::TopLeft:
        case Mode::BottomRight:
            return Cursor::SizeNWSE;
        case Mode::TopRight:
        case Mode::BottomLeft:
            return Cursor::SizeNESW;
        case Mode::Top:
        case Mode::Bottom:
            return Cursor::SizeNS;
        case Mode::Left:
        case Mode::Right:
            return Cursor::SizeWE;
        case Mode::Move:
            break;
    }
    return Cursor::Default;
}

Point ClampToParent(Point p, const Bounds& handle, int parentWidth, int parentHeight) {
    // Lower bound first, then upper: a parent narrower than nothing still
    // yields a defined point.
    p.x = std::min(std::max(p.x, -handle.left), parentWidth - handle.left);
    p.y = std::min(std::max(p.y, -handle.top), parentHeight - handle.top);
    return p;
}

Bounds ProspectiveBounds(Mode mode, Point p, Point start, const Bounds& b, int gridX, int gridY) {
    Bounds n = b;
    const auto newLeft = [&] { return Snap(p.x + b.left - start.x, gridX) - kLeadMargin; };
    const auto newTop = [&] { return Snap(p.y + b.top - start.y, gridY) - kLeadMargin; };
    const auto newWidth = [&] { return Snap(p.x + b.width - start.x, gridX) - kTrailMargin; };
    const auto newHeight = [&] { return Snap(p.y + b.height - start.y, gridY) - kTrailMargin; };
    switch (mode) {
        case Mode::Move:
            n.left = newLeft();
            n.top = newTop();
            break;
        case Mode::TopLeft:
            n.left = newLeft();
            n.top = newTop();
            n.width = b.width + b.left - n.left;
            n.height = b.height + b.top - n.top;
            break;
        case Mode::TopRight:
            n.top = newTop();
            n.width = newWidth();
            n.height = b.height + b.top - n.top;
            break;
        case Mode::BottomLeft:
            n.left = newLeft();
            n.width = b.width + b.left - n.left;
            n.height = newHeight();
            break;
        case Mode::BottomRight:
            n.width = newWidth();
            n.height = newHeight();
            break;
        case Mode::Top:
            n.top = newTop();
            n.height = b.height + b.top - n.top;
            break;
        case Mode::Left:
            n.left = newLeft();
            n.width = b.width + b.left - n.left;
            break;
        case Mode::Bottom:
            n.height = newHeight();
            break;
        case Mode::Right:
            n.width = newWidth();
            break;
    }
    n.width = std::max(n.width, kMinimumSize);
    n.height = std::max(n.height, kMinimumSize);
    return n;
}

Point TableStart(Mode mode, Point start) {
    switch (mode) {
        case Mode::Move:
        case Mode::TopLeft:
            return {start.x - kLeadMargin, start.y - kLeadMargin};
        case Mode::TopRight:
            return {start.x - kTrailMargin, start.y - kLeadMargin};
        case Mode::BottomLeft:
            return {start.x - kLeadMargin, start.y - kTrailMargin};
        case Mode::BottomRight:
            return {start.x - kTrailMargin, start.y - kTrailMargin};
        case Mode::Top:
            return {start.x, start.y - kLeadMargin};
        case Mode::Left:
            return {start.x - kLeadMargin, start.y};
        case Mode::Bottom:
            return {start.x, start.y - kTrailMargin};
        case Mode::Right:
            return {start.x - kTrailMargin, start.y};
    }
    return start;
}

Bounds AttachBounds(const Bounds& c) {
    return {c.left - kLeadMargin, c.top - kLeadMargin, c.width + kLeadMargin + kTrailMargin,
            c.height + kLeadMargin + kTrailMargin};
}

Bounds CoverBounds(const Bounds& h, const Bounds& c) {
    const Bounds a = AttachBounds(c);
    const int left = std::min(h.left, a.left);
    const int top = std::min(h.top, a.top);
    const int right = std::max(h.right(), a.right());
    const int bottom = std::max(h.bottom(), a.bottom());
    return {left, top, right - left, bottom - top};
}

Rect ControlArea(const Bounds& h) {
    return {h.left + kLeadMargin, h.top + kLeadMargin, h.left + h.width - kTrailMargin,
            h.top + h.height - kTrailMargin};
}

Rect Widened(const Bounds& c) { return {c.left - 2, c.top - 2, c.right() + 2, c.bottom() + 2}; }

int GripRects(const Rect& r, bool withEdges, Rect out[8], int gripSize) {
    const int g = gripSize;
    out[0] = {r.left, r.top, r.left + g, r.top + g};
    out[1] = {r.right - g, r.top, r.right, r.top + g};
    out[2] = {r.right - g, r.bottom - g, r.right, r.bottom};
    out[3] = {r.left, r.bottom - g, r.left + g, r.bottom};
    if (!withEdges) return 4;
    const int mx = r.left + (r.right - r.left) / 2;
    const int my = r.top + (r.bottom - r.top) / 2;
    const int before = g / 2;  // 2 before and 3 from the middle on, for grips of 5
    out[4] = {mx - before, r.top, mx - before + g, r.top + g};
    out[5] = {mx - before, r.bottom - g, mx - before + g, r.bottom};
    out[6] = {r.left, my - before, r.left + g, my - before + g};
    out[7] = {r.right - g, my - before, r.right, my - before + g};
    return 8;
}

Bounds FollowHandle(const Bounds& c, const Bounds& o, const Bounds& n) {
    return {c.left + (n.left - o.left), c.top + (n.top - o.top), c.width + (n.width - o.width),
            c.height + (n.height - o.height)};
}

}  // namespace orvane::drag
