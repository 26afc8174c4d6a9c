#pragma once
// The WallPaperMode values: how the desktop shows the wallpaper. The store
// may hold any integer (a hand-edited value, or 3 from the older program, a
// picture placed at an origin); the enum holds it unchanged, and a value
// not named here is passed to the desktop as it stands.
#include <cstdint>

namespace orvane {

enum class WallpaperMode : std::int32_t {
    Tiled = 0,
    Centred = 1,
    Stretched = 2,
    AtOrigin = 3,
    Fit = 6,   // "Ajuster": wholly inside the screen, bands of the background colour
    Fill = 10  // "Remplir": covers the screen, the overflow cropped evenly
};

inline WallpaperMode ModeFromStored(std::int32_t stored) { return static_cast<WallpaperMode>(stored); }
inline std::int32_t StoredMode(WallpaperMode mode) { return static_cast<std::int32_t>(mode); }

// The modes in which the wallpaper bitmap is made at the screen's size;
// in the others it is the picture at its own size and the desktop places it.
inline bool ComposedAtScreenSize(WallpaperMode mode) {
    return mode == WallpaperMode::Stretched || mode == WallpaperMode::Fit || mode == WallpaperMode::Fill;
}

}  // namespace orvane
