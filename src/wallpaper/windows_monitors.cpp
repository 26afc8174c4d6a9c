#include "wallpaper/windows_monitors.h"

#include <memory>

#include "win32/strings.h"

namespace orvane {

namespace {

// {C2CF3110-460E-4FC1-B9D0-8A1C0C9CC4BD}
constexpr CLSID kClsidDesktopWallpaper = {0xC2CF3110, 0x460E, 0x4FC1, {0xB9, 0xD0, 0x8A, 0x1C, 0x0C, 0x9C, 0xC4, 0xBD}};

// The strings the object hands out are the caller's to free.
struct CoTaskMemDeleter {
    void operator()(wchar_t* p) const { ::CoTaskMemFree(p); }
};
using CoTaskString = std::unique_ptr<wchar_t, CoTaskMemDeleter>;

}  // namespace

win::ComPtr<IDesktopWallpaper> CreateSystemDesktopWallpaper() {
    win::ComPtr<IDesktopWallpaper> wallpaper;
    const HRESULT hr = ::CoCreateInstance(kClsidDesktopWallpaper, nullptr, CLSCTX_ALL, __uuidof(IDesktopWallpaper),
                                          wallpaper.put_void());
    if (FAILED(hr)) wallpaper.reset();
    return wallpaper;
}

WindowsMonitors::WindowsMonitors(const DesktopWallpaperFactory& factory) {
    if (factory) wallpaper_ = factory();
}

std::vector<Monitor> WindowsMonitors::List() {
    std::vector<Monitor> monitors;
    if (!wallpaper_) return monitors;
    UINT count = 0;
    if (FAILED(wallpaper_->GetMonitorDevicePathCount(&count))) return monitors;
    for (UINT i = 0; i < count; ++i) {
        wchar_t* raw = nullptr;
        if (FAILED(wallpaper_->GetMonitorDevicePathAt(i, &raw)) || !raw) continue;
        const CoTaskString id(raw);
        RECT r{};
        // S_FALSE too: a monitor the system knows but that shows nothing.
        if (wallpaper_->GetMonitorRECT(id.get(), &r) != S_OK || r.right <= r.left || r.bottom <= r.top) continue;
        Monitor m;
        m.deviceId = win::Narrow(id.get());
        m.left = r.left;
        m.top = r.top;
        m.right = r.right;
        m.bottom = r.bottom;
        m.primary = r.left <= 0 && 0 < r.right && r.top <= 0 && 0 < r.bottom;
        monitors.push_back(std::move(m));
    }
    return monitors;
}

bool WindowsMonitors::Show(const std::vector<Assignment>& wallpapers) {
    if (!wallpaper_) return false;
    bool ok = SUCCEEDED(wallpaper_->SetPosition(DWPOS_STRETCH));
    for (const Assignment& a : wallpapers) {
        const std::wstring id = win::Widen(a.deviceId);
        const std::wstring file = win::Widen(a.file);
        ok = SUCCEEDED(wallpaper_->SetWallpaper(id.c_str(), file.c_str())) && ok;
    }
    return ok;
}

}  // namespace orvane
