#pragma once
// The notification-area icon, its hidden callback window and its menu. It
// knows nothing of the window it belongs to: the owner hears of clicks and
// menu commands through callbacks and decides what they do.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

namespace win {
class UiContext;
}

namespace orvane {

// The hidden window that receives the icon's notifications, found by class.
inline constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";
// Callback message of the icon. The icon speaks the shell's version 4: the
// event is LOWORD(lParam), the anchor point (screen) is in wParam.
inline constexpr UINT kTrayCallbackMessage = 2048;
// The icon is known to the shell by its window and this number, never by a
// GUID, which would tie it to one path of the program.
inline constexpr UINT kTrayIconId = 1;

class TrayWindow;

class TrayIcon {
public:
    // `owner` is the program's main window: it is hidden to the tray when
    // minimised and brought forward when shown. The icon's tip is the
    // title of `ui`, which its window reports errors to.
    TrayIcon(win::UiContext& ui, HWND owner);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Hides the owner and shows the icon: the program starts with only the icon.
    void Start();

    void SetIconIndex(int index);
    int IconIndex() const;
    HICON Icon() const;  // the icon shown now (owned here)
    void HideToTray();
    // Puts the icon in the notification area: a modify when the shell still
    // has it, an add (and the version) when it has not.
    void AddIcon();
    void DeleteIcon();
    void ModifyIcon();
    void SetIconVisible(bool visible);
    bool IconVisible() const;

    HWND Handle() const;      // the hidden window receiving notifications
    HMENU Menu() const;
    void SetQuickIconCheck(bool checked);  // tick of "Activation Rapide"
    bool QuickIconCheck() const;

    // Opens the menu at a screen point (the shell's anchor for the request).
    void ShowMenuAt(POINT screen);

    // A single click, raised once the double-click time has passed without a
    // second one, so that a double click never raises a click first.
    std::function<void()> onClick;
    // The double click, and the keyboard's select of the icon.
    std::function<void()> onDoubleClick;
    // A command of the menu (core/tray_menu.h), after the menu has closed.
    std::function<void(int command)> onCommand;

    // What Shell_NotifyIcon is given, and its answer; tests put a stand-in
    // for the shell here. By default the shell itself.
    std::function<bool(DWORD message, NOTIFYICONDATAW& data)> notify;

private:
    friend class TrayWindow;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
