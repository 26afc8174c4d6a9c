#include "core/wallpaper/calendar.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "core/recording_canvas.h"

namespace orvane {
namespace {

using testing::Call;
using testing::CalendarDefaults;
using testing::FrenchNames;
using testing::RecordingCanvas;

// Texts drawn in a face (title, weekday names or day numbers).
std::vector<Call> TextsIn(const RecordingCanvas& c, const std::string& face) {
    std::vector<Call> out;
    for (const Call& t : c.Of(Call::Text))
        if (t.face == face) out.push_back(t);
    return out;
}

// The day number n as drawn; a missing number comes back far off any grid.
std::optional<Call> NumberText(const RecordingCanvas& c, int n) {
    for (const Call& t : TextsIn(c, "NumberFace"))
        if (t.text == std::to_string(n)) return t;
    Call missing;
    missing.x = missing.y = INT_MIN;
    return missing;
}

RecordingCanvas Draw(int l, int t, int r, int b, Date date, int refDay, int tm = 0, int hm = 0, int vm = 0) {
    RecordingCanvas canvas;
    const WallpaperSettings s = CalendarDefaults();
    DrawCalendar(canvas, l, t, r, b, tm, hm, vm, date, refDay, s, FrenchNames());
    return canvas;
}

int RowCount(const RecordingCanvas& c) {
    int horizontal = 0;
    for (const auto& seg : c.Segments())
        if (seg.y1 == seg.y2) ++horizontal;
    return horizontal - 1;
}

// ---- the whole layout of one month, checked against hand-computed values ----

// December 2026 begins on a Tuesday. Rectangle 700 x 400 at (100, 50), no
// margins: UH 400, CW 100, title height 400/7 - 1 = 56, numbers 55, RH 57.
TEST(CalendarLayout, December2026FiveRowsEveryCoordinate) {
    const RecordingCanvas c = Draw(100, 50, 800, 450, {2026, 12, 8}, 1);

    const auto titles = TextsIn(c, "TitleFace");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].text, "Décembre 2026");
    EXPECT_EQ(titles[0].height, 56);
    EXPECT_TRUE(titles[0].bold);
    EXPECT_EQ(titles[0].fontColour, 0x000001u);
    // 13 code points * 28 = 364 wide: x = 100 + 350 - 182.
    EXPECT_EQ(titles[0].x, 268);
    EXPECT_EQ(titles[0].y, 50);

