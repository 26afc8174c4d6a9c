// The desktop label and activation options against a stand-in desktop
// (tests/tools/fake_desktop.exe), which records every list-view message:
// the shell calls themselves, then the program's changes, label watch and
// tray entry as they reach the desktop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/image.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/application.h"
#include "wallpaper/desktop_icons.h"
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
using testing_support::ReportedErrors;
using testing_support::StoredSetting;
using testing_support::StoreSetting;

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
    EXPECT_EQ(FindDesktopListView(), nullptr);
    // Nothing to talk to: these return quietly.
    ApplyTransparentLabels(0);
    ApplyQuickActivation(true);
    SetDesktopViewStyle(2);
    EXPECT_FALSE(DesktopLabelBackground().has_value());
}

TEST(DesktopLookup, TheListViewIsFoundInOlderAndTodaysShells) {
    for (const wchar_t* shape : {L"", L"title=Bureau", L"workerw folderview"}) {
        FakeDesktop desktop(shape);
        ASSERT_TRUE(desktop.Up()) << shape;
        wchar_t cls[64]{};
        ::GetClassNameW(desktop.ListView(), cls, 64);
        EXPECT_STREQ(cls, L"SysListView32") << shape;
    }
}

// The style bits as the stand-in holds them, read the way the shell's own
// code would.
DWORD ExtendedStyleOf(HWND listView) {
    DWORD_PTR style = 0;
    ::SendMessageTimeoutW(listView, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0, SMTO_NORMAL, 2000, &style);
    return static_cast<DWORD>(style);
}

// A view the user hid (desktop icons turned off) got no show request: the
// asynchronous kind is given time to arrive.
bool StayedHidden(FakeDesktop& desktop) {
    PumpMessages(300);
    const Lines all = desktop.TakeMessages(true);
    const bool shown = std::any_of(all.begin(), all.end(),
                                   [](const std::string& l) { return l.rfind("WM_SHOWWINDOW", 0) == 0; });
    return !shown && (::GetWindowLongW(desktop.ListView(), GWL_STYLE) & WS_VISIBLE) == 0;
}

TEST(DesktopActivation, OnlyTheOneClickBitsChangeAndAHiddenViewStaysHidden) {
    // Double buffering and snap to grid, as the shell sets them, and track select alone.
    FakeDesktop desktop(L"exstyle=90008 hidden workerw folderview");
    ASSERT_TRUE(desktop.Up());
    ApplyQuickActivation(true);
    EXPECT_EQ(ExtendedStyleOf(desktop.ListView()), 0x90848u);
    ApplyQuickActivation(false);
    EXPECT_EQ(ExtendedStyleOf(desktop.ListView()), 0x90000u);
    EXPECT_TRUE(StayedHidden(desktop));
}

TEST(DesktopActivation, ViewTypeReplacesTheTwoLowBitsOnlyAndAHiddenViewStaysHidden) {
    FakeDesktop desktop(L"hidden");
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
    EXPECT_TRUE(StayedHidden(desktop));
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

// ---- the program's changes, label watch and tray entry -----------------------------

// 2 x 2 bitmap file whose upper-left pixel (0xRRGGBB) differs from the rest.
// Written bottom-up, as bitmaps usually are: the top row is the file's last.
bool WriteBmp(const std::wstring& path, std::uint32_t topLeftRgb) {
    Image32 image(2, 2, 0xFF101010u);
    image.at(0, 0) = 0xFF000000u | topLeftRgb;
    const std::vector<std::uint8_t> bytes = EncodeBmp(image, 24);
    return win::ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end()));
}

class DesktopProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-desktop-" + std::to_wstring(::GetTickCount())) + L"\\";
        app_ = std::make_unique<Application>(testing_support::TestUi(), false);
        app_->Main().StartupTimer().SetEnabled(false);
        app_->Desktop().SetWallpaperPath(folder_ + L"OrvaneWallPaper.bmp");
        app_->Desktop().UseActiveDesktop({});
    }
    void TearDown() override {
        app_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    // The start-up load with these icon options; the label watch is then
    // ticked by hand unless a test lets its timer run.
    void Load(bool transparentLabels, bool quickIcon, bool stopWatch = true) {
        StoreSetting(L"FileName", folder_ + L"piclist.cfg");
        StoreSetting(L"RunAtStartup", L"0");
        StoreSetting(L"Calendar", L"0");
        StoreSetting(L"TransparentIcon", transparentLabels ? L"1" : L"0");
        StoreSetting(L"QuickIcon", quickIcon ? L"1" : L"0");
        Model().Load();
        if (stopWatch) app_->Timers().Stop(ModelTimer::LabelWatch);
    }
    // A picture added to the list and looked at, as a click with the preview open does.
    void LookAtPicture(std::uint32_t topLeftRgb) {
        const std::wstring path = folder_ + L"pixel" + std::to_wstring(Model().Pictures().size()) + L".bmp";
        ASSERT_TRUE(WriteBmp(path, topLeftRgb));
        Model().AddFiles({win::Narrow(path)});
        Model().LookAt(Model().Pictures().size() - 1);
        ASSERT_TRUE(Model().HasPicture());
    }
    void Tick() { Model().OnTimer(ModelTimer::LabelWatch); }
    WallpaperModel& Model() { return app_->Model(); }

    std::wstring folder_;
    std::unique_ptr<Application> app_;
};

