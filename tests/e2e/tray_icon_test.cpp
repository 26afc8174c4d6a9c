// The notification-area icon of the real program, as the shell of this Wine
// shows it, on a plain X display or inside a Wine desktop
// (wine explorer /desktop=name,1024x768 e2e_tests.exe).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/wallpaper/tray_icon_rules.h"
#include "core/wallpaper/tray_menu.h"
#include "e2e/driver.h"
#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";
constexpr UINT kTrayCallback = 2048;

// The shell's notification area: the task bar of a Wine desktop
// ("Shell_TrayWnd", icons drawn in it) or the stand-alone tray window that
// this Wine shows on a plain X display.
std::vector<HWND> TrayHosts() {
    std::vector<HWND> hosts;
    ::EnumWindows(
        [](HWND top, LPARAM lp) -> BOOL {
            const std::wstring cls = ClassName(top);
            if ((cls == L"Shell_TrayWnd" || cls.find(L"standalone_tray") != std::wstring::npos) &&
                ::IsWindowVisible(top))
                reinterpret_cast<std::vector<HWND>*>(lp)->push_back(top);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&hosts));
    return hosts;
}

// Where the program's icon shows in the notification area: the tray host
// and a point of it (client coordinates) in the icon's sky colour (see
// scripts/make-tray-icons.sh); no host when it does not show.
struct IconPlace {
    HWND host = nullptr;
    POINT at{};
};
IconPlace FindOurIcon() {
    constexpr COLORREF kSky = RGB(0x5a, 0xa9, 0xf0);
    constexpr DWORD kSkyPixel = (GetRValue(kSky) << 16) | (GetGValue(kSky) << 8) | GetBValue(kSky);
    for (HWND host : TrayHosts()) {
        RECT r{};
        ::GetWindowRect(host, &r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        if (w <= 0 || h <= 0) continue;
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
        void* bits = nullptr;
        HDC screen = ::GetDC(nullptr);
        HDC mem = ::CreateCompatibleDC(screen);
        HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(mem, dib);
        ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        IconPlace found;
        const auto* px = static_cast<const DWORD*>(bits);
        for (int i = 0; bits && i < w * h; ++i) {
            if ((px[i] & 0xFFFFFF) != kSkyPixel) continue;
            POINT at{r.left + i % w, r.top + i / w};
            ::ScreenToClient(host, &at);
            found = {host, at};
            break;
        }
        ::SelectObject(mem, old);
        ::DeleteObject(dib);
        ::DeleteDC(mem);
        ::ReleaseDC(nullptr, screen);
        if (found.host) return found;
    }
    return {};
}

bool OurIconShows() { return FindOurIcon().host != nullptr; }

// Any visible top-level window of the process.
bool HasVisibleWindow(DWORD pid) {
    std::pair<DWORD, bool> q{pid, false};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* q = reinterpret_cast<std::pair<DWORD, bool>*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(h, &owner);
            if (owner == q->first && ::IsWindowVisible(h)) q->second = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&q));
    return q.second;
}

class TrayE2eTest : public WallpaperTest {
protected:
    // Starts with one picture, so the start-up tick shows nothing.
    void StartWithAPicture() {
        const std::wstring picture = pictures_ + L"bleu.bmp";
        ASSERT_TRUE(WriteSolidBmp(picture, 16, 16, 0x2040C0));
        std::string line(picture.begin(), picture.end());
        ASSERT_TRUE(WriteBytes(ListFile(), line + "\r\n"));
        // The shell may take a moment to drop the icon of a copy that just ended.
        ASSERT_TRUE(WaitFor([] { return !OurIconShows(); }, 5000)) << "an icon of an earlier copy still shows";
        Start();
        tray_ = nullptr;
        WaitFor([&] { return (tray_ = FindTopWindow(nullptr, kTrayWindowClass, app_.Id(), false)) != nullptr; },
                10000);
        ASSERT_NE(tray_, nullptr);
    }
    void Notify(UINT mouseMessage) { ::PostMessageW(tray_, kTrayCallback, 1, mouseMessage); }

    // Ends the copy through "Quitter" rather than killing it, so that its icon
    // leaves the notification area before the next test looks there.
    void TearDown() override {
        if (tray_ && app_.Running()) {
            ::PostMessageW(tray_, WM_COMMAND, orvane::kTrayQuitCommand, 0);
            app_.Wait(5000);
        }
        WallpaperTest::TearDown();
    }

