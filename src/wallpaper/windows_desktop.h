#pragma once
// The wallpaper model's desktop on Windows: the screen, the wallpaper file's
// place, Active Desktop or the registry to show it, the desktop icons'
// labels, and the start-with-Windows entry.
#include <windows.h>
// wininet.h first: shlobj.h declares the Active Desktop types only after it.
#include <wininet.h>
#include <shlobj.h>

#include <string>

#include "core/wallpaper/wallpaper_services.h"
#include "win32/handles.h"
#include "wallpaper/locale_names.h"
#include "wallpaper/windows_monitors.h"

namespace orvane {

// The name of the program's start-with-Windows value in the current user's
// Run key; its data is the program's quoted path.
inline constexpr wchar_t kStartWithWindowsName[] = L"Orvane Wallpaper Changer";

class WindowsDesktop : public Desktop {
public:
    // Asks COM for the shell's Active Desktop object; without it the
    // wallpaper goes through the registry.
    WindowsDesktop();

    DisplayInfo Display() override;
    // %WINDIR%\OrvaneWallPaper.bmp, or the user's local application data
    // when the Windows folder cannot be written.
    std::string WallpaperFilePath() override;
    void DrawOn(Image32& image, const std::function<void(Canvas&)>& draw) override;
    const LocaleNames& Names() override { return names_; }
    void ShowWallpaper(const std::string& path, std::int32_t mode) override;
    void RecolourIconLabels(std::uint32_t colour) override;
    void WatchIconLabels(std::optional<std::uint32_t> labelColour, bool quickIcon) override;
    void ApplyQuickActivation(bool quickIcon) override;
    void SetStartWithWindows(bool on) override;
    std::vector<Monitor> WallpaperMonitors() override;
    bool ShowOnMonitors(const std::vector<std::pair<std::string, std::string>>& files) override;
    std::uint32_t BackgroundColour() override;

    bool ActiveDesktopEnabled();
    // The Active Desktop style of a WallPaperMode.
    static DWORD WallpaperStyleFor(std::int32_t mode);
    // The registry's desktop values, then the system told to read them.
    static void SetRegistryWallpaper(const std::wstring& path, std::int32_t mode);

    // Tests give their own object (or none) and their own file.
    void UseActiveDesktop(win::ComPtr<IActiveDesktop> activeDesktop) { activeDesktop_ = std::move(activeDesktop); }
    void SetWallpaperPath(std::wstring path) { wallpaperPath_ = std::move(path); }
    void UseDesktopWallpaper(const DesktopWallpaperFactory& factory) { monitors_ = WindowsMonitors(factory); }

private:
    static std::string FindWallpaperFilePath();

    win::ComPtr<IActiveDesktop> activeDesktop_;
    orvane::UserLocaleNames names_;
    std::wstring wallpaperPath_;
    WindowsMonitors monitors_;
};

}  // namespace orvane
