#pragma once
// The wallpaper changer's settings record and its rules of storage: every
// value is a registry string (signed decimal integers, "0"/"1" booleans),
// a missing or unparsable value yields its default.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct WallpaperSettings {
    std::string FileName;
    bool RunAtStartup = false;
    std::int32_t RunMode = 0;
    std::int32_t Interval = 0;
    bool Random = false;
    std::int32_t Number = 0;
    std::int32_t WallPaperMode = 0;
    bool Calendar = false;
    std::int32_t CalL = 0, CalT = 0, CalR = 0, CalB = 0;
    std::string MounthFont, DayFont, DayNumberFont;  // DayNumberFont is stored as "Day#"
    std::uint32_t colMounth = 0, colDay = 0, colDayNumber = 0, colActualDay = 0;
    std::uint32_t colNormalDay = 0, colNonWorkDay = 0, colWeekEnd = 0;
    bool TransparentIcon = false;
    bool QuickIcon = false;
    std::int32_t RefDay = 0;
    // Values later versions added; older readers ignore them.
    // The screen size CalL..CalB were set for: on a screen of another size
    // the rectangle is scaled to keep its place in proportion.
    std::int32_t CalScreenW = 0, CalScreenH = 0;
    // Each monitor its own picture, where the system can show one per monitor.
    bool OneWallpaperPerScreen = false;
};

// Where the values live. Read returns nothing when the key or value is
// missing, and throws Error("Type de données incorrect pour '<name>'") when
// the value is not a string. Write throws
// Error("Echec à la définition des données pour '<name>'") on failure.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<std::string> Read(const std::string& name) = 0;
    virtual void Write(const std::string& name, const std::string& value) = 0;
};

// Reads the values in the store's order (FileName first). The picture list
// file is not touched here. Screen size gives the calendar defaults.
void LoadSettingsValues(SettingsStore& store, WallpaperSettings& s,
                        const std::string& defaultFileName, int screenWidth, int screenHeight);

// Writes FileName alone (the list file follows it), then the rest in order.
void SaveFileNameValue(SettingsStore& store, const WallpaperSettings& s);
void SaveRemainingValues(SettingsStore& store, const WallpaperSettings& s);

}  // namespace orvane
