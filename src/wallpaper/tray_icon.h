#pragma once
// The notification-area icon, its hidden callback window and its menu. It
// knows nothing of the window it belongs to: the owner hears of clicks and
// menu commands through callbacks and decides what they do.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

namespace orvane {

// The hidden window that receives the icon's notifications, found by class.
inline constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";
// Callback message of the icon (lParam: the mouse message).
inline constexpr UINT kTrayCallbackMessage = 2048;
inline constexpr UINT kTrayIconId = 1;

class TrayWindow;

class TrayIcon {
public:
    // `owner` is the program's main window: it is hidden to the tray when
    // minimised and brought forward when shown.
    explicit TrayIcon(HWND owner);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Hides the owner and shows the icon: the program starts with only the icon.
    void Start();

    void SetIconIndex(int index);
    int IconIndex() const;
    HICON Icon() const;  // the icon shown now (owned here)
    void HideToTray();
    void AddIcon();
    void DeleteIcon();
    void ModifyIcon();
    void SetIconVisible(bool visible);
    bool IconVisible() const;

    // Mouse events are delivered only while enabled.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetMinimizeToTray(bool on);

    HWND Handle() const;      // the hidden window receiving notifications
    HMENU Menu() const;
    void SetQuickIconCheck(bool checked);  // tick of "Activation Rapide"
    bool QuickIconCheck() const;

    // Opens the menu at the cursor (the right-button action).
    void ShowMenuAtCursor();

    // A single click, raised once the double-click time has passed without a
    // second one, so that a double click never raises a click first.
    std::function<void()> onClick;
    std::function<void()> onDoubleClick;
    // A command of the menu (core/tray_menu.h), after the menu has closed.
    std::function<void(int command)> onCommand;

    // What Shell_NotifyIcon is given; tests swap in a recorder. The default
    // calls the shell.
    using NotifyFunction = BOOL (*)(DWORD message, NOTIFYICONDATAW* data);
    static void SetNotifyFunction(NotifyFunction f);

private:
    friend class TrayWindow;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
