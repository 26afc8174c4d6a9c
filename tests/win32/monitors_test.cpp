// The program's per-monitor wallpapers through the adapter over a stand-in
// for the shell's desktop wallpaper object.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "wallpaper/application.h"
#include "wallpaper/picture_file.h"
#include "wallpaper/windows_monitors.h"
#include "win32/file_io.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

// The shell's desktop wallpaper object, as far as the adapter uses it.
#define ORVANE_NOT_USED(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }
class FakeDesktopWallpaper : public IDesktopWallpaper {
public:
    struct Screen {
        std::wstring id;
        RECT rect;
        bool attached;
    };
    std::vector<Screen> screens;
    std::vector<std::pair<std::wstring, std::wstring>> set;
    std::vector<DESKTOP_WALLPAPER_POSITION> positions;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitor, LPCWSTR file) override {
        set.emplace_back(monitor, file);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT i, LPWSTR* id) override {
        if (i >= screens.size()) return E_INVALIDARG;
        const std::size_t bytes = (screens[i].id.size() + 1) * sizeof(wchar_t);
        *id = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
        std::memcpy(*id, screens[i].id.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT* count) override {
        *count = static_cast<UINT>(screens.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR id, RECT* rect) override {
        for (const Screen& s : screens)
            if (s.id == id) {
                *rect = s.rect;
                return s.attached ? S_OK : S_FALSE;
            }
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE SetPosition(DESKTOP_WALLPAPER_POSITION p) override {
        positions.push_back(p);
        return S_OK;
    }
    ORVANE_NOT_USED(GetWallpaper, LPCWSTR, LPWSTR*)
    ORVANE_NOT_USED(SetBackgroundColor, COLORREF)
    ORVANE_NOT_USED(GetBackgroundColor, COLORREF*)
    ORVANE_NOT_USED(GetPosition, DESKTOP_WALLPAPER_POSITION*)
    ORVANE_NOT_USED(SetSlideshow, IShellItemArray*)
    ORVANE_NOT_USED(GetSlideshow, IShellItemArray**)
    ORVANE_NOT_USED(SetSlideshowOptions, DESKTOP_SLIDESHOW_OPTIONS, UINT)
    ORVANE_NOT_USED(GetSlideshowOptions, DESKTOP_SLIDESHOW_OPTIONS*, UINT*)
    ORVANE_NOT_USED(AdvanceSlideshow, LPCWSTR, DESKTOP_SLIDESHOW_DIRECTION)
    ORVANE_NOT_USED(GetStatus, DESKTOP_SLIDESHOW_STATE*)
    ORVANE_NOT_USED(Enable, WINBOOL)
};
#undef ORVANE_NOT_USED

TEST(WindowsMonitors, WithoutTheObjectThereIsNothingToListOrShow) {
    WindowsMonitors none([] { return win::ComPtr<IDesktopWallpaper>(); });
    EXPECT_FALSE(none.Available());
    EXPECT_TRUE(none.List().empty());
    EXPECT_FALSE(none.Show({{"x", "y"}}));
}

// The real program's changes with the object standing in for the shell:
// the primary at the origin, the size of the screen the program measures, a
// portrait monitor above and to the left of it (listed first), a small one
// to its right, and one the system knows but that is not attached. Every
// picture is one colour, stretched.
class MonitorWallpapersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        testing_support::ReportedErrors().clear();
        folder_ = testing_support::MakeTempFolder(L"orvane-monitors-" + std::to_wstring(::GetTickCount())) + L"\\";
        const LONG w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        fake_.screens = {{L"\\\\?\\DISPLAY#PORTRAIT", {-600, -200, 0, 600}, true},
                         {L"\\\\?\\DISPLAY#MAIN", {0, 0, w, h}, true},
                         {L"\\\\?\\DISPLAY#RIGHT", {w, 0, w + 640, 480}, true},
                         {L"\\\\?\\DISPLAY#OFF", {0, 0, 0, 0}, false}};
        app_ = std::make_unique<Application>(testing_support::TestUi(), false);
        app_->Main().StartupTimer().SetEnabled(false);
        app_->Desktop().SetWallpaperPath(folder_ + L"OrvaneWallPaper.bmp");
        app_->Desktop().UseActiveDesktop({});
        app_->Desktop().UseDesktopWallpaper([this] {
            win::ComPtr<IDesktopWallpaper> p;
            fake_.AddRef();
            *p.put() = &fake_;
            return p;
        });
    }
    void TearDown() override {
        app_.reset();
        EXPECT_EQ(fake_.refs, 1);  // nothing kept hold of the object
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }

    // Stored values, then pictures of these colours in the list.
    void Load(const std::wstring& perScreen, const std::vector<std::uint32_t>& colours) {
        const std::pair<const wchar_t*, std::wstring> stored[] = {
            {L"FileName", folder_ + L"piclist.cfg"}, {L"RunAtStartup", L"0"}, {L"Random", L"0"},
            {L"Number", L"-1"}, {L"WallPaperMode", L"2"}, {L"Calendar", L"1"},
            {L"TransparentIcon", L"0"}, {L"OneWallpaperPerScreen", perScreen}};
        for (const auto& [name, value] : stored) testing_support::StoreSetting(name, value);
        app_->Model().Load();
        std::vector<std::string> paths;
        for (std::uint32_t c : colours) {
            const std::wstring path = folder_ + L"image" + std::to_wstring(paths.size()) + L".bmp";
            const std::vector<std::uint8_t> bytes = EncodeBmp(Image32(40, 30, c), 24);
            ASSERT_TRUE(win::ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end())));
            paths.push_back(win::Narrow(path));
        }
        app_->Model().AddFiles(paths);
    }

    // A composed file as the program wrote it: its size, and how many of its
    // pixels are not the colour found most (the picture's; the calendar's).
    struct Composed {
        int width = 0, height = 0;
        std::uint32_t colour = 0;
        std::size_t others = 0;
    };
    Composed Read(const std::wstring& name) {
        const std::wstring path = folder_ + name;
        const auto bytes = win::ReadWholeFile(path);
        if (!bytes) return {};
        const BmpInfo info = CheckBmp(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
        const Image32 image = DecodePictureFile(path);
        std::map<std::uint32_t, std::size_t> counts;
        for (std::uint32_t p : image.pixels) ++counts[p & 0xFFFFFFu];
        Composed c{info.width, info.height};
        for (const auto& [colour, n] : counts)
            if (n > counts[c.colour]) c.colour = colour;
        c.others = image.pixels.size() - counts[c.colour];
        return c;
    }

    std::wstring folder_;
    FakeDesktopWallpaper fake_;  // outlives the application that holds it
    std::unique_ptr<Application> app_;
};

