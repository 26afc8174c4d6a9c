// Placeholder until the about box lands.
#include "wallpaper/about_box.h"

namespace orvane {

struct TForm2::Impl {};

TForm2::TForm2() : impl_(std::make_unique<Impl>()) {}
TForm2::~TForm2() = default;
void TForm2::CreateHidden() {
    win::WindowClassSpec spec{L"TForm2"};
    Create(spec, 0, WS_CAPTION | WS_SYSMENU, L"Orvane WallPaper Changer", CW_USEDEFAULT, CW_USEDEFAULT, 430, 290,
           nullptr);
}
int TForm2::ShowModal() { return win::RunModal(hwnd(), nullptr); }
bool TForm2::Visible() const { return ::IsWindowVisible(hwnd()) != FALSE; }
void TForm2::BringToFront() { ::SetForegroundWindow(hwnd()); }
LRESULT TForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        win::EndModal(hwnd(), 2);
        return 0;
    }
    return Default(msg, wp, lp);
}

}  // namespace orvane
