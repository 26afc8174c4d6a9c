// Entry of the wallpaper changer.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "wallpaper/application.h"
#include "wallpaper/running_copy.h"
#include "win32/handles.h"
#include "win32/message_loop.h"
#include "win32/window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) ::LocalFree(argv);

    // One copy only. A second one started without arguments ends at once,
    // silently; with one (the Start menu's entry) it first asks the running
    // copy to show its main window. Any other failure to create the mutex
    // does not stop the start.
    win::Handle instanceMutex(::CreateMutexW(nullptr, FALSE, L"OrvaneWallPaper"));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (argc > 1) orvane::AskRunningCopyToShow();
        return 0;
    }

    win::ComApartment com;  // the Active Desktop object needs COM on this thread
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&icc);
    win::UiContext ui(L"Orvane Wallpaper Changer");

    std::unique_ptr<orvane::Application> application;
    try {
        application = std::make_unique<orvane::Application>(ui, argc > 1);
    } catch (const std::exception& e) {
        ui.ReportError(nullptr, e);
        return 1;
    }

    return win::RunMessageLoop();
}
