#include "core/wallpaper/settings_transfer.h"

#include "core/error.h"
#include "core/whole_number.h"
#include "core/wallpaper/wallpaper_mode.h"

namespace orvane {

std::optional<std::string> IntervalRefusal(std::int64_t hours, std::int64_t minutes) {
    if (hours < 0 || minutes < 0)
        return std::string("La durée entre deux changements ne peut pas être négative : "
                           "indiquez des heures et des minutes positives ou nulles.");
    if (hours * 3600 + minutes * 60 > kMaxIntervalSeconds)
        return std::string("La durée entre deux changements est trop longue : "
                           "elle ne peut pas dépasser 1193 H et 2 mn.");
    return std::nullopt;
}

void FillParamControls(const WallpaperSettings& s, ParamControlState& c) {
    c.CheckBox2 = s.Calendar;
    c.cbTranspIcon = s.TransparentIcon;
    c.ComboBox1 = (s.RefDay >= 1 && s.RefDay <= 7) ? s.RefDay - 1 : -1;
    c.CheckBox1 = s.RunAtStartup;
    c.QuickIcon = s.QuickIcon;
    c.OneWallpaperPerScreen = s.OneWallpaperPerScreen;
    if (s.RunMode == 1) {
        c.RadioButton4 = true;
        c.RadioButton3 = false;
        // Truncating division, as the up-down controls are given their values.
        c.Edit1 = std::to_string(s.Interval / 3600);
        c.Edit2 = std::to_string((s.Interval % 3600) / 60);
    } else {
        c.RadioButton3 = true;
        c.RadioButton4 = false;
    }
    c.RadioButton1 = s.Random;
}

int PositionForMode(std::int32_t wallPaperMode) {
    switch (ModeFromStored(wallPaperMode)) {
        case WallpaperMode::Tiled:
        case WallpaperMode::Centred:
        case WallpaperMode::Stretched:
        case WallpaperMode::Fill:
        case WallpaperMode::Fit: return wallPaperMode;
        default: return -1;
    }
}

ParamTransferResult TransferParamControls(const ParamControlState& c, WallpaperSettings& s) {
    // Refused durations change nothing at all, so they are checked before the
    // first assignment; unreadable fields keep their place in the order below.
    if (!c.RadioButton3) {
        const auto h = ParseWholeNumber(c.Edit1), m = ParseWholeNumber(c.Edit2);
        if (h && m) {
            if (auto why = IntervalRefusal(*h, *m)) throw Error(*why);
        }
    }

    ParamTransferResult r;
    s.RunAtStartup = c.CheckBox1;
    s.Random = c.RadioButton1;
    if (c.RadioButton3) {
        s.RunMode = 0;
        r.rotationEnabled = false;
    } else {
        s.RunMode = 1;
        const std::int64_t hours = ParseWholeNumberOrThrow(c.Edit1);
        const std::int64_t minutes = ParseWholeNumberOrThrow(c.Edit2);
        s.Interval = static_cast<std::int32_t>(hours * 3600 + minutes * 60);
        r.rotationEnabled = true;
        r.rotationMs = static_cast<std::uint32_t>(s.Interval) * 1000u;
    }
    if (PositionForMode(c.Position) >= 0) s.WallPaperMode = c.Position;
    r.calendarWasOn = s.Calendar;
    s.Calendar = c.CheckBox2;
    s.TransparentIcon = c.cbTranspIcon;
    s.QuickIcon = c.QuickIcon;
    s.OneWallpaperPerScreen = c.OneWallpaperPerScreen;
    r.timerTransEnabled = s.TransparentIcon || s.QuickIcon;
    if (c.ComboBox1 >= 0 && c.ComboBox1 <= 6) s.RefDay = c.ComboBox1 + 1;
    return r;
}

SettingsEdit BuildSettingsEdit(const ParamControlState& c, const WallpaperSettings& current) {
    SettingsEdit edit{current, {}, std::nullopt};
    try {
        edit.effects = TransferParamControls(c, edit.settings);
    } catch (const std::exception& e) {
        edit.failure = e.what();
    }
    return edit;
}

}  // namespace orvane
