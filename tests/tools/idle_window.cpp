// The trivial Win32 program that scripts/idle-memory.sh measures the
// wallpaper changer against: one hidden window and a message loop, under
// the same Wine, so that what Wine itself costs is subtracted.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"OrvaneIdleWindow";
    ::RegisterClassW(&wc);
    ::CreateWindowExW(0, wc.lpszClassName, L"idle", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance,
                      nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