    // Names 4 code points wide: 112 at height 56, 100 at 50 fits CW = 100.
    const auto names = TextsIn(c, "DayFace");
    ASSERT_EQ(names.size(), 7u);
    const char* expected[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
    for (int j = 0; j < 7; ++j) {
        EXPECT_EQ(names[j].text, expected[j]);
        EXPECT_EQ(names[j].x, 100 + 100 * j);
        EXPECT_EQ(names[j].y, 106);  // top + TH
        EXPECT_EQ(names[j].height, 50);
        EXPECT_FALSE(names[j].bold);
        EXPECT_EQ(names[j].fontColour, 0x000002u);
    }

    // Grid: GY = 50 + 56 + 50 = 156; 8 vertical lines down to 156 + 5 * 57.
    const auto segs = c.Segments();
    ASSERT_EQ(segs.size(), 8u + 6u);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(segs[j].x1, 100 + 100 * j);
        EXPECT_EQ(segs[j].x2, 100 + 100 * j);
        EXPECT_EQ(segs[j].y1, 156);
        EXPECT_EQ(segs[j].y2, 441);
    }
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(segs[8 + k].y1, 156 + 57 * k);
        EXPECT_EQ(segs[8 + k].y2, 156 + 57 * k);
        EXPECT_EQ(segs[8 + k].x1, 100);
        EXPECT_EQ(segs[8 + k].x2, 800);
    }

    // 2 empty cells, 31 days, 2 empty cells.
    const auto fills = c.Of(Call::Fill);
    ASSERT_EQ(fills.size(), 35u);
    EXPECT_EQ(fills[0].brush, 32896u);
    EXPECT_EQ(fills[0].x, 101);
    EXPECT_EQ(fills[0].y, 157);
    EXPECT_EQ(fills[0].x2, 199);
    EXPECT_EQ(fills[0].y2, 212);
    EXPECT_EQ(fills[1].brush, 32896u);
    EXPECT_EQ(fills[2].brush, 65535u);      // Tuesday 1st
    EXPECT_EQ(fills[6].brush, 16711680u);   // Saturday 5th
    EXPECT_EQ(fills[7].brush, 16711680u);   // Sunday 6th
    EXPECT_EQ(fills[9].brush, 65535u);      // today, a Tuesday: fill by weekday class
    EXPECT_EQ(fills[32].brush, 65535u);     // Thursday 31st
    EXPECT_EQ(fills[34].brush, 32896u);
    EXPECT_EQ(fills[34].x, 701);
    EXPECT_EQ(fills[34].y, 385);
    EXPECT_EQ(fills[34].x2, 799);
    EXPECT_EQ(fills[34].y2, 440);

    // Numbers: height 55, "8" is 27 wide: x = 100 + 200 + 50 - 13.
    const auto eight = NumberText(c, 8);
    ASSERT_EQ(eight->text, "8");
    EXPECT_EQ(eight->x, 337);
    EXPECT_EQ(eight->y, 215);
    EXPECT_EQ(eight->height, 55);
    const auto last = NumberText(c, 31);
    ASSERT_EQ(last->text, "31");
    EXPECT_EQ(last->x, 523);  // "31" is 55 wide: 100 + 400 + 50 - 27
    EXPECT_EQ(last->y, 386);
    EXPECT_EQ(TextsIn(c, "NumberFace").size(), 31u);
}

TEST(CalendarLayout, MarginsOfThePreviewShiftEveryPart) {
    // 710 x 420 with TM 10, HM 5, VM 5: UW 700, UH 400, as above.
    const RecordingCanvas c = Draw(0, 0, 710, 420, {2026, 12, 8}, 1, 10, 5, 5);
    const auto title = TextsIn(c, "TitleFace")[0];
    EXPECT_EQ(title.y, 10);
    EXPECT_EQ(title.x, 355 - 182);  // centred on the whole rectangle
    const auto names = TextsIn(c, "DayFace");
    EXPECT_EQ(names[0].x, 5);
    EXPECT_EQ(names[6].x, 605);
    EXPECT_EQ(names[0].y, 5 + 10 + 56);
    const auto segs = c.Segments();
    EXPECT_EQ(segs[0].x1, 5);
    EXPECT_EQ(segs[0].y1, 5 + 10 + 56 + 50);
}

// ---- rows: F + L decides five or six ----------------------------------------

TEST(CalendarRows, SundayFirstWithMondayStartGivesSixRows) {
    // March 2026 begins on a Sunday; with Monday first it is in column 6.
    const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 3, 15}, 2);
    EXPECT_EQ(RowCount(c), 6);
    const auto fills = c.Of(Call::Fill);
    ASSERT_EQ(fills.size(), 42u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(fills[i].brush, 32896u) << i;
    EXPECT_EQ(fills[6].brush, 16711680u);  // the 1st, a Sunday
    const auto one = NumberText(c, 1);
    ASSERT_EQ(one->text, "1");
    EXPECT_EQ(one->x, 600 + 50 - 13);
    // RH = 400 div 8 = 50: the 31st sits in row 5, column 1.
    const auto last = NumberText(c, 31);
    ASSERT_EQ(last->text, "31");
    EXPECT_EQ(last->y, 106 + 5 * 50 + 2);
    const auto segs = c.Segments();
    EXPECT_EQ(segs[0].y2, 106 + 6 * 50);
}

