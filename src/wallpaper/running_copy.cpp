#include "wallpaper/running_copy.h"

namespace orvane {

UINT ShowRequestMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"OrvaneWallPaper.AfficherFenetrePrincipale");
    return message;
}

bool AskRunningCopyToShow(const std::function<void(DWORD processId)>& allowForeground) {
    HWND main = ::FindWindowW(kMainWindowClass, nullptr);
    if (!main) return false;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(main, &processId);
    // Windows lets a program take the foreground only when the one that has
    // it agrees: this copy was just started by the user, so it may.
    if (allowForeground)
        allowForeground(processId);
    else
        ::AllowSetForegroundWindow(processId);
    return ::PostMessageW(main, ShowRequestMessage(), 0, 0) != FALSE;
}

}  // namespace orvane
