// The notification-area icon in process: what the shell is given, the mouse
// notifications, the menu and the main window's answers to its commands, and
// the about box it can bring forward.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/wallpaper/tray_icon_rules.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/about_box.h"
#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/tray_icon.h"
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

struct NotifyRecord {
    DWORD message;
    NOTIFYICONDATAW data;
};
std::vector<NotifyRecord>& Records() {
    static std::vector<NotifyRecord> r;
    return r;
}
BOOL RecordNotify(DWORD message, NOTIFYICONDATAW* data) {
    Records().push_back({message, *data});
    return TRUE;
}


std::wstring Text(HWND h) {
    wchar_t buf[1024]{};
    ::GetWindowTextW(h, buf, 1024);
    return buf;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        Records().clear();
        TrayIcon::SetNotifyFunction(&RecordNotify);
        folder_ = MakeTempFolder(L"orvane-tray-" + std::to_wstring(::GetTickCount())) + L"\\";
        app_ = std::make_unique<Application>(false);
        app_->Main().StartupTimer().SetEnabled(false);
        app_->Desktop().SetWallpaperPath(folder_ + L"OrvaneWallPaper.bmp");
        app_->Desktop().UseActiveDesktop({});
        tray_ = app_->Main().Tray();
    }
    void TearDown() override {
        app_.reset();
        TrayIcon::SetNotifyFunction(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    void Notify(UINT mouseMessage) {
        ::PostMessageW(tray_->Handle(), kTrayCallbackMessage, kTrayIconId, mouseMessage);
    }
    void Command(int id) { ::PostMessageW(tray_->Handle(), WM_COMMAND, static_cast<WPARAM>(id), 0); }
    // The start-up load of these values; what is stored afterwards was saved.
    void Load() {
        StoreSetting(L"FileName", folder_ + L"piclist.cfg");
        StoreSetting(L"RunAtStartup", L"0");
        StoreSetting(L"RunMode", L"1");
        StoreSetting(L"Interval", L"30000");
        StoreSetting(L"TransparentIcon", L"0");
        StoreSetting(L"QuickIcon", L"0");
        app_->Model().Load();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config");
    }
    MainWindow& Main() { return app_->Main(); }
    AboutBox& About() { return app_->About(); }

    std::wstring folder_;
    std::unique_ptr<Application> app_;
    TrayIcon* tray_ = nullptr;
};

TEST_F(TrayTest, StartsHiddenWithTheIconAddedFromAVersionTwoRecord) {
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    ASSERT_GE(Records().size(), 2u);
    EXPECT_EQ(Records()[Records().size() - 2].message, static_cast<DWORD>(NIM_MODIFY));
    const NotifyRecord& add = Records().back();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    EXPECT_EQ(add.data.hWnd, tray_->Handle());
    EXPECT_EQ(add.data.uID, 1u);
    EXPECT_EQ(add.data.uFlags, 7u);
    EXPECT_EQ(add.data.uCallbackMessage, 2048u);
    EXPECT_NE(add.data.hIcon, nullptr);
    EXPECT_EQ(add.data.szTip[0], L'\0');  // no hint: no tip
    EXPECT_TRUE(tray_->IconVisible());
    wchar_t cls[64]{};
    ::GetClassNameW(tray_->Handle(), cls, 64);
    EXPECT_STREQ(cls, kTrayWindowClass);
    EXPECT_FALSE(::IsWindowVisible(tray_->Handle()));
}

TEST_F(TrayTest, IconIndexBeyondTheListShowsTheLastIcon) {
    const HICON idle = tray_->Icon();
    tray_->SetIconIndex(5);
    EXPECT_EQ(tray_->IconIndex(), 1);
    ASSERT_FALSE(Records().empty());
    EXPECT_EQ(Records().back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_NE(Records().back().data.hIcon, idle);
    EXPECT_EQ(Records().back().data.hIcon, tray_->Icon());
    tray_->SetIconIndex(-4);
    EXPECT_EQ(tray_->IconIndex(), 0);
    EXPECT_EQ(Records().back().data.hIcon, idle);
}

TEST_F(TrayTest, TaskbarCreatedBroadcastPutsTheIconBack) {
    Records().clear();
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    ::PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);
    PumpMessages(150);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].message, static_cast<DWORD>(NIM_ADD));

    tray_->SetIconVisible(false);
    EXPECT_EQ(Records().back().message, static_cast<DWORD>(NIM_DELETE));
    Records().clear();
    ::SendMessageW(tray_->Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(Records().empty());  // a hidden icon stays hidden
}

