// The desktop label and activation options against a stand-in desktop
// (tests/tools/fake_desktop.exe), which records every list-view message.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/image.h"
#include "wallpaper/application.h"
#include "wallpaper/current_picture.h"
#include "wallpaper/desktop_icons.h"
#include "wallpaper/main_window.h"
#include "wallpaper/param_dialog.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/tray_icon.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::PumpMessages;
using testing_support::ReportedErrors;

std::wstring TestBinFolder() {
    wchar_t path[MAX_PATH + 1]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::string ReadShared(const std::wstring& path) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) data.append(buf, got);
    ::CloseHandle(f);
    return data;
}

// One stand-in desktop process for the length of a test.
class FakeDesktop {
public:
    explicit FakeDesktop(const std::wstring& options = {}) {
        log_ = MakeTempFolder(L"orvane-fake-desktop") + L"\\log-" + std::to_wstring(::GetTickCount()) + L".txt";
        std::wstring cmd = L"\"" + TestBinFolder() + L"fake_desktop.exe\" \"" + log_ + L"\" " + options;
        STARTUPINFOW si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        process_ = pi.hProcess;
        ::CloseHandle(pi.hThread);
        for (int i = 0; i < 400 && !FindDesktopListView(); ++i) ::Sleep(25);
        listView_ = FindDesktopListView();
    }
    ~FakeDesktop() {
        if (HWND progman = ::FindWindowW(L"Progman", nullptr)) ::PostMessageW(progman, WM_CLOSE, 0, 0);
        if (process_) {
            if (::WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) ::TerminateProcess(process_, 1);
            ::WaitForSingleObject(process_, 5000);
            ::CloseHandle(process_);
        }
        ::DeleteFileW(log_.c_str());
    }
    bool Up() const { return listView_ != nullptr; }
    HWND ListView() const { return listView_; }

    // The list-view messages received since the last call (paint and show
    // notifications left out unless asked for).
    std::vector<std::string> TakeMessages(bool all = false) {
        std::vector<std::string> lines;
        const std::string data = ReadShared(log_);
        std::size_t pos = 0, index = 0;
        while (pos < data.size()) {
            std::size_t end = data.find("\r\n", pos);
            if (end == std::string::npos) break;
            std::string line = data.substr(pos, end - pos);
            pos = end + 2;
            if (index++ < seen_) continue;
            if (line.rfind("READY", 0) == 0) continue;
            if (!all && (line.rfind("WM_PAINT", 0) == 0 || line.rfind("WM_SHOWWINDOW", 0) == 0)) continue;
            lines.push_back(line);
        }
        seen_ = index;
        return lines;
    }

private:
    HANDLE process_ = nullptr;
    HWND listView_ = nullptr;
    std::wstring log_;
    std::size_t seen_ = 0;
};

using Lines = std::vector<std::string>;

TEST(DesktopLookup, NoDesktopListViewUnderWineAlone) {
    ASSERT_EQ(::FindWindowW(L"Progman", nullptr), nullptr) << "another desktop stand-in is running";
    EXPECT_EQ(FindDesktopListViewByTitle(), nullptr);
    EXPECT_EQ(FindDesktopListView(), nullptr);
    // Nothing to talk to: these return quietly.
    ApplyTransparentLabels(0);
    ApplyQuickActivation(true);
    SetDesktopViewStyle(2);
    EXPECT_FALSE(DesktopLabelBackground().has_value());
}

TEST(DesktopLookup, BothLookupsFindTheStandIn) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    EXPECT_EQ(FindDesktopListViewByTitle(), desktop.ListView());
    wchar_t cls[64]{};
    ::GetClassNameW(desktop.ListView(), cls, 64);
    EXPECT_STREQ(cls, L"SysListView32");
}

TEST(DesktopLookup, TheTitledLookupWantsProgramManager) {
    FakeDesktop desktop(L"title=Bureau");
    ASSERT_TRUE(desktop.Up());
    EXPECT_EQ(FindDesktopListViewByTitle(), nullptr);
    EXPECT_EQ(FindDesktopListView(), desktop.ListView());
}

TEST(DesktopLabels, WhiteTopLeftPixelGivesBlackTextOnNoBackground) {
    FakeDesktop desktop(L"count=5");
    ASSERT_TRUE(desktop.Up());
    CurrentPicture picture;
    Image32 image(3, 2, 0xFF102030u);
    image.at(0, 0) = 0xFFFFFFFFu;
    picture.Set(image);
    ApplyTransparentLabels(LabelColourFromPicture(picture));
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_SETTEXTBKCOLOR 0 ffffffff", "LVM_SETTEXTCOLOR 0 0",
                                             "LVM_GETITEMCOUNT 0 0", "LVM_REDRAWITEMS 0 4"}));
    EXPECT_EQ(DesktopLabelBackground(), 0xFFFFFFFFu);
}

