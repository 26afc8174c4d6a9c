// The main window's handlers in process: the picture list editing rules, the
// installation through Active Desktop or the registry, the rotation.
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/preview_window.h"
#include "win32/file_io.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::PumpMessages;
using testing_support::ReportedErrors;

std::wstring ReadDesktopValue(const wchar_t* name) {
    wchar_t buf[1024]{};
    DWORD size = sizeof(buf);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

bool WriteBmp(const std::wstring& path, int w, int h, COLORREF colour) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    const int stride = (w * 3 + 3) & ~3;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + stride * h;
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string bytes(reinterpret_cast<char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<char*>(&ih), sizeof(ih));
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < w; ++x) {
        row[x * 3] = static_cast<char>(GetBValue(colour));
        row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
        row[x * 3 + 2] = static_cast<char>(GetRValue(colour));
    }
    for (int y = 0; y < h; ++y) bytes += row;
    return win::ReplaceFileAtomically(path, bytes);
}

// Records what the change asks of the shell's Active Desktop object.
class FakeActiveDesktop : public IActiveDesktop {
public:
    bool enabled = true;
    DWORD optionsSizeSeen = 0, wallpaperSizeSeen = 0, appliedFlags = 0, style = 99;
    std::wstring wallpaper;
    int calls = 0;

    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ApplyChanges(DWORD flags) override {
        appliedFlags = flags;
        ++calls;
        return S_OK;
    }
    STDMETHODIMP GetWallpaper(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetWallpaper(PCWSTR path, DWORD) override {
        wallpaper = path;
        ++calls;
        return S_OK;
    }
    STDMETHODIMP GetWallpaperOptions(LPWALLPAPEROPT o, DWORD) override {
        wallpaperSizeSeen = o->dwSize;
        o->dwStyle = WPSTYLE_TILE;
        return S_OK;
    }
    STDMETHODIMP SetWallpaperOptions(LPCWALLPAPEROPT o, DWORD) override {
        style = o->dwStyle;
        return S_OK;
    }
    STDMETHODIMP GetPattern(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPattern(PCWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemOptions(LPCOMPONENTSOPT o, DWORD) override {
        optionsSizeSeen = o->dwSize;
        o->fActiveDesktop = enabled;
        return S_OK;
    }
    STDMETHODIMP SetDesktopItemOptions(LPCCOMPONENTSOPT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItemWithUI(HWND, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ModifyDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemCount(int*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItem(int, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemByID(ULONG_PTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GenerateDesktopItemHtml(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddUrl(HWND, PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemBySource(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-main-" + std::to_wstring(::GetTickCount())) + L"\\";
        main_ = CreateApplicationWindows(false);
        main_->Timer2.SetEnabled(false);  // the tests run the steps themselves
        main_->WallpaperSettings.FileName = win::Narrow(folder_ + L"piclist.cfg");
        main_->WallpaperSettings.RunAtStartup = false;
        main_->SetWallpaperPathForTests(folder_ + L"OrvaneWallPaper.bmp");
    }
    void TearDown() override {
        main_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }

    void AddItems(int n) {
        for (int i = 1; i <= n; ++i) main_->AddPicture(folder_ + L"image" + std::to_wstring(i) + L".bmp");
    }
    std::vector<std::wstring> Items() {
        std::vector<std::wstring> out;
        const int n = static_cast<int>(::SendMessageW(main_->ListBox1, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t buf[512]{};
            ::SendMessageW(main_->ListBox1, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            out.emplace_back(buf);
        }
        return out;
    }
    // A click on an item as the user makes it: the list box notifies its parent.
    void ClickItem(int index, WPARAM keys = 0) {
        RECT r{};
        ::SendMessageW(main_->ListBox1, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 5, r.top + 3);
        ::SendMessageW(main_->ListBox1, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
        ::SendMessageW(main_->ListBox1, WM_LBUTTONUP, keys, at);
        PumpMessages(20);
    }

    std::wstring folder_;
    std::unique_ptr<TfrmMain> main_;
};

TEST_F(MainWindowTest, RemovingItemsTwoThreeAndFiveOfSixKeepsBothListsParallel) {
    AddItems(6);
    for (int i : {1, 2, 4}) ::SendMessageW(main_->ListBox1, LB_SETSEL, TRUE, i);
    main_->DelSelBtnClick();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"image1.bmp", L"image4.bmp", L"image6.bmp"}));
    ASSERT_EQ(main_->PictureList.size(), 3u);
    EXPECT_EQ(main_->PictureList[1], folder_ + L"image4.bmp");
    const auto saved = win::ReadWholeFile(folder_ + L"piclist.cfg");
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, win::Narrow(folder_ + L"image1.bmp\r\n" + folder_ + L"image4.bmp\r\n" + folder_ +
                                  L"image6.bmp\r\n"));
}

TEST_F(MainWindowTest, RemovingWithNothingSelectedSavesNothing) {
    AddItems(2);
    main_->DelSelBtnClick();
    EXPECT_FALSE(win::FileExists(folder_ + L"piclist.cfg"));
}

TEST_F(MainWindowTest, ApplyIsEnabledExactlyWhenOneItemIsSelectedAfterAClick) {
    AddItems(3);
    EXPECT_FALSE(main_->ApplyBtn.Enabled());
    ClickItem(1);
    EXPECT_TRUE(main_->ApplyBtn.Enabled());
    ClickItem(2, MK_CONTROL);  // a second item joins the selection
    EXPECT_FALSE(main_->ApplyBtn.Enabled());
    ClickItem(0);
    EXPECT_TRUE(main_->ApplyBtn.Enabled());
    main_->DelSelBtnClick();  // removals leave the button alone
    EXPECT_TRUE(main_->ApplyBtn.Enabled());
}

TEST_F(MainWindowTest, FilesFromTheDialogAreAddedInItsOrderWithOneSavePerFile) {
    const wchar_t multi[] = L"C:\\Images\0b.jpg\0a.bmp\0c.ico\0";
    EXPECT_EQ(TfrmMain::SplitOpenFileResult(multi),
              (std::vector<std::wstring>{L"C:\\Images\\b.jpg", L"C:\\Images\\a.bmp", L"C:\\Images\\c.ico"}));
    const wchar_t root[] = L"C:\\\0x.bmp\0";
    EXPECT_EQ(TfrmMain::SplitOpenFileResult(root), std::vector<std::wstring>{L"C:\\x.bmp"});
    const wchar_t single[] = L"D:\\Photos\\été.jpg\0";
    EXPECT_EQ(TfrmMain::SplitOpenFileResult(single), std::vector<std::wstring>{L"D:\\Photos\\été.jpg"});

    main_->AddFiles({folder_ + L"é\u6771.jpg", folder_ + L"z.bmp"});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"é\u6771.jpg", L"z.bmp"}));
    // A path outside the ANSI code page is kept whole: the list file turns to UTF-8.
    const auto saved = win::ReadWholeFile(folder_ + L"piclist.cfg");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(saved->find(win::Narrow(L"é\u6771.jpg")), std::string::npos);
}

TEST_F(MainWindowTest, AFolderAddsBmpThenJpgThenPcxWithOneSave) {
    const std::wstring pics = folder_ + L"dossier";
    ASSERT_TRUE(::CreateDirectoryW(pics.c_str(), nullptr));
    for (const wchar_t* name : {L"a.bmp", L"b.jpg", L"c.bmp", L"d.pcx", L"e.jpeg", L"f.ico"}) {
        win::ReplaceFileAtomically(pics + L"\\" + name, "x");
    }
    ASSERT_TRUE(::CreateDirectoryW((pics + L"\\dossier.bmp").c_str(), nullptr));  // folders match too
    main_->AddDirectory(pics);
    auto items = Items();
    ASSERT_EQ(items.size(), 5u);
    // Within a pattern the order is the system's; across patterns it is fixed.
    std::vector<std::wstring> bmps(items.begin(), items.begin() + 3);
    std::sort(bmps.begin(), bmps.end());
    EXPECT_EQ(bmps, (std::vector<std::wstring>{L"a.bmp", L"c.bmp", L"dossier.bmp"}));
    EXPECT_EQ(items[3], L"b.jpg");
    EXPECT_EQ(items[4], L"d.pcx");
    EXPECT_EQ(main_->PictureList[3], pics + L"\\b.jpg");
    EXPECT_TRUE(win::FileExists(folder_ + L"piclist.cfg"));

    // A folder with nothing in it still saves once.
    ::DeleteFileW((folder_ + L"piclist.cfg").c_str());
    const std::wstring empty = folder_ + L"vide";
    ::CreateDirectoryW(empty.c_str(), nullptr);
    main_->AddDirectory(empty);
    EXPECT_TRUE(win::FileExists(folder_ + L"piclist.cfg"));
}

TEST_F(MainWindowTest, TheRegistryPathWritesTheStyleTableAndTheWallpaperFile) {
    ASSERT_TRUE(WriteBmp(folder_ + L"bleu.bmp", 40, 30, RGB(0, 0, 255)));
    main_->AddPicture(folder_ + L"bleu.bmp");
    main_->NoActiveDesktop = true;
    main_->WallpaperSettings.Calendar = false;
    main_->WallpaperSettings.TransparentIcon = false;
    struct Row {
        int mode;
        const wchar_t* tile;
        const wchar_t* style;
    };
    for (const Row& row : {Row{0, L"1", L"0"}, Row{1, L"0", L"0"}, Row{2, L"0", L"2"}, Row{7, L"0", L"7"}}) {
        main_->WallpaperSettings.WallPaperMode = row.mode;
        main_->WallpaperSettings.Number = 0;
        main_->InstallCurrentPicture();
        EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), folder_ + L"OrvaneWallPaper.bmp");
        EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), row.tile) << row.mode;
        EXPECT_EQ(ReadDesktopValue(L"WallpaperStyle"), row.style) << row.mode;
        EXPECT_EQ(ReadDesktopValue(L"WallpaperOriginX"), L"0");
        EXPECT_EQ(ReadDesktopValue(L"WallpaperOriginY"), L"0");
    }
    EXPECT_TRUE(win::FileExists(folder_ + L"OrvaneWallPaper.bmp"));
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(MainWindowTest, ActiveDesktopTakesTheChangeAndNoDesktopValueIsWritten) {
    ASSERT_TRUE(WriteBmp(folder_ + L"vert.bmp", 20, 10, RGB(0, 255, 0)));
    main_->AddPicture(folder_ + L"vert.bmp");
    main_->WallpaperSettings.Calendar = false;
    main_->WallpaperSettings.TransparentIcon = false;
    main_->WallpaperSettings.WallPaperMode = 1;
    main_->WallpaperSettings.Number = 0;
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"TileWallpaper");

    FakeActiveDesktop fake;
    main_->ActiveDesktop.reset();
    *main_->ActiveDesktop.put() = &fake;
    main_->NoActiveDesktop = false;
    main_->InstallCurrentPicture();
    *main_->ActiveDesktop.put() = nullptr;  // not ours to release

    EXPECT_EQ(fake.optionsSizeSeen, 12u);
    EXPECT_EQ(fake.wallpaperSizeSeen, 8u);
    EXPECT_EQ(fake.wallpaper, folder_ + L"OrvaneWallPaper.bmp");
    EXPECT_EQ(fake.style, static_cast<DWORD>(WPSTYLE_CENTER));
    EXPECT_EQ(fake.appliedFlags, 15u);
    EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), L"<missing>");
}

