#include "core/wallpaper/monitor_plan.h"

#include <gtest/gtest.h>

#include <tuple>

namespace orvane {
namespace {

using Names = std::vector<std::string>;

// A 4K primary, a 1080p monitor to its left and a portrait one to its right.
std::vector<Monitor> ThreeMonitors() {
    return {Monitor{"\\\\?\\DISPLAY#LEFT", -1920, 540, 0, 1620, false},
            Monitor{"\\\\?\\DISPLAY#MAIN", 0, 0, 3840, 2160, true},
            Monitor{"\\\\?\\DISPLAY#TALL", 3840, -200, 4920, 1720, false}};
}

Names FilesOf(const MonitorPlan& plan) {
    Names names;
    for (const auto& m : plan.monitors) names.push_back(m.fileName);
    return names;
}

TEST(MonitorPlan, EachMonitorGetsItsSizeAPictureAndAFileTheCalendarOnlyOnThePrimary) {
    const MonitorPlan plan = PlanMonitorWallpapers(ThreeMonitors(), {"a.jpg", "b.jpg"}, {});
    ASSERT_EQ(plan.monitors.size(), 3u);
    // Fewer pictures than monitors: the third takes the first again.
    std::vector<std::tuple<std::string, int, int, std::string, bool>> got;
    for (const auto& m : plan.monitors) got.emplace_back(m.deviceId, m.width, m.height, m.picture, m.calendar);
    EXPECT_EQ(got, (decltype(got){{"\\\\?\\DISPLAY#LEFT", 1920, 1080, "a.jpg", false},
                                  {"\\\\?\\DISPLAY#MAIN", 3840, 2160, "b.jpg", true},
                                  {"\\\\?\\DISPLAY#TALL", 1080, 1920, "a.jpg", false}}));
    EXPECT_EQ(FilesOf(plan), (Names{"OrvaneWallPaper-2a.bmp", "OrvaneWallPaper.bmp", "OrvaneWallPaper-3a.bmp"}));
    EXPECT_TRUE(plan.staleFiles.empty());
}

TEST(MonitorPlan, WithoutAFlagThePrimaryIsTheMonitorAtTheOrigin) {
    auto monitors = ThreeMonitors();
    for (auto& m : monitors) m.primary = false;
    EXPECT_TRUE(PlanMonitorWallpapers(monitors, {"p.jpg"}, {}).monitors[1].calendar);
    // None there either (a system that reports odd rectangles): the first.
    monitors = {Monitor{"x", 10, 10, 20, 20, false}, Monitor{"y", 30, 10, 40, 20, false}};
    const MonitorPlan plan = PlanMonitorWallpapers(monitors, {"p.jpg"}, {});
    EXPECT_EQ(FilesOf(plan), (Names{"OrvaneWallPaper.bmp", "OrvaneWallPaper-2a.bmp"}));
}

TEST(MonitorPlan, OtherMonitorsAlternateTheirTwoNamesAndGoneOnesAreRemoved) {
    const auto monitors = ThreeMonitors();
    Names there, seen;
    for (int change = 0; change < 4; ++change) {
        const MonitorPlan plan = PlanMonitorWallpapers(monitors, {"p.jpg"}, there);
        seen.push_back(plan.monitors[0].fileName + plan.monitors[2].fileName);
        // What the model does: write the new files, then remove the stale ones.
        for (const auto& m : plan.monitors)
            if (m.fileName != "OrvaneWallPaper.bmp") there.push_back(m.fileName);
        for (const auto& stale : plan.staleFiles) std::erase(there, stale);
    }
    EXPECT_EQ(seen, (Names{"OrvaneWallPaper-2a.bmpOrvaneWallPaper-3a.bmp", "OrvaneWallPaper-2b.bmpOrvaneWallPaper-3b.bmp",
                           "OrvaneWallPaper-2a.bmpOrvaneWallPaper-3a.bmp", "OrvaneWallPaper-2b.bmpOrvaneWallPaper-3b.bmp"}));

    // Down to the primary alone: every monitor file goes; names with a
    // folder, in another case, come back as given; other files stay.
    const Names folder{"C:\\Windows\\orvanewallpaper-2A.BMP", "C:\\Windows\\OrvaneWallPaper-3b.bmp",
                       "C:\\Windows\\OrvaneWallPaper.bmp", "C:\\Windows\\OrvaneWallPaper-old.bmp",
                       "C:\\Windows\\OrvaneWallPaper-02a.bmp"};
    const MonitorPlan alone = PlanMonitorWallpapers({ThreeMonitors()[1]}, {"p.jpg"}, folder);
    EXPECT_EQ(FilesOf(alone), (Names{"OrvaneWallPaper.bmp"}));
    EXPECT_EQ(alone.staleFiles, (Names{folder[0], folder[1]}));
}

}  // namespace
}  // namespace orvane
