// The preview window of the running program: the calendar placed from the
// stored rectangle, dragged with the mouse, moved to a corner, restyled with
// the font and colour dialogs, and what reaches the registry and the next
// wallpaper.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

// Commands of the calendar's context menu (PreviewWindow::Command; this
// program does not link the preview's code, so the numbers are repeated).
constexpr WPARAM kNormalDayColourCommand = 115;
constexpr WPARAM kMonthFontCommand = 101;

LPARAM At(int x, int y) { return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y))); }

int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

// Pixels of a bitmap file, as 0xRRGGBB, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<DWORD> rgb;
    int Count(DWORD c) const { return static_cast<int>(std::count(rgb.begin(), rgb.end(), c)); }
};

Picture ReadBmp(const std::string& bytes) {
    Picture p;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return p;
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    std::int32_t h;
    std::memcpy(&h, bytes.data() + 22, 4);
    std::uint16_t bpp;
    std::memcpy(&bpp, bytes.data() + 28, 2);
    const std::uint32_t offset = u32(10);
    const int w = static_cast<int>(u32(18));
    const int rows = std::abs(h);
    if ((bpp != 24 && bpp != 32) || w <= 0) return p;
    const std::size_t stride = ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4;
    if (bytes.size() < offset + stride * rows) return p;
    p.width = w;
    p.height = rows;
    for (int y = 0; y < rows; ++y) {
        const int fileRow = h > 0 ? rows - 1 - y : y;
        const auto* row = reinterpret_cast<const unsigned char*>(bytes.data() + offset + stride * fileRow);
        for (int x = 0; x < w; ++x) {
            const unsigned char* px = row + static_cast<std::size_t>(x) * (bpp / 8);
            p.rgb.push_back((DWORD(px[2]) << 16) | (DWORD(px[1]) << 8) | px[0]);
        }
    }
    return p;
}

std::wstring WallpaperFile() {
    wchar_t dir[MAX_PATH + 1]{};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\OrvaneWallPaper.bmp";
}

class PreviewE2eTest : public WallpaperTest {
protected:
    // One picture in the list, the main window shown, the preview opened with
    // its button.
    HWND OpenPreview() {
        EXPECT_TRUE(WriteSolidBmp(pictures_ + L"paysage.bmp", 400, 300, 0x3366AA, 0xFFFFFF));
        const std::wstring path = pictures_ + L"paysage.bmp";
        EXPECT_TRUE(WriteBytes(ListFile(), std::string(path.begin(), path.end()) + "\r\n"));
        EXPECT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"RunAtStartup", L"0"));
        ::DeleteFileW(WallpaperFile().c_str());
        Start(L"/montrer");
        main_ = WaitMainWindow(15000);
        if (!main_) return nullptr;
        Click(Button(main_, L"Afficher l'image"));
        return WaitForWindow(L"Visualisation", L"TPreview", 10000, app_.Id());
    }
    HWND Handle(HWND preview) {
        HWND h = nullptr;
        WaitFor([&] {
            h = FindChild(preview, L"TDragHandle", nullptr);
            return h && ::IsWindowVisible(h);
        });
        return h;
    }
    SIZE Outer(HWND w) {
        RECT r{};
        ::GetWindowRect(w, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    HWND main_ = nullptr;
};

TEST_F(PreviewE2eTest, DraggedCalendarReachesTheRegistryWithReduire) {
    HWND preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    HWND handle = Handle(preview);
    ASSERT_NE(handle, nullptr);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    const SIZE outer = Outer(preview);
    const double sx = double(sw) / outer.cx, sy = double(sh) / outer.cy;

    // Placed from the default rectangle.
    const RECT before = ChildRect(handle);
    EXPECT_EQ(before.left, Round((sw / 4 * 3) / sx));
    EXPECT_EQ(before.top, Round((sh / 4 * 3) / sy));
    EXPECT_EQ(before.right - before.left, Round((sw - sw / 4 * 3) / sx));

    // Grab the middle of the calendar and move it 40 left and 30 up.
    const int cx = (before.right - before.left) / 2, cy = (before.bottom - before.top) / 2;
    ::PostMessageW(handle, WM_MOUSEMOVE, 0, At(cx, cy));
    ::PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, At(cx, cy));
    ::PostMessageW(handle, WM_MOUSEMOVE, MK_LBUTTON, At(cx - 20, cy - 15));
    ::PostMessageW(handle, WM_MOUSEMOVE, MK_LBUTTON, At(cx - 40, cy - 30));
    ::PostMessageW(handle, WM_LBUTTONUP, 0, At(cx - 40, cy - 30));
    ASSERT_TRUE(WaitFor([&] { return ChildRect(handle).left == before.left - 40; }));
    EXPECT_EQ(ChildRect(handle).top, before.top - 30);
    EXPECT_FALSE(ReadString(Root::CurrentUser, kConfigKey, L"CalL").has_value());  // memory only

    Reduce(main_);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(preview); }));
    EXPECT_NE(Button(main_, L"Afficher"), nullptr);
    EXPECT_EQ(Setting(L"CalL"), std::to_wstring(Round((before.left - 40) * sx)));
    EXPECT_EQ(Setting(L"CalT"), std::to_wstring(Round((before.top - 30) * sy)));
    EXPECT_EQ(Setting(L"CalR"), std::to_wstring(Round((before.right - 40) * sx)));
    EXPECT_EQ(Setting(L"CalB"), std::to_wstring(Round((before.bottom - 30) * sy)));
}