TEST(CalendarRows, ThirtyFiveCellsStayFiveRowsThirtySixMakeSix) {
    // January 2026 begins on a Thursday: F = 4, F + L = 35.
    const RecordingCanvas jan = Draw(0, 0, 700, 400, {2026, 1, 1}, 1);
    EXPECT_EQ(RowCount(jan), 5);
    const auto janFills = jan.Of(Call::Fill);
    ASSERT_EQ(janFills.size(), 35u);
    EXPECT_EQ(janFills[34].brush, 16711680u);  // the 31st, a Saturday, in the last cell
    EXPECT_EQ(NumberText(jan, 31)->y, 106 + 4 * 57 + 2);

    // May 2026 begins on a Friday: F = 5, F + L = 36, RH = 400 div 8.
    const RecordingCanvas may = Draw(0, 0, 700, 400, {2026, 5, 1}, 1);
    EXPECT_EQ(RowCount(may), 6);
    EXPECT_EQ(may.Of(Call::Fill).size(), 42u);
    EXPECT_EQ(NumberText(may, 31)->y, 106 + 5 * 50 + 2);
}

TEST(CalendarRows, FebruaryOnTheFirstWeekdayLeavesALastEmptyRow) {
    // February 2026 begins on a Sunday.
    const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 2, 10}, 1);
    EXPECT_EQ(RowCount(c), 5);
    const auto fills = c.Of(Call::Fill);
    ASSERT_EQ(fills.size(), 35u);
    EXPECT_EQ(fills[0].brush, 16711680u);  // the 1st, first cell
    for (int i = 28; i < 35; ++i) {
        EXPECT_EQ(fills[i].brush, 32896u) << i;
        EXPECT_EQ(fills[i].y, 106 + 4 * 57 + 1);
    }
}

// ---- first weekday -----------------------------------------------------------

TEST(CalendarFirstWeekday, NamesRotateAndTheFirstMoves) {
    // Saturday first and May 2026 (1st a Friday): F = 6.
    const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 5, 1}, 7);
    const auto names = TextsIn(c, "DayFace");
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[0].text, "sam.");
    EXPECT_EQ(names[1].text, "dim.");
    EXPECT_EQ(names[6].text, "ven.");
    EXPECT_EQ(NumberText(c, 1)->x, 600 + 50 - 13);

    // Sunday first and March 2026 (1st a Sunday): F = 0.
    const RecordingCanvas m = Draw(0, 0, 700, 400, {2026, 3, 1}, 1);
    EXPECT_EQ(NumberText(m, 1)->x, 50 - 13);
    EXPECT_EQ(m.Of(Call::Fill)[0].brush, 16711680u);

    // Wednesday first.
    const RecordingCanvas w = Draw(0, 0, 700, 400, {2026, 3, 1}, 4);
    EXPECT_EQ(TextsIn(w, "DayFace")[0].text, "mer.");
    EXPECT_EQ(TextsIn(w, "DayFace")[6].text, "mar.");
}

TEST(CalendarFirstWeekday, WeekendIsSaturdayAndSundayWhateverTheFirstDay) {
    for (int ref = 1; ref <= 7; ++ref) {
        const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 12, 8}, ref);
        const auto fills = c.Of(Call::Fill);
        const int F = (2 + 1 - ref + 7) % 7;  // 1 December 2026 is a Tuesday
        for (int n = 1; n <= 31; ++n) {
            const int weekday = (2 + n - 1) % 7;
            const bool weekend = weekday == 0 || weekday == 6;
            EXPECT_EQ(fills[F + n - 1].brush, weekend ? 16711680u : 65535u) << "RefDay " << ref << " day " << n;
        }
    }
    // Monday first: the two rightmost columns are the weekend.
    const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 12, 8}, 2);
    for (const Call& f : c.Of(Call::Fill))
        if (f.brush == 16711680u) {
            EXPECT_TRUE(f.x == 501 || f.x == 601) << f.x;
        }
}

TEST(CalendarFirstWeekday, HandEditedValueOutOfRangeCountsAsSunday) {
    const RecordingCanvas sunday = Draw(0, 0, 700, 400, {2026, 12, 8}, 1);
    for (int bad : {0, 8, -3, INT_MAX, INT_MIN}) {
        const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 12, 8}, bad);
        ASSERT_EQ(c.calls.size(), sunday.calls.size()) << bad;
        EXPECT_EQ(TextsIn(c, "DayFace")[0].text, "dim.");
        EXPECT_EQ(NumberText(c, 1)->x, NumberText(sunday, 1)->x);
    }
}

