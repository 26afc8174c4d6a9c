#include "core/wallpaper/calendar.h"

#include <array>
#include <climits>
#include <cstdint>

namespace orvane {

namespace {

// The layout is computed in 64 bits: the rectangle comes from hand-editable
// registry values, and right - left of two extreme 32-bit values overflows.
// Coordinates are saturated only where they reach the canvas.
using i64 = std::int64_t;

int Sat(i64 v) {
    if (v < INT_MIN) return INT_MIN;
    if (v > INT_MAX) return INT_MAX;
    return static_cast<int>(v);
}

std::string YearText(int year) {
    std::string digits = std::to_string(year < 0 ? -static_cast<i64>(year) : static_cast<i64>(year));
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return year < 0 ? "-" + digits : digits;
}

// Fill with the brush colour put back afterwards, as the canvas's user
// expects its brush untouched by the calendar.
void FillCell(Canvas& canvas, Colour colour, i64 left, i64 top, i64 right, i64 bottom) {
    const Colour saved = canvas.BrushColour();
    canvas.SetBrushColour(colour);
    canvas.Fill(Sat(left), Sat(top), Sat(right), Sat(bottom));
    canvas.SetBrushColour(saved);
}

// Lowers the font height one step at a time until `text` fits `width` or the
// height reaches 0. A rectangle that is absurdly tall and narrow would ask for
// hundreds of millions of steps; since text width grows about linearly with
// the height, the walk jumps close above the height that fits (with headroom
// for hinting) when that is far below, and goes on one step at a time.
void ShrinkToFit(Canvas& canvas, const std::string& text, i64 width) {
    i64 height = canvas.FontHeight();
    while (height > 0) {
        const i64 w = canvas.TextWidth(text);
        if (w <= width) return;
        i64 next = height - 1;
        const i64 guess = w > 0 ? height * width / w : 0;
        const i64 headroom = guess + (guess > 0 ? guess / 16 : 0) + 8;
        if (height - headroom > 64) next = headroom < 0 ? 0 : headroom;
        height = next;
        canvas.SetFontHeight(static_cast<int>(height));
    }
}

}  // namespace

std::string LocaleNames::UpperFirstLetter(const std::string& text) const {
    std::string out = text;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kLengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kLengths[static_cast<std::size_t>(month - 1)];
}

int DayOfWeek(int year, int month, int day) {
    // Days since 1970-01-01 of a proleptic Gregorian date (era arithmetic,
    // exact for negative years too), then 1970-01-01 was a Thursday.
    const i64 y = static_cast<i64>(year) - (month <= 2 ? 1 : 0);
    const i64 era = (y >= 0 ? y : y - 399) / 400;
    const i64 yoe = y - era * 400;
    const i64 mp = (month + 9) % 12;
    const i64 doy = (153 * mp + 2) / 5 + day - 1;
    const i64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const i64 days = era * 146097 + doe - 719468;
    const i64 w = (days + 4) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

void DrawCalendar(Canvas& canvas, int left, int top, int right, int bottom, int tm, int hm, int vm, Date date,
                  int firstWeekday, const WallpaperSettings& s, const LocaleNames& names) {
    const int year = date.year;
    const int month = date.month < 1 ? 1 : date.month > 12 ? 12 : date.month;
    const int today = date.day;
    const int first = firstWeekday >= 1 && firstWeekday <= 7 ? firstWeekday : 1;

    const std::string title = names.UpperFirstLetter(names.MonthName(month) + " " + YearText(year));
    const int length = DaysInMonth(year, month);

    std::array<std::string, 7> dayNames;
    for (int j = 0; j < 7; ++j) dayNames[static_cast<std::size_t>(j)] = names.ShortDayName((j + first - 1) % 7);

    const i64 L = left, T = top, R = right, B = bottom;
    const i64 W = R - L, H = B - T;
    const i64 UW = W - 2 * static_cast<i64>(hm);
    const i64 UH = H - tm - 2 * static_cast<i64>(vm);
    const i64 CW = UW / 7;

    const bool previousTransparent = canvas.TransparentBackground();
    canvas.SetTransparentBackground(true);

    // Title, centred on the whole rectangle (it may overflow both sides).
    canvas.SetFontFace(s.MounthFont);
    canvas.SetFontBold(true);
    canvas.SetFontColour(s.colMounth);
    canvas.SetFontHeight(Sat(UH / 7 - 1));
    const i64 titleWidth = canvas.TextWidth(title);
    canvas.PutText(Sat(L + W / 2 - titleWidth / 2), Sat(T + tm), title);
    const i64 TH = canvas.TextHeight(title);

    // Weekday names: one height for the seven, found in the bold title style
    // so that the regular names drawn with it fit their columns for sure.
    canvas.SetFontFace(s.DayFont);
    for (const std::string& name : dayNames) ShrinkToFit(canvas, name, CW);
    const i64 DH = canvas.FontHeight();
    canvas.SetFontBold(false);
    canvas.SetFontColour(s.colDay);
    for (int j = 0; j < 7; ++j)
        canvas.PutText(Sat(L + hm + j * CW), Sat(T + vm + tm + TH), dayNames[static_cast<std::size_t>(j)]);

    const int firstColumn = (DayOfWeek(year, month, 1) + 1 - first + 7) % 7;
    const int rows = firstColumn + length > 35 ? 6 : 5;
    const i64 RH = UH / (rows + 2);
    const i64 GX = L + hm;
    const i64 GY = T + vm + tm + TH + DH;

    for (i64 j = 0; j <= 7; ++j) {
        canvas.MoveTo(Sat(GX + j * CW), Sat(GY));
        canvas.LineTo(Sat(GX + j * CW), Sat(GY + rows * RH));
    }
    for (i64 k = 0; k <= rows; ++k) {
        canvas.MoveTo(Sat(GX), Sat(GY + k * RH));
        canvas.LineTo(Sat(GX + 7 * CW), Sat(GY + k * RH));
    }

    canvas.SetFontFace(s.DayNumberFont);
    canvas.SetFontHeight(Sat(UH / 7 - 2));
    canvas.SetFontBold(false);

    const int firstWeekdayOfMonth = DayOfWeek(year, month, 1);
    for (int i = 0;; ++i) {
        const i64 r = i / 7, c = i % 7;
        const i64 cellLeft = GX + c * CW + 1, cellTop = GY + r * RH + 1;
        const i64 cellRight = GX + (c + 1) * CW - 1, cellBottom = GY + (r + 1) * RH - 1;
        if (i < firstColumn) {
            FillCell(canvas, s.colNonWorkDay, cellLeft, cellTop, cellRight, cellBottom);
            continue;
        }
        const int n = i - firstColumn + 1;
        if (n > length) {
            if (i >= 7 * rows) break;
            FillCell(canvas, s.colNonWorkDay, cellLeft, cellTop, cellRight, cellBottom);
            continue;
        }
        const int weekday = (firstWeekdayOfMonth + n - 1) % 7;
        const bool weekend = weekday == 0 || weekday == 6;
        FillCell(canvas, weekend ? s.colWeekEnd : s.colNormalDay, cellLeft, cellTop, cellRight, cellBottom);

        // The style is set before measuring: a number measured in the bold of
        // the current day and drawn regular would sit off the column's centre.
        if (n == today) {
            canvas.SetFontBold(true);
            canvas.SetFontColour(s.colActualDay);
        } else {
            canvas.SetFontColour(s.colDayNumber);
            canvas.SetFontBold(false);
        }
        const std::string number = std::to_string(n);
        const i64 w = canvas.TextWidth(number);
        canvas.SetTransparentBackground(true);
        canvas.PutText(Sat(GX + c * CW + CW / 2 - w / 2), Sat(GY + r * RH + 2), number);
    }

    canvas.SetTransparentBackground(previousTransparent);
}

}  // namespace orvane
