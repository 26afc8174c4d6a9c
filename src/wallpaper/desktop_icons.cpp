// Placeholder until the desktop icon options land.
#include "wallpaper/desktop_icons.h"

#include "core/image.h"
#include "wallpaper/current_picture.h"
#include "wallpaper/main_window.h"

namespace orvane {

HWND FindDesktopListViewByTitle() { return nullptr; }
HWND FindDesktopListView() { return nullptr; }
std::uint32_t LabelColourFromPicture(const CurrentPicture& picture) {
    return ComplementColour(picture.TopLeftPixel());
}
void ApplyTransparentLabels(std::uint32_t) {}
void ApplyQuickActivation(bool) {}
void SetDesktopViewStyle(int) {}

void TfrmMain::ActivationRapide1Click() {}
void TfrmMain::Normale1Click() { SetDesktopViewStyle(0); }
void TfrmMain::Liste1Click() { SetDesktopViewStyle(2); }
void TfrmMain::TimerTransTimer() {}

}  // namespace orvane
