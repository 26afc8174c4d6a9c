#include <gtest/gtest.h>

#include "core/wallpaper/settings_transfer.h"
#include "core/whole_number.h"

namespace orvane {

namespace {

WallpaperSettings LoadedSettings() {
    WallpaperSettings s;
    s.RunAtStartup = true;
    s.RunMode = 1;
    s.Interval = 30000;
    s.Random = true;
    s.WallPaperMode = 2;
    s.Calendar = true;
    s.TransparentIcon = true;
    s.QuickIcon = true;
    s.RefDay = 1;
    return s;
}

}  // namespace

TEST(ParamFill, PeriodicModeSplitsTheInterval) {
    WallpaperSettings s = LoadedSettings();
    s.Interval = 5400;
    ParamControlState c;
    FillParamControls(s, c);
    EXPECT_TRUE(c.RadioButton4);
    EXPECT_FALSE(c.RadioButton3);
    EXPECT_EQ(c.Edit1, "1");
    EXPECT_EQ(c.Edit2, "30");
    EXPECT_EQ(c.ComboBox1, 0);
    EXPECT_TRUE(c.QuickIcon);
    EXPECT_EQ(c.Position, -1);  // left to activation
    s.Interval = 40 * 3600;  // hours beyond a day stay as they are
    FillParamControls(s, c);
    EXPECT_EQ(c.Edit1, "40");
    EXPECT_EQ(c.Edit2, "0");
}

TEST(ParamPosition, ActivationFollowsTheStoredMode) {
    EXPECT_EQ(PositionForMode(0), 0);
    EXPECT_EQ(PositionForMode(1), 1);
    EXPECT_EQ(PositionForMode(2), 2);
    EXPECT_EQ(PositionForMode(3), -1);
    EXPECT_EQ(PositionForMode(-1), -1);
}

TEST(ParamTransfer, OneHourThirtyMinutes) {
    WallpaperSettings s = LoadedSettings();
    ParamControlState c;
    FillParamControls(s, c);
    c.Edit1 = "1";
    c.Edit2 = "30";
    c.ComboBox1 = 6;  // "Samedi"
    const auto r = TransferParamControls(c, s);
    EXPECT_EQ(s.RunMode, 1);
    EXPECT_EQ(s.Interval, 5400);
    EXPECT_TRUE(r.rotationEnabled);
    EXPECT_EQ(r.rotationMs, 5400000u);
    EXPECT_EQ(s.RefDay, 7);
}

TEST(ParamTransfer, AtEachStartKeepsTheInterval) {
    WallpaperSettings s = LoadedSettings();
    ParamControlState c;
    FillParamControls(s, c);
    c.RadioButton3 = true;
    c.RadioButton4 = false;
    c.Edit1 = "abc";  // not read in this mode
    const auto r = TransferParamControls(c, s);
    EXPECT_EQ(s.RunMode, 0);
    EXPECT_EQ(s.Interval, 30000);
    EXPECT_FALSE(r.rotationEnabled);
}

TEST(ParamTransfer, ZeroDurationAndLargeHoursAreUsedAsTyped) {
    WallpaperSettings s = LoadedSettings();
    ParamControlState c;
    c.Edit1 = "0";
    c.Edit2 = "0";
    auto r = TransferParamControls(c, s);
    EXPECT_EQ(s.Interval, 0);
    EXPECT_EQ(r.rotationMs, 0u);
    c.Edit1 = "$28";  // 40 hours
    r = TransferParamControls(c, s);
    EXPECT_EQ(s.Interval, 144000);
    c.Edit1 = "1193";
    c.Edit2 = "2";
    r = TransferParamControls(c, s);
    EXPECT_EQ(r.rotationMs, 4294920000u);
}

TEST(ParamTransfer, UnreadableFieldStopsAfterTheFirstSteps) {
    WallpaperSettings s = LoadedSettings();
    s.RunMode = 0;
    s.Calendar = true;
    const WallpaperSettings before = s;
    ParamControlState c;
    c.CheckBox1 = false;
    c.RadioButton1 = false;
    c.Edit1 = "abc";
    c.CheckBox2 = false;
    c.ComboBox1 = 3;
    c.Position = 0;
    EXPECT_THROW(
        {
            try {
                TransferParamControls(c, s);
            } catch (const std::exception& e) {
                EXPECT_STREQ(e.what(), "'abc' n'est pas une valeur entière correcte");
                throw;
            }
        },
        std::exception);
    EXPECT_FALSE(s.RunAtStartup);
    EXPECT_FALSE(s.Random);
    EXPECT_EQ(s.RunMode, 1);
    EXPECT_EQ(s.Interval, before.Interval);
    EXPECT_EQ(s.WallPaperMode, before.WallPaperMode);
    EXPECT_TRUE(s.Calendar);
    EXPECT_EQ(s.RefDay, before.RefDay);

    // The minutes field is checked after the hours field.
    s = before;
    c.Edit1 = "2";
    c.Edit2 = "1 5";
    EXPECT_THROW(TransferParamControls(c, s), std::exception);
    EXPECT_EQ(s.Interval, before.Interval);
}

TEST(ParamTransfer, RefusedDurationChangesNothing) {
    for (auto [h, m] : {std::pair{"-1", "30"}, std::pair{"2", "-5"}, std::pair{"1194", "0"},
                        std::pair{"2147483647", "59"}}) {
        WallpaperSettings s = LoadedSettings();
        s.RunMode = 0;
        ParamControlState c;
        c.CheckBox1 = false;
        c.RadioButton1 = false;
        c.Edit1 = h;
        c.Edit2 = m;
        EXPECT_THROW(TransferParamControls(c, s), std::exception) << h << " " << m;
        EXPECT_TRUE(s.RunAtStartup);
        EXPECT_TRUE(s.Random);
        EXPECT_EQ(s.RunMode, 0);
        EXPECT_EQ(s.Interval, 30000);
    }
}

TEST(ParamTransfer, PositionCalendarIconsAndDay) {
    WallpaperSettings s = LoadedSettings();
    s.WallPaperMode = 7;  // hand-edited: kept unless a button is chosen
    ParamControlState c;
    FillParamControls(s, c);
    c.Position = -1;
    c.CheckBox2 = false;
    c.cbTranspIcon = false;
    c.QuickIcon = true;
    c.ComboBox1 = -1;
    auto r = TransferParamControls(c, s);
    EXPECT_EQ(s.WallPaperMode, 7);
    EXPECT_TRUE(r.calendarWasOn);
    EXPECT_FALSE(s.Calendar);
    EXPECT_TRUE(r.timerTransEnabled);
    EXPECT_EQ(s.RefDay, 1);  // no day chosen: not turned into 0

    c.Position = 0;
    c.QuickIcon = false;
    c.CheckBox2 = true;
    c.ComboBox1 = 0;
    r = TransferParamControls(c, s);
    EXPECT_EQ(s.WallPaperMode, 0);
    EXPECT_FALSE(r.calendarWasOn);
    EXPECT_TRUE(s.Calendar);
    EXPECT_FALSE(r.timerTransEnabled);
    EXPECT_EQ(s.RefDay, 1);
}

}  // namespace orvane