TEST_F(MainWindowTest, ActiveDesktopSwitchedOffOrMissingTakesTheRegistryPath) {
    FakeActiveDesktop fake;
    fake.enabled = false;
    *main_->ActiveDesktop.put() = &fake;
    main_->NoActiveDesktop = false;
    EXPECT_FALSE(main_->ActiveDesktopEnabled());
    EXPECT_EQ(fake.optionsSizeSeen, 12u);
    main_->NoActiveDesktop = true;
    fake.enabled = true;
    EXPECT_FALSE(main_->ActiveDesktopEnabled());
    *main_->ActiveDesktop.put() = nullptr;
}

TEST_F(MainWindowTest, AFailedChangeIsReportedOnceAndApplyStillRestoresNumber) {
    win::ReplaceFileAtomically(folder_ + L"photo.pcx", "pas une image");
    main_->AddPicture(folder_ + L"photo.pcx");
    main_->AddPicture(folder_ + L"autre.pcx");
    main_->WallpaperSettings.Number = 1;
    ClickItem(0);
    main_->ApplyBtnClick();
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"Extension de fichier graphique inconnue (.pcx)");
    EXPECT_EQ(main_->WallpaperSettings.Number, 1);
}

TEST_F(MainWindowTest, TheRotationTimerIsArmedAgainAfterAFailedChange) {
    win::ReplaceFileAtomically(folder_ + L"photo.pcx", "x");
    main_->AddPicture(folder_ + L"photo.pcx");
    main_->WallpaperSettings.Random = false;
    main_->WallpaperSettings.Number = -1;
    main_->Timer3.SetInterval(3600 * 1000);
    main_->Timer3.SetEnabled(true);
    main_->Timer3Timer();
    EXPECT_EQ(main_->WallpaperSettings.Number, 0);
    EXPECT_EQ(ReportedErrors().size(), 1u);
    EXPECT_TRUE(main_->Timer3.Enabled());
    EXPECT_TRUE(main_->Timer3.Running());
}

}  // namespace
}  // namespace orvane
