// A scaled display (144 DPI): the windows grow by half and the wallpaper is
// still composed at the screen's true pixel size.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

// Wine reads the display's DPI from the user's LogPixels when a process starts.
class HighDpiTest : public WallpaperTest {
protected:
    void SetUp() override {
        WallpaperTest::SetUp();
        previous_ = ReadValue(Root::CurrentUser, kDesktopKey, L"LogPixels");
    }
    void TearDown() override {
        WallpaperTest::TearDown();
        if (previous_)
            WriteValue(Root::CurrentUser, kDesktopKey, L"LogPixels", *previous_);
        else
            DeleteValue(Root::CurrentUser, kDesktopKey, L"LogPixels");
    }
    SIZE ClientAt(DWORD dpi) {
        EXPECT_TRUE(WriteDword(Root::CurrentUser, kDesktopKey, L"LogPixels", dpi));
        Start(L"/afficher");
        AcceptMessageBox();  // empty list
        HWND main = WaitMainWindow();
        RECT rc{};
        if (main) ::GetClientRect(main, &rc);
        app_.Kill();
        return SIZE{rc.right, rc.bottom};
    }
    std::optional<RegValue> previous_;
};

TEST_F(HighDpiTest, TheMainWindowGrowsByHalfAt144Dpi) {
    const SIZE normal = ClientAt(96);
    EXPECT_EQ(normal.cx, 361);
    EXPECT_EQ(normal.cy, 312);
    const SIZE large = ClientAt(144);
    EXPECT_EQ(large.cx, ::MulDiv(361, 3, 2));
    EXPECT_EQ(large.cy, 468);
}

TEST_F(HighDpiTest, TheWallpaperHasTheScreensPixelSizeAt144Dpi) {
    ASSERT_TRUE(WriteDword(Root::CurrentUser, kDesktopKey, L"LogPixels", 144));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"petit.bmp", 40, 30, 0x4080C0));
    const std::string folder(pictures_.begin(), pictures_.end());
    ASSERT_TRUE(WriteBytes(ListFile(), folder + "petit.bmp\r\n"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"WallPaperMode", L"2"));
    wchar_t dir[MAX_PATH + 1]{};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    const std::wstring file = std::wstring(dir) + L"\\OrvaneWallPaper.bmp";
    ::DeleteFileW(file.c_str());
    Start();
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(file).size() > 54; }, 15000));
    const std::string bytes = ReadBytes(file);
    BITMAPINFOHEADER ih;
    memcpy(&ih, bytes.data() + sizeof(BITMAPFILEHEADER), sizeof(ih));
    // The display mode itself, which no DPI virtualisation touches.
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(ih.biWidth, static_cast<LONG>(mode.dmPelsWidth));
    EXPECT_EQ(std::abs(ih.biHeight), static_cast<LONG>(mode.dmPelsHeight));
}

}  // namespace
}  // namespace e2e
