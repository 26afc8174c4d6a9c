#pragma once
// One wallpaper per monitor: which bitmap file each monitor gets, which
// picture, whether the calendar is drawn on it, and which old files go.
#include <string>
#include <vector>

namespace orvane {

struct Monitor {
    std::string deviceId;  // the system's device path, as it gives it
    // In virtual-screen pixels: the primary's top-left is (0, 0), the
    // others may lie at negative coordinates.
    int left = 0, top = 0, right = 0, bottom = 0;
    bool primary = false;
};

struct MonitorWallpaper {
    std::string deviceId;
    int width = 0;  // the monitor's pixels: the bitmap's size
    int height = 0;
    std::string picture;
    bool calendar = false;  // the primary only: the calendar's rectangle is its pixels
    std::string fileName;   // in the folder of the single wallpaper file
};

struct MonitorPlan {
    std::vector<MonitorWallpaper> monitors;  // in the order given
    // The program's monitor files no monitor uses now: removed once the
    // new ones are shown (the old ones may still be on screen until then).
    std::vector<std::string> staleFiles;
};

// `pictures` are taken in turn, one per monitor (again from the first when
// there are fewer). The primary (flagged, else the one holding (0, 0), else
// the first) gets "OrvaneWallPaper.bmp"; the n-th other monitor (n = 2, 3,
// ... in the order given) gets "OrvaneWallPaper-<n>a.bmp" or "-<n>b.bmp",
// whichever of the two is not among `existingFiles` (the monitor files
// there now): a new name every time, so the system never shows a copy it
// cached of the last one. `existingFiles` may hold any names, with their
// folder or without; only the program's monitor files among them are
// considered, and stale ones are given back as they came.
MonitorPlan PlanMonitorWallpapers(const std::vector<Monitor>& monitors, const std::vector<std::string>& pictures,
                                  const std::vector<std::string>& existingFiles);

// A name PlanMonitorWallpapers gives to a monitor other than the primary
// (letters in any case, as the file system compares them).
bool IsMonitorWallpaperFile(const std::string& fileName);

}  // namespace orvane
