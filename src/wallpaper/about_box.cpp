#include "wallpaper/about_box.h"

#include "win32/dpi.h"

#include "win32/flat_button.h"
#include "win32/handles.h"

namespace orvane {

namespace {

constexpr int kClientWidth = 421, kClientHeight = 258;
constexpr int kMemoWidth = 417, kMemoHeight = 193;
constexpr int kOkWidth = 100, kOkHeight = 41;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // dialog border, close box only
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);

}  // namespace

std::wstring AboutText() {
    const std::wstring lines[] = {
        L"",
        L"",
        L" ",
        L"",
        L" ",
        L"",
        L"",
        L"Si vous voulez contacter l'auteur pour lui soumettre des modifications, des bugs, ou ",
        L"toute autre remarque, envoyez un mail à :",
        kContactAddress,
        L"",
        L"Amusez vous bien !",
    };
    std::wstring text;
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        if (i) text += L"\r\n";
        text += lines[i];
    }
    return text;
}

struct AboutBox::Impl {
    win::GdiObject font;
    win::GdiObject silver;
    HWND text = nullptr;
    win::FlatButton okButton;
    win::DpiLayout layout;
};

AboutBox::AboutBox(win::UiContext& ui) : win::Window(ui), impl_(std::make_unique<Impl>()) {}
AboutBox::~AboutBox() = default;

void AboutBox::Create(HWND owner) {
    owner_ = owner;
    impl_->font.reset(win::CreateWindowFont());
    impl_->silver.reset(::CreateSolidBrush(kSilver));
    win::WindowClassSpec windowClass{L"TForm2"};
    windowClass.background = static_cast<HBRUSH>(impl_->silver.get());
    using win::Scale;
    const SIZE outer = win::OuterSizeForClient(Scale(kClientWidth), Scale(kClientHeight), kStyle, kExStyle);
    CreateWindowOfClass(windowClass, kExStyle, kStyle, L"Orvane WallPaper Changer", 0, 0, outer.cx, outer.cy, owner_);
    HFONT font = static_cast<HFONT>(impl_->font.get());
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    impl_->text = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", AboutText().c_str(),
        WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_CENTER | ES_READONLY | ES_AUTOVSCROLL |
            ES_AUTOHSCROLL,  // lines are not wrapped: the horizontal bar scrolls them
        Scale((kClientWidth - kMemoWidth) / 2), 0, Scale(kMemoWidth), Scale(kMemoHeight), hwnd(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAboutMemoId)), ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(impl_->text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    const int okTop = kMemoHeight + (kClientHeight - kMemoHeight - kOkHeight) / 2;
    impl_->okButton.Create(Ui(), hwnd(), Scale((kClientWidth - kOkWidth) / 2), Scale(okTop), Scale(kOkWidth),
                               Scale(kOkHeight), L"OK", {},
                               kAboutOkId);
    impl_->okButton.SetFont(font);
    impl_->okButton.OnClick = [this] { OnOkClicked(); };
    win::CenterOnScreen(hwnd());
}

int AboutBox::ShowModal() { return Ui().RunModal(hwnd(), owner_); }

bool AboutBox::Visible() const { return hwnd() && ::IsWindowVisible(hwnd()) != FALSE; }

void AboutBox::BringToFront() {
    if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
    ::SetForegroundWindow(hwnd());
}

void AboutBox::OnOkClicked() { Ui().EndModal(hwnd(), IDCANCEL); }

LRESULT AboutBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE: OnOkClicked(); return 0;
        case WM_CTLCOLORSTATIC:
            // The read-only memo keeps the white of a text box.
            if (reinterpret_cast<HWND>(lp) == impl_->text) {
                ::SetBkColor(reinterpret_cast<HDC>(wp), ::GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
            }
            return Default(msg, wp, lp);
        case WM_COMMAND: return 0;  // Enter and Escape press nothing
        case WM_DPICHANGED:
            impl_->font.reset(win::CreateWindowFont(LOWORD(wp)));
            impl_->layout.Relayout(hwnd(), LOWORD(wp), reinterpret_cast<const RECT*>(lp),
                                   static_cast<HFONT>(impl_->font.get()));
            return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace orvane
