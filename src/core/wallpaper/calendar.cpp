#include "core/wallpaper/calendar.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>

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

// Lowers the font height one step at a time until `text` fits `width` or the
// height reaches 0. A rectangle that is absurdly tall and narrow would ask for
// hundreds of millions of steps; since text width grows about linearly with
// the height, the walk jumps close above the height that fits (with headroom
// for hinting, a sixteenth but never more than 256 pixels, so that a huge
// height does not leave millions of single steps) when that is far below, and
// goes on one step at a time.
void ShrinkToFit(TextMeasure& measure, CalendarFont& font, const std::string& text, i64 width) {
    i64 height = font.height;
    while (height > 0) {
        const i64 w = measure.TextWidth(font, text);
        if (w <= width) return;
        i64 next = height - 1;
        const i64 guess = w > 0 ? height * width / w : 0;
        const i64 headroom = guess + (guess > 0 ? std::min<i64>(guess / 16, 256) : 0) + 8;
        if (height - headroom > 64) next = headroom < 0 ? 0 : headroom;
        height = next;
        font.height = static_cast<int>(height);
    }
}

void Put(Canvas& canvas, const CalendarLabel& label) {
    canvas.SetFontFace(label.font.face);
    canvas.SetFontHeight(label.font.height);
    canvas.SetFontBold(label.font.bold);
    canvas.SetFontColour(label.colour);
    canvas.PutText(label.x, label.y, label.text);
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

CalendarLayout LayOutCalendar(TextMeasure& measure, const CalendarRect& rect, Date date, int firstWeekday,
                              const WallpaperSettings& s, const LocaleNames& names) {
    const int year = date.year;
    const int month = date.month < 1 ? 1 : date.month > 12 ? 12 : date.month;
    const int today = date.day;
    const int first = firstWeekday >= 1 && firstWeekday <= 7 ? firstWeekday : 1;
    const int length = DaysInMonth(year, month);

    const i64 L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const i64 W = R - L, H = B - T;
    const i64 CW = W / 7;

    CalendarLayout out;

    // Title, centred on the whole rectangle (it may overflow both sides).
    CalendarLabel& title = out.title;
    title.text = names.UpperFirstLetter(names.MonthName(month) + " " + YearText(year));
    title.font = CalendarFont{s.MounthFont, Sat(H / 7 - 1), true};
    title.colour = s.colMounth;
    const i64 titleWidth = measure.TextWidth(title.font, title.text);
    title.x = Sat(L + W / 2 - titleWidth / 2);
    title.y = Sat(T);
    const i64 TH = measure.TextHeight(title.font, title.text);

    // Weekday names: one height for the seven, found in the bold title style
    // so that the regular names drawn with it fit their columns for sure.
    CalendarFont dayFont{s.DayFont, title.font.height, true};
    for (int j = 0; j < 7; ++j) {
        CalendarLabel& name = out.weekdays[static_cast<std::size_t>(j)];
        name.text = names.ShortDayName((j + first - 1) % 7);
        ShrinkToFit(measure, dayFont, name.text, CW);
    }
    const i64 DH = dayFont.height;
    dayFont.bold = false;
    for (int j = 0; j < 7; ++j) {
        CalendarLabel& name = out.weekdays[static_cast<std::size_t>(j)];
        name.font = dayFont;
        name.colour = s.colDay;
        name.x = Sat(L + j * CW);
        name.y = Sat(T + TH);
    }

    const int firstWeekdayOfMonth = DayOfWeek(year, month, 1);
    const int firstColumn = (firstWeekdayOfMonth + 1 - first + 7) % 7;
    const int rows = firstColumn + length > 35 ? 6 : 5;
    const i64 RH = H / (rows + 2);
    const i64 GX = L;
    const i64 GY = T + TH + DH;
    out.rows = rows;

    for (i64 j = 0; j <= 7; ++j) out.lines.push_back({Sat(GX + j * CW), Sat(GY), Sat(GX + j * CW), Sat(GY + rows * RH)});
    for (i64 k = 0; k <= rows; ++k) out.lines.push_back({Sat(GX), Sat(GY + k * RH), Sat(GX + 7 * CW), Sat(GY + k * RH)});

    const int numberHeight = Sat(H / 7 - 2);
    for (int i = 0; i < 7 * rows; ++i) {
        const i64 r = i / 7, c = i % 7;
        CalendarCell cell;
        cell.left = Sat(GX + c * CW + 1);
        cell.top = Sat(GY + r * RH + 1);
        cell.right = Sat(GX + (c + 1) * CW - 1);
        cell.bottom = Sat(GY + (r + 1) * RH - 1);
        cell.fill = s.colNonWorkDay;
        const int n = i - firstColumn + 1;
        if (n >= 1 && n <= length) {
            const int weekday = (firstWeekdayOfMonth + n - 1) % 7;
            cell.fill = weekday == 0 || weekday == 6 ? s.colWeekEnd : s.colNormalDay;
            // Measured in its own style: a number measured in the bold of
            // the current day and drawn regular would sit off the column's
            // centre.
            CalendarLabel number;
            number.text = std::to_string(n);
            number.font = CalendarFont{s.DayNumberFont, numberHeight, n == today};
            number.colour = n == today ? s.colActualDay : s.colDayNumber;
            const i64 w = measure.TextWidth(number.font, number.text);
            number.x = Sat(GX + c * CW + CW / 2 - w / 2);
            number.y = Sat(GY + r * RH + 2);
            cell.number = std::move(number);
        }
        out.cells.push_back(std::move(cell));
    }
    return out;
}

void PaintCalendar(Canvas& canvas, const CalendarLayout& layout) {
    const bool previousTransparent = canvas.TransparentBackground();
    canvas.SetTransparentBackground(true);
    Put(canvas, layout.title);
    for (const CalendarLabel& name : layout.weekdays) Put(canvas, name);
    for (const CalendarLine& line : layout.lines) {
        canvas.MoveTo(line.x1, line.y1);
        canvas.LineTo(line.x2, line.y2);
    }
    for (const CalendarCell& cell : layout.cells) {
        // The brush is put back: the canvas's user expects it untouched.
        const Colour saved = canvas.BrushColour();
        canvas.SetBrushColour(cell.fill);
        canvas.Fill(cell.left, cell.top, cell.right, cell.bottom);
        canvas.SetBrushColour(saved);
        if (cell.number) Put(canvas, *cell.number);
    }
    canvas.SetTransparentBackground(previousTransparent);
}

void CanvasTextMeasure::Select(const CalendarFont& font) {
    canvas_.SetFontFace(font.face);
    canvas_.SetFontHeight(font.height);
    canvas_.SetFontBold(font.bold);
}

int CanvasTextMeasure::TextWidth(const CalendarFont& font, const std::string& utf8) {
    Select(font);
    return canvas_.TextWidth(utf8);
}

int CanvasTextMeasure::TextHeight(const CalendarFont& font, const std::string& utf8) {
    Select(font);
    return canvas_.TextHeight(utf8);
}

void DrawCalendar(Canvas& canvas, const CalendarRect& rect, Date date, int firstWeekday, const WallpaperSettings& s,
                  const LocaleNames& names) {
    CanvasTextMeasure measure(canvas);
    PaintCalendar(canvas, LayOutCalendar(measure, rect, date, firstWeekday, s, names));
}

}  // namespace orvane