TEST_F(TrayTest, DoubleClickShowsTheMainWindowAndRefreshesTheIcon) {
    int clicks = 0;
    tray_->onClick = [&] { ++clicks; };
    Records().clear();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Notify(m);
    PumpMessages(::GetDoubleClickTime() + 200);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
    ASSERT_FALSE(Records().empty());
    EXPECT_EQ(Records().back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(clicks, 0);  // the double click swallows the single ones
}

TEST_F(TrayTest, ALeftClickAloneDoesNothingButItsEvent) {
    int clicks = 0;
    tray_->onClick = [&] { ++clicks; };
    Notify(WM_LBUTTONDOWN);
    Notify(WM_LBUTTONUP);
    PumpMessages(50);
    EXPECT_EQ(clicks, 0);  // still inside the double-click time
    PumpMessages(::GetDoubleClickTime() + 200);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
}

TEST_F(TrayTest, DisabledIconDeliversNothing) {
    tray_->SetEnabled(false);
    Notify(WM_LBUTTONDBLCLK);
    PumpMessages(100);
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
}

TEST_F(TrayTest, RightButtonOpensTheMenuWithItsVisibleEntries) {
    tray_->SetQuickIconCheck(true);
    struct Seen {
        HMENU menu = nullptr;
        std::vector<std::wstring> top, sub;
        UINT quickState = 0;
    };
    static Seen seen;
    seen = {};
    RunSoon(
        [] {
            HWND popup = ::FindWindowW(L"#32768", nullptr);
            if (popup) {
                seen.menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
                auto read = [](HMENU m, std::vector<std::wstring>& out) {
                    for (int i = 0; i < ::GetMenuItemCount(m); ++i) {
                        wchar_t buf[128]{};
                        MENUITEMINFOW mi{sizeof(mi)};
                        mi.fMask = MIIM_FTYPE | MIIM_STRING;
                        mi.dwTypeData = buf;
                        mi.cch = 128;
                        ::GetMenuItemInfoW(m, i, TRUE, &mi);
                        out.push_back((mi.fType & MFT_SEPARATOR) ? L"-" : buf);
                    }
                };
                read(seen.menu, seen.top);
                if (HMENU sub = ::GetSubMenu(seen.menu, 3)) read(sub, seen.sub);
                seen.quickState = ::GetMenuState(seen.menu, kTrayQuickActivationCommand, MF_BYCOMMAND);
            }
            ::EndMenu();
        },
        300);
    Notify(WM_RBUTTONDOWN);
    PumpMessages(800);
    EXPECT_EQ(seen.menu, tray_->Menu());
    EXPECT_EQ(seen.top, (std::vector<std::wstring>{L"&Afficher", L"&Changer !", L"-", L"&Icones", L"-", L"Quitter"}));
    EXPECT_EQ(seen.sub, (std::vector<std::wstring>{L"Activation Rapide"}));
    EXPECT_TRUE(seen.quickState & MF_CHECKED);
}

TEST_F(TrayTest, AfficherShowsTheMainWindowWhenNoDialogIsOpen) {
    Command(kTrayShowCommand);
    PumpMessages(100);
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
}

TEST_F(TrayTest, AfficherBringsTheOpenAboutBoxInsteadOfTheMainWindow) {
    bool mainShown = true, aboutShown = false;
    RunSoon([&] {
        Command(kTrayShowCommand);
        RunSoon([&] {
            mainShown = ::IsWindowVisible(Main().hwnd()) != FALSE;
            aboutShown = About().Visible();
            ::PostMessageW(::GetDlgItem(About().hwnd(), kAboutOkId), BM_CLICK, 0, 0);
        });
    });
    About().ShowModal();
    EXPECT_FALSE(mainShown);
    EXPECT_TRUE(aboutShown);
    EXPECT_FALSE(About().Visible());
}

TEST_F(TrayTest, AfficherBringsTheOpenSettingsDialogInsteadOfTheMainWindow) {
    SettingsDialog& dialog = app_->Settings();
    bool mainShown = true, dialogShown = false;
    RunSoon([&] {
        Command(kTrayShowCommand);
        RunSoon([&] {
            mainShown = ::IsWindowVisible(Main().hwnd()) != FALSE;
            dialogShown = dialog.Visible();
            ::PostMessageW(dialog.Control(kCancelButton), BM_CLICK, 0, 0);
        });
    });
    EXPECT_EQ(dialog.ShowModal(), 2);
    EXPECT_FALSE(mainShown);
    EXPECT_TRUE(dialogShown);
}

TEST_F(TrayTest, ChangerWithAnEmptyListDoesNothing) {
    Records().clear();
    Command(kTrayChangeCommand);
    PumpMessages(100);
    EXPECT_TRUE(Records().empty());
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(TrayTest, ChangerShowsTheBusyImageDuringTheChange) {
    const std::wstring picture = folder_ + L"rouge.bmp";
    {
        // A 1 x 1 red bitmap.
        const unsigned char bmp[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                     0,   0,   1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0,   0,   0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0};
        HANDLE f = ::CreateFileW(picture.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD put = 0;
        ::WriteFile(f, bmp, sizeof(bmp), &put, nullptr);
        ::CloseHandle(f);
    }
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
    ASSERT_FALSE(Records().empty());
    EXPECT_EQ(Records().back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(Records().back().data.uID, 1u);
}

// ---- the about box ----------------------------------------------------------------

TEST_F(TrayTest, AboutBoxLayoutAndText) {
    HWND about = About().hwnd();
    EXPECT_EQ(Text(about), L"Orvane WallPaper Changer");
    RECT rc{};
    ::GetClientRect(about, &rc);
    EXPECT_EQ(rc.right, 421);
    EXPECT_EQ(rc.bottom, 258);
    const LONG style = ::GetWindowLongW(about, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    HWND memo = ::GetDlgItem(about, kAboutMemoId);
    EXPECT_TRUE(::GetWindowLongW(memo, GWL_STYLE) & ES_READONLY);
    const std::wstring text = Text(memo);
    std::vector<std::wstring> lines;
    for (std::size_t pos = 0;;) {
        const std::size_t end = text.find(L"\r\n", pos);
        lines.push_back(text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos));
        if (end == std::wstring::npos) break;
        pos = end + 2;
    }
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[7], L"Si vous voulez contacter l'auteur pour lui soumettre des modifications, des bugs, ou ");
    EXPECT_EQ(lines[8], L"toute autre remarque, envoyez un mail à :");
    EXPECT_EQ(lines[9], kContactAddress);
    EXPECT_EQ(lines[11], L"Amusez vous bien !");

    HWND ok = ::GetDlgItem(about, kAboutOkId);
    EXPECT_EQ(Text(ok), L"OK");
    RECT memoRect{}, okRect{};
    ::GetWindowRect(memo, &memoRect);
    ::GetWindowRect(ok, &okRect);
    EXPECT_EQ(memoRect.right - memoRect.left, 417);
    EXPECT_EQ(memoRect.bottom - memoRect.top, 193);
    EXPECT_EQ(okRect.right - okRect.left, 100);
    EXPECT_EQ(okRect.bottom - okRect.top, 41);
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
