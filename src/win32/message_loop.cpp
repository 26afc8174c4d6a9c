#include "win32/message_loop.h"

namespace win {

bool HandleNavigationKey(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    // Only windows whose controls take part in the navigation (flat buttons
    // mark theirs): elsewhere Escape and the arrows stay the window's own.
    if (!root || !(::GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) return false;
    return ::IsDialogMessageW(root, &msg) != FALSE;
}

int RunMessageLoop() {
    MSG msg{};
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return -1;
        if (HandleNavigationKey(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace win
