#pragma once
// The entries of the notification-area icon's menu, hidden ones included.
#include <vector>

namespace orvane {

enum TrayCommand : int {
    kTrayShowCommand = 0x101,
    kTrayChangeCommand,
    kTrayLargeIconsCommand,
    kTraySmallIconsCommand,
    kTrayQuickActivationCommand,
    kTrayQuitCommand,
    kTrayIconsSubmenu,  // the submenu itself (no command)
};

struct TrayMenuEntry {
    int id;               // 0 for separators
    const char* name;     // the entry's name (Restaurer1, N2, ...)
    const char* caption;  // UTF-8, "-" for separators
    bool visible;
    bool inSubmenu;  // an entry of "&Icones"
};

// The entries of `PopupMenu1` in order, hidden ones included.
const std::vector<TrayMenuEntry>& TrayMenuEntries();

}  // namespace orvane
