// What a program that runs for weeks must get right, on the real program:
// a failed start never destroys the user's settings, and the system's news
// (resume, clock change, display change) recompose the wallpaper only when
// the picture on the desktop would otherwise be wrong.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/wallpaper/tray_menu.h"
#include "e2e/driver.h"
#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";

// Every value of a key, by name.
std::vector<std::pair<std::wstring, RegValue>> AllValues(const std::wstring& key) {
    std::vector<std::pair<std::wstring, RegValue>> values;
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLen = 512, type = 0, size = 0;
        if (::RegEnumValueW(k, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RegValue v;
        v.type = type;
        v.data.resize(size);
        nameLen = 512;
        ::RegEnumValueW(k, i, name, &nameLen, nullptr, &type, v.data.data(), &size);
        values.emplace_back(std::wstring(name, nameLen), std::move(v));
    }
    ::RegCloseKey(k);
    return values;
}

class LongRunTest : public WallpaperTest {
protected:
    HWND TrayWindow() { return FindTopWindow(nullptr, kTrayWindowClass, app_.Id(), false); }
    void TrayCommand(int command) { ::PostMessageW(TrayWindow(), WM_COMMAND, command, 0); }
};

TEST_F(LongRunTest, AFailedLoadLeavesEverySettingTheRunEntryAndTheListAsTheyWere) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"un.bmp", 8, 8, 0x336699));
    WriteList({pictures_ + L"un.bmp", pictures_ + L"absent.bmp"});
    for (const auto& [name, value] : {std::pair{L"Calendar", L"1"}, std::pair{L"CalL", L"17"},
                                      std::pair{L"MounthFont", L"Arial"}, std::pair{L"RunAtStartup", L"1"}})
        ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, name, value));
    ASSERT_TRUE(WriteDword(Root::CurrentUser, kConfigKey, L"WallPaperMode", 2));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kRunKey, kRunValue, L"C:\\ailleurs\\OrvaneWallPaper.exe /x"));
    const auto valuesBefore = AllValues(kConfigKey);
    const std::string listBefore = ReadBytes(ListFile());

    Start();
    EXPECT_EQ(AcceptMessageBox(), L"Type de données incorrect pour 'WallPaperMode'");
    ASSERT_TRUE(WaitFor([&] { return TrayWindow() != nullptr; }));
    TrayCommand(orvane::kTrayShowCommand);
    HWND main = WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Click(Button(main, L"Réduire"));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(main); }, 5000));
    TrayCommand(orvane::kTrayQuitCommand);
    ASSERT_TRUE(app_.Wait(10000).has_value());

    EXPECT_EQ(AllValues(kConfigKey), valuesBefore);
    EXPECT_EQ(ReadString(Root::CurrentUser, kRunKey, kRunValue).value_or(L"<missing>"),
              L"C:\\ailleurs\\OrvaneWallPaper.exe /x");
    EXPECT_EQ(ReadBytes(ListFile()), listBefore);
}

TEST_F(LongRunTest, QuitBeforeTheStartUpStepSavesNothing) {
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"CalL", L"17"));
    const auto valuesBefore = AllValues(kConfigKey);
    app_ = Process::Start(exe_);
    // The tray window exists before the start-up step (300 ms) has read anything.
    ASSERT_TRUE(WaitFor([&] { return TrayWindow() != nullptr; }, 5000, 1));
    TrayCommand(orvane::kTrayQuitCommand);
    ASSERT_TRUE(app_.Wait(10000).has_value());
    EXPECT_EQ(AllValues(kConfigKey), valuesBefore);
    EXPECT_FALSE(ReadString(Root::CurrentUser, kRunKey, kRunValue).has_value());
    EXPECT_TRUE(ReadBytes(ListFile()).empty());
}

TEST_F(LongRunTest, AResumeOrAClockChangeOnTheSameDayLeavesTheWallpaperAlone) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"un.bmp", 40, 30, 0x336699));
    WriteList({pictures_ + L"un.bmp"});
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"Calendar", L"1"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"RunMode", L"0"));
    ::DeleteFileW(ComposedWallpaperPath().c_str());
    Start();
    ASSERT_TRUE(WaitFor([&] { return !ReadBytes(ComposedWallpaperPath()).empty(); }, 15000));
    HWND main = FindTopWindow(kMainCaption, L"TfrmMain", app_.Id(), false);
    ASSERT_NE(main, nullptr);
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(::GetFileAttributesExW(ComposedWallpaperPath().c_str(), GetFileExInfoStandard, &before));
    ::Sleep(1100);  // a rewrite would show in the file's time

    ::SendMessageTimeoutW(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    ::SendMessageTimeoutW(main, WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    ::Sleep(500);
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(::GetFileAttributesExW(ComposedWallpaperPath().c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    EXPECT_EQ(Setting(L"Number"), L"<missing>");  // nothing saved either
    EXPECT_EQ(WaitForMessageBox(app_.Id(), kAppTitle, 500), nullptr);
}

TEST_F(LongRunTest, ADisplayChangeRecomposesTheWallpaperAtTheScreenSize) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"un.bmp", 40, 30, 0x336699));
    WriteList({pictures_ + L"un.bmp"});
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"WallPaperMode", L"2"));
    ::DeleteFileW(ComposedWallpaperPath().c_str());
    Start();
    ASSERT_TRUE(WaitFor([&] { return !ReadBytes(ComposedWallpaperPath()).empty(); }, 15000));
    HWND main = FindTopWindow(kMainCaption, L"TfrmMain", app_.Id(), false);
    ASSERT_NE(main, nullptr);
    // Whatever the display did, the program reads the screen's size again:
    // the file is rewritten, at the size the system reports now.
    ::DeleteFileW(ComposedWallpaperPath().c_str());
    ::SendMessageTimeoutW(main, WM_DISPLAYCHANGE, 32,
                          MAKELPARAM(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    std::optional<SIZE> size;
    ASSERT_TRUE(WaitFor([&] { return (size = BitmapSize(ComposedWallpaperPath())).has_value(); }, 10000));
    EXPECT_EQ(size->cx, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(size->cy, ::GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace
}  // namespace e2e
