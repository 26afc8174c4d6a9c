#include "win32/flat_button.h"

#include <commctrl.h>

#include <initializer_list>
#include <optional>
#include <stdexcept>

#include "win32/handles.h"
#include "win32/window.h"

namespace win {

namespace {

const wchar_t kButtonProp[] = L"orvane.flatbutton";
constexpr UINT_PTR kButtonSubclassId = 0x6662;  // "fb"
constexpr UINT_PTR kParentSubclassId = 0x6670;  // "fp"

struct Colours {
    COLORREF face, light, shadow, text, disabledText, disabledEmboss;
    bool alwaysFramed;
};

// The silver look, or the system's colours when high contrast is on: a
// fixed palette would be unreadable against the user's chosen one.
Colours ColoursFor(bool hot, bool pressed) {
    HIGHCONTRASTW contrast{sizeof(contrast)};
    const bool high = ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
                      (contrast.dwFlags & HCF_HIGHCONTRASTON);
    if (high) {
        const bool lit = hot || pressed;
        const COLORREF text = ::GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
        return {::GetSysColor(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE), text, text, text,
                ::GetSysColor(COLOR_GRAYTEXT), ::GetSysColor(COLOR_BTNFACE), true};
    }
    constexpr COLORREF kFace = RGB(0xC0, 0xC0, 0xC0);  // silver
    constexpr COLORREF kShadow = RGB(0x80, 0x80, 0x80);  // grey
    constexpr COLORREF kLight = RGB(0xF4, 0xF4, 0xF4);
    const COLORREF face = pressed ? RGB(0xA8, 0xAC, 0xB4) : hot ? RGB(0xD4, 0xD8, 0xE0) : kFace;
    return {face, kLight, kShadow, hot ? RGB(0x2B, 0x5C, 0x9E) : RGB(0, 0, 0), kShadow, kLight, false};
}

void Line(HDC dc, COLORREF colour, std::initializer_list<POINT> points) {
    const GdiObject pen(::CreatePen(PS_SOLID, 1, colour));
    const SelectGuard select(dc, pen.get());
    const POINT* p = points.begin();
    ::MoveToEx(dc, p->x, p->y, nullptr);
    for (++p; p != points.end(); ++p) ::LineTo(dc, p->x, p->y);
}

}  // namespace

FlatButton::~FlatButton() {
    if (HWND h = hwnd_) {
        ::RemoveWindowSubclass(h, &FlatButton::ButtonProc, kButtonSubclassId);
        ::RemovePropW(h, kButtonProp);
        hwnd_ = nullptr;
        ::DestroyWindow(h);
    }
}

void FlatButton::Create(UiContext& ui, HWND parent, int x, int y, int width, int height, const std::wstring& caption,
                        const std::wstring& hint, int id) {
    if (id == IDOK || id == IDCANCEL) throw std::logic_error("a flat button never takes the id of Enter or Escape");
    ui_ = &ui;
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    hwnd_ = ::CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, x, y,
                              width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    if (!hwnd_) throw std::runtime_error("CreateWindowEx failed");
    ::SetPropW(hwnd_, kButtonProp, this);
    ::SetWindowSubclass(hwnd_, &FlatButton::ButtonProc, kButtonSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // An owner-drawn button is drawn, and tells of its clicks, through its
    // parent; the parent hands both back here, whatever window it is.
    ::SetWindowSubclass(parent, &FlatButton::ParentProc, kParentSubclassId, 0);
    // Tab and the mnemonics reach controls inside a child window only when
    // every window between them and the top-level one says so.
    for (HWND container = parent; container; container = ::GetParent(container)) {
        const LONG_PTR ex = ::GetWindowLongPtrW(container, GWL_EXSTYLE);
        if (!(ex & WS_EX_CONTROLPARENT)) ::SetWindowLongPtrW(container, GWL_EXSTYLE, ex | WS_EX_CONTROLPARENT);
        if (!(::GetWindowLongPtrW(container, GWL_STYLE) & WS_CHILD)) break;
    }
    SetFont(reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)));
    if (!hint.empty()) {
        // Owned by the button, the tip goes away with it.
        HWND tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                         inst, nullptr);
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        ti.lpszText = const_cast<wchar_t*>(hint.c_str());
        ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void FlatButton::SetCaption(const std::wstring& caption) {
    ::SetWindowTextW(hwnd_, caption.c_str());
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

std::wstring FlatButton::Caption() const {
    wchar_t buf[256]{};
    ::GetWindowTextW(hwnd_, buf, 256);
    return buf;
}

void FlatButton::SetEnabled(bool enabled) { ::EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

bool FlatButton::Enabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }

void FlatButton::SetFont(HFONT font) {
    if (font) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FlatButton::SetHot(bool hot) {
    if (hot_ == hot) return;
    hot_ = hot;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

FlatButton* FlatButton::FromChild(HWND parent, HWND child) {
    if (!child || ::GetParent(child) != parent) return nullptr;
    return static_cast<FlatButton*>(::GetPropW(child, kButtonProp));
}

LRESULT CALLBACK FlatButton::ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto* self = reinterpret_cast<FlatButton*>(ref);
    switch (msg) {
        case WM_ERASEBKGND: return 1;  // the drawing covers the whole button
        case WM_MOUSEMOVE:
            if (!self->tracking_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                self->tracking_ = ::TrackMouseEvent(&tme) != FALSE;
            }
            self->SetHot(true);
            break;
        case WM_MOUSELEAVE:
            self->tracking_ = false;
            self->SetHot(false);
            break;
        case WM_SETTEXT:
        case WM_UPDATEUISTATE: {
            // The caption and the focus and mnemonic cues are drawn here.
            const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return r;
        }
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, &FlatButton::ButtonProc, id);
            ::RemovePropW(hwnd, kButtonProp);
            self->hwnd_ = nullptr;
            break;
        default: break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK FlatButton::ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item && item->CtlType == ODT_BUTTON)
                if (FlatButton* button = FromChild(hwnd, item->hwndItem)) {
                    button->Draw(*item);
                    return TRUE;
                }
            break;
        }
        case WM_COMMAND:
            // An owner-drawn button reports the second press of a quick pair
            // as a double click: it is a press all the same.
            if (HIWORD(wp) == BN_CLICKED || HIWORD(wp) == BN_DOUBLECLICKED)
                if (FlatButton* button = FromChild(hwnd, reinterpret_cast<HWND>(lp))) {
                    if (button->Enabled() && button->OnClick)
                        button->ui_->Guarded(hwnd, [&] { button->OnClick(); });
                    return 0;
                }
            break;
        // Children hear nothing of a change of the system's colours (high
        // contrast on or off): their parent has them drawn again.
        case WM_SYSCOLORCHANGE:
            ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            break;
        case WM_SETTINGCHANGE:
            if (wp == SPI_SETHIGHCONTRAST)
                ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            break;
        case WM_NCDESTROY: ::RemoveWindowSubclass(hwnd, &FlatButton::ParentProc, id); break;
        default: break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

void FlatButton::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    const RECT rc = item.rcItem;
    const bool enabled = !(item.itemState & ODS_DISABLED);
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool hot = enabled && hot_;
    const LRESULT cues = ::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0);
    const bool focusShown = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) &&
                            !(cues & UISF_HIDEFOCUS);
    const bool accelHidden = (item.itemState & ODS_NOACCEL) || (cues & UISF_HIDEACCEL);
    const Colours c = ColoursFor(hot, pressed);

    {
        const GdiObject face(::CreateSolidBrush(c.face));
        ::FillRect(dc, &rc, static_cast<HBRUSH>(face.get()));
    }
    const LONG l = rc.left, t = rc.top, r = rc.right - 1, b = rc.bottom - 1;
    // Flat: a thin frame that only lifts when the pointer is over the button.
    if (c.alwaysFramed || (enabled && (hot || pressed))) {
        Line(dc, pressed ? c.shadow : c.light, {{l, b}, {l, t}, {r, t}});
        Line(dc, pressed ? c.light : c.shadow, {{r, t}, {r, b}, {l - 1, b}});
    } else {
        Line(dc, c.shadow, {{l + 1, b}, {r, b}, {r, t}});
    }

    wchar_t text[256]{};
    ::GetWindowTextW(hwnd_, text, 256);
    std::optional<SelectGuard> font;
    if (auto f = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0))) font.emplace(dc, f);
    ::SetBkMode(dc, TRANSPARENT);
    // '&' underlines the next letter, the mnemonic, as in any button.
    const UINT format = DT_CENTER | DT_WORDBREAK | (accelHidden ? DT_HIDEPREFIX : 0);
    RECT tr = rc;
    if (pressed) ::OffsetRect(&tr, 1, 1);
    // Centre wrapped captions vertically: measure first, then draw.
    RECT measure = tr;
    ::DrawTextW(dc, text, -1, &measure, format | DT_CALCRECT);
    tr.top += ((tr.bottom - tr.top) - (measure.bottom - measure.top)) / 2;
    if (!enabled) {
        RECT emboss = tr;
        ::OffsetRect(&emboss, 1, 1);
        ::SetTextColor(dc, c.disabledEmboss);
        ::DrawTextW(dc, text, -1, &emboss, format);
    }
    ::SetTextColor(dc, enabled ? c.text : c.disabledText);
    ::DrawTextW(dc, text, -1, &tr, format);

    if (focusShown) {
        RECT focus = rc;
        ::InflateRect(&focus, -3, -3);
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
        ::DrawFocusRect(dc, &focus);
    }
}

}  // namespace win
