#pragma once
// One wallpaper per monitor through the shell's desktop wallpaper object
// (Windows 8 and later). Where the system has none (Windows 7, Wine) there
// is no object and the program keeps its one wallpaper for all screens.
#include <windows.h>
#include <shobjidl.h>

#include <functional>
#include <string>
#include <vector>

#include "core/wallpaper/monitor_plan.h"
#include "win32/handles.h"

namespace orvane {

// Makes the object; nothing when the system has none. Tests give their own.
using DesktopWallpaperFactory = std::function<win::ComPtr<IDesktopWallpaper>()>;
// COM's object, on a thread where COM is initialised.
win::ComPtr<IDesktopWallpaper> CreateSystemDesktopWallpaper();

class WindowsMonitors {
public:
    explicit WindowsMonitors(const DesktopWallpaperFactory& factory = CreateSystemDesktopWallpaper);

    // False: no object, the single wallpaper path is to be taken.
    bool Available() const { return static_cast<bool>(wallpaper_); }

    // The monitors showing part of the desktop, in the system's order, with
    // their rectangles in virtual-screen pixels; the primary is the one at
    // the origin. Monitors the system lists but that are not attached (no
    // rectangle) are left out. Empty without the object.
    std::vector<Monitor> List();

    struct Assignment {
        std::string deviceId;
        std::string file;  // full path, UTF-8
    };
    // Each monitor's bitmap file, then one position for all: stretched, as
    // every bitmap is already its monitor's size. False when a call failed
    // (the caller may then fall back to the single wallpaper).
    bool Show(const std::vector<Assignment>& wallpapers);

private:
    win::ComPtr<IDesktopWallpaper> wallpaper_;
};

}  // namespace orvane
