// The main window over the model, in process, with the program's own
// services: the picture list as the list box and the list file show it, the
// wallpaper through Active Desktop or the registry, the start-up step, the
// rotation, what is (and is not) saved, and the system's news.
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/picture/image.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/running_copy.h"
#include "wallpaper/tray_icon.h"
#include "wallpaper/windows_desktop.h"
#include "win32/file_io.h"
#include "win32/strings.h"
#include "win32/window.h"
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

constexpr wchar_t kConfigKey[] = L"Software\\Orvane\\Config";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring ReadDesktopValue(const wchar_t* name) {
    wchar_t buf[1024]{};
    DWORD size = sizeof(buf);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

// Every value of a key with its type and bytes; empty when the key is missing.
using KeyValues = std::map<std::wstring, std::pair<DWORD, std::string>>;
KeyValues ValuesOf(const wchar_t* path) {
    KeyValues out;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256]{};
        DWORD nameLength = 256;
        BYTE data[4096]{};
        DWORD size = sizeof(data), type = 0;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        out[name] = {type, std::string(reinterpret_cast<const char*>(data), size)};
    }
    ::RegCloseKey(key);
    return out;
}

void SetRunEntry(const std::wstring& command) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    ::RegSetValueExW(key, kStartWithWindowsName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

void RemoveRunEntry() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(key, kStartWithWindowsName);
    ::RegCloseKey(key);
}

// A one-colour 24-bit bitmap file, as a user's picture would be.
bool WriteBmp(const std::wstring& path, int w, int h, std::uint32_t argb) {
    const std::vector<std::uint8_t> bytes = EncodeBmp(Image32(w, h, argb), 24);
    return win::ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end()));
}

// Width and height in a bitmap file's header; {0, 0} when it is not one.
std::pair<int, int> BitmapFileSize(const std::wstring& path) {
    const auto bytes = win::ReadWholeFile(path);
    if (!bytes) return {0, 0};
    try {
        const BmpInfo info = CheckBmp(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
        return {info.width, info.height};
    } catch (const std::exception&) {
        return {0, 0};
    }
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

using Values = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        RemoveRunEntry();
        ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-main-" + std::to_wstring(::GetTickCount()) + L"-" +
                                 std::to_wstring(++serial_)) +
                  L"\\";
        app_ = std::make_unique<Application>(testing_support::TestUi(), false);
        Main().StartupTimer().SetEnabled(false);  // the tests run the start-up step themselves
        app_->Desktop().SetWallpaperPath(folder_ + L"OrvaneWallPaper.bmp");
        app_->Desktop().UseActiveDesktop({});  // the registry path unless a test gives one
    }
    void TearDown() override {
        app_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        RemoveRunEntry();
    }

    WallpaperModel& Model() { return app_->Model(); }
    MainWindow& Main() { return app_->Main(); }
    WallpaperSettings& Settings() { return Model().MutableSettingsForTests(); }
    std::wstring ListFile() const { return folder_ + L"piclist.cfg"; }

    // The values the program finds stored: the test's list file, no Run
    // entry, and whatever the test adds.
    void Plant(Values values = {}) {
        StoreSetting(L"FileName", ListFile());
        StoreSetting(L"RunAtStartup", L"0");
        for (const auto& [name, value] : values) StoreSetting(name, value);
    }
    // The load of the start-up step alone, so that saves happen.
    void Load(Values values = {}) {
        Plant(values);
        Model().Load();
    }
    // The start-up step as its timer runs it; an error reaches the error box.
    void StartUp() {
        ::SendMessageW(Main().hwnd(), WM_TIMER, Main().StartupTimer().Id(), 0);
    }
    void AddItems(int n) {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i) paths.push_back(win::Narrow(folder_ + L"image" + std::to_wstring(i) + L".bmp"));
        Model().AddFiles(paths);
    }
    std::vector<std::wstring> Items() {
        std::vector<std::wstring> out;
        const int n = static_cast<int>(::SendMessageW(Main().PictureListBox(), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t buf[512]{};
            ::SendMessageW(Main().PictureListBox(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            out.emplace_back(buf);
        }
        return out;
    }
    // A click on an item as the user makes it: the list box notifies its parent.
    void ClickItem(int index, WPARAM keys = 0) {
        HWND list = Main().PictureListBox();
        RECT r{};
        ::SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 5, r.top + 3);
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
        ::SendMessageW(list, WM_LBUTTONUP, keys, at);
        PumpMessages(20);
    }
    void Press(const wchar_t* caption) {
        HWND button = ::FindWindowExW(Main().hwnd(), nullptr, L"Button", caption);
        ASSERT_NE(button, nullptr) << win::Narrow(caption);
        ::SendMessageW(button, BM_CLICK, 0, 0);
    }
    void Quit() {
        ::PostMessageW(Main().Tray()->Handle(), WM_COMMAND, kTrayQuitCommand, 0);
        EXPECT_TRUE(TakeQuit());
    }

    static inline int serial_ = 0;
    std::wstring folder_;
    FakeActiveDesktop fakeActiveDesktop_;  // outlives the application that may hold it
    std::unique_ptr<Application> app_;
};

// ---- the picture list ---------------------------------------------------------------

TEST_F(MainWindowTest, RemovingItemsTwoThreeAndFiveOfSixKeepsTheListBoxTheModelAndTheFileParallel) {
    Load();
    AddItems(6);
    for (int i : {1, 2, 4}) ::SendMessageW(Main().PictureListBox(), LB_SETSEL, TRUE, i);
    Main().OnRemoveSelectedClicked();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"image1.bmp", L"image4.bmp", L"image6.bmp"}));
    ASSERT_EQ(Model().Pictures().size(), 3u);
    EXPECT_EQ(Model().Pictures()[1], win::Narrow(folder_ + L"image4.bmp"));
    const auto saved = win::ReadWholeFile(ListFile());
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, win::Narrow(folder_ + L"image1.bmp\r\n" + folder_ + L"image4.bmp\r\n" + folder_ +
                                  L"image6.bmp\r\n"));
}