// ---- dates -------------------------------------------------------------------

TEST(CalendarDates, LeapYearsByTheGregorianRule) {
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2026, 2), 28);
    EXPECT_EQ(DaysInMonth(2026, 4), 30);
    EXPECT_EQ(DaysInMonth(2026, 12), 31);
    EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);  // far from today, both ways
    EXPECT_EQ(DayOfWeek(1, 1, 1), 1);
    EXPECT_EQ(DayOfWeek(2100, 12, 31), 5);

    for (auto [year, days] : {std::pair{2000, 29}, {2024, 29}, {1900, 28}, {2100, 28}}) {
        const RecordingCanvas c = Draw(0, 0, 700, 400, {year, 2, 1}, 1);
        const auto numbers = TextsIn(c, "NumberFace");
        ASSERT_EQ(static_cast<int>(numbers.size()), days) << year;
        EXPECT_EQ(numbers.back().text, std::to_string(days));
    }
}

TEST(CalendarDates, TitleTakesTheYearOnFourDigitsAndAnUpperCaseInitial) {
    EXPECT_EQ(TextsIn(Draw(0, 0, 700, 400, {2026, 8, 3}, 1), "TitleFace")[0].text, "Août 2026");
    EXPECT_EQ(TextsIn(Draw(0, 0, 700, 400, {987, 1, 3}, 1), "TitleFace")[0].text, "Janvier 0987");

    // Only a..z are changed by the portable default; the user's locale
    // implementation handles other scripts.
    FrenchNames names;
    EXPECT_EQ(names.UpperFirstLetter("été 2026"), "été 2026");
    EXPECT_EQ(names.UpperFirstLetter("mai 2026"), "Mai 2026");
    EXPECT_EQ(names.UpperFirstLetter(""), "");
}

// ---- the current day ---------------------------------------------------------

TEST(CalendarToday, OnlyTodayIsBoldAndInItsColour) {
    const RecordingCanvas c = Draw(0, 0, 700, 400, {2026, 12, 19}, 2);
    for (const Call& t : TextsIn(c, "NumberFace")) {
        const bool today = t.text == "19";
        EXPECT_EQ(t.bold, today) << t.text;
        EXPECT_EQ(t.fontColour, today ? 255u : 0x000003u) << t.text;
        EXPECT_TRUE(t.transparent);
    }
    // Saturday 19th keeps its weekend fill.
    const auto fills = c.Of(Call::Fill);
    EXPECT_EQ(fills[1 + 18].brush, 16711680u);
}

TEST(CalendarToday, NumberAfterTheBoldOneIsCentredInItsOwnStyle) {
    RecordingCanvas canvas;
    canvas.widthOf = [](const std::string& t, int h, bool bold) {
        return RecordingCanvas::CodePoints(t) * h / 2 + (bold ? 10 : 0);
    };
    DrawCalendar(canvas, 0, 0, 700, 400, 0, 0, 0, {2026, 12, 8}, 1, CalendarDefaults(), FrenchNames());
    // "8" bold is 37 wide, "9" regular 27: both centred on their column.
    EXPECT_EQ(NumberText(canvas, 8)->x, 200 + 50 - 18);
    EXPECT_EQ(NumberText(canvas, 9)->x, 300 + 50 - 13);
}

// ---- canvas state ------------------------------------------------------------

TEST(CalendarCanvasState, BrushAndBackgroundModeComeBack) {
    RecordingCanvas canvas;
    canvas.brush_ = 0x123456;
    canvas.transparent_ = false;
    DrawCalendar(canvas, 0, 0, 700, 400, 0, 0, 0, {2026, 12, 8}, 1, CalendarDefaults(), FrenchNames());
    EXPECT_EQ(canvas.brush_, 0x123456u);
    EXPECT_FALSE(canvas.transparent_);
    for (const Call& t : canvas.Of(Call::Text)) EXPECT_TRUE(t.transparent) << t.text;

    canvas.transparent_ = true;
    DrawCalendar(canvas, 0, 0, 700, 400, 0, 0, 0, {2026, 12, 8}, 1, CalendarDefaults(), FrenchNames());
    EXPECT_TRUE(canvas.transparent_);
}