TEST(DesktopLabels, ColourIsTheComplementOfThePixel) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    CurrentPicture picture;
    picture.Set(Image32(1, 1, 0xFF123456u));
    EXPECT_EQ(LabelColourFromPicture(picture), 0x00A9CBEDu);
    ApplyTransparentLabels(LabelColourFromPicture(picture));
    const Lines got = desktop.TakeMessages();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[1], "LVM_SETTEXTCOLOR 0 a9cbed");
    CurrentPicture none;
    EXPECT_ANY_THROW(LabelColourFromPicture(none));
}

TEST(DesktopActivation, ExtendedStyleIsReplacedAndTheViewShown) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    ApplyQuickActivation(true);
    ApplyQuickActivation(false);
    EXPECT_EQ(desktop.TakeMessages(),
              (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 0 848", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 0"}));
}

TEST(DesktopActivation, ViewTypeReplacesTheTwoLowBitsOnly) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    const DWORD before = static_cast<DWORD>(::GetWindowLongW(desktop.ListView(), GWL_STYLE));
    SetDesktopViewStyle(LVS_SMALLICON);
    const DWORD after = static_cast<DWORD>(::GetWindowLongW(desktop.ListView(), GWL_STYLE));
    EXPECT_EQ(after, (before & ~3u) | 2u);
    char expected[96];
    std::snprintf(expected, sizeof(expected), "WM_STYLECHANGED %lx %lx", static_cast<unsigned long>(before),
                  static_cast<unsigned long>(after));
    const Lines got = desktop.TakeMessages();
    EXPECT_NE(std::find(got.begin(), got.end(), expected), got.end());
    SetDesktopViewStyle(LVS_ICON);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(desktop.ListView(), GWL_STYLE)) & 3u, 0u);
}

TEST(DesktopBusyShell, ABusyShellDoesNotHoldTheProgram) {
    FakeDesktop desktop(L"delay=3000");
    ASSERT_TRUE(desktop.Up());
    const DWORD start = ::GetTickCount();
    ApplyTransparentLabels(0);
    ApplyQuickActivation(true);
    EXPECT_FALSE(DesktopLabelBackground().has_value());
    // Three sequences, each stopped at its first unanswered message.
    EXPECT_LT(::GetTickCount() - start, 3u * kShellReplyTimeoutMs + 1000u);
}

// ---- the tick and the tray entry, with the program's windows ----------------------

BOOL IgnoreNotify(DWORD, NOTIFYICONDATAW*) { return TRUE; }

bool WriteBmp(const std::wstring& path, DWORD topLeftRgb) {
    // 2 x 2, 24 bits, bottom-up: the second row in the file is the top one.
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + 16;
    ih.biSize = sizeof(ih);
    ih.biWidth = 2;
    ih.biHeight = 2;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string bytes(reinterpret_cast<char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<char*>(&ih), sizeof(ih));
    const char b = static_cast<char>(topLeftRgb & 0xFF), g = static_cast<char>((topLeftRgb >> 8) & 0xFF),
               r = static_cast<char>((topLeftRgb >> 16) & 0xFF);
    bytes += std::string("\x10\x10\x10\x10\x10\x10\0\0", 8);
    bytes += std::string{b, g, r, '\x10', '\x10', '\x10', '\0', '\0'};
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(f);
    return put == bytes.size();
}

class DesktopTickTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        TTrayIcon::SetNotifyFunction(&IgnoreNotify);
        folder_ = MakeTempFolder(L"orvane-desktop-" + std::to_wstring(::GetTickCount())) + L"\\";
        main_ = CreateApplicationWindows(false);
        main_->Timer2.SetEnabled(false);
        main_->TimerTrans.SetEnabled(false);  // the tests tick by hand
        auto& s = main_->WallpaperSettings;
        s.FileName = win::Narrow(folder_ + L"piclist.cfg");
        s.RunAtStartup = false;
        s.RefDay = 1;
    }
    void TearDown() override {
        main_.reset();
        TTrayIcon::SetNotifyFunction(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    void LoadPicture(DWORD topLeftRgb) {
        const std::wstring path = folder_ + L"pixel.bmp";
        ASSERT_TRUE(WriteBmp(path, topLeftRgb));
        main_->Preview->LoadPreviewPicture(path);
        ASSERT_TRUE(main_->Preview->PreviewImages1().HasPicture());
    }
    std::wstring StoredValue(const wchar_t* name) {
        wchar_t buf[256]{};
        DWORD size = sizeof(buf);
        if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config", name, RRF_RT_REG_SZ, nullptr, buf,
                           &size) != ERROR_SUCCESS)
            return L"<missing>";
        return buf;
    }

    std::wstring folder_;
    std::unique_ptr<TfrmMain> main_;
};