TEST_F(MainWindowTest, RemovingWithNothingSelectedSavesNothing) {
    Load();
    AddItems(2);
    ASSERT_TRUE(::DeleteFileW(ListFile().c_str()));
    Main().OnRemoveSelectedClicked();
    EXPECT_FALSE(win::FileExists(ListFile()));
    EXPECT_EQ(Items().size(), 2u);
}

TEST_F(MainWindowTest, TheListFileIsLoadedWithoutItsMissingEntriesButKeepsThoseOfADriveNotThereYet) {
    // U: leads to C:\removable-drive (see scripts/wine-prefix.sh): absent until the folder is made.
    const std::wstring drive = L"C:\\removable-drive";
    ::DeleteFileW((drive + L"\\photo.bmp").c_str());
    ::RemoveDirectoryW(drive.c_str());
    ASSERT_TRUE(WriteBmp(folder_ + L"là.bmp", 2, 2, 0xFF00FF00u));
    ASSERT_TRUE(WriteBmp(folder_ + L"ici.bmp", 2, 2, 0xFF00FF00u));
    std::string ansi;
    ASSERT_TRUE(win::ToAnsi(folder_ + L"là.bmp\r\n" + folder_ + L"parti.bmp\r\nU:\\photo.bmp\r\n" + folder_ +
                                L"ici.bmp\r\n",
                            ansi));
    ASSERT_TRUE(win::ReplaceFileAtomically(ListFile(), ansi));
    Load({{L"Random", L"0"}, {L"Number", L"0"}});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"là.bmp", L"photo.bmp", L"ici.bmp"}));
    EXPECT_EQ(Model().Pictures()[0], win::Narrow(folder_ + L"là.bmp"));
    // Loading is not saving: the file keeps the entry until the next save.
    EXPECT_EQ(win::ReadWholeFile(ListFile()), ansi);

    // Its turn is passed quietly while the drive is away; a save keeps it.
    Model().ChangeNow();
    EXPECT_EQ(Settings().Number, 2);
    Model().Reduce();
    EXPECT_NE(win::ReadWholeFile(ListFile())->find("U:\\photo.bmp"), std::string::npos);
    // The drive is back: its turn comes.
    ASSERT_TRUE(::CreateDirectoryW(drive.c_str(), nullptr));
    ASSERT_TRUE(WriteBmp(drive + L"\\photo.bmp", 2, 2, 0xFF0000FFu));
    Model().ChangeNow();
    Model().ChangeNow();
    EXPECT_EQ(Settings().Number, 1);
    EXPECT_TRUE(ReportedErrors().empty());
    ::DeleteFileW((drive + L"\\photo.bmp").c_str());
    ::RemoveDirectoryW(drive.c_str());
}