TEST(CalendarCanvasState, SevenNamesShareOneHeightFoundForTheWidest) {
    RecordingCanvas canvas;
    canvas.widthOf = [](const std::string& t, int h, bool) {
        return (t == "mer." ? 6 : 4) * h / 2;  // one wide name
    };
    DrawCalendar(canvas, 0, 0, 700, 400, 0, 0, 0, {2026, 12, 8}, 1, CalendarDefaults(), FrenchNames());
    const auto names = TextsIn(canvas, "DayFace");
    for (const Call& n : names) EXPECT_EQ(n.height, 33) << n.text;  // 6 * 33 / 2 = 99 <= 100
    EXPECT_EQ(canvas.Segments()[0].y1, 56 + 33);
}

// ---- odd rectangles ----------------------------------------------------------

TEST(CalendarOddRectangles, TitleWiderThanTheRectangleOverflowsBothSides) {
    const RecordingCanvas c = Draw(200, 0, 270, 400, {2026, 12, 8}, 1);
    const auto title = TextsIn(c, "TitleFace")[0];
    EXPECT_EQ(title.x, 200 + 35 - 182);
}

TEST(CalendarOddRectangles, TinyHeightsPassZeroAndNegativeFontHeights) {
    // UH = 7: title height 0, numbers -1; the fitting never shrinks below 0.
    const RecordingCanvas seven = Draw(0, 0, 70, 7, {2026, 12, 8}, 1);
    const auto heights = seven.Of(Call::Height);
    ASSERT_GE(heights.size(), 2u);
    EXPECT_EQ(heights.front().x, 0);
    EXPECT_EQ(heights.back().x, -1);

    // UH = 5 and 5 wide: CW = 0, heights -1 and -2; the drawing completes.
    const RecordingCanvas five = Draw(10, 10, 15, 15, {2026, 12, 8}, 1);
    EXPECT_EQ(five.Of(Call::Height).front().x, -1);
    EXPECT_EQ(five.Of(Call::Height).back().x, -2);
    EXPECT_EQ(five.Of(Call::Fill).size(), 35u);
    EXPECT_EQ(TextsIn(five, "NumberFace").size(), 31u);
}

TEST(CalendarOddRectangles, UpsideDownRectangleTruncatesTowardZero) {
    // W = -70, UH = -60: -60 div 7 is -8 (not -9), so the title height is -9
    // and the numbers' -10; CW = -10.
    const RecordingCanvas c = Draw(100, 100, 30, 40, {2026, 12, 8}, 1);
    EXPECT_EQ(c.Of(Call::Height).front().x, -9);
    EXPECT_EQ(c.Of(Call::Height).back().x, -10);
    const auto segs = c.Segments();
    EXPECT_EQ(segs[1].x1, 100 - 10);
    EXPECT_EQ(c.Of(Call::Fill).size(), 35u);
}

TEST(CalendarOddRectangles, ExtremeValuesNeitherOverflowNorHang) {
    const RecordingCanvas huge = Draw(INT_MIN, INT_MIN, INT_MAX, INT_MAX, {2026, 12, 8}, 1);
    EXPECT_EQ(huge.Of(Call::Fill).size(), 35u);
    for (const auto& seg : huge.Segments()) EXPECT_LE(seg.x1, seg.x2);  // no wrapped coordinates

    // Four billion pixels tall and 50 wide: the names must shrink from about
    // 570 million to the largest height that fits CW = 7 (4 * 3 / 2 = 6),
    // without measuring each height on the way.
    const RecordingCanvas tall = Draw(0, -2000000000, 50, 2000000000, {2026, 12, 8}, 1);
    EXPECT_LT(tall.measures, 2000);
    const auto names = TextsIn(tall, "DayFace");
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[0].height, 3);
}

}  // namespace
}  // namespace orvane
