// The per-monitor wallpaper adapter over a stand-in for the shell's desktop
// wallpaper object: what it lists and what it asks the object to show.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "wallpaper/windows_monitors.h"

namespace orvane {
namespace {

// Two attached monitors, the second to the left of the primary, and one the
// system knows but that is not attached.
class FakeDesktopWallpaper : public IDesktopWallpaper {
public:
    struct Screen {
        std::wstring id;
        RECT rect;
        bool attached;
    };
    std::vector<Screen> screens{{L"\\\\?\\DISPLAY#MAIN", {0, 0, 2560, 1440}, true},
                                {L"\\\\?\\DISPLAY#SIDE", {-1080, -240, 0, 1680}, true},
                                {L"\\\\?\\DISPLAY#OFF", {0, 0, 0, 0}, false}};
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

    HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR, LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPosition(DESKTOP_WALLPAPER_POSITION*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSlideshow(IShellItemArray*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSlideshow(IShellItemArray**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSlideshowOptions(DESKTOP_SLIDESHOW_OPTIONS*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR, DESKTOP_SLIDESHOW_DIRECTION) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatus(DESKTOP_SLIDESHOW_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Enable(WINBOOL) override { return E_NOTIMPL; }
};

TEST(WindowsMonitors, ListsTheAttachedMonitorsAndShowsOneFileEachStretched) {
    FakeDesktopWallpaper fake;
    {
        WindowsMonitors monitors([&fake] {
            win::ComPtr<IDesktopWallpaper> p;
            fake.AddRef();
            *p.put() = &fake;
            return p;
        });
        ASSERT_TRUE(monitors.Available());
        const std::vector<Monitor> list = monitors.List();
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0].deviceId, "\\\\?\\DISPLAY#MAIN");
        EXPECT_TRUE(list[0].primary);
        EXPECT_EQ(list[1].deviceId, "\\\\?\\DISPLAY#SIDE");
        EXPECT_FALSE(list[1].primary);
        EXPECT_EQ(list[1].left, -1080);
        EXPECT_EQ(list[1].bottom, 1680);

        EXPECT_TRUE(monitors.Show({{list[0].deviceId, "C:\\windows\\OrvaneWallPaper.bmp"},
                                   {list[1].deviceId, "C:\\windows\\OrvaneWallPaper-2b.bmp"}}));
        EXPECT_EQ(fake.set, (std::vector<std::pair<std::wstring, std::wstring>>{
                                {L"\\\\?\\DISPLAY#MAIN", L"C:\\windows\\OrvaneWallPaper.bmp"},
                                {L"\\\\?\\DISPLAY#SIDE", L"C:\\windows\\OrvaneWallPaper-2b.bmp"}}));
        EXPECT_EQ(fake.positions, std::vector<DESKTOP_WALLPAPER_POSITION>{DWPOS_STRETCH});
    }
    EXPECT_EQ(fake.refs, 1);  // the adapter let go of the object
}

TEST(WindowsMonitors, WithoutTheObjectThereIsNothingToListOrShow) {
    WindowsMonitors none([] { return win::ComPtr<IDesktopWallpaper>(); });
    EXPECT_FALSE(none.Available());
    EXPECT_TRUE(none.List().empty());
    EXPECT_FALSE(none.Show({{"x", "y"}}));
}

}  // namespace
}  // namespace orvane
