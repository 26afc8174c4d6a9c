// Placeholder until the tray icon lands.
#include "wallpaper/tray_icon.h"

#include "wallpaper/main_window.h"
#include "wallpaper/param_dialog.h"
#include "wallpaper/about_box.h"

namespace orvane {

struct TTrayIcon::Impl {
    TfrmMain& owner;
    int index = 0;
    bool visible = true;
    bool quick = false;
};

TTrayIcon::TTrayIcon(TfrmMain& owner) : impl_(std::make_unique<Impl>(Impl{owner})) {}
TTrayIcon::~TTrayIcon() = default;
void TTrayIcon::Start() {}
void TTrayIcon::SetIconIndex(int index) { impl_->index = index; }
int TTrayIcon::IconIndex() const { return impl_->index; }
void TTrayIcon::HideToTray() { ::ShowWindow(impl_->owner.hwnd(), SW_HIDE); }
void TTrayIcon::AddIcon() {}
void TTrayIcon::DeleteIcon() {}
void TTrayIcon::ModifyIcon() {}
void TTrayIcon::SetIconVisible(bool v) { impl_->visible = v; }
bool TTrayIcon::IconVisible() const { return impl_->visible; }
HWND TTrayIcon::Handle() const { return nullptr; }
HMENU TTrayIcon::Menu() const { return nullptr; }
void TTrayIcon::SetQuickIconCheck(bool c) { impl_->quick = c; }
bool TTrayIcon::QuickIconCheck() const { return impl_->quick; }

void TfrmMain::TrayIcon1DblClick() { ShowMainWindow(); }
void TfrmMain::Restaurer1Click() { ShowMainWindow(); }
void TfrmMain::Changer1Click() {
    if (!PictureList.empty()) ChangeWallpaperNow();
}
void TfrmMain::Quitter1Click() {
    SaveSettings();
    ::PostQuitMessage(0);
}

}  // namespace orvane
