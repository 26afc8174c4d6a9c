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
    ASSERT_GT(normal.cx, 0);
    const SIZE large = ClientAt(144);
    EXPECT_EQ(large.cx, ::MulDiv(normal.cx, 3, 2));
    EXPECT_EQ(large.cy, ::MulDiv(normal.cy, 3, 2));
}

TEST_F(HighDpiTest, TheWallpaperHasTheScreensPixelSizeAt144Dpi) {
    ASSERT_TRUE(WriteDword(Root::CurrentUser, kDesktopKey, L"LogPixels", 144));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"petit.bmp", 40, 30, 0x4080C0));
    WriteList({pictures_ + L"petit.bmp"});
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"WallPaperMode", L"2"));
    ::DeleteFileW(ComposedWallpaperPath().c_str());
    Start();
    std::optional<SIZE> size;
    ASSERT_TRUE(WaitFor([&] { return (size = BitmapSize(ComposedWallpaperPath())).has_value(); }, 15000));
    // The display mode itself, which no DPI virtualisation touches.
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(size->cx, static_cast<LONG>(mode.dmPelsWidth));
    EXPECT_EQ(size->cy, static_cast<LONG>(mode.dmPelsHeight));
}

}  // namespace
}  // namespace e2e
