#include "win32/flat_button.h"

#include "win32/handles.h"

#include <commctrl.h>
#include <windowsx.h>

#include <optional>

namespace win {

namespace {
constexpr COLORREF kFace = RGB(0xC0, 0xC0, 0xC0);       // silver
constexpr COLORREF kFaceHot = RGB(0xD4, 0xD8, 0xE0);
constexpr COLORREF kFacePressed = RGB(0xA8, 0xAC, 0xB4);
constexpr COLORREF kShadow = RGB(0x80, 0x80, 0x80);     // grey
constexpr COLORREF kLight = RGB(0xF4, 0xF4, 0xF4);
constexpr COLORREF kAccent = RGB(0x2B, 0x5C, 0x9E);
}  // namespace

void FlatButton::Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption,
                        const std::wstring& hint, int id) {
    WindowClassSpec windowClass{L"OrvaneFlatButton"};
    windowClass.background = nullptr;
    CreateWindowOfClass(windowClass, 0, WS_CHILD | WS_VISIBLE, caption, x, y, width, height, parent,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    font_ = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0));
    if (!hint.empty()) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd();
        ti.uId = reinterpret_cast<UINT_PTR>(hwnd());
        ti.lpszText = const_cast<wchar_t*>(hint.c_str());
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void FlatButton::SetCaption(const std::wstring& caption) {
    ::SetWindowTextW(hwnd(), caption.c_str());
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

std::wstring FlatButton::Caption() const {
    wchar_t buf[256]{};
    ::GetWindowTextW(hwnd(), buf, 256);
    return buf;
}

void FlatButton::SetEnabled(bool enabled) { ::EnableWindow(hwnd(), enabled ? TRUE : FALSE); }

bool FlatButton::Enabled() const { return ::IsWindowEnabled(hwnd()) != FALSE; }

void FlatButton::SetHot(bool hot) {
    if (hot_ == hot) return;
    hot_ = hot;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void FlatButton::Click() {
    if (OnClick) OnClick();
}

LRESULT FlatButton::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_ENABLE: ::InvalidateRect(hwnd(), nullptr, FALSE); return 0;
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wp);
            if (LOWORD(lp)) ::InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
        case WM_SETTEXT: {
            LRESULT r = Default(msg, wp, lp);
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            return r;
        }
        case WM_MOUSEMOVE: {
            if (!tracking_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd(), 0};
                tracking_ = ::TrackMouseEvent(&tme) != FALSE;
            }
            SetHot(true);
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking_ = false;
            SetHot(false);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            pressed_ = true;
            ::SetCapture(hwnd());
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_LBUTTONUP: {
            const bool was = pressed_;
            pressed_ = false;
            if (::GetCapture() == hwnd()) ::ReleaseCapture();
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            RECT rc;
            ::GetClientRect(hwnd(), &rc);
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (was && ::PtInRect(&rc, pt)) Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressed_ = false;
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case BM_CLICK:  // lets automation and tests press it like a button
            if (::IsWindowEnabled(hwnd())) Click();
            return 0;
        case WM_GETDLGCODE: return DLGC_STATIC;
        default: return Default(msg, wp, lp);
    }
}

void FlatButton::Paint() {
    const PaintDc paint(hwnd());
    HDC dc = paint.get();
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    const bool enabled = Enabled();
    const COLORREF face = !enabled ? kFace : pressed_ ? kFacePressed : hot_ ? kFaceHot : kFace;

    {
        const GdiObject faceBrush(::CreateSolidBrush(face));
        ::FillRect(dc, &rc, static_cast<HBRUSH>(faceBrush.get()));
    }

    // Flat: a thin frame that only lifts when the pointer is over the button.
    if (enabled && (hot_ || pressed_)) {
        const GdiObject light(::CreatePen(PS_SOLID, 1, pressed_ ? kShadow : kLight));
        const GdiObject dark(::CreatePen(PS_SOLID, 1, pressed_ ? kLight : kShadow));
        {
            const SelectGuard pen(dc, light.get());
            ::MoveToEx(dc, rc.left, rc.bottom - 1, nullptr);
            ::LineTo(dc, rc.left, rc.top);
            ::LineTo(dc, rc.right - 1, rc.top);
        }
        const SelectGuard pen(dc, dark.get());
        ::LineTo(dc, rc.right - 1, rc.bottom - 1);
        ::LineTo(dc, rc.left - 1, rc.bottom - 1);
    } else {
        const GdiObject shadow(::CreatePen(PS_SOLID, 1, kShadow));
        const SelectGuard pen(dc, shadow.get());
        ::MoveToEx(dc, rc.left + 1, rc.bottom - 1, nullptr);
        ::LineTo(dc, rc.right - 1, rc.bottom - 1);
        ::LineTo(dc, rc.right - 1, rc.top);
    }

    wchar_t text[256]{};
    ::GetWindowTextW(hwnd(), text, 256);
    std::optional<SelectGuard> font;
    if (font_) font.emplace(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    RECT tr = rc;
    if (pressed_) ::OffsetRect(&tr, 1, 1);
    ::SetTextColor(dc, hot_ ? kAccent : RGB(0, 0, 0));
    // Centre wrapped captions vertically: measure first, then draw.
    RECT measure = tr;
    ::DrawTextW(dc, text, -1, &measure, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    const int textH = measure.bottom - measure.top;
    tr.top += ((tr.bottom - tr.top) - textH) / 2;
    if (!enabled) {
        RECT er = tr;
        ::OffsetRect(&er, 1, 1);
        ::SetTextColor(dc, kLight);
        ::DrawTextW(dc, text, -1, &er, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        ::SetTextColor(dc, kShadow);
    }
    ::DrawTextW(dc, text, -1, &tr, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace win
