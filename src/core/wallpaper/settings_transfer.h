#pragma once
// The settings dialog's controls and the settings record: the fill done by a
// load, and the transfer done by "ok".
#include <cstdint>
#include <optional>
#include <string>

#include "core/wallpaper/settings.h"

namespace orvane {

// Longest rotation the 32-bit millisecond timer can hold, in seconds.
inline constexpr std::int64_t kMaxIntervalSeconds = 4294967;  // 1193 h 2 mn 47 s

// Why typed hours and minutes cannot become an interval (French text), or
// nothing when they can.
std::optional<std::string> IntervalRefusal(std::int64_t hours, std::int64_t minutes);

// The dialog's controls as the transfer reads them (the working copy of the
// options between two openings).
struct ParamControlState {
    bool CheckBox1 = true;      // "Démarrage automatique"
    bool RadioButton1 = true;   // "Tirage aléatoire" (else "Tirage séquentiel")
    bool RadioButton3 = false;  // "A chaque démarrage" (else "Toutes les ")
    bool RadioButton4 = true;
    std::string Edit1 = "0";  // hours
    std::string Edit2 = "5";  // minutes
    int Position = -1;        // WallPaperMode of the selected position button, -1 none
    bool CheckBox2 = true;    // "Calendrier"
    int ComboBox1 = -1;       // selected first day, -1 none
    bool cbTranspIcon = true;
    bool QuickIcon = false;
    bool OneWallpaperPerScreen = false;  // "Une image par écran"
};

// The fill done by the settings load (every control but the position group).
void FillParamControls(const WallpaperSettings& s, ParamControlState& c);

// The position button that activation selects for a mode (its WallPaperMode:
// stretched, centred, tiled, fill or fit), -1 to leave the group as it is.
int PositionForMode(std::int32_t wallPaperMode);

struct ParamTransferResult {
    bool rotationEnabled = false;
    std::uint32_t rotationMs = 0;  // meaningful when rotationEnabled
    bool calendarWasOn = false;
    bool timerTransEnabled = false;
};

// Copies the controls into the settings in the dialog's "ok" order. A field
// that is not a whole number throws ParseWholeNumberOrThrow's error after RunAtStartup,
// Random and RunMode (= 1) were set, leaving everything after them alone.
// Hours and minutes that cannot make an interval throw before anything is
// changed. With no first day selected RefDay keeps its value.
ParamTransferResult TransferParamControls(const ParamControlState& c, WallpaperSettings& s);

// What the dialog's "ok" hands to the model: the settings as the transfer
// leaves them (from `current`), what it sets going, and the French text of
// the field it could not read, when one stopped it (the values before that
// field are taken all the same).
struct SettingsEdit {
    WallpaperSettings settings;
    ParamTransferResult effects;
    std::optional<std::string> failure;
};
SettingsEdit BuildSettingsEdit(const ParamControlState& c, const WallpaperSettings& current);

}  // namespace orvane
