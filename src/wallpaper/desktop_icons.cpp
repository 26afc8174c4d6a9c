#include "wallpaper/desktop_icons.h"

#include <commctrl.h>

#include "core/wallpaper/desktop_labels.h"

namespace orvane {

namespace {

// A message to the shell's window with a bounded wait; nothing when the shell
// did not answer (hung, busy beyond the time-out, or gone).
std::optional<LRESULT> SendToShell(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!hwnd) return std::nullopt;
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, kShellReplyTimeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

}  // namespace

HWND FindDesktopListView() {
    // Titles are not compared: the list view is titled "FolderView" on
    // current Windows and untitled on older ones.
    HWND view = nullptr;
    if (HWND progman = ::FindWindowW(L"Progman", nullptr))
        view = ::FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
    // After a wallpaper animation, or with some shell settings, the view sits
    // in one of the "WorkerW" windows behind the icons, and Progman stays
    // without it.
    for (HWND worker = nullptr; !view;) {
        worker = ::FindWindowExW(nullptr, worker, L"WorkerW", nullptr);
        if (!worker) return nullptr;
        view = ::FindWindowExW(worker, nullptr, L"SHELLDLL_DefView", nullptr);
    }
    return ::FindWindowExW(view, nullptr, L"SysListView32", nullptr);
}

std::optional<std::uint32_t> DesktopLabelBackground() {
    auto b = SendToShell(FindDesktopListView(), LVM_GETTEXTBKCOLOR, 0, 0);
    if (!b) return std::nullopt;
    return static_cast<std::uint32_t>(*b);
}

void ApplyTransparentLabels(std::uint32_t colour) {
    HWND lv = FindDesktopListView();
    if (!lv) return;
    if (!SendToShell(lv, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(kClrNone))) return;
    if (!SendToShell(lv, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour))) return;
    const auto count = SendToShell(lv, LVM_GETITEMCOUNT, 0, 0);
    if (!count) return;
    if (!SendToShell(lv, LVM_REDRAWITEMS, 0, static_cast<LPARAM>(*count - 1))) return;
    // The shell has just answered four times: painting now is safe.
    ::UpdateWindow(lv);
}

void ApplyQuickActivation(bool quickIcon) {
    HWND lv = FindDesktopListView();
    if (!lv) return;
    // With a mask, only these bits change; the answer is the style before.
    const std::uint32_t wanted = ExtendedStyleFor(quickIcon);
    const auto before = SendToShell(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(kQuickActivationStyle),
                                    static_cast<LPARAM>(wanted));
    // Repainted only when something changed: the tick comes every 2 seconds.
    if (before && (static_cast<std::uint32_t>(*before) & kQuickActivationStyle) != wanted)
        ::InvalidateRect(lv, nullptr, TRUE);
}

void SetDesktopViewStyle(int viewType) {
    HWND lv = FindDesktopListView();
    // SetWindowLong on another process's window waits for its style
    // notifications: make sure the shell answers first.
    if (!lv || !SendToShell(lv, WM_NULL, 0, 0)) return;
    const auto oldStyle = static_cast<std::uint32_t>(::GetWindowLongW(lv, GWL_STYLE));
    const std::uint32_t newStyle = StyleWithViewType(oldStyle, viewType);
    ::SetWindowLongW(lv, GWL_STYLE, static_cast<LONG>(newStyle));
    // The system copies the record into the shell's process for this message.
    STYLESTRUCT change{static_cast<DWORD>(oldStyle), static_cast<DWORD>(newStyle)};
    if (SendToShell(lv, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), reinterpret_cast<LPARAM>(&change)))
        ::InvalidateRect(lv, nullptr, TRUE);
}

}  // namespace orvane
