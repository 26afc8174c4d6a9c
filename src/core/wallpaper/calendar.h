#pragma once
// The one-month calendar: title, weekday names and a 5- or 6-row grid of day
// cells, drawn into any rectangle of a Canvas.
#include <string>

#include "core/picture/canvas.h"
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

// Draws the month of `date` into (left, top, right, bottom) with top margin
// tm, horizontal margin hm and vertical margin vm; `firstWeekday` is a RefDay
// value (1 Sunday .. 7 Saturday; anything else, as a hand-edited registry
// value may hold, counts as Sunday). Fonts and colours come from `s`.
// Leaves the canvas's font as the last day cell set it, restores its brush
// colour after every fill and its background mode at the end.
void DrawCalendar(Canvas& canvas, int left, int top, int right, int bottom, int tm, int hm, int vm, Date date,
                  int firstWeekday, const WallpaperSettings& s, const LocaleNames& names);

}  // namespace orvane