TEST_F(MainWindowTest, ApplyIsEnabledExactlyWhenOneItemIsSelectedAfterAClick) {
    Load();
    AddItems(3);
    EXPECT_FALSE(Main().ApplyButton().Enabled());
    ClickItem(1);
    EXPECT_TRUE(Main().ApplyButton().Enabled());
    ClickItem(2, MK_CONTROL);  // a second item joins the selection
    EXPECT_FALSE(Main().ApplyButton().Enabled());
    ClickItem(0);
    EXPECT_TRUE(Main().ApplyButton().Enabled());
    Main().OnRemoveSelectedClicked();  // removals leave the button alone
    EXPECT_TRUE(Main().ApplyButton().Enabled());
}

TEST_F(MainWindowTest, FilesFromTheDialogAreAddedInItsOrderWithOneSavePerFile) {
    const wchar_t multi[] = L"C:\\Images\0b.jpg\0a.bmp\0c.ico\0";
    EXPECT_EQ(MainWindow::SplitOpenFileResult(multi),
              (std::vector<std::wstring>{L"C:\\Images\\b.jpg", L"C:\\Images\\a.bmp", L"C:\\Images\\c.ico"}));
    const wchar_t root[] = L"C:\\\0x.bmp\0";
    EXPECT_EQ(MainWindow::SplitOpenFileResult(root), std::vector<std::wstring>{L"C:\\x.bmp"});
    const wchar_t single[] = L"D:\\Photos\\été.jpg\0";
    EXPECT_EQ(MainWindow::SplitOpenFileResult(single), std::vector<std::wstring>{L"D:\\Photos\\été.jpg"});

    Load();
    Model().AddFiles({win::Narrow(folder_ + L"é\u6771.jpg"), win::Narrow(folder_ + L"z.bmp")});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"é\u6771.jpg", L"z.bmp"}));
    // A path outside the ANSI code page is kept whole: the list file turns to UTF-8.
    const auto saved = win::ReadWholeFile(ListFile());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(saved->find(win::Narrow(L"é\u6771.jpg")), std::string::npos);
}

TEST_F(MainWindowTest, AFolderAddsBmpThenJpgThenPcxWithOneSave) {
    Load();
    const std::wstring pics = folder_ + L"dossier";
    ASSERT_TRUE(::CreateDirectoryW(pics.c_str(), nullptr));
    for (const wchar_t* name : {L"a.bmp", L"b.jpg", L"c.bmp", L"d.pcx", L"e.jpeg", L"f.ico"}) {
        win::ReplaceFileAtomically(pics + L"\\" + name, "x");
    }
    ASSERT_TRUE(::CreateDirectoryW((pics + L"\\dossier.bmp").c_str(), nullptr));  // folders match too
    Model().AddFolder(win::Narrow(pics));
    auto items = Items();
    ASSERT_EQ(items.size(), 5u);
    // Within a pattern the order is the system's; across patterns it is fixed.
    std::vector<std::wstring> bmps(items.begin(), items.begin() + 3);
    std::sort(bmps.begin(), bmps.end());
    EXPECT_EQ(bmps, (std::vector<std::wstring>{L"a.bmp", L"c.bmp", L"dossier.bmp"}));
    EXPECT_EQ(items[3], L"b.jpg");
    EXPECT_EQ(items[4], L"d.pcx");
    EXPECT_EQ(Model().Pictures()[3], win::Narrow(pics + L"\\b.jpg"));
    EXPECT_TRUE(win::FileExists(ListFile()));

    // A folder with nothing in it still saves once.
    ::DeleteFileW(ListFile().c_str());
    const std::wstring empty = folder_ + L"vide";
    ::CreateDirectoryW(empty.c_str(), nullptr);
    Model().AddFolder(win::Narrow(empty));
    EXPECT_TRUE(win::FileExists(ListFile()));
}

