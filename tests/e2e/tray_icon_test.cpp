// The notification-area icon of the real program, as the shell of this Wine
// sees it: the system tray window shows one icon window per icon.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/tray_logic.h"
#include "e2e/driver.h"
#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";
constexpr UINT kTrayCallback = 2048;

// Icon windows of the shell's notification area (the tray window of a Wine
// desktop, or its stand-alone tray).
int ShellTrayIconCount() {
    int count = 0;
    ::EnumWindows(
        [](HWND top, LPARAM lp) -> BOOL {
            const std::wstring cls = ClassName(top);
            if (cls != L"Shell_TrayWnd" && cls.find(L"standalone_tray") == std::wstring::npos) return TRUE;
            ::EnumChildWindows(
                top,
                [](HWND child, LPARAM lp) -> BOOL {
                    if (ClassName(child).find(L"tray_icon") != std::wstring::npos && ::IsWindowVisible(child))
                        ++*reinterpret_cast<int*>(lp);
                    return TRUE;
                },
                lp);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

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
        iconsBefore_ = ShellTrayIconCount();
        Start();
        tray_ = nullptr;
        WaitFor([&] { return (tray_ = FindTopWindow(nullptr, kTrayWindowClass, app_.Id(), false)) != nullptr; },
                10000);
        ASSERT_NE(tray_, nullptr);
    }
    void Notify(UINT mouseMessage) { ::PostMessageW(tray_, kTrayCallback, 1, mouseMessage); }

    HWND tray_ = nullptr;
    int iconsBefore_ = 0;
};

TEST_F(TrayE2eTest, StartsWithOnlyTheIconAndQuitterSavesEndsAndRemovesIt) {
    StartWithAPicture();
    EXPECT_TRUE(WaitFor([&] { return ShellTrayIconCount() == iconsBefore_ + 1; }, 10000));
    // The start-up tick has run (it installs the wallpaper) and still no window shows.
    ::Sleep(1000);
    EXPECT_FALSE(HasVisibleWindow(app_.Id()));
    EXPECT_EQ(Setting(L"RefDay"), L"<missing>");  // nothing saved yet

    ::PostMessageW(tray_, WM_COMMAND, orvane::kMenuQuitter1, 0);
    ASSERT_TRUE(app_.Wait(10000).has_value());
    EXPECT_EQ(Setting(L"RefDay"), L"1");
    EXPECT_EQ(Setting(L"RunMode"), L"0");
    EXPECT_TRUE(WaitFor([&] { return ShellTrayIconCount() == iconsBefore_; }, 5000));
}

TEST_F(TrayE2eTest, RightClickOpensTheMenuAndItsMnemonicChangesTheWallpaper) {
    StartWithAPicture();
    const std::optional<std::wstring> installed =
        ReadString(Root::CurrentUser, L"Control Panel\\Desktop", L"Wallpaper");
    ASSERT_TRUE(WaitFor([&] {
        auto v = ReadString(Root::CurrentUser, L"Control Panel\\Desktop", L"Wallpaper");
        return v && v->find(L"OrvaneWallPaper.bmp") != std::wstring::npos &&
               ::GetFileAttributesW(v->c_str()) != INVALID_FILE_ATTRIBUTES;
    }));
    const std::wstring file = *ReadString(Root::CurrentUser, L"Control Panel\\Desktop", L"Wallpaper");
    ASSERT_TRUE(::DeleteFileW(file.c_str()));

    Notify(WM_RBUTTONDOWN);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = FindTopWindow(nullptr, L"#32768", app_.Id(), true)) != nullptr; }));
    // "&Changer !" by its mnemonic, as the keyboard would choose it.
    ::PostMessageW(menu, WM_KEYDOWN, 'C', 0);
    ::PostMessageW(menu, WM_CHAR, 'c', 0);
    EXPECT_TRUE(WaitForWindowGone(menu, 5000) || !::IsWindowVisible(menu));
    EXPECT_TRUE(WaitFor([&] { return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << "the wallpaper was not written again";
    EXPECT_FALSE(HasVisibleWindow(app_.Id()));
    (void)installed;
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
    EXPECT_EQ(ShellTrayIconCount(), iconsBefore_ + 1);
}

TEST_F(TrayE2eTest, TaskbarCreatedPutsBackAnIconTheShellLost) {
    StartWithAPicture();
    ASSERT_TRUE(WaitFor([&] { return ShellTrayIconCount() == iconsBefore_ + 1; }, 10000));
    // The shell forgets the icon, as a restarted shell would.
    NOTIFYICONDATAW gone{};
    gone.cbSize = sizeof(gone);
    gone.hWnd = tray_;
    gone.uID = 1;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_TRUE(WaitFor([&] { return ShellTrayIconCount() == iconsBefore_; }, 5000));
    // This Wine never announces a new task bar itself: the test does.
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return ShellTrayIconCount() == iconsBefore_ + 1; }, 5000));
}

}  // namespace
}  // namespace e2e
