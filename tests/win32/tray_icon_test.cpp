// The notification-area icon in process: what the shell is given, the mouse
// notifications, the menu and the main window's answers to its commands, and
// the about box it can bring forward.
#include <windows.h>
#include <shellapi.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/wallpaper/tray_icon_rules.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/about_box.h"
#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/tray_icon.h"
#include "win32/file_io.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::PumpMessages;
using testing_support::RunSoon;
using testing_support::TakeQuit;
using testing_support::ReportedErrors;
using testing_support::StoredSetting;
using testing_support::StoreSetting;

// The shell as the icon sees it: it keeps the icon between an add and a
// delete (or its own restart), and takes version 4 unless told otherwise.
struct NotifyRecord {
    DWORD message;
    NOTIFYICONDATAW data;
    bool accepted;
};
struct FakeShell {
    std::vector<NotifyRecord> records;
    bool hasIcon = false;
    bool takesVersion4 = true;

    bool Notify(DWORD message, NOTIFYICONDATAW& data) {
        bool ok = true;
        switch (message) {
            case NIM_ADD: ok = !hasIcon; hasIcon = true; break;
            case NIM_MODIFY: ok = hasIcon; break;
            case NIM_DELETE: ok = hasIcon; hasIcon = false; break;
            case NIM_SETVERSION: ok = hasIcon && takesVersion4 && data.uVersion == NOTIFYICON_VERSION_4; break;
            default: ok = false;
        }
        records.push_back({message, data, ok});
        return ok;
    }
    std::vector<DWORD> Messages() const {
        std::vector<DWORD> out;
        for (const auto& r : records) out.push_back(r.message);
        return out;
    }
};

// The edge of an icon's image, in pixels.
int IconEdge(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return 0;
    BITMAP bm{};
    ::GetObjectW(info.hbmMask, sizeof(bm), &bm);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return bm.bmWidth;
}

int SmallIconEdgeAt(UINT dpi) {
    using Function = int(WINAPI*)(int, UINT);
    auto forDpi = reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return forDpi ? forDpi(SM_CXSMICON, dpi) : ::MulDiv(::GetSystemMetrics(SM_CXSMICON), dpi, 96);
}

std::wstring Text(HWND h) {
    wchar_t buf[1024]{};
    ::GetWindowTextW(h, buf, 1024);
    return buf;
}

// Counts the openings of the tray's menu and closes each at once, as
// Escape would.
class MenuWatch {
public:
    explicit MenuWatch(TrayIcon& tray) : tray_(tray) {
        ::SetWindowSubclass(tray_.Handle(), &MenuWatch::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MenuWatch() { ::RemoveWindowSubclass(tray_.Handle(), &MenuWatch::Proc, 1); }
    int openings = 0;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
        auto* self = reinterpret_cast<MenuWatch*>(ref);
        if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == self->tray_.Menu()) {
            ++self->openings;
            ::PostMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
        }
        return ::DefSubclassProc(h, msg, wp, lp);
    }
    TrayIcon& tray_;
};

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-tray-" + std::to_wstring(::GetTickCount())) + L"\\";
        app_ = std::make_unique<Application>(testing_support::TestUi(), false);
        app_->Main().StartupTimer().SetEnabled(false);
        app_->Desktop().SetWallpaperPath(folder_ + L"OrvaneWallPaper.bmp");
        app_->Desktop().UseActiveDesktop({});
        tray_ = app_->Main().Tray();
        // From here on the stand-in is the shell; the program's icon is put
        // in it as at start.
        tray_->SetIconVisible(false);
        tray_->notify = [this](DWORD message, NOTIFYICONDATAW& data) { return shell_.Notify(message, data); };
        tray_->AddIcon();
    }
    void TearDown() override {
        app_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    // A notification as the version-4 shell sends it: the event and the
    // icon's number in lParam, the anchor point in wParam.
    void Notify(UINT event, POINT anchor = {40, 30}) {
        ::PostMessageW(tray_->Handle(), kTrayCallbackMessage, MAKEWPARAM(anchor.x, anchor.y),
                       MAKELPARAM(event, kTrayIconId));
    }
    void Command(int id) { ::PostMessageW(tray_->Handle(), WM_COMMAND, static_cast<WPARAM>(id), 0); }
    std::vector<NotifyRecord>& Records() { return shell_.records; }
    DWORD LastMessage() { return Records().empty() ? 0 : Records().back().message; }
    // The start-up load of these values; what is stored afterwards was saved.
    void Load() {
        const std::pair<const wchar_t*, std::wstring> stored[] = {
            {L"FileName", folder_ + L"piclist.cfg"}, {L"RunAtStartup", L"0"}, {L"RunMode", L"1"},
            {L"Interval", L"30000"}, {L"TransparentIcon", L"0"}, {L"QuickIcon", L"0"}};
        for (const auto& [name, value] : stored) StoreSetting(name, value);
        app_->Model().Load();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config");
    }
    MainWindow& Main() { return app_->Main(); }
    AboutBox& About() { return app_->About(); }

    FakeShell shell_;
    std::wstring folder_;
    std::unique_ptr<Application> app_;
    TrayIcon* tray_ = nullptr;
};

