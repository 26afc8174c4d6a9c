#pragma once
// The shell's desktop list view: transparent labels with a colour taken from
// the picture, one-click activation and the view style.
//
// The list view belongs to the shell's process, so every message crosses
// processes. Messages are sent with a bounded wait (kShellReplyTimeoutMs, and
// none at all to a shell the system reports as hung); a sequence stops at the
// first message the shell leaves unanswered, and the next timer tick tries
// again. Showing the window again is asynchronous for the same reason.
#include <windows.h>

#include <cstdint>
#include <optional>

namespace orvane {

inline constexpr UINT kShellReplyTimeoutMs = 500;

HWND FindDesktopListViewByTitle();
HWND FindDesktopListView();
void ApplyTransparentLabels(std::uint32_t colour);
void ApplyQuickActivation(bool quickIcon);
void SetDesktopViewStyle(int viewType);

// The label background of the desktop list view, or nothing when there is no
// list view or the shell did not answer in time.
std::optional<std::uint32_t> DesktopLabelBackground();

}  // namespace orvane