// ---- the wallpaper on the desktop ---------------------------------------------------

TEST_F(MainWindowTest, TheRegistryPathWritesTheStyleTableAndTheWallpaperFile) {
    Load({{L"Calendar", L"0"}, {L"TransparentIcon", L"0"}});
    ASSERT_TRUE(WriteBmp(folder_ + L"bleu.bmp", 40, 30, 0xFF0000FFu));
    Model().AddFiles({win::Narrow(folder_ + L"bleu.bmp")});
    struct Row {
        int mode;
        const wchar_t* tile;
        const wchar_t* style;
    };
    for (const Row& row : {Row{0, L"1", L"0"}, Row{1, L"0", L"0"}, Row{2, L"0", L"2"}, Row{7, L"0", L"7"}}) {
        Settings().WallPaperMode = row.mode;
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"WallpaperStyle");
        ClickItem(0);
        Main().OnApplyClicked();
        EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), folder_ + L"OrvaneWallPaper.bmp");
        EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), row.tile) << row.mode;
        EXPECT_EQ(ReadDesktopValue(L"WallpaperStyle"), row.style) << row.mode;
        EXPECT_EQ(ReadDesktopValue(L"WallpaperOriginX"), L"0");
        EXPECT_EQ(ReadDesktopValue(L"WallpaperOriginY"), L"0");
    }
    EXPECT_EQ(BitmapFileSize(folder_ + L"OrvaneWallPaper.bmp"), std::make_pair(40, 30));  // mode 7: its own size
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(MainWindowTest, ActiveDesktopTakesTheChangeAndNoDesktopValueIsWritten) {
    Load({{L"Calendar", L"0"}, {L"TransparentIcon", L"0"}, {L"WallPaperMode", L"1"}});
    ASSERT_TRUE(WriteBmp(folder_ + L"vert.bmp", 20, 10, 0xFF00FF00u));
    Model().AddFiles({win::Narrow(folder_ + L"vert.bmp")});
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"TileWallpaper");

    win::ComPtr<IActiveDesktop> shell;
    *shell.put() = &fakeActiveDesktop_;
    app_->Desktop().UseActiveDesktop(std::move(shell));
    ClickItem(0);
    Main().OnApplyClicked();

    FakeActiveDesktop& fake = fakeActiveDesktop_;
    EXPECT_EQ(fake.optionsSizeSeen, 12u);
    EXPECT_EQ(fake.wallpaperSizeSeen, 8u);
    EXPECT_EQ(fake.wallpaper, folder_ + L"OrvaneWallPaper.bmp");
    EXPECT_EQ(fake.style, static_cast<DWORD>(WPSTYLE_CENTER));
    EXPECT_EQ(fake.appliedFlags, 15u);
    EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), L"<missing>");
    EXPECT_TRUE(win::FileExists(folder_ + L"OrvaneWallPaper.bmp"));
}

TEST_F(MainWindowTest, ActiveDesktopSwitchedOffOrMissingTakesTheRegistryPath) {
    Load({{L"Calendar", L"0"}, {L"TransparentIcon", L"0"}, {L"WallPaperMode", L"0"}});
    ASSERT_TRUE(WriteBmp(folder_ + L"gris.bmp", 8, 8, 0xFF808080u));
    Model().AddFiles({win::Narrow(folder_ + L"gris.bmp")});

    FakeActiveDesktop& fake = fakeActiveDesktop_;
    fake.enabled = false;
    win::ComPtr<IActiveDesktop> shell;
    *shell.put() = &fake;
    app_->Desktop().UseActiveDesktop(std::move(shell));
    EXPECT_FALSE(app_->Desktop().ActiveDesktopEnabled());
    EXPECT_EQ(fake.optionsSizeSeen, 12u);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"TileWallpaper");
    Model().Apply(0);
    EXPECT_EQ(fake.calls, 0);
    EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), L"1");

    app_->Desktop().UseActiveDesktop({});
    fake.enabled = true;
    EXPECT_FALSE(app_->Desktop().ActiveDesktopEnabled());
}