TEST_F(TrayTest, TheIconIsAddedWithVersionFourTheTitleAsTipAndAnImageAtTheTaskbarsSize) {
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    EXPECT_FALSE(::IsWindowVisible(tray_->Handle()));
    // The shell did not know the icon: the modify fails, the add and the version follow.
    ASSERT_EQ(shell_.Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION}));
    EXPECT_TRUE(Records()[2].accepted);
    const NOTIFYICONDATAW& add = Records()[1].data;
    EXPECT_EQ(add.hWnd, tray_->Handle());
    EXPECT_EQ(add.uID, kTrayIconId);
    EXPECT_FALSE(add.uFlags & NIF_GUID);
    EXPECT_EQ(add.uFlags & (NIF_TIP | NIF_SHOWTIP | NIF_MESSAGE | NIF_ICON),
              static_cast<UINT>(NIF_TIP | NIF_SHOWTIP | NIF_MESSAGE | NIF_ICON));
    EXPECT_EQ(add.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_STREQ(add.szTip, L"Orvane Wallpaper Changer");
    EXPECT_EQ(IconEdge(add.hIcon), SmallIconEdgeAt(::GetDpiForWindow(tray_->Handle())));

    // Moved to a scale of 200 %, both images are loaded again at the new size.
    Records().clear();
    RECT suggested{0, 0, 1, 1};
    ::SendMessageW(tray_->Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(shell_.Messages(), (std::vector<DWORD>{NIM_MODIFY}));
    EXPECT_EQ(IconEdge(Records()[0].data.hIcon), SmallIconEdgeAt(192));
    tray_->SetIconIndex(1);
    EXPECT_EQ(IconEdge(Records().back().data.hIcon), SmallIconEdgeAt(192));
}

TEST_F(TrayTest, IconIndexBeyondTheListShowsTheLastIcon) {
    const HICON idle = tray_->Icon();
    tray_->SetIconIndex(5);
    EXPECT_EQ(tray_->IconIndex(), 1);
    EXPECT_EQ(Records().back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_NE(Records().back().data.hIcon, idle);
    EXPECT_EQ(Records().back().data.hIcon, tray_->Icon());
    tray_->SetIconIndex(-4);
    EXPECT_EQ(tray_->IconIndex(), 0);
    EXPECT_EQ(Records().back().data.hIcon, idle);
}

TEST_F(TrayTest, TaskbarCreatedPutsTheIconBackInANewShellOnly) {
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    // A restarted shell knows no icon: added again, with its version.
    shell_.hasIcon = false;
    Records().clear();
    ::PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);
    PumpMessages(150);
    EXPECT_EQ(shell_.Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION}));
    EXPECT_TRUE(shell_.hasIcon);

    // A shell that still has it only hears of it again.
    Records().clear();
    ::SendMessageW(tray_->Handle(), taskbarCreated, 0, 0);
    EXPECT_EQ(shell_.Messages(), (std::vector<DWORD>{NIM_MODIFY}));

    // A hidden icon stays hidden.
    tray_->SetIconVisible(false);
    Records().clear();
    ::SendMessageW(tray_->Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(Records().empty());
}

TEST_F(TrayTest, DoubleClickAndTheKeyboardsSelectShowTheMainWindowAndRefreshTheIcon) {
    int clicks = 0;
    tray_->onClick = [&] { ++clicks; };
    Records().clear();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT}) Notify(m);
    PumpMessages(::GetDoubleClickTime() + 200);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
    EXPECT_EQ(LastMessage(), static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(clicks, 0);  // the double click swallows the single ones

    ::ShowWindow(Main().hwnd(), SW_HIDE);
    Records().clear();
    Notify(NIN_KEYSELECT);
    PumpMessages(100);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
    EXPECT_EQ(LastMessage(), static_cast<DWORD>(NIM_MODIFY));
}

