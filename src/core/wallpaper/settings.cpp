#include "core/wallpaper/settings.h"

#include "core/whole_number.h"

#include <climits>
#include <cstdlib>

namespace orvane {

namespace {

std::string ReadString(SettingsStore& store, const char* name, const std::string& def) {
    auto v = store.Read(name);
    return v ? *v : def;
}

std::int32_t ReadInteger(SettingsStore& store, const char* name, std::int32_t def) {
    auto v = store.Read(name);
    if (!v) return def;
    auto parsed = ParseWholeNumber(*v, NumberSyntax::Decimal);
    return parsed ? *parsed : def;
}

bool ReadBool(SettingsStore& store, const char* name, bool def) { return ReadInteger(store, name, def ? 1 : 0) != 0; }

// A colour is 0x00BBGGRR; a hand-edited value with a top byte would reach GDI
// as a palette-relative or invalid colour, so only the three bytes are kept.
std::uint32_t ReadColour(SettingsStore& store, const char* name, std::uint32_t def) {
    return static_cast<std::uint32_t>(ReadInteger(store, name, static_cast<std::int32_t>(def))) & 0x00FFFFFFu;
}

void WriteInteger(SettingsStore& store, const char* name, std::int32_t v) { store.Write(name, std::to_string(v)); }
void WriteBool(SettingsStore& store, const char* name, bool v) { store.Write(name, v ? "1" : "0"); }
void WriteColour(SettingsStore& store, const char* name, std::uint32_t v) {
    WriteInteger(store, name, static_cast<std::int32_t>(v));
}

}  // namespace

void LoadSettingsValues(SettingsStore& store, WallpaperSettings& s, const std::string& defaultFileName,
                        int screenWidth, int screenHeight) {
    s.FileName = ReadString(store, "FileName", defaultFileName);
    s.RunAtStartup = ReadBool(store, "RunAtStartup", true);
    s.RunMode = ReadInteger(store, "RunMode", 0);
    if (s.RunMode == 1) s.Interval = ReadInteger(store, "Interval", 30000);
    s.Random = ReadBool(store, "Random", true);
    if (!s.Random) s.Number = ReadInteger(store, "Number", -1);
    s.WallPaperMode = ReadInteger(store, "WallPaperMode", 2);
    s.Calendar = ReadBool(store, "Calendar", true);
    s.CalL = ReadInteger(store, "CalL", (screenWidth / 4) * 3);
    s.CalT = ReadInteger(store, "CalT", (screenHeight / 4) * 3);
    s.CalR = ReadInteger(store, "CalR", screenWidth);
    s.CalB = ReadInteger(store, "CalB", screenHeight);
    s.MounthFont = ReadString(store, "MounthFont", "Arial");
    s.DayFont = ReadString(store, "DayFont", "Arial");
    s.DayNumberFont = ReadString(store, "Day#", "Arial");
    s.colMounth = ReadColour(store, "colMounth", 0);
    s.colDay = ReadColour(store, "colDay", 0);
    s.colDayNumber = ReadColour(store, "colDayNumber", 0);
    s.colActualDay = ReadColour(store, "colActualDay", 255);
    s.colNormalDay = ReadColour(store, "colNormalDay", 65535);
    s.colNonWorkDay = ReadColour(store, "colNonWorkDay", 32896);
    s.colWeekEnd = ReadColour(store, "colWeekEnd", 16711680);
    s.TransparentIcon = ReadBool(store, "TransparentIcon", true);
    s.QuickIcon = ReadBool(store, "QuickIcon", true);
    s.RefDay = ReadInteger(store, "RefDay", 1);
    if (s.RefDay < 1 || s.RefDay > 7) s.RefDay = 1;  // a hand-edited day outside the week
    // A store written before these existed: the rectangle was set for this screen.
    s.CalScreenW = ReadInteger(store, "CalScreenW", screenWidth);
    s.CalScreenH = ReadInteger(store, "CalScreenH", screenHeight);
    s.OneWallpaperPerScreen = ReadBool(store, "OneWallpaperPerScreen", false);
}

void SaveFileNameValue(SettingsStore& store, const WallpaperSettings& s) { store.Write("FileName", s.FileName); }

void SaveRemainingValues(SettingsStore& store, const WallpaperSettings& s) {
    WriteBool(store, "RunAtStartup", s.RunAtStartup);
    WriteInteger(store, "RunMode", s.RunMode);
    WriteInteger(store, "Interval", s.Interval);
    WriteBool(store, "Random", s.Random);
    WriteInteger(store, "Number", s.Number);
    WriteInteger(store, "WallPaperMode", s.WallPaperMode);
    WriteBool(store, "Calendar", s.Calendar);
    WriteInteger(store, "CalL", s.CalL);
    WriteInteger(store, "CalT", s.CalT);
    WriteInteger(store, "CalR", s.CalR);
    WriteInteger(store, "CalB", s.CalB);
    store.Write("MounthFont", s.MounthFont);
    store.Write("DayFont", s.DayFont);
    store.Write("Day#", s.DayNumberFont);
    WriteColour(store, "colMounth", s.colMounth);
    WriteColour(store, "colDay", s.colDay);
    WriteColour(store, "colDayNumber", s.colDayNumber);
    WriteColour(store, "colActualDay", s.colActualDay);
    WriteColour(store, "colNormalDay", s.colNormalDay);
    WriteColour(store, "colNonWorkDay", s.colNonWorkDay);
    WriteColour(store, "colWeekEnd", s.colWeekEnd);
    WriteBool(store, "TransparentIcon", s.TransparentIcon);
    WriteBool(store, "QuickIcon", s.QuickIcon);
    WriteInteger(store, "RefDay", s.RefDay);
    WriteInteger(store, "CalScreenW", s.CalScreenW);
    WriteInteger(store, "CalScreenH", s.CalScreenH);
    WriteBool(store, "OneWallpaperPerScreen", s.OneWallpaperPerScreen);
}

}  // namespace orvane