    HWND tray_ = nullptr;
};

TEST_F(TrayE2eTest, StartsWithOnlyTheIconAndQuitterSavesEndsAndRemovesIt) {
    StartWithAPicture();
    EXPECT_TRUE(WaitFor(OurIconShows, 10000));
    // The start-up tick has run (it installs the wallpaper) and still no window shows.
    ::Sleep(1000);
    EXPECT_FALSE(HasVisibleWindow(app_.Id()));
    EXPECT_EQ(Setting(L"RefDay"), L"<missing>");  // nothing saved yet

    ::PostMessageW(tray_, WM_COMMAND, orvane::kTrayQuitCommand, 0);
    ASSERT_TRUE(app_.Wait(10000).has_value());
    EXPECT_EQ(Setting(L"RefDay"), L"1");
    EXPECT_EQ(Setting(L"RunMode"), L"0");
    EXPECT_TRUE(WaitFor([] { return !OurIconShows(); }, 5000));
}

TEST_F(TrayE2eTest, RightClickOpensTheMenuAndItsMnemonicChangesTheWallpaper) {
    StartWithAPicture();
    ASSERT_TRUE(WaitFor([&] {
        auto v = ReadString(Root::CurrentUser, L"Control Panel\\Desktop", L"Wallpaper");
        return v && v->find(L"OrvaneWallPaper.bmp") != std::wstring::npos &&
               ::GetFileAttributesW(v->c_str()) != INVALID_FILE_ATTRIBUTES;
    }));
    const std::wstring file = *ReadString(Root::CurrentUser, L"Control Panel\\Desktop", L"Wallpaper");
    ASSERT_TRUE(::DeleteFileW(file.c_str()));

    // A right click on the icon where the shell shows it: the shell tells
    // the program in its own words.
    ASSERT_TRUE(WaitFor(OurIconShows, 10000));
    const IconPlace icon = FindOurIcon();
    // The shell may draw each icon in a child window of its own.
    POINT at = icon.at;
    HWND target = ::ChildWindowFromPointEx(icon.host, at, CWP_SKIPINVISIBLE);
    if (!target) target = icon.host;
    ::MapWindowPoints(icon.host, target, &at, 1);
    ::PostMessageW(target, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    ::PostMessageW(target, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = FindTopWindow(nullptr, L"#32768", app_.Id(), true)) != nullptr; }));
    // "&Changer !" by its mnemonic, as the keyboard would choose it.
    ::PostMessageW(menu, WM_KEYDOWN, 'C', 0);
    ::PostMessageW(menu, WM_CHAR, 'c', 0);
    EXPECT_TRUE(WaitForWindowGone(menu, 5000) || !::IsWindowVisible(menu));
    EXPECT_TRUE(WaitFor([&] { return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << "the wallpaper was not written again";
    EXPECT_FALSE(HasVisibleWindow(app_.Id()));
    // The one request opened one menu.
    EXPECT_FALSE(WaitFor([&] { return FindTopWindow(nullptr, L"#32768", app_.Id(), true) != nullptr; }, 1000));
}

TEST_F(TrayE2eTest, DoubleClickShowsTheMainWindowInTheForeground) {
    StartWithAPicture();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Notify(m);
    HWND main = WaitMainWindow(10000);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }, 5000));
    // "Réduire" goes back to the tray; the icon stays.
    Click(Button(main, L"Réduire"));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(main); }, 5000));
    EXPECT_TRUE(OurIconShows());
}

TEST_F(TrayE2eTest, TaskbarCreatedPutsBackAnIconTheShellLost) {
    StartWithAPicture();
    ASSERT_TRUE(WaitFor(OurIconShows, 10000));
    // The shell forgets the icon, as a restarted shell would.
    NOTIFYICONDATAW gone{};
    gone.cbSize = sizeof(gone);
    gone.hWnd = tray_;
    gone.uID = 1;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_TRUE(WaitFor([] { return !OurIconShows(); }, 5000));
    // This Wine never announces a new task bar itself: the test does.
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor(OurIconShows, 5000));
}

}  // namespace
}  // namespace e2e
