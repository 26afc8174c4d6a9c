#include "wallpaper/application.h"

#include "wallpaper/about_box.h"
#include "wallpaper/param_dialog.h"
#include "wallpaper/preview_window.h"
#include "wallpaper/tray_icon.h"

namespace orvane {

std::unique_ptr<TfrmMain> CreateApplicationWindows(bool hasCommandLineArgument) {
    auto main = std::make_unique<TfrmMain>();
    main->CreateWindowAndControls(hasCommandLineArgument);
    main->TrayIcon1 = std::make_unique<TTrayIcon>(*main);
    main->Preview = std::make_unique<TPreview>(*main);
    main->Preview->CreateHidden();
    main->Paramfrm = std::make_unique<TParamfrm>(*main);
    main->Paramfrm->CreateHidden();
    main->Form2 = std::make_unique<TForm2>();
    main->Form2->CreateHidden();
    main->TrayIcon1->Start();
    return main;
}

}  // namespace orvane
