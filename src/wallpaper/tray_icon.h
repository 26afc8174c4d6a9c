#pragma once
// The notification-area icon `TrayIcon1`, its hidden callback window and the
// tray menu `PopupMenu1`.
#include <windows.h>

#include <functional>
#include <memory>

namespace orvane {

class TfrmMain;

class TTrayIcon {
public:
    explicit TTrayIcon(TfrmMain& owner);
    ~TTrayIcon();

    // Called once the main window exists: starts hidden with only the icon.
    void Start();

    void SetIconIndex(int index);
    int IconIndex() const;
    void HideToTray();
    void AddIcon();
    void DeleteIcon();
    void ModifyIcon();
    void SetIconVisible(bool visible);
    bool IconVisible() const;

    HWND Handle() const;      // the hidden window receiving notifications
    HMENU Menu() const;       // PopupMenu1
    void SetQuickIconCheck(bool checked);  // tick of "Activation Rapide"
    bool QuickIconCheck() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
