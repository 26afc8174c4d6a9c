#pragma once
// Creation of the program's windows in their fixed order, shared by the
// program's entry and the Windows-side tests.
#include <memory>

#include "wallpaper/main_window.h"

namespace orvane {

// Main window, preview window, settings dialog, about box, then the tray icon
// (the program starts hidden, with only the icon showing).
std::unique_ptr<TfrmMain> CreateApplicationWindows(bool hasCommandLineArgument);

}  // namespace orvane