TEST_F(MainWindowTest, AFailedChangeIsReportedOnceAndApplyStillRestoresNumber) {
    Load({{L"Random", L"0"}});
    win::ReplaceFileAtomically(folder_ + L"photo.pcx", "pas une image");
    Model().AddFiles({win::Narrow(folder_ + L"photo.pcx"), win::Narrow(folder_ + L"autre.pcx")});
    Settings().Number = 1;
    ClickItem(0);
    Main().OnApplyClicked();
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"Extension de fichier graphique inconnue (.pcx)");
    EXPECT_EQ(Model().Settings().Number, 1);
    EXPECT_FALSE(win::FileExists(folder_ + L"OrvaneWallPaper.bmp"));
}

// ---- start-up and rotation ---------------------------------------------------------

TEST_F(MainWindowTest, TheStartUpStepChangesTheWallpaperArmsItsTimersAndSavesNothing) {
    ASSERT_TRUE(WriteBmp(folder_ + L"a.bmp", 4, 4, 0xFFFF0000u));
    ASSERT_TRUE(WriteBmp(folder_ + L"b.bmp", 4, 4, 0xFF0000FFu));
    ASSERT_TRUE(win::ReplaceFileAtomically(ListFile(), win::Narrow(folder_ + L"a.bmp\r\n" + folder_ + L"b.bmp\r\n")));
    Plant({{L"Random", L"0"}, {L"Number", L"0"}, {L"RunMode", L"1"}, {L"Interval", L"90"}, {L"WallPaperMode", L"2"}});
    const KeyValues before = ValuesOf(kConfigKey);
    StartUp();
    EXPECT_TRUE(ReportedErrors().empty());
    EXPECT_FALSE(Main().StartupTimer().Enabled());
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));  // the program stays in the tray
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a.bmp", L"b.bmp"}));
    EXPECT_EQ(Model().Settings().Number, 1);
    EXPECT_EQ(BitmapFileSize(folder_ + L"OrvaneWallPaper.bmp"),
              std::make_pair(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), folder_ + L"OrvaneWallPaper.bmp");
    EXPECT_TRUE(app_->Timers().Running(ModelTimer::Rotation));
    EXPECT_EQ(Model().RotationInterval(), 90000u);
    EXPECT_TRUE(app_->Timers().Running(ModelTimer::Midnight));
    EXPECT_EQ(ValuesOf(kConfigKey), before);
}

// A message box of this thread, read and answered from inside its own loop.
struct SeenBox {
    bool found = false;
    std::wstring title, text;
    bool mainVisible = true;
};

TEST_F(MainWindowTest, AnEmptyListSaysSoInABoxAndThenShowsTheWindow) {
    Plant();
    static SeenBox seen;
    seen = {};
    static HWND mainWindow;
    mainWindow = Main().hwnd();
    RunSoon([] {
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND h, LPARAM) -> BOOL {
                wchar_t cls[64]{};
                ::GetClassNameW(h, cls, 64);
                if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(h)) return TRUE;
                seen.found = true;
                wchar_t buf[512]{};
                ::GetWindowTextW(h, buf, 512);
                seen.title = buf;
                // The text is the box's only static control with words in it.
                ::EnumChildWindows(
                    h,
                    [](HWND child, LPARAM) -> BOOL {
                        wchar_t childClass[64]{}, words[512]{};
                        ::GetClassNameW(child, childClass, 64);
                        if (_wcsicmp(childClass, L"Static") == 0 && ::GetWindowTextW(child, words, 512) > 0)
                            seen.text = words;
                        return TRUE;
                    },
                    0);
                seen.mainVisible = ::IsWindowVisible(mainWindow) != FALSE;
                ::PostMessageW(h, WM_COMMAND, IDOK, 0);
                return FALSE;
            },
            0);
    });
    StartUp();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, Main().Ui().Title());
    EXPECT_EQ(seen.text, L"Il n'y a pas d'image. Configurez le logiciel");
    EXPECT_FALSE(seen.mainVisible);  // the box comes first
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
    EXPECT_FALSE(app_->Timers().Running(ModelTimer::Rotation));
}

