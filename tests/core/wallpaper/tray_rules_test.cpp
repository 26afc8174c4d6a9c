#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/wallpaper/settings_transfer.h"
#include "core/wallpaper/tray_icon_rules.h"
#include "core/whole_number.h"

namespace orvane {

TEST(TrayIconIndex, OutOfRangeIndicesShowAnExistingIcon) {
    EXPECT_EQ(ClampIconIndex(0, 2), 0);
    EXPECT_EQ(ClampIconIndex(1, 2), 1);
    EXPECT_EQ(ClampIconIndex(2, 2), 1);
    EXPECT_EQ(ClampIconIndex(5, 2), 1);
    EXPECT_EQ(ClampIconIndex(-3, 2), 0);
    EXPECT_EQ(ClampIconIndex(4, 0), 0);
}

TEST(TrayClicks, QuickClickIsRaisedOnlyWhenTheTimerDecides) {
    TrayClickTracker t;
    EXPECT_TRUE(t.LeftDown());
    EXPECT_FALSE(t.LeftUp());  // still inside the double-click time
    EXPECT_TRUE(t.ClickPending());
    EXPECT_TRUE(t.TimerElapsed());
    EXPECT_FALSE(t.ClickPending());
    EXPECT_FALSE(t.TimerRunning());
    // Nothing left over for the next tick.
    EXPECT_FALSE(t.TimerElapsed());
    // A long press is a click at its release.
    t.LeftDown();
    EXPECT_FALSE(t.TimerElapsed());  // the press is still held: nothing pending
    EXPECT_TRUE(t.LeftUp());
    EXPECT_FALSE(t.ClickPending());
}

TEST(TrayClicks, DoubleClickSwallowsTheSingleClicks) {
    TrayClickTracker t;
    t.LeftDown();
    EXPECT_FALSE(t.LeftUp());
    t.DoubleClick();  // second press arrives as the double click
    EXPECT_FALSE(t.LeftUp());
    EXPECT_FALSE(t.TimerElapsed());
    // The next lone click works again.
    t.LeftDown();
    EXPECT_FALSE(t.LeftUp());
    EXPECT_TRUE(t.TimerElapsed());
    // A release without its press is not a click.
    EXPECT_FALSE(t.LeftUp());
    EXPECT_FALSE(t.TimerElapsed());
}

TEST(WholeNumbers, ReadAsTheVclReadsThem) {
    EXPECT_EQ(ParseWholeNumber("0"), 0);
    EXPECT_EQ(ParseWholeNumber("40"), 40);
    EXPECT_EQ(ParseWholeNumber("+7"), 7);
    EXPECT_EQ(ParseWholeNumber("-12"), -12);
    EXPECT_EQ(ParseWholeNumber("007"), 7);
    EXPECT_EQ(ParseWholeNumber("$1A"), 26);
    EXPECT_EQ(ParseWholeNumber("$ff"), 255);
    EXPECT_EQ(ParseWholeNumber("-$10"), -16);
    EXPECT_EQ(ParseWholeNumber("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), INT32_MIN);
}

TEST(WholeNumbers, AnythingElseIsRefused) {
    for (const char* bad : {"", " ", "abc", " 5", "5 ", "1.5", "1,5", "-", "+", "$", "$G", "$123456789",
                            "2147483648", "-2147483649", "99999999999999999999", "1e3", "0x10", "５"}) {
        EXPECT_FALSE(ParseWholeNumber(bad).has_value()) << bad;
    }
}

TEST(WholeNumbers, ErrorQuotesTheFieldText) {
    for (const std::string text : {"abc", ""}) {
        try {
            ParseWholeNumberOrThrow(text);
            ADD_FAILURE() << text;
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), "'" + text + "' n'est pas une valeur entière correcte");
        }
    }
}

TEST(IntervalLimits, NegativeAndOverlongDurationsAreRefused) {
    EXPECT_FALSE(IntervalRefusal(0, 0));
    EXPECT_FALSE(IntervalRefusal(40, 0));  // typed values are used as typed
    EXPECT_FALSE(IntervalRefusal(1193, 2));
    EXPECT_EQ(IntervalRefusal(1193, 3), "La durée entre deux changements est trop longue : "
                                        "elle ne peut pas dépasser 1193 H et 2 mn.");
    EXPECT_TRUE(IntervalRefusal(0, 71583));  // 4294980 s: one minute too many
    EXPECT_FALSE(IntervalRefusal(0, 71582));
    EXPECT_EQ(IntervalRefusal(-1, 30), "La durée entre deux changements ne peut pas être négative : "
                                       "indiquez des heures et des minutes positives ou nulles.");
    EXPECT_TRUE(IntervalRefusal(1, -30));
    EXPECT_TRUE(IntervalRefusal(INT32_MAX, INT32_MAX));
    // The longest accepted interval still fits the millisecond timer.
    EXPECT_LE((1193LL * 3600 + 2 * 60) * 1000, 0xFFFFFFFFLL);
}

}  // namespace orvane
