#pragma once
// The one-month calendar: title, weekday names and a 5- or 6-row grid of day
// cells in any rectangle. It is laid out once (where each text, line and cell
// goes, in which font and colour) and painted from that layout, so that the
// wallpaper and the preview draw by the same rules.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/picture/canvas.h"
#include "core/wallpaper/calendar_rect.h"
#include "core/wallpaper/settings.h"

namespace orvane {

struct Date {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
};

// Month and weekday names of the user's regional settings.
class LocaleNames {
public:
    virtual ~LocaleNames() = default;
    virtual std::string MonthName(int month) const = 0;     // full name, 1..12 ("décembre")
    virtual std::string ShortDayName(int weekday) const = 0;  // 0 Sunday .. 6 Saturday ("dim.")
    // The title's first letter in upper case. The default knows only a..z;
    // the user's locale implementation capitalises any script ("Декабрь").
    virtual std::string UpperFirstLetter(const std::string& text) const;
};

// Gregorian calendar arithmetic, valid for any year (proleptic).
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);      // month 1..12
int DayOfWeek(int year, int month, int day);  // 0 Sunday .. 6 Saturday

// A font as the calendar asks for it (the colour goes with each text).
struct CalendarFont {
    std::string face;
    int height = 0;  // > 0 cell height, < 0 character height, 0 default
    bool bold = false;
    friend bool operator==(const CalendarFont&, const CalendarFont&) = default;
};

// Measures text as the surface that will draw it does.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int TextWidth(const CalendarFont& font, const std::string& utf8) = 0;
    virtual int TextHeight(const CalendarFont& font, const std::string& utf8) = 0;
};

// One text of the calendar at its top-left corner.
struct CalendarLabel {
    int x = 0, y = 0;
    std::string text;
    CalendarFont font;
    Colour colour = 0;
};

// A day cell: its fill (right and bottom excluded, one pixel short of the
// grid lines there) and its number, which the empty cells have not.
struct CalendarCell {
    int left = 0, top = 0, right = 0, bottom = 0;
    Colour fill = 0;
    std::optional<CalendarLabel> number;
};

// A grid line from (x1, y1) to (x2, y2), the end point not drawn.
struct CalendarLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Everything the month's drawing puts where, in the order it is drawn.
struct CalendarLayout {
    CalendarLabel title;
    std::array<CalendarLabel, 7> weekdays;  // column 0 is the first weekday
    std::vector<CalendarLine> lines;        // eight vertical, then one more horizontal than rows
    std::vector<CalendarCell> cells;        // seven per week row, row by row
    int rows = 5;
};

// The month of `date` laid out in `rect` (left, top, right, bottom), the day
// of `date` marked as today; `firstWeekday` is a RefDay value (1 Sunday .. 7
// Saturday; anything else, as a hand-edited registry value may hold, counts
// as Sunday). Fonts and colours come from `s`. Every coordinate is clamped
// to the 32-bit range, whatever the rectangle.
CalendarLayout LayOutCalendar(TextMeasure& measure, const CalendarRect& rect, Date date, int firstWeekday,
                              const WallpaperSettings& s, const LocaleNames& names);

// Draws a laid-out month. Leaves the canvas's font as the last day number
// set it, restores its brush colour after every fill and its background mode
// at the end; lines take the canvas's pen.
void PaintCalendar(Canvas& canvas, const CalendarLayout& layout);

// Text measured on the canvas itself, in the fonts it will draw with.
class CanvasTextMeasure : public TextMeasure {
public:
    explicit CanvasTextMeasure(Canvas& canvas) : canvas_(canvas) {}
    int TextWidth(const CalendarFont& font, const std::string& utf8) override;
    int TextHeight(const CalendarFont& font, const std::string& utf8) override;

private:
    void Select(const CalendarFont& font);
    Canvas& canvas_;
};

// Lays the month out with the canvas's own metrics and paints it there.
void DrawCalendar(Canvas& canvas, const CalendarRect& rect, Date date, int firstWeekday, const WallpaperSettings& s,
                  const LocaleNames& names);

}  // namespace orvane
