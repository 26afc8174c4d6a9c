// The wallpaper changer started for real: single instance, the first start
// with an empty store, the settings written back, the list file rules.
#include <gtest/gtest.h>

#include <optional>

#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

TEST_F(WallpaperTest, FirstStartWithEmptyStoreAsksForPicturesThenShowsTheMainWindow) {
    Start();
    EXPECT_EQ(AcceptMessageBox(), L"Il n'y a pas d'image. Configurez le logiciel");
    HWND main = WaitMainWindow();
    ASSERT_NE(main, nullptr);

    RECT rc;
    ::GetClientRect(main, &rc);
    EXPECT_EQ(rc.right, 361);
    EXPECT_EQ(rc.bottom, 312);
    const LONG style = ::GetWindowLongW(main, GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);

    for (const wchar_t* caption : {L"Appliquer", L"Paramètres", L"Aide", L"Réduire", L"Ajouter un fichier",
                                   L"Ajouter un répertoire", L"Supprimer sélection", L"Afficher l'image"})
        EXPECT_NE(Button(main, caption), nullptr) << std::string(caption, caption + wcslen(caption));
    EXPECT_FALSE(::IsWindowEnabled(Button(main, L"Appliquer")));
    EXPECT_EQ(GetText(FindChild(main, L"Static", nullptr)), L"Images :");
    ASSERT_NE(ListBox(main), nullptr);
    EXPECT_EQ(ListCount(main), 0);
    const RECT list = ChildRect(ListBox(main));
    EXPECT_EQ(list.left, 8);
    EXPECT_EQ(list.top, 57 + 24);
    EXPECT_EQ(list.right - list.left, 201);
    EXPECT_EQ(list.bottom - list.top, 217);

    Reduce(main);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_TRUE(app_.Running());

    // Every value of the store with its default, as strings.
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(Setting(L"FileName"), folder_ + L"piclist.cfg");
    EXPECT_EQ(Setting(L"RunAtStartup"), L"1");
    EXPECT_EQ(Setting(L"RunMode"), L"0");
    EXPECT_EQ(Setting(L"Interval"), L"0");  // read only when RunMode is 1
    EXPECT_EQ(Setting(L"Random"), L"1");
    EXPECT_EQ(Setting(L"Number"), L"0");  // read only when Random is off
    EXPECT_EQ(Setting(L"WallPaperMode"), L"2");
    EXPECT_EQ(Setting(L"Calendar"), L"1");
    EXPECT_EQ(Setting(L"CalL"), std::to_wstring(sw / 4 * 3));
    EXPECT_EQ(Setting(L"CalT"), std::to_wstring(sh / 4 * 3));
    EXPECT_EQ(Setting(L"CalR"), std::to_wstring(sw));
    EXPECT_EQ(Setting(L"CalB"), std::to_wstring(sh));
    EXPECT_EQ(Setting(L"MounthFont"), L"Arial");
    EXPECT_EQ(Setting(L"DayFont"), L"Arial");
    EXPECT_EQ(Setting(L"Day#"), L"Arial");
    EXPECT_EQ(Setting(L"colMounth"), L"0");
    EXPECT_EQ(Setting(L"colDay"), L"0");
    EXPECT_EQ(Setting(L"colDayNumber"), L"0");
    EXPECT_EQ(Setting(L"colActualDay"), L"255");
    EXPECT_EQ(Setting(L"colNormalDay"), L"65535");
    EXPECT_EQ(Setting(L"colNonWorkDay"), L"32896");
    EXPECT_EQ(Setting(L"colWeekEnd"), L"16711680");
    EXPECT_EQ(Setting(L"TransparentIcon"), L"1");
    EXPECT_EQ(Setting(L"QuickIcon"), L"1");
    EXPECT_EQ(Setting(L"RefDay"), L"1");
    auto type = ReadValue(Root::CurrentUser, kConfigKey, L"CalL");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->type, static_cast<DWORD>(REG_SZ));

    EXPECT_EQ(ReadString(Root::CurrentUser, kRunKey, kRunValue).value_or(L"<none>"), L"\"" + exe_ + L"\"");
    EXPECT_EQ(ReadBytes(ListFile()), "");  // an empty list is an empty file
}

