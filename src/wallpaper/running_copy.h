#pragma once
// A second copy of the program, started to show the main window (from the
// Start menu: any argument asks for it), asks the copy already running to do
// so and ends. A start without arguments ends at once and says nothing.
#include <windows.h>

#include <functional>

namespace orvane {

// The main window's class, by which a second copy finds it.
inline constexpr wchar_t kMainWindowClass[] = L"TfrmMain";

// The registered message that asks the main window to come forward, as
// "&Afficher" does. It carries nothing and makes the program do nothing else.
UINT ShowRequestMessage();

// Finds the running copy's main window, lets its process take the
// foreground, and asks it to show itself. False when no copy was found.
// `allowForeground` stands for AllowSetForegroundWindow (tests replace it:
// Wine does not enforce the foreground lock).
bool AskRunningCopyToShow(const std::function<void(DWORD processId)>& allowForeground = {});

}  // namespace orvane
