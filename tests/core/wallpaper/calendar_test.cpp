#include "core/wallpaper/calendar.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/recording_canvas.h"

namespace orvane {
namespace {

using testing::Call;
using testing::CalendarDefaults;
using testing::FrenchNames;
using testing::RecordingCanvas;

constexpr Colour kEmpty = 32896, kWorkday = 65535, kWeekend = 16711680;

// Laid out with the recording canvas's metrics: a code point is half the
// cell height wide.
CalendarLayout LayOut(int l, int t, int r, int b, Date date, int refDay, RecordingCanvas& canvas) {
    CanvasTextMeasure measure(canvas);
    return LayOutCalendar(measure, {l, t, r, b}, date, refDay, CalendarDefaults(), FrenchNames());
}
CalendarLayout LayOut(int l, int t, int r, int b, Date date, int refDay) {
    RecordingCanvas canvas;
    return LayOut(l, t, r, b, date, refDay, canvas);
}

// The cell that holds day n.
const CalendarCell& Day(const CalendarLayout& c, int n) {
    for (const CalendarCell& cell : c.cells)
        if (cell.number && cell.number->text == std::to_string(n)) return cell;
    static const CalendarCell missing;
    return missing;
}
int NumberX(const CalendarLayout& c, int n) { return Day(c, n).number ? Day(c, n).number->x : INT_MIN; }
std::string WeekdayNames(const CalendarLayout& c) {
    std::string names;
    for (const CalendarLabel& n : c.weekdays) names += n.text;
    return names;
}

// ---- the whole layout of one month, checked against hand-computed values ----

// December 2026 begins on a Tuesday. Rectangle 700 x 400 at (100, 50): UH
// 400, CW 100, title height 400/7 - 1 = 56, numbers 55, RH 57.
TEST(CalendarLayout, December2026FiveRowsEveryCoordinate) {
    const CalendarLayout c = LayOut(100, 50, 800, 450, {2026, 12, 8}, 1);

    EXPECT_EQ(c.title.text, "Décembre 2026");
    EXPECT_EQ(c.title.font, (CalendarFont{"TitleFace", 56, true}));
    EXPECT_EQ(c.title.colour, 0x000001u);
    // 13 code points * 28 = 364 wide: x = 100 + 350 - 182.
    EXPECT_EQ(c.title.x, 268);
    EXPECT_EQ(c.title.y, 50);

    // Names 4 code points wide: 112 at height 56, 100 at 50 fits CW = 100.
    EXPECT_EQ(WeekdayNames(c), "dim.lun.mar.mer.jeu.ven.sam.");
    for (int j = 0; j < 7; ++j) {
        const CalendarLabel& name = c.weekdays[static_cast<std::size_t>(j)];
        EXPECT_EQ(name.x, 100 + 100 * j);
        EXPECT_EQ(name.y, 106);  // top + TH
        EXPECT_EQ(name.font, (CalendarFont{"DayFace", 50, false}));
        EXPECT_EQ(name.colour, 0x000002u);
    }

    // Grid: GY = 50 + 56 + 50 = 156; 8 vertical lines down to 156 + 5 * 57.
    ASSERT_EQ(c.rows, 5);
    ASSERT_EQ(c.lines.size(), 8u + 6u);
    for (int j = 0; j < 8; ++j) {
        const CalendarLine& v = c.lines[static_cast<std::size_t>(j)];
        EXPECT_TRUE(v.x1 == 100 + 100 * j && v.x2 == v.x1 && v.y1 == 156 && v.y2 == 441) << j;
    }
    for (int k = 0; k < 6; ++k) {
        const CalendarLine& h = c.lines[8 + static_cast<std::size_t>(k)];
        EXPECT_TRUE(h.y1 == 156 + 57 * k && h.y2 == h.y1 && h.x1 == 100 && h.x2 == 800) << k;
    }

    // 2 empty cells, 31 days, 2 empty cells.
    ASSERT_EQ(c.cells.size(), 35u);
    const CalendarCell& first = c.cells[0];
    EXPECT_TRUE(first.left == 101 && first.top == 157 && first.right == 199 && first.bottom == 212);
    EXPECT_TRUE(first.fill == kEmpty && !first.number && c.cells[1].fill == kEmpty);
    EXPECT_EQ(c.cells[2].fill, kWorkday);  // Tuesday 1st
    EXPECT_EQ(c.cells[6].fill, kWeekend);  // Saturday 5th
    EXPECT_EQ(c.cells[7].fill, kWeekend);  // Sunday 6th
    EXPECT_EQ(c.cells[32].fill, kWorkday);  // Thursday 31st
    const CalendarCell& last = c.cells[34];
    EXPECT_TRUE(last.left == 701 && last.top == 385 && last.right == 799 && last.bottom == 440);
    EXPECT_TRUE(last.fill == kEmpty && !last.number);

    // Numbers: height 55, "8" is 27 wide: x = 100 + 200 + 50 - 13.
    const CalendarLabel &eight = *Day(c, 8).number, &thirtyFirst = *Day(c, 31).number;
    EXPECT_TRUE(eight.x == 337 && eight.y == 215 && eight.font.height == 55);
    EXPECT_TRUE(thirtyFirst.x == 523 && thirtyFirst.y == 386);  // "31" is 55 wide: 100 + 400 + 50 - 27
}

// ---- rows: F + L decides five or six ----------------------------------------

TEST(CalendarRows, FirstCellsAndRowCountFollowTheFirstWeekday) {
    // March 2026 begins on a Sunday; with Monday first it is in column 6,
    // and 31 days need six rows of 400 div 8 = 50.
    const CalendarLayout c = LayOut(0, 0, 700, 400, {2026, 3, 15}, 2);
    ASSERT_EQ(c.rows, 6);
    ASSERT_EQ(c.cells.size(), 42u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(c.cells[static_cast<std::size_t>(i)].fill, kEmpty) << i;
    EXPECT_EQ(c.cells[6].fill, kWeekend);  // the 1st, a Sunday
    EXPECT_EQ(NumberX(c, 1), 600 + 50 - 13);
    EXPECT_EQ(Day(c, 31).number->y, 106 + 5 * 50 + 2);
    EXPECT_EQ(c.lines[0].y2, 106 + 6 * 50);

    // January 2026 begins on a Thursday: F = 4, F + L = 35 stays five rows,
    // the 31st (a Saturday) in the last cell.
    const CalendarLayout jan = LayOut(0, 0, 700, 400, {2026, 1, 1}, 1);
    EXPECT_EQ(jan.rows, 5);
    EXPECT_EQ(jan.cells.back().fill, kWeekend);
    EXPECT_EQ(Day(jan, 31).number->y, 106 + 4 * 57 + 2);

    // May 2026 begins on a Friday: F = 5, F + L = 36 makes six.
    const CalendarLayout may = LayOut(0, 0, 700, 400, {2026, 5, 1}, 1);
    EXPECT_EQ(may.rows, 6);
    EXPECT_EQ(Day(may, 31).number->y, 106 + 5 * 50 + 2);

    // February 2026 begins on a Sunday: with Sunday first the last row is empty.
    const CalendarLayout feb = LayOut(0, 0, 700, 400, {2026, 2, 10}, 1);
    EXPECT_EQ(feb.rows, 5);
    EXPECT_EQ(feb.cells[0].fill, kWeekend);
    for (std::size_t i = 28; i < 35; ++i) EXPECT_TRUE(feb.cells[i].fill == kEmpty && !feb.cells[i].number) << i;
}

// ---- first weekday -----------------------------------------------------------

TEST(CalendarFirstWeekday, NamesRotateAndTheFirstMoves) {
    // Saturday first and May 2026 (1st a Friday): F = 6.
    const CalendarLayout c = LayOut(0, 0, 700, 400, {2026, 5, 1}, 7);
    EXPECT_EQ(WeekdayNames(c), "sam.dim.lun.mar.mer.jeu.ven.");
    EXPECT_EQ(NumberX(c, 1), 600 + 50 - 13);

    // Sunday first and March 2026 (1st a Sunday): F = 0.
    EXPECT_EQ(NumberX(LayOut(0, 0, 700, 400, {2026, 3, 1}, 1), 1), 50 - 13);

    // Wednesday first.
    EXPECT_EQ(WeekdayNames(LayOut(0, 0, 700, 400, {2026, 3, 1}, 4)), "mer.jeu.ven.sam.dim.lun.mar.");

    // A hand-edited value out of range counts as Sunday.
    for (int bad : {0, 8, -3, INT_MAX, INT_MIN}) {
        const CalendarLayout b = LayOut(0, 0, 700, 400, {2026, 12, 8}, bad);
        EXPECT_EQ(b.weekdays[0].text, "dim.") << bad;
        EXPECT_EQ(NumberX(b, 1), 200 + 50 - 13) << bad;
    }
}

TEST(CalendarFirstWeekday, WeekendIsSaturdayAndSundayWhateverTheFirstDay) {
    for (int ref = 1; ref <= 7; ++ref) {
        const CalendarLayout c = LayOut(0, 0, 700, 400, {2026, 12, 8}, ref);
        for (int n = 1; n <= 31; ++n) {
            const int weekday = (2 + n - 1) % 7;  // 1 December 2026 is a Tuesday
            const bool weekend = weekday == 0 || weekday == 6;
            EXPECT_EQ(Day(c, n).fill, weekend ? kWeekend : kWorkday) << "RefDay " << ref << " day " << n;
        }
    }
    // Monday first: the two rightmost columns are the weekend.
    for (const CalendarCell& cell : LayOut(0, 0, 700, 400, {2026, 12, 8}, 2).cells)
        EXPECT_TRUE(cell.fill != kWeekend || cell.left == 501 || cell.left == 601) << cell.left;
}

// ---- dates -------------------------------------------------------------------

TEST(CalendarDates, LeapYearsByTheGregorianRule) {
    EXPECT_TRUE(DaysInMonth(2026, 4) == 30 && DaysInMonth(2026, 12) == 31);
    // Far from today, both ways.
    EXPECT_TRUE(DayOfWeek(2000, 1, 1) == 6 && DayOfWeek(1, 1, 1) == 1 && DayOfWeek(2100, 12, 31) == 5);

    for (auto [year, days] : {std::pair{2000, 29}, {2024, 29}, {1900, 28}, {2100, 28}, {2026, 28}}) {
        const CalendarLayout c = LayOut(0, 0, 700, 400, {year, 2, 1}, 1);
        EXPECT_TRUE(Day(c, days).number) << year;
        EXPECT_FALSE(Day(c, days + 1).number) << year;
    }
}

TEST(CalendarDates, TitleTakesTheYearOnFourDigitsAndAnUpperCaseInitial) {
    EXPECT_EQ(LayOut(0, 0, 700, 400, {2026, 8, 3}, 1).title.text, "Août 2026");
    EXPECT_EQ(LayOut(0, 0, 700, 400, {987, 1, 3}, 1).title.text, "Janvier 0987");

    // Only a..z are changed by the portable default; the user's locale
    // implementation handles other scripts.
    FrenchNames names;
    EXPECT_EQ(names.UpperFirstLetter("été 2026"), "été 2026");
    EXPECT_EQ(names.UpperFirstLetter("mai 2026"), "Mai 2026");
    EXPECT_EQ(names.UpperFirstLetter(""), "");
}

// ---- the current day ---------------------------------------------------------

TEST(CalendarToday, OnlyTodayIsBoldAndInItsColourAndKeepsItsFill) {
    const CalendarLayout c = LayOut(0, 0, 700, 400, {2026, 12, 19}, 2);
    for (const CalendarCell& cell : c.cells) {
        if (!cell.number) continue;
        const bool today = cell.number->text == "19";
        EXPECT_EQ(cell.number->font.bold, today) << cell.number->text;
        EXPECT_EQ(cell.number->colour, today ? 255u : 0x000003u) << cell.number->text;
    }
    EXPECT_EQ(Day(c, 19).fill, kWeekend);  // a Saturday
}

// ---- measuring ---------------------------------------------------------------

TEST(CalendarMeasuring, NumbersInTheirOwnStyleNamesAtOneHeightForTheWidest) {
    RecordingCanvas canvas;
    canvas.widthOf = [](const std::string& t, int h, bool bold) {
        return (t == "mer." ? 6 : RecordingCanvas::CodePoints(t)) * h / 2 + (bold ? 10 : 0);
    };
    const CalendarLayout c = LayOut(0, 0, 700, 400, {2026, 12, 8}, 1, canvas);
    // "8" bold is 37 wide, "9" regular 27: both centred on their column.
    EXPECT_EQ(NumberX(c, 8), 200 + 50 - 18);
    EXPECT_EQ(NumberX(c, 9), 300 + 50 - 13);
    // Fitted in bold: 6 * 30 / 2 + 10 = 100 <= 100 for the widest name.
    for (const CalendarLabel& n : c.weekdays) EXPECT_EQ(n.font.height, 30) << n.text;
    EXPECT_EQ(c.lines[0].y1, 56 + 30);
}

// ---- painting ----------------------------------------------------------------

TEST(CalendarPainting, DrawsTheLayoutInOrderAndGivesTheCanvasBack) {
    RecordingCanvas canvas;
    canvas.brush_ = 0x123456;
    const CalendarLayout layout = LayOut(0, 0, 700, 400, {2026, 12, 8}, 1);
    DrawCalendar(canvas, {0, 0, 700, 400}, {2026, 12, 8}, 1, CalendarDefaults(), FrenchNames());

    // Title, names, lines, then each cell's fill and number, as laid out.
    const auto texts = canvas.Of(Call::Text);
    ASSERT_EQ(texts.size(), 1u + 7u + 31u);
    EXPECT_TRUE(texts[0].text == layout.title.text && texts[0].x == layout.title.x && texts[0].height == 56 &&
                texts[0].bold && texts[0].fontColour == layout.title.colour && texts[0].face == "TitleFace");
    EXPECT_TRUE(texts[7].text == "sam." && texts[7].x == layout.weekdays[6].x && !texts[7].bold);
    const CalendarLabel& eight = *Day(layout, 8).number;
    EXPECT_TRUE(texts[8 + 7].text == "8" && texts[8 + 7].x == eight.x && texts[8 + 7].bold &&
                texts[8 + 7].fontColour == 255u);
    for (const Call& t : texts) EXPECT_TRUE(t.transparent) << t.text;
    EXPECT_EQ(canvas.Segments().size(), layout.lines.size());
    EXPECT_EQ(canvas.Segments()[9].y1, layout.lines[9].y1);
    const auto fills = canvas.Of(Call::Fill);
    ASSERT_EQ(fills.size(), layout.cells.size());
    EXPECT_TRUE(fills[2].brush == kWorkday && fills[2].x == layout.cells[2].left && fills[2].y2 == layout.cells[2].bottom);

    // The brush and the background mode come back.
    EXPECT_EQ(canvas.brush_, 0x123456u);
    EXPECT_FALSE(canvas.transparent_);
    canvas.transparent_ = true;
    PaintCalendar(canvas, layout);
    EXPECT_TRUE(canvas.transparent_);
}

// ---- odd rectangles ----------------------------------------------------------

TEST(CalendarOddRectangles, SmallUpsideDownAndOverflowingRectangles) {
    // A title wider than the rectangle overflows both sides.
    EXPECT_EQ(LayOut(200, 0, 270, 400, {2026, 12, 8}, 1).title.x, 200 + 35 - 182);

    // UH = 7: title height 0, numbers -1; the fitting never shrinks below 0.
    const CalendarLayout seven = LayOut(0, 0, 70, 7, {2026, 12, 8}, 1);
    EXPECT_TRUE(seven.title.font.height == 0 && seven.weekdays[0].font.height == 0 &&
                Day(seven, 1).number->font.height == -1);

    // 5 x 5: CW = 0, heights -1 and -2; every cell is still laid out.
    const CalendarLayout five = LayOut(10, 10, 15, 15, {2026, 12, 8}, 1);
    EXPECT_TRUE(five.title.font.height == -1 && Day(five, 31).number->font.height == -2 && five.cells.size() == 35);

    // W = -70, UH = -60: -60 div 7 is -8 (not -9), so the title height is -9
    // and the numbers' -10; CW = -10.
    const CalendarLayout upsideDown = LayOut(100, 100, 30, 40, {2026, 12, 8}, 1);
    EXPECT_TRUE(upsideDown.title.font.height == -9 && Day(upsideDown, 1).number->font.height == -10 &&
                upsideDown.lines[1].x1 == 100 - 10);
}

TEST(CalendarOddRectangles, ExtremeValuesNeitherOverflowNorHang) {
    const CalendarLayout huge = LayOut(INT_MIN, INT_MIN, INT_MAX, INT_MAX, {2026, 12, 8}, 1);
    EXPECT_EQ(huge.cells.size(), 35u);
    for (const CalendarLine& line : huge.lines) EXPECT_LE(line.x1, line.x2);  // no wrapped coordinates

    // Four billion pixels tall and 50 wide: the names must shrink from about
    // 570 million to the largest height that fits CW = 7 (4 * 3 / 2 = 6),
    // without measuring each height on the way.
    RecordingCanvas canvas;
    const CalendarLayout tall = LayOut(0, -2000000000, 50, 2000000000, {2026, 12, 8}, 1, canvas);
    EXPECT_LT(canvas.measures, 2000);
    EXPECT_EQ(tall.weekdays[0].font.height, 3);
}

}  // namespace
}  // namespace orvane
