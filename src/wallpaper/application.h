#pragma once
// The wallpaper changer put together: the system's services, the model over
// them, and the windows over the model, created in their fixed order (main
// window, preview, settings dialog, about box, then the notification-area
// icon: the program starts hidden, with only the icon showing). Shared by the
// program's entry and the Windows-side tests.
#include "core/wallpaper/wallpaper_model.h"
#include "wallpaper/about_box.h"
#include "wallpaper/main_window.h"
#include "wallpaper/model_timers.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/windows_desktop.h"
#include "wallpaper/windows_files.h"
#include "wallpaper/registry_settings_store.h"
#include "wallpaper/system_clock.h"

namespace orvane {

class Application : private ErrorReporter {
public:
    // `ui` is the program's context, given to every window; it outlives them.
    Application(win::UiContext& ui, bool showAfterStart);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    WallpaperModel& Model() { return model_; }
    MainWindow& Main() { return main_; }
    PreviewWindow& Preview() { return preview_; }
    SettingsDialog& Settings() { return settings_; }
    AboutBox& About() { return about_; }
    WindowsDesktop& Desktop() { return desktop_; }
    WindowTimers& Timers() { return timers_; }

private:
    void Report(const std::exception& error) override;

    // Members in dependency order: the windows go first, the services last.
    RegistrySettingsStore store_;
    WindowsPictureFiles files_;
    WindowsDesktop desktop_;
    SystemClock clock_;
    WindowTimers timers_;
    WallpaperModel model_;
    PreviewWindow preview_;
    SettingsDialog settings_;
    AboutBox about_;
    MainWindow main_;
};

}  // namespace orvane
