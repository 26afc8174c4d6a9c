#include "wallpaper/windows_desktop.h"

#include "core/wallpaper/desktop_labels.h"
#include "wallpaper/desktop_icons.h"
#include "win32/file_io.h"
#include "win32/gdi_canvas.h"
#include "win32/registry_store.h"
#include "win32/strings.h"

namespace orvane {

namespace {

// {75048700-EF1F-11D0-9888-006097DEACF9}
constexpr CLSID kClsidActiveDesktop = {0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
// {F490EB00-1240-11D1-9888-006097DEACF9}
constexpr IID kIidActiveDesktop = {0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

constexpr wchar_t kWallpaperName[] = L"OrvaneWallPaper.bmp";

}  // namespace

WindowsDesktop::WindowsDesktop() {
    const HRESULT hr = ::CoCreateInstance(kClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                          kIidActiveDesktop, activeDesktop_.put_void());
    if (FAILED(hr)) activeDesktop_.reset();
}

DisplayInfo WindowsDesktop::Display() {
    DisplayInfo d;
    d.width = ::GetSystemMetrics(SM_CXSCREEN);
    d.height = ::GetSystemMetrics(SM_CYSCREEN);
    win::WindowDc screen(nullptr);
    if (screen.get()) d.bitsPerPixel = ::GetDeviceCaps(screen.get(), BITSPIXEL);
    return d;
}

std::string WindowsDesktop::WallpaperFilePath() {
    // Found once: the probe writes a file, and where the wallpaper may go
    // does not change while the program runs.
    if (wallpaperPath_.empty()) wallpaperPath_ = win::Widen(FindWallpaperFilePath());
    return win::Narrow(wallpaperPath_);
}

std::string WindowsDesktop::FindWallpaperFilePath() {
    wchar_t windir[MAX_PATH + 1]{};
    const UINT n = ::GetWindowsDirectoryW(windir, MAX_PATH);
    const std::wstring inWindows =
        (n > 0 && n < MAX_PATH) ? std::wstring(windir, n) + L"\\" + kWallpaperName : std::wstring();
    if (!inWindows.empty() && win::CanCreateFileAt(inWindows)) return win::Narrow(inWindows);
    if (auto local = win::PathInKnownFolder(FOLDERID_LocalAppData, L"Orvane", kWallpaperName))
        return win::Narrow(*local);
    return win::Narrow(inWindows);
}

void WindowsDesktop::DrawOn(Image32& image, const std::function<void(Canvas&)>& draw) { win::DrawOnImage(image, draw); }

bool WindowsDesktop::ActiveDesktopEnabled() {
    if (!activeDesktop_) return false;
    COMPONENTSOPT options{};
    options.dwSize = 12;  // the size of the record the shell's interface has always taken
    activeDesktop_->GetDesktopItemOptions(&options, 0);
    return options.fActiveDesktop != FALSE;
}

std::vector<Monitor> WindowsDesktop::WallpaperMonitors() { return monitors_.List(); }

bool WindowsDesktop::ShowOnMonitors(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<WindowsMonitors::Assignment> assignments;
    for (const auto& [device, file] : files) assignments.push_back({device, file});
    return monitors_.Show(assignments);
}

std::uint32_t WindowsDesktop::BackgroundColour() { return ::GetSysColor(COLOR_BACKGROUND); }

DWORD WindowsDesktop::WallpaperStyleFor(std::int32_t mode) {
    switch (mode) {
        case 0: return WPSTYLE_TILE;
        case 1: return WPSTYLE_CENTER;
        default: return WPSTYLE_STRETCH;
    }
}

void WindowsDesktop::ShowWallpaper(const std::string& path, std::int32_t mode) {
    const std::wstring file = win::Widen(path);
    if (ActiveDesktopEnabled()) {
        WALLPAPEROPT options{};
        options.dwSize = 8;
        activeDesktop_->GetWallpaperOptions(&options, 0);
        activeDesktop_->SetWallpaper(file.c_str(), 0);
        options.dwStyle = WallpaperStyleFor(mode);
        activeDesktop_->SetWallpaperOptions(&options, 0);
        activeDesktop_->ApplyChanges(AD_APPLY_ALL | AD_APPLY_FORCE);
    } else {
        SetRegistryWallpaper(file, mode);
    }
}

void WindowsDesktop::SetRegistryWallpaper(const std::wstring& path, std::int32_t mode) {
    win::RegKey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    const bool origin = mode == 3;
    win::WriteStringValue(key.get(), L"Wallpaper", path);
    win::WriteStringValue(key.get(), L"TileWallpaper", mode == 0 ? L"1" : L"0");
    win::WriteStringValue(key.get(), L"WallpaperStyle",
                          (mode >= 0 && mode <= 1) || origin ? L"0" : std::to_wstring(mode));
    win::WriteStringValue(key.get(), L"WallpaperOriginX", L"0");
    win::WriteStringValue(key.get(), L"WallpaperOriginY", L"0");
    key.reset();
    // The W form: the path may hold characters the ANSI code page cannot.
    // The path, not a null pointer: current Windows takes a null pointer as
    // "back to the default wallpaper" instead of re-reading the values above.
    std::wstring file = path;
    ::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, file.data(), SPIF_SENDWININICHANGE);
}

void WindowsDesktop::RecolourIconLabels(std::uint32_t colour) { ApplyTransparentLabels(colour); }

void WindowsDesktop::WatchIconLabels(std::optional<std::uint32_t> labelColour, bool quickIcon) {
    if (labelColour && FindDesktopListView()) {
        const auto background = DesktopLabelBackground();
        if (!background) return;  // the shell is busy: the next tick tries again
        if (LabelsNeedRecolour(*background, *labelColour)) ApplyTransparentLabels(*labelColour);
    }
    orvane::ApplyQuickActivation(quickIcon);
}

void WindowsDesktop::ApplyQuickActivation(bool quickIcon) { orvane::ApplyQuickActivation(quickIcon); }

void WindowsDesktop::SetStartWithWindows(bool on) {
    // Quoted, always: the log-on start reads an unquoted path with spaces
    // piece by piece ("C:\Program.exe" first). The write replaces an entry an
    // earlier version left unquoted.
    if (on)
        win::WriteRunEntry(kStartWithWindowsName, L"\"" + win::ModulePath() + L"\"");
    else
        win::RemoveRunEntry(kStartWithWindowsName);
}

}  // namespace orvane
