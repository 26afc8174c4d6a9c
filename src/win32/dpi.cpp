#include "win32/dpi.h"

#include <windows.h>

namespace win {

int SystemDpi() {
    static const int dpi = [] {
        HDC screen = ::GetDC(nullptr);
        const int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ::ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

// GetDpiForWindow exists from Windows 10 1607 on; importing it directly
// would keep the programs from starting on the earlier systems they support.
int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        FARPROC proc = user32 ? ::GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(proc));
    }();
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    return SystemDpi();
}

int Scale(int length96) { return ::MulDiv(length96, SystemDpi(), 96); }

HFONT CreateWindowFont(int dpi) {
    if (dpi <= 0) dpi = SystemDpi();
    return ::CreateFontW(-::MulDiv(11, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

int DpiLayout::Scale(int length96) const { return ::MulDiv(length96, dpi_, 96); }

void DpiLayout::Relayout(HWND window, int newDpi, const void* suggestedRect, HFONT font) {
    if (!window || newDpi <= 0) return;
    if (places_.empty()) {
        for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            ::GetWindowRect(child, &r);
            ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            places_.push_back({child, ::MulDiv(r.left, 96, dpi_), ::MulDiv(r.top, 96, dpi_),
                               ::MulDiv(r.right - r.left, 96, dpi_), ::MulDiv(r.bottom - r.top, 96, dpi_)});
        }
    }
    dpi_ = newDpi;
    for (const Place& p : places_) {
        if (!::IsWindow(p.child)) continue;
        ::SetWindowPos(p.child, nullptr, Scale(p.x), Scale(p.y), Scale(p.width), Scale(p.height),
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (font) ::SendMessageW(p.child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font) ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (const auto* r = static_cast<const RECT*>(suggestedRect))
        ::SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window, nullptr, TRUE);
}

}  // namespace win