TEST_F(WallpaperTest, ASecondCopyEndsAtOnceAndWithAnArgumentShowsTheFirstOnesWindow) {
    Start();
    ASSERT_NE(WaitForMessageBox(app_.Id(), kAppTitle), nullptr);
    Process second = Process::Start(exe_);
    const auto code = second.Wait(10000);
    ASSERT_TRUE(code.has_value()) << "the second copy kept running";
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(FindTopWindow(nullptr, nullptr, second.Id(), false), nullptr);
    EXPECT_TRUE(app_.Running());

    // Started with an argument (the Start menu's entry), it asks the running
    // copy to show its main window, then ends.
    AcceptMessageBox();
    HWND main = WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Reduce(main);
    Process third = Process::Start(exe_, L"/config");
    EXPECT_EQ(third.Wait(10000), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
}

TEST_F(WallpaperTest, ANonStringValueStopsTheLoadWithItsError) {
    ASSERT_TRUE(WriteDword(Root::CurrentUser, kConfigKey, L"RunMode", 1));
    Start();
    EXPECT_EQ(AcceptMessageBox(), L"Type de données incorrect pour 'RunMode'");
    // The rest of the start-up tick is skipped: no "no picture" box, and the
    // program runs on.
    EXPECT_EQ(WaitForMessageBox(app_.Id(), kAppTitle, 1500), nullptr);
    EXPECT_TRUE(app_.Running());
}

TEST_F(WallpaperTest, MissingFilesAndBlankLinesAreDroppedAtLoadButKeptUntilTheNextSave) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"un.bmp", 8, 8, 0x336699));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"deux.bmp", 8, 8, 0x993366));
    const std::string folder(pictures_.begin(), pictures_.end());
    const std::string content = folder + "un.bmp\r\n\r\n" + folder + "absent.bmp\n" + folder + "deux.bmp\r" +
                                "\r\n" + folder + "absent2.jpg\r\n";
    ASSERT_TRUE(WriteBytes(ListFile(), content));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"Calendar", L"0"));
    Start(L"/montrer");
    HWND main = WaitMainWindow(15000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ListItems(main), (std::vector<std::wstring>{L"un.bmp", L"deux.bmp"}));
    EXPECT_EQ(ReadBytes(ListFile()), content);

    Reduce(main);
    EXPECT_EQ(ReadBytes(ListFile()), folder + "un.bmp\r\n" + folder + "deux.bmp\r\n");
}

TEST_F(WallpaperTest, HandEditedValuesFallBackToTheirDefaults) {
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"RunMode", L"1"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"Interval", L"abc"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"CalL", L"12x"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"WallPaperMode", L"9"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"MounthFont", L""));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"RunAtStartup", L"0"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kRunKey, L"Autre programme", exe_));
    Start();
    AcceptMessageBox();
    HWND main = WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Reduce(main);
    EXPECT_EQ(Setting(L"Interval"), L"30000");
    EXPECT_EQ(Setting(L"CalL"), std::to_wstring(::GetSystemMetrics(SM_CXSCREEN) / 4 * 3));
    EXPECT_EQ(Setting(L"WallPaperMode"), L"9");  // kept: the dialog offers 0 to 2 but the store holds any
    EXPECT_EQ(Setting(L"MounthFont"), L"");  // an existing empty string stays empty
    EXPECT_FALSE(ReadString(Root::CurrentUser, kRunKey, kRunValue).has_value());
    EXPECT_EQ(ReadString(Root::CurrentUser, kRunKey, L"Autre programme").value_or(L""), exe_);
    DeleteValue(Root::CurrentUser, kRunKey, L"Autre programme");
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

std::wstring WindowsWallpaperFile() {
    wchar_t dir[MAX_PATH + 1]{};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\OrvaneWallPaper.bmp";
}

struct BmpSummary {
    int width = 0, height = 0, bits = 0;
    DWORD bottomLeft = 0;  // 0xRRGGBB of the first stored pixel
};

