#include "wallpaper/application.h"

#include "wallpaper/tray_icon.h"

namespace orvane {

Application::Application(bool showAfterStart)
    : model_(WallpaperModel::Services{store_, files_, desktop_, clock_, timers_, *this}),
      preview_(model_),
      settings_(model_),
      main_(model_, MainWindow::Companions{preview_, settings_, about_}) {
    timers_.onTick = [this](ModelTimer timer) { model_.OnTimer(timer); };
    main_.Create(showAfterStart);
    preview_.Create();
    settings_.Create(main_.hwnd());
    about_.Create(main_.hwnd());
    main_.StartInTray();
}

void Application::Report(const std::exception& error) { win::ReportError(main_.MessageOwner(), error); }

}  // namespace orvane
