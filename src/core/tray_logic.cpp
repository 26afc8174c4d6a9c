#include "core/tray_logic.h"

#include <limits>

#include "core/error.h"

namespace orvane {

int ClampIconIndex(int index, int count) {
    if (count <= 0 || index < 0) return 0;
    return index >= count ? count - 1 : index;
}

bool TrayClickTracker::LeftDown() {
    timerRunning_ = true;
    leftPressed_ = true;
    return true;
}

bool TrayClickTracker::LeftUp() {
    bool raise = false;
    if (leftPressed_) {
        clickPending_ = true;
        // A press held longer than the double-click time is a click at once.
        if (!timerRunning_) {
            clickPending_ = false;
            raise = true;
        }
    }
    leftPressed_ = false;
    return raise;
}

void TrayClickTracker::DoubleClick() {
    clickPending_ = false;
    doubleClicked_ = true;
}

bool TrayClickTracker::TimerElapsed() {
    timerRunning_ = false;
    bool raise = false;
    if (!doubleClicked_ && clickPending_) {
        clickPending_ = false;
        raise = true;
    }
    doubleClicked_ = false;
    return raise;
}

const std::vector<TrayMenuEntry>& TrayMenuEntries() {
    static const std::vector<TrayMenuEntry> entries = {
        {kMenuRestaurer1, "Restaurer1", "&Afficher", true, false},
        {kMenuChanger1, "Changer1", "&Changer !", true, false},
        {0, "N2", "-", true, false},
        {kMenuIcones1, "Icones1", "&Icones", true, false},
        {kMenuNormale1, "Normale1", "&Normale", false, true},
        {kMenuListe1, "Liste1", "&Liste", false, true},
        {0, "N3", "-", false, true},
        {kMenuActivationRapide1, "ActivationRapide1", "Activation Rapide", true, true},
        {0, "N1", "-", true, false},
        {kMenuQuitter1, "Quitter1", "Quitter", true, false},
    };
    return entries;
}

std::optional<std::int32_t> ParseWholeNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && text[i] == '$') {
        ++i;
        if (i == text.size() || text.size() - i > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (; i < text.size(); ++i) {
            const char ch = text[i];
            int digit;
            if (ch >= '0' && ch <= '9') digit = ch - '0';
            else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
            else return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        if (negative) value = 0u - value;
        return static_cast<std::int32_t>(value);
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + (ch - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const std::string& text) {
    if (auto v = ParseWholeNumber(text)) return *v;
    throw Error(FormatMessage1("'%s' n'est pas une valeur entière correcte", text));
}

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
    return (wallPaperMode >= 0 && wallPaperMode <= 2) ? wallPaperMode : -1;
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
        const std::int64_t hours = StrToInt(c.Edit1);
        const std::int64_t minutes = StrToInt(c.Edit2);
        s.Interval = static_cast<std::int32_t>(hours * 3600 + minutes * 60);
        r.rotationEnabled = true;
        r.rotationMs = static_cast<std::uint32_t>(s.Interval) * 1000u;
    }
    if (c.Position >= 0 && c.Position <= 2) s.WallPaperMode = c.Position;
    r.calendarWasOn = s.Calendar;
    s.Calendar = c.CheckBox2;
    s.TransparentIcon = c.cbTranspIcon;
    s.QuickIcon = c.QuickIcon;
    r.timerTransEnabled = s.TransparentIcon || s.QuickIcon;
    if (c.ComboBox1 >= 0 && c.ComboBox1 <= 6) s.RefDay = c.ComboBox1 + 1;
    return r;
}

}  // namespace orvane
