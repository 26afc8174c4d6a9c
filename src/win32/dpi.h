#pragma once
// Window layouts are given at 96 DPI. The programs are DPI aware (their
// manifests say so, so that the wallpaper is composed at the screen's true
// pixel size), which makes them responsible for scaling their own layouts.
struct HFONT__;
struct HWND__;

#include <vector>

namespace win {

// The display's DPI for this process (96 when the system is not scaled).
int SystemDpi();

// A length of a 96-DPI layout in this display's pixels; exact at 96 DPI.
int Scale(int length96);

// The DPI of the monitor a window is on (GetDpiForWindow where the system
// has it, the display's DPI otherwise).
int WindowDpi(HWND__* window);

// The windows' font: "MS Sans Serif", 8 points (height -11 at 96 DPI),
// scaled like the layouts (to `dpi`, or the display's). The caller owns it.
HFONT__* CreateWindowFont(int dpi = 0);

// The layout of one window across DPI changes (WM_DPICHANGED: the window
// moved to a monitor of another scale). Each window that can move between
// monitors keeps one.
class DpiLayout {
public:
    // The DPI the window's layout is at now: the display's at first.
    int Dpi() const { return dpi_; }
    // A length of a 96-DPI layout at the current DPI.
    int Scale(int length96) const;
    // Places the child windows again from their 96-DPI layout (taken from
    // their places the first time) at `newDpi`, gives them `font`, and gives
    // the window the rectangle the system suggests (`suggestedRect`, a
    // RECT*). Repeated moves never accumulate rounding.
    void Relayout(HWND__* window, int newDpi, const void* suggestedRect, HFONT__* font);

private:
    struct Place {
        HWND__* child;
        int x, y, width, height;  // at 96 DPI
    };
    int dpi_ = SystemDpi();
    std::vector<Place> places_;
};

}  // namespace win
