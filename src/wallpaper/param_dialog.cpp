// Placeholder until the settings dialog lands.
#include "wallpaper/param_dialog.h"

#include "wallpaper/main_window.h"

namespace orvane {

struct TParamfrm::Impl {};

TParamfrm::TParamfrm(TfrmMain& main) : main_(main), impl_(std::make_unique<Impl>()) {}
TParamfrm::~TParamfrm() = default;
void TParamfrm::CreateHidden() {
    win::WindowClassSpec spec{L"TParamfrm"};
    Create(spec, 0, WS_CAPTION | WS_SYSMENU, L"Paramétrage", CW_USEDEFAULT, CW_USEDEFAULT, 350, 390, nullptr);
}
int TParamfrm::ShowModal() { return win::RunModal(hwnd(), main_.hwnd()); }
bool TParamfrm::Visible() const { return ::IsWindowVisible(hwnd()) != FALSE; }
void TParamfrm::BringToFront() { ::SetForegroundWindow(hwnd()); }
void TParamfrm::FillFromSettings(const WallpaperSettings&) {}
void TParamfrm::SetQuickIconBox(bool) {}
LRESULT TParamfrm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        win::EndModal(hwnd(), 2);
        return 0;
    }
    return Default(msg, wp, lp);
}

void TfrmMain::ParamBtnClick() { Paramfrm->ShowModal(); }

}  // namespace orvane