TEST_F(TrayTest, ALeftClickAloneDoesNothingButItsEvent) {
    int clicks = 0;
    tray_->onClick = [&] { ++clicks; };
    MenuWatch menu(*tray_);
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}) Notify(m);
    PumpMessages(50);
    EXPECT_EQ(clicks, 0);  // still inside the double-click time
    PumpMessages(::GetDoubleClickTime() + 200);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    EXPECT_EQ(menu.openings, 0);
}

TEST_F(TrayTest, TheMenuOpensOncePerRequestOnTheShellsContextMenuEvent) {
    tray_->SetQuickIconCheck(true);
    MenuWatch menu(*tray_);
    // The right button as the version-4 shell reports it, then the keyboard's menu key.
    for (UINT m : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}) Notify(m);
    PumpMessages(300);
    EXPECT_EQ(menu.openings, 1);
    Notify(WM_CONTEXTMENU);
    PumpMessages(300);
    EXPECT_EQ(menu.openings, 2);
    EXPECT_TRUE(::GetMenuState(tray_->Menu(), kTrayQuickActivationCommand, MF_BYCOMMAND) & MF_CHECKED);

    // A shell without version 4 sends only the buttons: the press opens it.
    shell_.takesVersion4 = false;
    shell_.hasIcon = false;
    ::SendMessageW(tray_->Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    for (UINT m : {WM_RBUTTONDOWN, WM_RBUTTONUP}) ::PostMessageW(tray_->Handle(), kTrayCallbackMessage, kTrayIconId, m);
    PumpMessages(300);
    EXPECT_EQ(menu.openings, 3);
}

TEST_F(TrayTest, AfficherBringsTheOpenDialogForwardOrElseTheMainWindow) {
    // Asked while the modal window is up: that window shows, not the main one.
    auto askWhileOpen = [&](auto&& open, auto&& isVisible, HWND closeButton) {
        bool mainShown = true, shown = false;
        RunSoon([&] {
            Command(kTrayShowCommand);
            RunSoon([&] {
                mainShown = ::IsWindowVisible(Main().hwnd()) != FALSE;
                shown = isVisible();
                ::PostMessageW(closeButton, BM_CLICK, 0, 0);
            });
        });
        open();
        EXPECT_FALSE(mainShown);
        EXPECT_TRUE(shown);
    };
    askWhileOpen([&] { About().ShowModal(); }, [&] { return About().Visible(); },
                 ::GetDlgItem(About().hwnd(), kAboutOkId));
    EXPECT_FALSE(About().Visible());
    SettingsDialog& dialog = app_->Settings();
    askWhileOpen([&] { EXPECT_EQ(dialog.ShowModal(), 2); }, [&] { return dialog.Visible(); },
                 dialog.Control(kCancelButton));

    Command(kTrayShowCommand);
    PumpMessages(100);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
}

