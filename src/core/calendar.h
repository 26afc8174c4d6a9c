#pragma once
// The one-month calendar: title, weekday names and a 5- or 6-row grid of day
// cells, drawn into any rectangle of a Canvas.
#include <string>

#include "core/canvas.h"
#include "core/settings.h"

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
};

// Draws the month of `date` into (left, top, right, bottom) with top margin
// tm, horizontal margin hm and vertical margin vm; `firstWeekday` is a RefDay
// value (1 Sunday .. 7 Saturday). Fonts and colours come from `s`.
void DrawCalendar(Canvas& canvas, int left, int top, int right, int bottom, int tm, int hm, int vm, Date date,
                  int firstWeekday, const WallpaperSettings& s, const LocaleNames& names);

}  // namespace orvane
