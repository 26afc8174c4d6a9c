#pragma once
// The preview window stands for the whole screen: these conversions map the
// drag handle's bounds (window pixels) to the stored calendar rectangle
// (screen pixels) and back, and place the window beside the main window.
#include <cstdint>

#include "core/wallpaper/calendar_rect.h"
#include "core/wallpaper/drag_math.h"

namespace orvane {

// Screen pixels per window pixel, from the window's outer size (frame and
// caption included).
struct PreviewScale {
    double x = 1.0;
    double y = 1.0;
};

// A window dimension of 0 or less (never a real window) counts as 1 so that
// the factors stay finite.
PreviewScale ComputePreviewScale(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

// Window coordinates stay within what the window system can address; a
// hand-edited rectangle far away or upside down yields bounds inside these
// limits, with sizes never negative.
constexpr int kMaxWindowCoordinate = 30000;

// Stored rectangle -> handle bounds, rounding halves to even.
drag::Bounds CalendarToHandle(const CalendarRect& cal, PreviewScale scale);
// Handle bounds -> stored rectangle, rounding halves to even.
CalendarRect HandleToCalendar(const drag::Bounds& handle, PreviewScale scale);

// The stored rectangle as the handle shows it. Placing the handle rounds to
// window pixels, and converting those back rounds again: taken back from the
// bounds at every showing or resize, the rectangle would walk a pixel at a
// time. So the rectangle the handle was placed from is kept beside its bounds
// and given back exactly until the user moves the handle.
class HandlePlacement {
public:
    // The handle's bounds for the stored rectangle; remembers both.
    drag::Bounds Place(const CalendarRect& stored, PreviewScale scale);
    // The user let go of the handle at these bounds (after a drag, a resize,
    // a nudge, or a click that moved nothing).
    void UserLeftAt(const drag::Bounds& handle);
    // The screen rectangle the handle shows at these bounds.
    CalendarRect OnScreen(const drag::Bounds& handle, PreviewScale scale) const;
    bool MovedByUser() const { return movedByUser_; }

private:
    bool placed_ = false;
    bool movedByUser_ = false;
    CalendarRect placedRect_;
    drag::Bounds placedBounds_;
};

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };

// Handle bounds of a corner item for a window of outer size w x h: a quarter
// of each dimension, at that corner.
drag::Bounds CornerBounds(Corner corner, int windowWidth, int windowHeight);

struct WindowPlace {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const WindowPlace&, const WindowPlace&) = default;
};

// The smallest outer size the preview is given when it has to be narrowed.
constexpr int kMinPreviewWidth = 160;
constexpr int kMinPreviewHeight = 120;

struct SetPosInput {
    int mainLeft = 0, mainTop = 0, mainWidth = 0;
    int previewWidth = 0, previewHeight = 0;  // current outer size
    int screenWidth = 0, screenHeight = 0;
    int pictureWidth = 0, pictureHeight = 0;  // 0 x 0 when there is no picture
};

// The preview goes to the right of the main window, top aligned. When it does
// not fit, it is narrowed to the room left and takes the picture's
// proportions; it never gets less than the minimum size, never more than the
// screen's height, and is pulled back onto the screen when the room is short.
WindowPlace ComputeSetPos(const SetPosInput& in);

}  // namespace orvane