TEST_F(PreviewE2eTest, ColourChosenInTheDialogColoursTheNextWallpaper) {
    HWND preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(Handle(preview), nullptr);
    ::PostMessageW(preview, WM_COMMAND, kNormalDayColourCommand, 0);  // "Fond &normal"
    HWND dialog = WaitForMessageBox(app_.Id(), nullptr);
    ASSERT_NE(dialog, nullptr);
    // Red, green and blue fields of the colour dialog.
    const wchar_t* values[] = {L"12", L"200", L"34"};
    for (int i = 0; i < 3; ++i) {
        HWND edit = ::GetDlgItem(dialog, 706 + i);
        ASSERT_NE(edit, nullptr);
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(values[i]), SMTO_ABORTIFHUNG, 5000, &r);
    }
    Click(::GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    const DWORD colour = RGB(12, 200, 34);
    ASSERT_TRUE(WaitFor([&] { return Setting(L"colNormalDay") == std::to_wstring(colour); }));

    // The next change (the start-up tick of the next run) draws working days
    // in that colour.
    CloseAndWait(main_);
    ::DeleteFileW(WallpaperFile().c_str());
    Start();
    ASSERT_TRUE(WaitFor([&] { return ReadBmp(ReadBytes(WallpaperFile())).width > 0; }, 15000));
    const Picture wall = ReadBmp(ReadBytes(WallpaperFile()));
    EXPECT_GT(wall.Count(0x0CC822), 1000);  // 0xRRGGBB of (12, 200, 34)
}

TEST_F(PreviewE2eTest, FontChosenInTheDialogChangesTheNextWallpaper) {
    HWND preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(Handle(preview), nullptr);
    ASSERT_TRUE(WaitFor([&] { return ReadBmp(ReadBytes(WallpaperFile())).width > 0; }, 15000));
    const Picture withArial = ReadBmp(ReadBytes(WallpaperFile()));

    ::PostMessageW(preview, WM_COMMAND, kMonthFontCommand, 0);  // "&Fontes" / "&Mois"
    HWND dialog = WaitForMessageBox(app_.Id(), nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND faces = ::GetDlgItem(dialog, 1136);  // the face list
    ASSERT_NE(faces, nullptr);
    DWORD_PTR index = 0;
    ::SendMessageTimeoutW(faces, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(L"Courier New"), SMTO_ABORTIFHUNG, 5000, &index);
    ASSERT_NE(static_cast<LRESULT>(index), CB_ERR);
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(1136, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faces),
                          SMTO_ABORTIFHUNG, 5000, &r);
    Click(::GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    ASSERT_TRUE(WaitFor([&] { return Setting(L"MounthFont") == L"Courier New"; }));
    EXPECT_EQ(Setting(L"DayFont"), L"Arial");

    CloseAndWait(main_);
    ::DeleteFileW(WallpaperFile().c_str());
    Start();
    ASSERT_TRUE(WaitFor([&] { return ReadBmp(ReadBytes(WallpaperFile())).width > 0; }, 15000));
    const Picture withCourier = ReadBmp(ReadBytes(WallpaperFile()));
    ASSERT_EQ(withCourier.width, withArial.width);
    // Only the title's face changed: the pictures differ, and only inside the
    // calendar's rectangle (the lower right quarter).
    int changed = 0, outside = 0;
    for (int y = 0; y < withArial.height; ++y)
        for (int x = 0; x < withArial.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * withArial.width + x;
            if (withArial.rgb[i] == withCourier.rgb[i]) continue;
            ++changed;
            outside += x < withArial.width / 4 * 3 - 2 || y < withArial.height / 4 * 3 - 2;
        }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(outside, 0);
}

}  // namespace
}  // namespace e2e
