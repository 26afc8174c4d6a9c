// Mendrel: repairs the desktop after a crash of the Windows shell.
#include <windows.h>

#include <exception>

#include "explorer_fix/mendrel_window.h"
#include "explorer_fix/system_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win::UiContext ui(mendrel::kErrorTitle, &mendrel::MendrelWindow::ReportAndEnd);
    mendrel::MendrelWindow window(ui);
    try {
        window.Load();
    } catch (const std::exception& e) {
        // The start-up catches nothing of its own: the error ends the program
        // before the window is shown.
        ui.ShowErrorBox(nullptr, mendrel::ErrorBoxText(e));
        return 1;
    }
    window.Show();
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        if (window.hwnd() && ::IsDialogMessageW(window.hwnd(), &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // The quit message carries the window's exit code (or 1 from an error
    // that found no window of the utility).
    return got == 0 ? static_cast<int>(msg.wParam) : window.ExitCode();
}
