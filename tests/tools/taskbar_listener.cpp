// Stand-in for a program with a notification-area icon: a hidden top-level
// window of class "OrvaneTaskbarListener" waits for the registered message
// "TaskbarCreated", on which such a program adds its icon again. It exits
// with code 0 when the message arrives, 2 when it has not come within one
// minute, 1 when its window cannot be made.
//
//   taskbar_listener.exe        (no arguments)
#include <windows.h>

namespace {

constexpr UINT_PTR kGiveUpTimer = 1;
UINT g_taskbarCreated = 0;

LRESULT CALLBACK ListenerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == g_taskbarCreated) {
        ::PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_TIMER && wp == kGiveUpTimer) {
        ::PostQuitMessage(2);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSW cls{};
    cls.lpfnWndProc = &ListenerProc;
    cls.hInstance = instance;
    cls.lpszClassName = L"OrvaneTaskbarListener";
    if (!g_taskbarCreated || !::RegisterClassW(&cls)) return 1;
    // Not a message-only window: those get no broadcast.
    HWND hwnd = ::CreateWindowExW(0, cls.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  instance, nullptr);
    if (!hwnd) return 1;
    ::SetTimer(hwnd, kGiveUpTimer, 60000, nullptr);
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) ::DispatchMessageW(&msg);
    ::DestroyWindow(hwnd);
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
}
