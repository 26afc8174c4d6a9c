#pragma once
// Shared by the in-process Windows tests: errors that the program would show
// in its error box are recorded here instead, so no test blocks on a box.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace win {
class UiContext;
}

namespace testing_support {

// The test program's context for the windows under test: the wallpaper
// changer's title, and errors recorded in ReportedErrors.
win::UiContext& TestUi();
std::vector<std::wstring>& ReportedErrors();

// Runs the thread's message queue for `ms` milliseconds (timers, posted messages).
void PumpMessages(DWORD ms);

// A fresh folder under the test prefix's temp folder, removed by the caller.
std::wstring MakeTempFolder(const std::wstring& name);

// The wallpaper changer's stored values (HKCU\Software\Orvane\Config), as
// the program writes them: REG_SZ. StoredSetting gives "<missing>" for a
// value that is absent or not a string.
void StoreSetting(const wchar_t* name, const std::wstring& value);
std::wstring StoredSetting(const wchar_t* name);

// Runs `f` once, `delayMs` from now, from inside whatever message loop the
// thread is in then (a modal window's, an error box's).
void RunSoon(std::function<void()> f, unsigned delayMs = 100);

// Takes the WM_QUIT that "Quitter" leaves (within half a second), so the
// test program runs on; true when there was one.
bool TakeQuit();

}  // namespace testing_support