TEST_F(MainWindowTest, TheRotationTimerIsArmedAgainAfterAFailedChange) {
    win::ReplaceFileAtomically(folder_ + L"photo.pcx", "x");
    ASSERT_TRUE(win::ReplaceFileAtomically(ListFile(), win::Narrow(folder_ + L"photo.pcx\r\n")));
    Plant({{L"Random", L"0"}, {L"Number", L"-1"}, {L"RunMode", L"1"}, {L"Interval", L"3600"}});
    StartUp();
    ASSERT_EQ(ReportedErrors().size(), 1u);  // the start-up change failed too
    ASSERT_TRUE(app_->Timers().Running(ModelTimer::Rotation));
    ReportedErrors().clear();
    Settings().Number = -1;
    Model().OnTimer(ModelTimer::Rotation);
    EXPECT_EQ(Model().Settings().Number, 0);
    EXPECT_EQ(ReportedErrors().size(), 1u);
    EXPECT_TRUE(Model().RotationArmed());
    EXPECT_EQ(Model().RotationInterval(), 3600u * 1000u);
    EXPECT_TRUE(app_->Timers().Running(ModelTimer::Rotation));
}

// ---- what is saved ------------------------------------------------------------------

TEST_F(MainWindowTest, ReduceAndQuitBeforeTheStartUpStepWriteNothing) {
    StoreSetting(L"RunMode", L"1");
    StoreSetting(L"Interval", L"90");
    StoreSetting(L"CalL", L"17");
    const KeyValues before = ValuesOf(kConfigKey);
    Press(L"Réduire");
    Quit();
    EXPECT_EQ(ValuesOf(kConfigKey), before);
    EXPECT_EQ(ValuesOf(kRunKey).count(kStartWithWindowsName), 0u);
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(MainWindowTest, AfterALoadThatFailedReduceAndQuitLeaveEveryStoredThingAsItWas) {
    ASSERT_TRUE(WriteBmp(folder_ + L"a.bmp", 4, 4, 0xFFFF0000u));
    // An entry whose file is gone: a save would drop it from the file.
    const std::string list = win::Narrow(folder_ + L"a.bmp\r\n" + folder_ + L"parti.bmp\r\n");
    ASSERT_TRUE(win::ReplaceFileAtomically(ListFile(), list));
    Plant({{L"RunAtStartup", L"1"}, {L"RunMode", L"1"}, {L"Interval", L"90"}, {L"CalL", L"17"},
           {L"MounthFont", L"Verdana"}});
    SetRunEntry(L"\"C:\\Ancien\\OrvaneWallPaper.exe\"");
    // A value of the wrong type, as an older version or a hand edit leaves it.
    HKEY config = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kConfigKey, 0, KEY_SET_VALUE, &config), ERROR_SUCCESS);
    const DWORD two = 2;
    ::RegSetValueExW(config, L"WallPaperMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), sizeof(two));
    ::RegCloseKey(config);
    const KeyValues configBefore = ValuesOf(kConfigKey);
    const KeyValues runBefore = ValuesOf(kRunKey);

    StartUp();
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"Type de données incorrect pour 'WallPaperMode'");
    EXPECT_FALSE(Model().CanSave());

    Main().ShowMainWindow();
    Press(L"Réduire");
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    Quit();
    EXPECT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ValuesOf(kConfigKey), configBefore);
    EXPECT_EQ(ValuesOf(kRunKey), runBefore);
    EXPECT_EQ(win::ReadWholeFile(ListFile()), list);
}

