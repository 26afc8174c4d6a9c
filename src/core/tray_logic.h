#pragma once
// Decisions of the notification-area icon and of the settings dialog that do
// not need a window: which icon of the list shows, when a left click counts
// as a click, which tray menu entries exist, and how the dialog's controls
// become settings.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace orvane {

// ---- icon list ---------------------------------------------------------------

// The icon shown for a requested index: at or beyond the list's count the last
// icon, below 0 the first; without icons 0.
int ClampIconIndex(int index, int count);

// ---- left-button click and double click --------------------------------------

// A left press starts a timer of the double-click time; a release before it
// runs out leaves the click pending until the timer decides, so that the two
// presses of a double click never raise a single click first.
class TrayClickTracker {
public:
    // Returns true: start (restart) the click timer.
    bool LeftDown();
    // Returns true when the click is raised now (the timer had already run out).
    bool LeftUp();
    void DoubleClick();
    // The click timer's tick; the timer stops. True: raise the click.
    bool TimerElapsed();

    bool TimerRunning() const { return timerRunning_; }
    bool ClickPending() const { return clickPending_; }

private:
    bool timerRunning_ = false;
    bool leftPressed_ = false;
    bool clickPending_ = false;
    bool doubleClicked_ = false;
};

// ---- tray menu -----------------------------------------------------------------

enum TrayMenuId : int {
    kMenuRestaurer1 = 0x101,
    kMenuChanger1,
    kMenuNormale1,
    kMenuListe1,
    kMenuActivationRapide1,
    kMenuQuitter1,
    kMenuIcones1,  // the submenu itself (no command)
};

struct TrayMenuEntry {
    int id;               // 0 for separators
    const char* name;     // the entry's name (Restaurer1, N2, ...)
    const char* caption;  // UTF-8, "-" for separators
    bool visible;
    bool inSubmenu;  // an entry of "&Icones"
};

// The entries of `PopupMenu1` in order, hidden ones included.
const std::vector<TrayMenuEntry>& TrayMenuEntries();

// ---- whole numbers typed by the user ---------------------------------------------

// A whole number as the VCL reads it: optional sign, then decimal digits or
// "$" and hexadecimal digits; nothing before or after (spaces included).
// Decimal values must fit 32 bits; up to 8 hexadecimal digits wrap to 32 bits.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);

// The same, throwing Error("'<text>' n'est pas une valeur entière correcte").
std::int32_t StrToInt(const std::string& text);

// Longest rotation the 32-bit millisecond timer can hold, in seconds.
inline constexpr std::int64_t kMaxIntervalSeconds = 4294967;  // 1193 h 2 mn 47 s

// Why typed hours and minutes cannot become an interval (French text), or
// nothing when they can.
std::optional<std::string> IntervalRefusal(std::int64_t hours, std::int64_t minutes);

// ---- settings dialog -------------------------------------------------------------

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
};

// The fill done by the settings load (every control but the position group).
void FillParamControls(const WallpaperSettings& s, ParamControlState& c);

// The position button that activation selects for a mode, -1 to leave the
// group as it is.
int PositionForMode(std::int32_t wallPaperMode);

struct ParamTransferResult {
    bool rotationEnabled = false;
    std::uint32_t rotationMs = 0;  // meaningful when rotationEnabled
    bool calendarWasOn = false;
    bool timerTransEnabled = false;
};

// Copies the controls into the settings in the dialog's "ok" order. A field
// that is not a whole number throws StrToInt's error after RunAtStartup,
// Random and RunMode (= 1) were set, leaving everything after them alone.
// Hours and minutes that cannot make an interval throw before anything is
// changed. With no first day selected RefDay keeps its value.
ParamTransferResult TransferParamControls(const ParamControlState& c, WallpaperSettings& s);

}  // namespace orvane
