#pragma once
// The notification-area icon `TrayIcon1`, its hidden callback window and the
// tray menu `PopupMenu1`.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

namespace orvane {

class TfrmMain;

// The hidden window that receives the icon's notifications, found by class.
inline constexpr wchar_t kTrayWindowClass[] = L"OrvaneTrayIconWindow";
// Callback message of the icon (lParam: the mouse message).
inline constexpr UINT kTrayCallbackMessage = 2048;
inline constexpr UINT kTrayIconId = 1;

class TrayWindow;

class TTrayIcon {
public:
    explicit TTrayIcon(TfrmMain& owner);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Called once the main window exists: starts hidden with only the icon.
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
    void SetHint(const std::wstring& hint);
    void SetShowHint(bool show);
    void SetMinimizeToTray(bool on);

    HWND Handle() const;      // the hidden window receiving notifications
    HMENU Menu() const;       // PopupMenu1
    void SetQuickIconCheck(bool checked);  // tick of "Activation Rapide"
    bool QuickIconCheck() const;

    // Opens PopupMenu1 at the cursor (the right-button action).
    void ShowMenuAtCursor();

    // Optional events; the program itself uses the double click only, which
    // goes to TfrmMain::TrayIcon1DblClick.
    std::function<void()> OnClick;

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
