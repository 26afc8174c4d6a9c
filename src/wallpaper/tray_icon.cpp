#include "wallpaper/tray_icon.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "core/wallpaper/tray_icon_rules.h"
#include "core/wallpaper/tray_menu.h"
#include "wallpaper/resources/resource_ids.h"
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

BOOL DefaultNotify(DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); }
TrayIcon::NotifyFunction g_notify = &DefaultNotify;

// Icon of the program's resources at the small-icon size of the screen, or
// a copy of a system icon when the module carries none (the test programs).
HICON LoadTrayIcon(int resourceId, LPCWSTR fallback) {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    if (HICON icon = static_cast<HICON>(
            ::LoadImageW(inst, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)))
        return icon;
    return ::CopyIcon(::LoadIconW(nullptr, fallback));
}

}  // namespace

// The hidden window: notifications of the icon, the click timer, the menu's
// commands and the task bar's re-creation.
class TrayWindow : public win::Window {
public:
    explicit TrayWindow(TrayIcon::Impl& impl) : impl_(impl) {}
    void CreateHidden() {
        win::WindowClassSpec windowClass{kTrayWindowClass};
        windowClass.background = nullptr;
        // A top-level window (not message-only): "TaskbarCreated" is broadcast
        // to top-level windows only.
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
    TrayWindow window{*this};
    win::Icon icons[2];
    int index = 0;
    bool visible = true;
    bool enabled = true;
    bool minimizeToTray = true;
    bool leftPopup = false;
    bool quickChecked = false;
    bool subclassed = false;
    NOTIFYICONDATAW data{};
    TrayClickTracker clicks;
    win::Timer clickTimer{kClickTimerId, ::GetDoubleClickTime(), false};
    win::Menu popup;
    UINT taskbarCreated = 0;
    HWND focusBeforeDeactivation = nullptr;

    Impl(TrayIcon& s, HWND o) : self(s), owner(o) {}

    void FillRecord() {
        data = {};
        // The version-2 record of this build's character set and pointer size.
        data.cbSize = NOTIFYICONDATAW_V2_SIZE;
        data.hWnd = window.hwnd();
        data.uID = kTrayIconId;
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = icons[ClampIconIndex(index, 2)].get();
    }
    void Notify(DWORD message) {
        FillRecord();
        g_notify(message, &data);
    }

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

    void OnNotification(UINT mouseMessage) {
        if (!enabled) return;
        switch (mouseMessage) {
            case WM_LBUTTONDOWN:
                if (clicks.LeftDown()) {
                    clickTimer.SetEnabled(false);  // a new press restarts the countdown
                    clickTimer.SetInterval(::GetDoubleClickTime());
                    clickTimer.SetEnabled(true);
                }
                if (leftPopup) self.ShowMenuAtCursor();
                break;
            case WM_LBUTTONUP:
                if (clicks.LeftUp() && self.onClick) self.onClick();
                break;
            case WM_LBUTTONDBLCLK:
                clicks.DoubleClick();
                if (self.onDoubleClick) self.onDoubleClick();
                // The menu has no default entry, so nothing is clicked here.
                break;
            case WM_RBUTTONDOWN: self.ShowMenuAtCursor(); break;
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
                if (wp == SIZE_MINIMIZED && impl->minimizeToTray) {
                    win::Guarded(nullptr, [&] {
                        impl->self.HideToTray();
                        if (!impl->visible) impl->self.SetIconVisible(true);
                    });
                }
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
        impl_.OnNotification(static_cast<UINT>(LOWORD(lp)));
        return 0;
    }
    if (impl_.taskbarCreated != 0 && msg == impl_.taskbarCreated) {
        if (impl_.visible) impl_.self.AddIcon();
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

TrayIcon::TrayIcon(HWND owner) : impl_(std::make_unique<Impl>(*this, owner)) {
    impl_->taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    impl_->icons[0].reset(LoadTrayIcon(IDI_TRAY_IDLE, IDI_APPLICATION));
    impl_->icons[1].reset(LoadTrayIcon(IDI_TRAY_BUSY, IDI_WARNING));
    impl_->window.CreateHidden();
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
    impl_->Notify(NIM_DELETE);
    if (impl_->subclassed && ::IsWindow(impl_->owner))
        ::RemoveWindowSubclass(impl_->owner, &Impl::OwnerProc, kOwnerSubclassId);
}

void TrayIcon::Start() {
    // Starts minimised: the main window stays hidden, only the icon shows.
    HideToTray();
    ModifyIcon();
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

void TrayIcon::AddIcon() {
    impl_->visible = true;
    impl_->Notify(NIM_ADD);
}

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

void TrayIcon::SetEnabled(bool enabled) { impl_->enabled = enabled; }
bool TrayIcon::Enabled() const { return impl_->enabled; }

void TrayIcon::SetMinimizeToTray(bool on) { impl_->minimizeToTray = on; }

HWND TrayIcon::Handle() const { return impl_->window.hwnd(); }
HMENU TrayIcon::Menu() const { return impl_->popup.get(); }

void TrayIcon::SetQuickIconCheck(bool checked) {
    impl_->quickChecked = checked;
    ::CheckMenuItem(impl_->popup.get(), kTrayQuickActivationCommand,
                    MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TrayIcon::QuickIconCheck() const { return impl_->quickChecked; }

void TrayIcon::ShowMenuAtCursor() {
    POINT pt{};
    if (!impl_->popup || !::GetCursorPos(&pt)) return;
    HWND window = impl_->window.hwnd();
    // The menu's owner must be the foreground window, or the menu stays open
    // when the user clicks elsewhere; the WM_NULL afterwards lets the shell
    // see the menu close (the documented tray-menu idiom).
    ::SetForegroundWindow(window);
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    // The chosen entry arrives as WM_COMMAND, after the menu has closed.
    ::TrackPopupMenu(impl_->popup.get(), align | TPM_RIGHTBUTTON, pt.x, pt.y, 0, window, nullptr);
    ::PostMessageW(window, WM_NULL, 0, 0);
}

void TrayIcon::SetNotifyFunction(NotifyFunction f) { g_notify = f ? f : &DefaultNotify; }

}  // namespace orvane