TEST_F(TrayTest, ChangerShowsTheBusyImageDuringTheChangeAndDoesNothingWithAnEmptyList) {
    Records().clear();
    Command(kTrayChangeCommand);
    PumpMessages(100);
    EXPECT_TRUE(Records().empty());
    EXPECT_TRUE(ReportedErrors().empty());

    const std::wstring picture = folder_ + L"rouge.bmp";
    const std::vector<std::uint8_t> bmp = EncodeBmp(Image32(1, 1, 0xFFFF0000u), 24);
    ASSERT_TRUE(win::ReplaceFileAtomically(picture, std::string(bmp.begin(), bmp.end())));
    Load();
    app_->Model().AddFiles({win::Narrow(picture)});
    const HICON idle = tray_->Icon();
    Records().clear();
    Command(kTrayChangeCommand);
    PumpMessages(300);
    EXPECT_TRUE(ReportedErrors().empty()) << (ReportedErrors().empty() ? "" : win::Narrow(ReportedErrors()[0]));
    std::vector<bool> busy;
    for (const auto& r : Records())
        if (r.message == NIM_MODIFY) busy.push_back(r.data.hIcon != idle);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(tray_->IconIndex(), 0);
    EXPECT_NE(::GetFileAttributesW((folder_ + L"OrvaneWallPaper.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TrayTest, QuitterSavesAndEndsTheOpenDialogAsCancelled) {
    Load();
    SettingsDialog& dialog = app_->Settings();
    RunSoon([&] {
        ::SetWindowTextW(dialog.Control(kHoursField), L"7");
        ::SendMessageW(dialog.Control(kAtEachStartButton), BM_CLICK, 0, 0);
        Command(kTrayQuitCommand);
    });
    Main().OnSettingsClicked();
    EXPECT_TRUE(TakeQuit());
    EXPECT_FALSE(dialog.Visible());
    // Saved as before the dialog: the edits were not transferred.
    EXPECT_EQ(app_->Model().Settings().RunMode, 1);
    EXPECT_EQ(StoredSetting(L"RunMode"), L"1");
    EXPECT_EQ(StoredSetting(L"Interval"), L"30000");
}

TEST_F(TrayTest, QuitterStillEndsWhenTheSaveFails) {
    // A list file that cannot be created: the save fails part way.
    Load();
    app_->Model().MutableSettingsForTests().FileName = win::Narrow(folder_ + L"absent\\dossier\\piclist.cfg");
    Command(kTrayQuitCommand);
    EXPECT_TRUE(TakeQuit());
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_NE(ReportedErrors()[0].find(L"piclist.cfg"), std::wstring::npos);
}

TEST_F(TrayTest, MinimisingHidesToTheTray) {
    Main().ShowMainWindow();
    PumpMessages(50);
    ::ShowWindow(Main().hwnd(), SW_MINIMIZE);
    PumpMessages(50);
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    EXPECT_TRUE(tray_->IconVisible());
    // Shown again, it comes back restored.
    Main().OnTrayDoubleClick();
    PumpMessages(50);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
    EXPECT_FALSE(::IsIconic(Main().hwnd()));
}

TEST_F(TrayTest, TheHiddenWindowRefusesToCloseAndNeverBlocksLogOff) {
    EXPECT_EQ(::SendMessageW(tray_->Handle(), WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(::SendMessageW(tray_->Handle(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(::IsWindow(tray_->Handle()));
}

TEST_F(TrayTest, TheIconGoesAwayWithTheProgram) {
    Records().clear();
    app_.reset();
    ASSERT_EQ(LastMessage(), static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(Records().back().data.uID, 1u);
}

// ---- the about box ----------------------------------------------------------------

TEST_F(TrayTest, AboutBoxLayoutAndText) {
    HWND about = About().hwnd();
    EXPECT_EQ(Text(about), L"Orvane WallPaper Changer");
    RECT rc{};
    ::GetClientRect(about, &rc);
    EXPECT_EQ(std::make_pair(rc.right, rc.bottom), std::make_pair(421L, 258L));
    const LONG style = ::GetWindowLongW(about, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    HWND memo = ::GetDlgItem(about, kAboutMemoId);
    EXPECT_TRUE(::GetWindowLongW(memo, GWL_STYLE) & ES_READONLY);
    const std::wstring text = Text(memo);
    // The last five of its twelve lines.
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 11);
    EXPECT_TRUE(text.ends_with(
        L"\r\nSi vous voulez contacter l'auteur pour lui soumettre des modifications, des bugs, ou \r\n"
        L"toute autre remarque, envoyez un mail à :\r\n" + std::wstring(kContactAddress) + L"\r\n\r\nAmusez vous bien !"))
        << win::Narrow(text);

    HWND ok = ::GetDlgItem(about, kAboutOkId);
    EXPECT_EQ(Text(ok), L"OK");
    RECT memoRect{}, okRect{};
    ::GetWindowRect(memo, &memoRect);
    ::GetWindowRect(ok, &okRect);
    EXPECT_EQ(std::make_pair(memoRect.right - memoRect.left, memoRect.bottom - memoRect.top), std::make_pair(417L, 193L));
    EXPECT_EQ(std::make_pair(okRect.right - okRect.left, okRect.bottom - okRect.top), std::make_pair(100L, 41L));
    // Centred under the memo.
    EXPECT_LE(std::abs((okRect.left + okRect.right) - (memoRect.left + memoRect.right)), 1);
    EXPECT_GE(okRect.top, memoRect.bottom);
}

TEST_F(TrayTest, AboutBoxClosesWithOkOrTheCloseBox) {
    RunSoon([&] { ::PostMessageW(::GetDlgItem(About().hwnd(), kAboutOkId), BM_CLICK, 0, 0); });
    Main().OnHelpClicked();
    EXPECT_FALSE(About().Visible());
    RunSoon([&] { ::PostMessageW(About().hwnd(), WM_CLOSE, 0, 0); });
    Main().OnHelpClicked();
    EXPECT_FALSE(About().Visible());
    EXPECT_TRUE(::IsWindow(About().hwnd()));  // hidden, not destroyed
}

}  // namespace
}  // namespace orvane