TEST_F(DesktopProgramTest, AChangeRecoloursTheLabelsWithTheComplementOfTheUpperLeftPixel) {
    FakeDesktop desktop(L"count=5 workerw folderview");
    ASSERT_TRUE(desktop.Up());
    Load(true, false);
    LookAtPicture(0xFFFFFF);
    EXPECT_EQ(Model().TopLeftPixel(), 0xFFFFFFFFu);
    desktop.TakeMessages();
    Model().Apply(0);
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_SETTEXTBKCOLOR 0 ffffffff", "LVM_SETTEXTCOLOR 0 0",
                                             "LVM_GETITEMCOUNT 0 0", "LVM_REDRAWITEMS 0 4"}));
    EXPECT_EQ(DesktopLabelBackground(), 0xFFFFFFFFu);

    LookAtPicture(0x123456);
    desktop.TakeMessages();
    Model().Apply(1);
    const Lines got = desktop.TakeMessages();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[1], "LVM_SETTEXTCOLOR 0 a9cbed");
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(DesktopProgramTest, WithoutTransparentLabelsAChangeLeavesTheLabelsAlone) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    Load(false, false);
    LookAtPicture(0xFFFFFF);
    desktop.TakeMessages();
    Model().Apply(0);
    EXPECT_TRUE(desktop.TakeMessages().empty());
    EXPECT_TRUE(win::FileExists(folder_ + L"OrvaneWallPaper.bmp"));
}

TEST_F(DesktopProgramTest, WithoutAPictureThereIsNoLabelColourAndTheTickDoesNothing) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    Load(true, true);
    EXPECT_THROW(Model().TopLeftPixel(), Error);
    Tick();
    EXPECT_TRUE(desktop.TakeMessages().empty());
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(DesktopProgramTest, TransparentLabelsAreLeftAloneAndQuickOffClearsTheStyles) {
    FakeDesktop desktop(L"bk=ffffffff");
    ASSERT_TRUE(desktop.Up());
    Load(true, false);
    LookAtPicture(0x000000);
    desktop.TakeMessages();
    Tick();
    Tick();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 0",
                                             "LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 0"}));
}

TEST_F(DesktopProgramTest, AnOpaqueBackgroundIsMadeTransparentAgainWithTheCurrentColour) {
    FakeDesktop desktop(L"bk=00ffffff count=2");
    ASSERT_TRUE(desktop.Up());
    Load(true, true);
    LookAtPicture(0xFFFFFF);  // white: black text
    desktop.TakeMessages();
    Tick();
    EXPECT_EQ(desktop.TakeMessages(),
              (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETTEXTBKCOLOR 0 ffffffff", "LVM_SETTEXTCOLOR 0 0",
                     "LVM_GETITEMCOUNT 0 0", "LVM_REDRAWITEMS 0 1", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"}));
    // Now transparent: the next tick sends nothing about colours.
    Tick();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"}));
}

TEST_F(DesktopProgramTest, AnOpaqueBackgroundEqualToTheColourIsLeftAlone) {
    FakeDesktop desktop(L"bk=0");  // black background, black text wanted
    ASSERT_TRUE(desktop.Up());
    Load(true, false);
    LookAtPicture(0xFFFFFF);
    desktop.TakeMessages();
    Tick();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_GETTEXTBKCOLOR 0 0", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 0"}));
}

TEST_F(DesktopProgramTest, QuickOnlyRunsWithoutAPicture) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    Load(false, true);
    Tick();
    EXPECT_EQ(desktop.TakeMessages(), (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"}));
}

TEST_F(DesktopProgramTest, TheLabelWatchTicksByItselfWhileAnIconOptionIsOn) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    Load(false, true, false);
    ASSERT_TRUE(app_->Timers().Running(ModelTimer::LabelWatch));
    // Every two seconds: the first tick, however late a loaded machine lets it come.
    Lines got;
    for (int waited = 0; got.empty() && waited < 8000; waited += 100) {
        PumpMessages(100);
        got = desktop.TakeMessages();
    }
    EXPECT_EQ(got, (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 848 848"}));
}

TEST_F(DesktopProgramTest, TheTrayEntryTogglesAppliesUpdatesTheDialogAndSaves) {
    FakeDesktop desktop;
    ASSERT_TRUE(desktop.Up());
    Load(false, false);
    TrayIcon& tray = *app_->Main().Tray();
    ASSERT_FALSE(tray.QuickIconCheck());
    ASSERT_FALSE(app_->Settings().ReadControls().QuickIcon);
    auto chooseEntry = [&] {
        ::PostMessageW(tray.Handle(), WM_COMMAND, kTrayQuickActivationCommand, 0);
        PumpMessages(50);
    };
    chooseEntry();
    EXPECT_TRUE(tray.QuickIconCheck());
    EXPECT_TRUE(Model().Settings().QuickIcon);
    EXPECT_TRUE(app_->Settings().ReadControls().QuickIcon);
    EXPECT_EQ(::GetMenuState(tray.Menu(), kTrayQuickActivationCommand, MF_BYCOMMAND) & MF_CHECKED,
              static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(StoredSetting(L"QuickIcon"), L"1");
    EXPECT_FALSE(app_->Timers().Running(ModelTimer::LabelWatch));  // the entry does not start the watch
    chooseEntry();
    EXPECT_FALSE(Model().Settings().QuickIcon);
    EXPECT_FALSE(app_->Settings().ReadControls().QuickIcon);
    EXPECT_EQ(StoredSetting(L"QuickIcon"), L"0");
    EXPECT_EQ(desktop.TakeMessages(),
              (Lines{"LVM_SETEXTENDEDLISTVIEWSTYLE 848 848", "LVM_SETEXTENDEDLISTVIEWSTYLE 848 0"}));
    EXPECT_TRUE(ReportedErrors().empty());
}

}  // namespace
}  // namespace orvane