TEST_F(MonitorWallpapersTest, EachMonitorGetsItsOwnSizedFileTheCalendarOnThePrimaryAndNewNamesEachChange) {
    Load(L"0", {0xFF2040C0u, 0xFFC04020u});
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);

    app_->Model().ChangeNow();
    ASSERT_TRUE(testing_support::ReportedErrors().empty());
    const std::wstring main = folder_ + L"OrvaneWallPaper.bmp";
    EXPECT_EQ(fake_.set, (std::vector<std::pair<std::wstring, std::wstring>>{
                             {L"\\\\?\\DISPLAY#PORTRAIT", folder_ + L"OrvaneWallPaper-2a.bmp"},
                             {L"\\\\?\\DISPLAY#MAIN", main},
                             {L"\\\\?\\DISPLAY#RIGHT", folder_ + L"OrvaneWallPaper-3a.bmp"}}));
    EXPECT_EQ(fake_.positions, std::vector<DESKTOP_WALLPAPER_POSITION>{DWPOS_STRETCH});
    const Composed primary = Read(L"OrvaneWallPaper.bmp"), portrait = Read(L"OrvaneWallPaper-2a.bmp"),
                   right = Read(L"OrvaneWallPaper-3a.bmp");
    EXPECT_EQ((std::vector<std::pair<int, int>>{{primary.width, primary.height}, {portrait.width, portrait.height},
                                                {right.width, right.height}}),
              (std::vector<std::pair<int, int>>{{w, h}, {600, 800}, {640, 480}}));
    // One picture for all without a picture per screen; the calendar on the primary alone.
    EXPECT_TRUE(portrait.colour == primary.colour && right.colour == primary.colour);
    EXPECT_TRUE(primary.others > 0 && portrait.others == 0 && right.others == 0);

    // The next change gives the others the other letter and removes the old files.
    fake_.set.clear();
    app_->Model().ChangeNow();
    EXPECT_EQ(fake_.set, (std::vector<std::pair<std::wstring, std::wstring>>{
                             {L"\\\\?\\DISPLAY#PORTRAIT", folder_ + L"OrvaneWallPaper-2b.bmp"},
                             {L"\\\\?\\DISPLAY#MAIN", main},
                             {L"\\\\?\\DISPLAY#RIGHT", folder_ + L"OrvaneWallPaper-3b.bmp"}}));
    EXPECT_FALSE(win::FileExists(folder_ + L"OrvaneWallPaper-2a.bmp"));
    EXPECT_FALSE(win::FileExists(folder_ + L"OrvaneWallPaper-3a.bmp"));
    EXPECT_NE(Read(L"OrvaneWallPaper-2b.bmp").colour, portrait.colour);  // the list's next picture
    EXPECT_TRUE(testing_support::ReportedErrors().empty());
}

TEST_F(MonitorWallpapersTest, APicturePerScreenGivesEachMonitorADifferentPicture) {
    Load(L"1", {0xFF2040C0u, 0xFFC04020u, 0xFF20C040u});
    app_->Model().ChangeNow();
    ASSERT_TRUE(testing_support::ReportedErrors().empty());
    const std::set<std::uint32_t> colours{Read(L"OrvaneWallPaper.bmp").colour, Read(L"OrvaneWallPaper-2a.bmp").colour,
                                          Read(L"OrvaneWallPaper-3a.bmp").colour};
    EXPECT_EQ(colours, (std::set<std::uint32_t>{0x2040C0u, 0xC04020u, 0x20C040u}));
}

TEST_F(MonitorWallpapersTest, OneMonitorKeepsTheSingleWallpaperThroughTheRegistry) {
    fake_.screens = {fake_.screens[1]};
    Load(L"1", {0xFF2040C0u, 0xFFC04020u});
    app_->Model().ChangeNow();
    ASSERT_TRUE(testing_support::ReportedErrors().empty());
    EXPECT_TRUE(fake_.set.empty());
    EXPECT_TRUE(fake_.positions.empty());
    wchar_t shown[1024]{};
    DWORD size = sizeof(shown);
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", RRF_RT_REG_SZ, nullptr,
                             shown, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(shown), folder_ + L"OrvaneWallPaper.bmp");
    EXPECT_EQ(Read(L"OrvaneWallPaper.bmp").width, ::GetSystemMetrics(SM_CXSCREEN));
}

}  // namespace
}  // namespace orvane
