#pragma once
// The programs' windows are plain windows, not dialogs, yet a keyboard user
// moves between their controls as in a dialog: Tab and Shift+Tab, the arrows
// in a group, Space on the focused button, Alt with a caption's underlined
// letter. That is the dialog manager's work, which a message loop asks for.
#include <windows.h>

namespace win {

// Gives a keyboard message to the dialog manager of the top-level window it
// is for, when that window is a control parent (WS_EX_CONTROLPARENT). True when the message was handled there (already dispatched):
// the loop must not translate or dispatch it again.
bool HandleNavigationKey(MSG& msg);

// The thread's message loop with that navigation, until WM_QUIT; returns its
// exit code.
int RunMessageLoop();

}  // namespace win
