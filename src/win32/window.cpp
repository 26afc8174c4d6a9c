#include "win32/window.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "win32/strings.h"

namespace win {

namespace {

const wchar_t kThisProp[] = L"orvane.window";

void ShowErrorText(UiContext& ui, HWND owner, const std::exception& e) { ui.ShowErrorBox(owner, Widen(e.what())); }

}  // namespace

Window::~Window() {
    if (hwnd_) {
        ::RemovePropW(hwnd_, kThisProp);
        HWND h = hwnd_;
        hwnd_ = nullptr;
        ::DestroyWindow(h);
    }
}

Window* Window::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<Window*>(::GetPropW(hwnd, kThisProp)) : nullptr;
}

void Window::CreateWindowOfClass(const WindowClassSpec& cls, DWORD exStyle, DWORD style, const std::wstring& title, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId) {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(inst, cls.name, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = cls.style;
        wc.lpfnWndProc = &Window::StaticProc;
        wc.hInstance = inst;
        wc.hIcon = cls.icon;
        wc.hIconSm = cls.smallIcon;
        wc.hCursor = cls.cursor ? cls.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = cls.background;
        wc.lpszClassName = cls.name;
        ::RegisterClassExW(&wc);
    }
    HWND h = ::CreateWindowExW(exStyle, cls.name, title.c_str(), style, x, y, width, height, parent, menuOrId, inst,
                               this);
    if (!h) throw std::runtime_error("CreateWindowEx failed");
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetPropW(hwnd, kThisProp, self);
    } else {
        self = FromHandle(hwnd);
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (const std::exception& e) {
        self->Ui().ReportError(hwnd, e);
    } catch (...) {
        self->Ui().ReportUnknownError(hwnd);
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kThisProp);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
    }
    return result;
}

UiContext::UiContext(std::wstring title, ErrorHandler handler)
    : title_(std::move(title)), handler_(handler ? handler : &ShowErrorText) {}

void UiContext::ReportError(HWND owner, const std::exception& e) noexcept {
    try {
        handler_(*this, owner, e);
    } catch (...) {
    }
}

void UiContext::ReportUnknownError(HWND owner) noexcept {
    try {
        ShowErrorBox(owner, L"Erreur inattendue");
    } catch (...) {
    }
}

bool UiContext::ShowErrorBox(HWND owner, const std::wstring& text) {
    if (errorBoxOpen_) return false;
    errorBoxOpen_ = true;
    // Owned by a visible window only: a hidden owner would hide the box too.
    HWND visibleOwner = (owner && ::IsWindowVisible(::GetAncestor(owner, GA_ROOT))) ? ::GetAncestor(owner, GA_ROOT)
                                                                                     : nullptr;
    ::MessageBoxW(visibleOwner, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    errorBoxOpen_ = false;
    return true;
}

OtherWindowsDisabled::OtherWindowsDisabled(HWND except) {
    std::pair<HWND, std::vector<HWND>*> walk{except, &disabled_};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM p) -> BOOL {
            auto* w = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(p);
            if (h != w->first && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) w->second->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    for (HWND h : disabled_) ::EnableWindow(h, FALSE);
}

void OtherWindowsDisabled::Add(HWND window) {
    if (!window || !::IsWindowEnabled(window)) return;
    ::EnableWindow(window, FALSE);
    disabled_.push_back(window);
}

OtherWindowsDisabled::~OtherWindowsDisabled() {
    for (HWND h : disabled_)
        if (::IsWindow(h)) ::EnableWindow(h, TRUE);
}

int UiContext::RunModal(HWND dialog, HWND owner) {
    auto& state = modals_[dialog];
    state.running = true;
    state.result = 0;

    // Every other enabled top-level window of this thread is disabled, as a
    // modal form has them; the tray's hidden window stays usable because it
    // receives notifications whatever its state.
    {
        OtherWindowsDisabled others(dialog);
        others.Add(owner);
        ::ShowWindow(dialog, SW_SHOW);
        ::SetForegroundWindow(dialog);
        MSG msg;
        while (modals_[dialog].running) {
            const BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
            if (r == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave the outer loop too
                modals_[dialog].running = false;
                modals_[dialog].result = IDCANCEL;
                break;
            }
            if (r == -1) break;
            if (!::IsDialogMessageW(dialog, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    // Hide after re-enabling the owner so that activation returns to it.
    if (::IsWindow(dialog)) ::ShowWindow(dialog, SW_HIDE);
    const int result = modals_[dialog].result;
    modals_.erase(dialog);
    return result;
}

void UiContext::EndModal(HWND dialog, int result) {
    auto it = modals_.find(dialog);
    if (it == modals_.end()) {
        ::ShowWindow(dialog, SW_HIDE);
        return;
    }
    it->second.result = result;
    it->second.running = false;
    ::PostMessageW(dialog, WM_NULL, 0, 0);  // wake the nested loop
}

bool UiContext::IsModalRunning(HWND dialog) const {
    auto it = modals_.find(dialog);
    return it != modals_.end() && it->second.running;
}

void CenterOnScreen(HWND hwnd) {
    RECT wr{};
    ::GetWindowRect(hwnd, &wr);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    ::SetWindowPos(hwnd, nullptr, (sw - w) / 2, (sh - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu) {
    RECT r{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&r, style, menu ? TRUE : FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace win
