#pragma once
// The shell's desktop list view: transparent labels with a colour taken from
// the picture, one-click activation and the view style.
//
// The list view belongs to the shell's process, so every message crosses
// processes. Messages are sent with a bounded wait (kShellReplyTimeoutMs, and
// none at all to a shell the system reports as hung); a sequence stops at the
// first message the shell leaves unanswered, and the next timer tick tries
// again. The view is never shown nor hidden: the user may have turned the
// desktop icons off, and that choice is the shell's. A change is repainted
// by invalidating the view, which waits for nothing.
#include <windows.h>

#include <cstdint>
#include <optional>

namespace orvane {

inline constexpr UINT kShellReplyTimeoutMs = 500;

// The list view of the desktop's icons, whatever its title: under "Progman"
// on older Windows, under one of the top-level "WorkerW" windows once the
// shell has moved it there. Nothing when the shell has none.
HWND FindDesktopListView();
void ApplyTransparentLabels(std::uint32_t colour);
// Sets or clears the one-click bits only; the shell's other extended styles
// (double buffering, snap to grid...) stay as they are.
void ApplyQuickActivation(bool quickIcon);
void SetDesktopViewStyle(int viewType);

// The label background of the desktop list view, or nothing when there is no
// list view or the shell did not answer in time.
std::optional<std::uint32_t> DesktopLabelBackground();

}  // namespace orvane