TEST_F(DesktopTickTest, WithoutAPictureTheTickDoesNothing) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    main_->WallpaperSettings.TransparentIcon = true;
    main_->WallpaperSettings.QuickIcon = true;
    main_->TimerTransTimer();
    EXPECT_TRUE(desktop.TakeMessages().empty());
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(DesktopTickTest, TransparentLabelsAreLeftAloneAndQuickOffClearsTheStyles) {
    FakeDesktop desktop(L"bk=ffffffff");
    ASSERT_TRUE(desktop.Up());
    LoadPicture(0x000000);
    main_->WallpaperSettings.TransparentIcon = true;
    main_->WallpaperSettings.QuickIcon = false;
    main_->TimerTransTimer();
    main_->TimerTransTimer();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 0",
                                             "LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 0"}));
}

TEST_F(DesktopTickTest, AnOpaqueBackgroundIsMadeTransparentAgainWithTheCurrentColour) {
    FakeDesktop desktop(L"bk=00ffffff count=2");
    ASSERT_TRUE(desktop.Up());
    LoadPicture(0xFFFFFF);  // white: black text
    main_->WallpaperSettings.TransparentIcon = true;
    main_->WallpaperSettings.QuickIcon = true;
    main_->TimerTransTimer();
    EXPECT_EQ(desktop.TakeMessages(),
              (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETTEXTBKCOLOR 0 ffffffff", "LVM_SETTEXTCOLOR 0 0",
                     "LVM_GETITEMCOUNT 0 0", "LVM_REDRAWITEMS 0 1", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 848"}));
    // Now transparent: the next tick sends nothing about colours.
    main_->TimerTransTimer();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 848"}));
}

TEST_F(DesktopTickTest, AnOpaqueBackgroundEqualToTheColourIsLeftAlone) {
    FakeDesktop desktop(L"bk=0");  // black background, black text wanted
    ASSERT_TRUE(desktop.Up());
    LoadPicture(0xFFFFFF);
    main_->WallpaperSettings.TransparentIcon = true;
    main_->WallpaperSettings.QuickIcon = false;
    main_->TimerTransTimer();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 0"}));
}

TEST_F(DesktopTickTest, QuickOnlyRunsWithoutAPicture) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    main_->WallpaperSettings.TransparentIcon = false;
    main_->WallpaperSettings.QuickIcon = true;
    main_->TimerTransTimer();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 0 848"}));
}

TEST_F(DesktopTickTest, TheTrayEntryTogglesAppliesUpdatesTheDialogAndSaves) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    main_->TrayIcon1->SetQuickIconCheck(false);
    main_->WallpaperSettings.QuickIcon = false;
    main_->Paramfrm->SetQuickIconBox(false);
    main_->ActivationRapide1Click();
    EXPECT_TRUE(main_->TrayIcon1->QuickIconCheck());
    EXPECT_TRUE(main_->WallpaperSettings.QuickIcon);
    EXPECT_TRUE(main_->Paramfrm->ReadControls().QuickIcon);
    EXPECT_EQ(::GetMenuState(main_->TrayIcon1->Menu(), kMenuActivationRapide1, MF_BYCOMMAND) & MF_CHECKED,
              static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(StoredValue(L"QuickIcon"), L"1");
    EXPECT_FALSE(main_->TimerTrans.Enabled());  // the entry does not start the timer
    main_->ActivationRapide1Click();
    EXPECT_FALSE(main_->WallpaperSettings.QuickIcon);
    EXPECT_FALSE(main_->Paramfrm->ReadControls().QuickIcon);
    EXPECT_EQ(StoredValue(L"QuickIcon"), L"0");
    EXPECT_EQ(desktop.TakeMessages(),
              (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 0 848", "LVM_SETEXTENDEDLISTVIEWSTYLE 0 0"}));
    EXPECT_TRUE(ReportedErrors().empty());
}

}  // namespace
}  // namespace orvane
