// The desktop label options of the real program against the stand-in desktop
// (fake_desktop.exe), which records the list-view messages it receives.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

class DesktopE2eTest : public WallpaperTest {
protected:
    void StartDesktop(const std::wstring& options) {
        log_ = folder_ + L"desktop.log";
        desktop_ = Process::Start(L"fake_desktop.exe", L"\"" + log_ + L"\" " + options);
        ASSERT_TRUE(WaitFor([] { return ::FindWindowW(L"Progman", L"Program Manager") != nullptr; }));
    }
    void StartWithPicture(DWORD rgb) {
        const std::wstring picture = pictures_ + L"fond.bmp";
        ASSERT_TRUE(WriteSolidBmp(picture, 8, 8, rgb));
        ASSERT_TRUE(WriteBytes(ListFile(), std::string(picture.begin(), picture.end()) + "\r\n"));
        Start();
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> lines;
        const std::string data = ReadBytes(log_);
        for (std::size_t pos = 0; pos < data.size();) {
            const std::size_t end = data.find("\r\n", pos);
            if (end == std::string::npos) break;
            std::string line = data.substr(pos, end - pos);
            pos = end + 2;
            if (line.rfind("LVM_", 0) == 0) lines.push_back(line);
        }
        return lines;
    }
    static long Count(const std::vector<std::string>& lines, const std::string& what) {
        return std::count(lines.begin(), lines.end(), what);
    }
    void TearDown() override {
        app_.Kill();
        desktop_.Kill();
        WallpaperTest::TearDown();
    }

    std::wstring log_;
    Process desktop_;
};

TEST_F(DesktopE2eTest, WhiteWallpaperGivesBlackLabelsAndLaterTicksLeaveThemAlone) {
    // Today's shell: the view in a "WorkerW" window, the list view titled.
    StartDesktop(L"bk=00ffffff count=4 workerw folderview");
    StartWithPicture(0xFFFFFF);
    ASSERT_TRUE(WaitFor([&] { return Count(Messages(), "LVM_SETTEXTCOLOR 0 0") > 0; }, 10000));
    // Two ticks of the 2-second timer after the change.
    ::Sleep(4500);
    const auto lines = Messages();
    EXPECT_EQ(Count(lines, "LVM_SETTEXTBKCOLOR 0 ffffffff"), 1);
    EXPECT_EQ(Count(lines, "LVM_SETTEXTCOLOR 0 0"), 1);
    EXPECT_EQ(Count(lines, "LVM_REDRAWITEMS 0 3"), 1);
    EXPECT_GE(Count(lines, "LVM_GETTEXTBKCOLOR 0 0"), 2);
    EXPECT_GE(Count(lines, "LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"), 2);
    // The colour messages came first, with the wallpaper change.
    const auto first = std::find(lines.begin(), lines.end(), "LVM_SETTEXTBKCOLOR 0 ffffffff");
    EXPECT_EQ(first, lines.begin());
}

TEST_F(DesktopE2eTest, QuickActivationOffClearsTheExtendedStylesEveryTick) {
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"QuickIcon", L"0"));
    StartDesktop(L"bk=ffffffff");
    StartWithPicture(0x000000);
    ::Sleep(300 + 4500);
    const auto lines = Messages();
    EXPECT_GE(Count(lines, "LVM_SETEXTENDEDLISTVIEWSTYLE 848 0"), 2);
    EXPECT_EQ(Count(lines, "LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"), 0);
    // Labels already transparent: the ticks send nothing about colours
    // (only the change itself set them, once).
    EXPECT_EQ(Count(lines, "LVM_SETTEXTCOLOR 0 ffffff"), 1);
}

TEST_F(DesktopE2eTest, BothOptionsOffLeaveTheDesktopAlone) {
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"QuickIcon", L"0"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"TransparentIcon", L"0"));
    StartDesktop(L"");
    StartWithPicture(0x808080);
    ::Sleep(300 + 4500);
    EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace e2e
