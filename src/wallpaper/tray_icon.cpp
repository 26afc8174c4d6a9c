#include "wallpaper/tray_icon.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "core/wallpaper/tray_icon_rules.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/resources/resource_ids.h"
#include "win32/dpi.h"
#include "win32/handles.h"
#include "win32/strings.h"
#include "win32/timer.h"
#include "win32/window.h"

namespace orvane {

namespace {

constexpr UINT_PTR kClickTimerId = 1;
// Posted to the hidden window once the main window has been shown, so that
// it is brought forward after the show has completed.
constexpr UINT kBringOwnerForward = WM_APP + 1;
constexpr UINT_PTR kOwnerSubclassId = 0x7472;  // "tr"

// Both functions below are newer than some of the systems the program runs
// on (and LoadIconWithScaleDown is only in version 6 of the common
// controls): looked up, never imported.
template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
    HMODULE handle = ::GetModuleHandleW(module);
    FARPROC proc = handle ? ::GetProcAddress(handle, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

// The small-icon size the notification area draws at this DPI.
int SmallIconSize(int dpi) {
    using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto forDpi = Lookup<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
    if (forDpi)
        if (const int size = forDpi(SM_CXSMICON, static_cast<UINT>(dpi)); size > 0) return size;
    return ::MulDiv(::GetSystemMetrics(SM_CXSMICON), dpi, win::SystemDpi());
}

// An icon at exactly `size` pixels: scaled down from a larger image of the
// resource rather than up from a smaller one where the system can.
HICON LoadIconAtSize(HINSTANCE module, LPCWSTR name, int size) {
    using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto scaleDown = Lookup<LoadIconWithScaleDownFunction>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (scaleDown && SUCCEEDED(scaleDown(module, name, size, size, &icon)) && icon) return icon;
    if (module) return static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    // A system icon is shared and must not be destroyed: a sized copy of it.
    return static_cast<HICON>(::CopyImage(::LoadIconW(nullptr, name), IMAGE_ICON, size, size, 0));
}

// Icon of the program's resources, or a system icon when the module carries
// none (the test programs).
HICON LoadTrayIcon(int resourceId, LPCWSTR fallback, int size) {
    if (HICON icon = LoadIconAtSize(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), size)) return icon;
    return LoadIconAtSize(nullptr, fallback, size);
}

}  // namespace

// The hidden window: notifications of the icon, the click timer, the menu's
// commands, the task bar's re-creation and the display's changes.
class TrayWindow : public win::Window {
public:
    TrayWindow(win::UiContext& ui, TrayIcon::Impl& impl) : win::Window(ui), impl_(impl) {}
    void CreateHidden() {
        win::WindowClassSpec windowClass{kTrayWindowClass};
        windowClass.background = nullptr;
        // A top-level window (not message-only): "TaskbarCreated" is broadcast
        // to top-level windows only. At (0, 0) it is on the primary monitor,
        // whose task bar holds the notification area: its DPI is the icon's.
        CreateWindowOfClass(windowClass, WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, 0, 0, nullptr);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TrayIcon::Impl& impl_;
};

struct TrayIcon::Impl {
    TrayIcon& self;
    HWND owner;
    TrayWindow window;
    win::Icon icons[2];
    int iconSize = 0;
    int index = 0;
    bool visible = true;
    // Whether the shell took version 4 for the icon; an older shell keeps
    // sending plain mouse messages, and its menu opens on the right press.
    bool version4 = false;
    bool quickChecked = false;
    bool subclassed = false;
    TrayClickTracker clicks;
    win::Timer clickTimer{kClickTimerId, ::GetDoubleClickTime(), false};
    win::Menu popup;
    UINT taskbarCreated = 0;
    HWND focusBeforeDeactivation = nullptr;

    Impl(TrayIcon& s, win::UiContext& ui, HWND o) : self(s), owner(o), window(ui, *this) {}

    NOTIFYICONDATAW Record() const {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = window.hwnd();
        data.uID = kTrayIconId;
        // Under version 4 the shell shows the standard tip only when asked to.
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = icons[ClampIconIndex(index, 2)].get();
        const std::wstring& tip = window.Ui().Title();
        const std::size_t length = std::min(tip.size(), std::size(data.szTip) - 1);
        std::copy_n(tip.data(), length, data.szTip);
        return data;
    }
    bool Notify(DWORD message) {
        NOTIFYICONDATAW data = Record();
        if (message == NIM_SETVERSION) data.uVersion = NOTIFYICON_VERSION_4;
        return self.notify && self.notify(message, data);
    }

    // The shell keeps an icon across its own modifications but forgets it
    // when it restarts: modify first, add when it does not know the icon. The
    // version is the icon's, so it is given again with every add.
    void PutIcon() {
        visible = true;
        if (Notify(NIM_MODIFY)) return;
        if (Notify(NIM_ADD)) version4 = Notify(NIM_SETVERSION);
    }