TEST_F(MainWindowTest, ReduceHidesTheWindowAndSaves) {
    Load({{L"RunMode", L"1"}, {L"Interval", L"90"}});
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kConfigKey);
    Main().ShowMainWindow();
    Press(L"Réduire");
    EXPECT_FALSE(::IsWindowVisible(Main().hwnd()));
    EXPECT_EQ(StoredSetting(L"FileName"), ListFile());
    EXPECT_EQ(StoredSetting(L"Interval"), L"90");
    EXPECT_TRUE(win::FileExists(ListFile()));
}

TEST_F(MainWindowTest, ASaveWritesTheRunEntryQuotedOverAnUnquotedOne) {
    SetRunEntry(L"C:\\Program Files\\Orvane\\OrvaneWallPaper.exe");  // as earlier versions wrote it
    Load({{L"RunAtStartup", L"1"}});
    Press(L"Réduire");
    wchar_t stored[MAX_PATH + 8]{};
    DWORD size = sizeof(stored);
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kStartWithWindowsName, RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), L"\"" + win::ModulePath() + L"\"");
}

// ---- the system's news ----------------------------------------------------------------

TEST_F(MainWindowTest, TheSystemsNewsReachTheModelAndASameDayLeavesTheWallpaperAlone) {
    ASSERT_TRUE(WriteBmp(folder_ + L"a.bmp", 6, 4, 0xFF204060u));
    ASSERT_TRUE(win::ReplaceFileAtomically(ListFile(), win::Narrow(folder_ + L"a.bmp\r\n")));
    Plant({{L"Calendar", L"1"}, {L"WallPaperMode", L"2"}, {L"TransparentIcon", L"0"}});
    StartUp();
    ASSERT_TRUE(ReportedErrors().empty());
    const std::wstring wallpaper = folder_ + L"OrvaneWallPaper.bmp";
    ASSERT_TRUE(win::FileExists(wallpaper));
    ASSERT_TRUE(win::ReplaceFileAtomically(wallpaper, "marque"));
    HWND main = Main().hwnd();

    // The clock was set, the machine woke up, the session was unlocked: each
    // is a moment the date may have moved on, so the model looks again (and
    // arms its midnight timer anew). The day is the same: nothing is redrawn.
    auto rearmedBy = [&](UINT msg, WPARAM wp) {
        app_->Timers().Stop(ModelTimer::Midnight);
        ::SendMessageW(main, msg, wp, 0);
        return app_->Timers().Running(ModelTimer::Midnight);
    };
    EXPECT_TRUE(rearmedBy(WM_TIMECHANGE, 0));
    EXPECT_TRUE(rearmedBy(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC));
    EXPECT_FALSE(rearmedBy(WM_POWERBROADCAST, PBT_APMSUSPEND));
    EXPECT_TRUE(rearmedBy(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK));
    EXPECT_FALSE(rearmedBy(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK));
    EXPECT_EQ(::SendMessageW(main, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), TRUE);  // never refuses a suspend
    EXPECT_TRUE(win::ReadWholeFile(wallpaper) == std::optional<std::string>("marque"));  // no megabytes printed

    // A new screen size: the wallpaper is composed again and shown again.
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper");
    ::SendMessageW(main, WM_DISPLAYCHANGE, 32, MAKELPARAM(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
    PumpMessages(1000);  // once the display has settled
    EXPECT_EQ(BitmapFileSize(wallpaper),
              std::make_pair(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), wallpaper);
    EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(MainWindowTest, ASecondCopysRequestLetsThisOneComeForwardAndShowsTheMainWindow) {
    Load();
    DWORD allowed = 0;
    ASSERT_TRUE(AskRunningCopyToShow([&](DWORD processId) { allowed = processId; }));
    PumpMessages(200);
    EXPECT_EQ(allowed, ::GetCurrentProcessId());
    EXPECT_TRUE(::IsWindowVisible(Main().hwnd()));
}

}  // namespace
}  // namespace orvane
