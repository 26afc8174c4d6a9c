// Placeholder: a bare captioned window until the preview lands.
#include "wallpaper/preview_window.h"

#include "wallpaper/main_window.h"

namespace orvane {

struct TPreview::Impl {};

TPreview::TPreview(TfrmMain& main) : main_(main), impl_(std::make_unique<Impl>()) {}
TPreview::~TPreview() = default;

void TPreview::CreateHidden() {
    win::WindowClassSpec spec{L"TPreview"};
    Create(spec, 0, WS_OVERLAPPEDWINDOW, L"Visualisation", CW_USEDEFAULT, CW_USEDEFAULT, 402, 298, nullptr);
}
void TPreview::SetPos() {
    RECT r;
    ::GetWindowRect(main_.hwnd(), &r);
    ::SetWindowPos(hwnd(), nullptr, r.right, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void TPreview::ShowPreview() { ::ShowWindow(hwnd(), SW_SHOW); }
void TPreview::HidePreview() { ::ShowWindow(hwnd(), SW_HIDE); }
bool TPreview::Visible() const { return ::IsWindowVisible(hwnd()) != FALSE; }
void TPreview::Close() { ::SendMessageW(hwnd(), WM_CLOSE, 0, 0); }
void TPreview::LoadPreviewPicture(const std::wstring& path) {
    if (pictures_.Load(path)) CurrentPictureChanged();
}
void TPreview::CurrentPictureChanged() { ::InvalidateRect(hwnd(), nullptr, FALSE); }
void TPreview::SetCalendarVisible(bool) {}
void TPreview::StoreCalendarRect() {}
void TPreview::ShowCalendarRect() {}
void TPreview::AttachHandle() {}
void TPreview::Repaint() { ::InvalidateRect(hwnd(), nullptr, FALSE); }

LRESULT TPreview::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        main_.PreviewBtn.SetCaption(L"Afficher");
        main_.PreviewShown = false;
        ::ShowWindow(hwnd(), SW_HIDE);
        return 0;
    }
    return Default(msg, wp, lp);
}

}  // namespace orvane