    // Loads both images at the size of the DPI; true when the size changed.
    bool LoadIcons(int dpi) {
        const int size = SmallIconSize(dpi);
        if (size == iconSize && icons[0] && icons[1]) return false;
        icons[0].reset(LoadTrayIcon(IDI_TRAY_IDLE, IDI_APPLICATION, size));
        icons[1].reset(LoadTrayIcon(IDI_TRAY_BUSY, IDI_WARNING, size));
        iconSize = size;
        return true;
    }
    void OnDisplayChanged(int dpi) {
        if (LoadIcons(dpi) && visible) Notify(NIM_MODIFY);
    }
    int IconDpi() const { return win::WindowDpi(window.hwnd()); }

    void BuildMenu() {
        popup.reset(::CreatePopupMenu());
        HMENU icones = ::CreatePopupMenu();
        for (const auto& e : TrayMenuEntries()) {
            if (!e.visible) continue;  // a menu has no hidden entries: leave them out
            HMENU target = e.inSubmenu ? icones : popup.get();
            if (e.id == 0) {
                ::AppendMenuW(target, MF_SEPARATOR, 0, nullptr);
            } else if (e.id == kTrayIconsSubmenu) {
                ::AppendMenuW(target, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(icones),
                              win::Widen(e.caption).c_str());
            } else {
                ::AppendMenuW(target, MF_STRING, static_cast<UINT_PTR>(e.id), win::Widen(e.caption).c_str());
            }
        }
    }

    // `event` is the mouse message, or the shell's own events under version 4;
    // `anchor` the screen point the version-4 shell gives with them.
    void OnNotification(UINT event, WPARAM anchor) {
        switch (event) {
            case WM_LBUTTONDOWN:
                if (clicks.LeftDown()) {
                    clickTimer.SetEnabled(false);  // a new press restarts the countdown
                    clickTimer.SetInterval(::GetDoubleClickTime());
                    clickTimer.SetEnabled(true);
                }
                break;
            case WM_LBUTTONUP:
                if (clicks.LeftUp() && self.onClick) self.onClick();
                break;
            case WM_LBUTTONDBLCLK:
                clicks.DoubleClick();
                if (self.onDoubleClick) self.onDoubleClick();
                // The menu has no default entry, so nothing is clicked here.
                break;
            // Space or Enter on the icon chosen with the keyboard. (NIN_SELECT,
            // which follows every left release, is left alone: the click
            // already came from the button messages.)
            case NIN_KEYSELECT:
                if (self.onDoubleClick) self.onDoubleClick();
                break;
            // Version 4 sends the right release and the keyboard's menu key
            // both as WM_CONTEXTMENU; an older shell only the button messages.
            case WM_CONTEXTMENU:
                if (version4) self.ShowMenuAt(POINT{GET_X_LPARAM(anchor), GET_Y_LPARAM(anchor)});
                break;
            case WM_RBUTTONDOWN:
                if (!version4) {
                    POINT cursor{};
                    if (::GetCursorPos(&cursor)) self.ShowMenuAt(cursor);
                }
                break;
            default: break;
        }
    }

    void OnClickTimer() {
        clickTimer.SetEnabled(false);
        if (clicks.TimerElapsed() && self.onClick) self.onClick();
    }

    void OnCommand(int id) {
        if (self.onCommand) self.onCommand(id);
    }

    void BringOwnerForward() {
        HWND main = owner;
        if (!main || !::IsWindowVisible(main)) return;
        if (::IsIconic(main)) ::ShowWindow(main, SW_RESTORE);
        ::SetForegroundWindow(main);
    }

