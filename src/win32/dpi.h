#pragma once
// Window layouts are given at 96 DPI. The programs are DPI aware (their
// manifests say so, so that the wallpaper is composed at the screen's true
// pixel size), which makes them responsible for scaling their own layouts.
struct HFONT__;

namespace win {

// The display's DPI for this process (96 when the system is not scaled).
int SystemDpi();

// A length of a 96-DPI layout in this display's pixels; exact at 96 DPI.
int Scale(int length96);

// The windows' font: "MS Sans Serif", 8 points (height -11 at 96 DPI),
// scaled like the layouts. The caller owns it.
HFONT__* CreateWindowFont();

}  // namespace win
