#include "core/wallpaper/preview_geometry.h"

#include <algorithm>

#include "core/rounding.h"

namespace orvane {

namespace {

int ClampCoordinate(std::int32_t v) { return std::clamp<std::int32_t>(v, -kMaxWindowCoordinate, kMaxWindowCoordinate); }
int ClampSize(std::int32_t v) { return std::clamp<std::int32_t>(v, 0, kMaxWindowCoordinate); }

}  // namespace

PreviewScale ComputePreviewScale(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    PreviewScale s;
    s.x = static_cast<double>(screenWidth) / static_cast<double>(std::max(windowWidth, 1));
    s.y = static_cast<double>(screenHeight) / static_cast<double>(std::max(windowHeight, 1));
    return s;
}

drag::Bounds CalendarToHandle(const CalendarRect& cal, PreviewScale scale) {
    // Differences in 64 bits: a hand-edited pair of extreme values must not wrap.
    const double w = static_cast<double>(static_cast<std::int64_t>(cal.right) - cal.left);
    const double h = static_cast<double>(static_cast<std::int64_t>(cal.bottom) - cal.top);
    drag::Bounds b;
    b.left = ClampCoordinate(RoundHalfEven(cal.left / scale.x));
    b.width = ClampSize(RoundHalfEven(w / scale.x));
    b.top = ClampCoordinate(RoundHalfEven(cal.top / scale.y));
    b.height = ClampSize(RoundHalfEven(h / scale.y));
    return b;
}

CalendarRect HandleToCalendar(const drag::Bounds& handle, PreviewScale scale) {
    CalendarRect c;
    c.left = RoundHalfEven(handle.left * scale.x);
    c.top = RoundHalfEven(handle.top * scale.y);
    c.right = RoundHalfEven((static_cast<double>(handle.left) + handle.width) * scale.x);
    c.bottom = RoundHalfEven((static_cast<double>(handle.top) + handle.height) * scale.y);
    return c;
}

drag::Bounds HandlePlacement::Place(const CalendarRect& stored, PreviewScale scale) {
    placed_ = true;
    movedByUser_ = false;
    placedRect_ = stored;
    placedBounds_ = CalendarToHandle(stored, scale);
    return placedBounds_;
}

void HandlePlacement::UserLeftAt(const drag::Bounds& handle) {
    if (!(handle == placedBounds_)) movedByUser_ = true;
}

CalendarRect HandlePlacement::OnScreen(const drag::Bounds& handle, PreviewScale scale) const {
    return placed_ && !movedByUser_ ? placedRect_ : HandleToCalendar(handle, scale);
}

drag::Bounds CornerBounds(Corner corner, int w, int h) {
    const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
    const bool lower = corner == Corner::BottomLeft || corner == Corner::BottomRight;
    return {right ? (w / 4) * 3 : 0, lower ? (h / 4) * 3 : 0, w / 4, h / 4};
}

WindowPlace ComputeSetPos(const SetPosInput& in) {
    double ratio = 1.0;
    if (in.pictureHeight > 0 && in.pictureWidth > 0)
        ratio = static_cast<double>(in.pictureWidth) / static_cast<double>(in.pictureHeight);

    WindowPlace p;
    p.left = in.mainLeft + in.mainWidth;
    p.top = in.mainTop;
    p.width = in.previewWidth;
    p.height = in.previewHeight;
    if (static_cast<std::int64_t>(in.screenWidth) >= static_cast<std::int64_t>(p.left) + p.width) return p;

    p.width = in.screenWidth - p.left;
    if (p.width < kMinPreviewWidth) {
        // No room worth the name to the right: keep a usable window and pull
        // it back so that its right edge meets the screen's.
        p.width = kMinPreviewWidth;
        p.left = std::max(0, in.screenWidth - p.width);
    }
    const int maxHeight = std::max(kMinPreviewHeight, in.screenHeight);
    p.height = std::clamp(RoundHalfEven(p.width / ratio), kMinPreviewHeight, maxHeight);
    if (in.screenHeight > 0 && p.top + p.height > in.screenHeight) p.top = std::max(0, in.screenHeight - p.height);
    return p;
}

}  // namespace orvane