    // The watches on the main window, which here is also the window that owns
    // the task-bar button.
    static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
        auto* impl = reinterpret_cast<Impl*>(ref);
        switch (msg) {
            case WM_SIZE: {
                const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
                if (wp == SIZE_MINIMIZED) {
                    impl->window.Ui().Guarded(nullptr, [&] {
                        impl->self.HideToTray();
                        if (!impl->visible) impl->self.SetIconVisible(true);
                    });
                }
                return r;
            }
            // The main window moved to a monitor of another scale, or the
            // scale changed: the icon follows the notification area's DPI.
            case WM_DPICHANGED: {
                const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
                impl->window.Ui().Guarded(nullptr, [&] { impl->OnDisplayChanged(impl->IconDpi()); });
                return r;
            }
            case WM_SHOWWINDOW:
                if (wp && lp == 0) ::PostMessageW(impl->window.hwnd(), kBringOwnerForward, 0, 0);
                return ::DefSubclassProc(hwnd, msg, wp, lp);
            case WM_ACTIVATE: {
                if (LOWORD(wp) == WA_INACTIVE) {
                    HWND focus = ::GetFocus();
                    impl->focusBeforeDeactivation = (focus && ::IsChild(hwnd, focus)) ? focus : nullptr;
                    return ::DefSubclassProc(hwnd, msg, wp, lp);
                }
                const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
                HWND focus = impl->focusBeforeDeactivation;
                if (focus && ::IsWindow(focus) && ::IsChild(hwnd, focus) && ::IsWindowVisible(focus) &&
                    ::IsWindowEnabled(focus)) {
                    HWND parent = ::GetParent(focus);
                    if (!parent) parent = focus;
                    if (parent != reinterpret_cast<HWND>(lp)) ::SetFocus(focus);
                }
                return r;
            }
            case WM_NCDESTROY:
                ::RemoveWindowSubclass(hwnd, &Impl::OwnerProc, id);
                impl->subclassed = false;
                return ::DefSubclassProc(hwnd, msg, wp, lp);
            default: return ::DefSubclassProc(hwnd, msg, wp, lp);
        }
    }
};

LRESULT TrayWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kTrayCallbackMessage) {
        impl_.OnNotification(static_cast<UINT>(LOWORD(lp)), wp);
        return 0;
    }
    if (impl_.taskbarCreated != 0 && msg == impl_.taskbarCreated) {
        // A new shell, perhaps at another scale.
        impl_.LoadIcons(impl_.IconDpi());
        if (impl_.visible) impl_.PutIcon();
        return 0;
    }
    switch (msg) {
        case WM_TIMER:
            if (wp == kClickTimerId) impl_.OnClickTimer();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wp) == 0 && lp == 0) impl_.OnCommand(LOWORD(wp));
            return 0;
        case kBringOwnerForward: impl_.BringOwnerForward(); return 0;
        case WM_DPICHANGED: impl_.OnDisplayChanged(LOWORD(wp)); return 0;
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE: impl_.OnDisplayChanged(impl_.IconDpi()); return Default(msg, wp, lp);
        // Never blocks the end of the session, never closed by a request.
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUERYENDSESSION:
        case WM_QUIT:
        case WM_USERCHANGED:
        case WM_NCDESTROY: return 1;
        default: return Default(msg, wp, lp);
    }
}

TrayIcon::TrayIcon(win::UiContext& ui, HWND owner) : impl_(std::make_unique<Impl>(*this, ui, owner)) {
    notify = [](DWORD message, NOTIFYICONDATAW& data) { return ::Shell_NotifyIconW(message, &data) != FALSE; };
    impl_->taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    impl_->window.CreateHidden();
    impl_->LoadIcons(impl_->IconDpi());
    // An elevated copy still hears the shell's announcement.
    ::ChangeWindowMessageFilterEx(impl_->window.hwnd(), impl_->taskbarCreated, MSGFLT_ALLOW, nullptr);
    impl_->clickTimer.Attach(impl_->window.hwnd());
    impl_->BuildMenu();
    if (HWND main = owner) {
        impl_->subclassed =
            ::SetWindowSubclass(main, &Impl::OwnerProc, kOwnerSubclassId, reinterpret_cast<DWORD_PTR>(impl_.get()));
    }
}

TrayIcon::~TrayIcon() {
    try {
        impl_->Notify(NIM_DELETE);
    } catch (...) {
    }
    if (impl_->subclassed && ::IsWindow(impl_->owner))
        ::RemoveWindowSubclass(impl_->owner, &Impl::OwnerProc, kOwnerSubclassId);
}

void TrayIcon::Start() {
    // Starts minimised: the main window stays hidden, only the icon shows.
    HideToTray();
    if (impl_->visible) AddIcon();
}

void TrayIcon::SetIconIndex(int index) {
    impl_->index = ClampIconIndex(index, 2);
    ModifyIcon();
}

int TrayIcon::IconIndex() const { return impl_->index; }
HICON TrayIcon::Icon() const { return impl_->icons[impl_->index].get(); }

void TrayIcon::HideToTray() {
    if (HWND main = impl_->owner) ::ShowWindow(main, SW_HIDE);
}

void TrayIcon::AddIcon() { impl_->PutIcon(); }

void TrayIcon::DeleteIcon() {
    impl_->visible = false;
    impl_->Notify(NIM_DELETE);
}

void TrayIcon::ModifyIcon() { impl_->Notify(NIM_MODIFY); }

void TrayIcon::SetIconVisible(bool visible) {
    if (visible) AddIcon();
    else DeleteIcon();
}

bool TrayIcon::IconVisible() const { return impl_->visible; }

HWND TrayIcon::Handle() const { return impl_->window.hwnd(); }
HMENU TrayIcon::Menu() const { return impl_->popup.get(); }

void TrayIcon::SetQuickIconCheck(bool checked) {
    impl_->quickChecked = checked;
    ::CheckMenuItem(impl_->popup.get(), kTrayQuickActivationCommand,
                    MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TrayIcon::QuickIconCheck() const { return impl_->quickChecked; }

void TrayIcon::ShowMenuAt(POINT screen) {
    if (!impl_->popup) return;
    HWND window = impl_->window.hwnd();
    // The menu's owner must be the foreground window, or the menu stays open
    // when the user clicks elsewhere; the WM_NULL afterwards lets the shell
    // see the menu close (the documented tray-menu idiom).
    ::SetForegroundWindow(window);
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    // The chosen entry arrives as WM_COMMAND, after the menu has closed.
    ::TrackPopupMenu(impl_->popup.get(), align | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr);
    ::PostMessageW(window, WM_NULL, 0, 0);
}

}  // namespace orvane
