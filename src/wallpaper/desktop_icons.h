#pragma once
// The shell's desktop list view: transparent labels with a colour taken from
// the picture, one-click activation and the view style.
#include <windows.h>

#include <cstdint>

namespace orvane {

class CurrentPicture;

HWND FindDesktopListViewByTitle();
HWND FindDesktopListView();
// Complement of the current picture's top-left pixel; throws without one.
std::uint32_t LabelColourFromPicture(const CurrentPicture& picture);
void ApplyTransparentLabels(std::uint32_t colour);
void ApplyQuickActivation(bool quickIcon);
void SetDesktopViewStyle(int viewType);

}  // namespace orvane