std::optional<BmpSummary> ReadBmpSummary(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memcpy(&fh, bytes.data(), sizeof(fh));
    memcpy(&ih, bytes.data() + sizeof(fh), sizeof(ih));
    BmpSummary s{ih.biWidth, ih.biHeight < 0 ? -ih.biHeight : ih.biHeight, ih.biBitCount};
    const std::size_t at = fh.bfOffBits;
    if (at + 3 > bytes.size()) return std::nullopt;
    const auto b = static_cast<unsigned char>(bytes[at]), g = static_cast<unsigned char>(bytes[at + 1]),
               r = static_cast<unsigned char>(bytes[at + 2]);
    s.bottomLeft = (static_cast<DWORD>(r) << 16) | (g << 8) | b;
    return s;
}

TEST_F(WallpaperTest, AtStartTheWallpaperIsComposedAndInstalledThroughTheDesktopValues) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"rouge.bmp", 64, 48, 0xCC2200));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"vert.bmp", 80, 60, 0x22AA44));
    const std::string folder(pictures_.begin(), pictures_.end());
    ASSERT_TRUE(WriteBytes(ListFile(), folder + "rouge.bmp\r\n" + folder + "vert.bmp\r\n"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"Random", L"0"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"WallPaperMode", L"0"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"Calendar", L"0"));
    ::DeleteFileW(WindowsWallpaperFile().c_str());
    Start();
    ASSERT_TRUE(WaitFor([] { return ReadBmpSummary(WindowsWallpaperFile()).has_value(); }, 15000));
    const auto bmp = ReadBmpSummary(WindowsWallpaperFile());
    ASSERT_TRUE(bmp);
    // Sequential from no stored Number: the first entry, at its own size (tiled).
    EXPECT_EQ(bmp->width, 64);
    EXPECT_EQ(bmp->height, 48);
    EXPECT_EQ(bmp->bottomLeft, 0xCC2200u);
    const wchar_t* desk = L"Control Panel\\Desktop";
    EXPECT_EQ(ReadString(Root::CurrentUser, desk, L"Wallpaper").value_or(L""), WindowsWallpaperFile());
    EXPECT_EQ(ReadString(Root::CurrentUser, desk, L"TileWallpaper").value_or(L""), L"1");
    EXPECT_EQ(ReadString(Root::CurrentUser, desk, L"WallpaperStyle").value_or(L""), L"0");
    // The program lives in the notification area: no window shows.
    EXPECT_EQ(FindTopWindow(kMainCaption, nullptr, app_.Id(), true), nullptr);
}

TEST_F(WallpaperTest, WithARotationIntervalTheWallpaperChangesAgainAndAgainInListOrder) {
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"un.bmp", 30, 20, 0x102030));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"deux.bmp", 40, 20, 0x405060));
    ASSERT_TRUE(WriteSolidBmp(pictures_ + L"trois.bmp", 50, 20, 0x708090));
    const std::string folder(pictures_.begin(), pictures_.end());
    ASSERT_TRUE(WriteBytes(ListFile(), folder + "un.bmp\r\n" + folder + "deux.bmp\r\n" + folder + "trois.bmp\r\n"));
    for (auto [name, value] : {std::pair{L"Random", L"0"}, {L"Number", L"1"}, {L"RunMode", L"1"},
                               {L"Interval", L"1"}, {L"WallPaperMode", L"1"}, {L"Calendar", L"0"}})
        ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, name, value));
    ::DeleteFileW(WindowsWallpaperFile().c_str());
    Start();
    // Number 1 stored: the start installs entry 2, then every second 0, 1, 2...
    std::vector<int> widths;
    const DWORD end = ::GetTickCount() + 12000;
    while (widths.size() < 4 && static_cast<LONG>(::GetTickCount() - end) < 0) {
        if (auto bmp = ReadBmpSummary(WindowsWallpaperFile())) {
            if (widths.empty() || widths.back() != bmp->width) widths.push_back(bmp->width);
        }
        ::Sleep(50);
    }
    EXPECT_EQ(widths, (std::vector<int>{50, 30, 40, 50}));
}

}  // namespace
}  // namespace e2e
