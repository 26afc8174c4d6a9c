#include "wallpaper/application.h"

#include "wallpaper/tray_icon.h"

namespace orvane {

Application::Application(win::UiContext& ui, bool showAfterStart)
    : timers_(ui),
      model_(WallpaperModel::Services{store_, files_, desktop_, clock_, timers_, *this}),
      preview_(ui, model_),
      settings_(ui, model_),
      about_(ui),
      main_(ui, model_, MainWindow::Companions{preview_, settings_, about_}) {
    timers_.onTick = [this](ModelTimer timer) { model_.OnTimer(timer); };
    main_.Create(showAfterStart);
    preview_.Create();
    settings_.Create(main_.hwnd());
    about_.Create(main_.hwnd());
    main_.StartInTray();
}

void Application::Report(const std::exception& error) { main_.Ui().ReportError(main_.MessageOwner(), error); }

}  // namespace orvane
