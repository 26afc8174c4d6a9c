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

HWND FindDesktopListViewByTitle() {
    // Empty titles, not absent ones: only windows without a title match.
    HWND progman = ::FindWindowW(L"Progman", L"Program Manager");
    if (!progman) return nullptr;
    HWND view = ::FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", L"");
    if (!view) return nullptr;
    return ::FindWindowExW(view, nullptr, L"SysListView32", L"");
}

HWND FindDesktopListView() {
    HWND progman = ::FindWindowExW(::GetDesktopWindow(), nullptr, L"Progman", nullptr);
    if (!progman) return nullptr;
    HWND view = ::FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
    if (!view) return nullptr;
    return ::FindWindowExW(view, nullptr, L"SysListView32", nullptr);
}

std::optional<std::uint32_t> DesktopLabelBackground() {
    auto b = SendToShell(FindDesktopListViewByTitle(), LVM_GETTEXTBKCOLOR, 0, 0);
    if (!b) return std::nullopt;
    return static_cast<std::uint32_t>(*b);
}

void ApplyTransparentLabels(std::uint32_t colour) {
    HWND lv = FindDesktopListViewByTitle();
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
    // Mask 0: every extended style is replaced.
    if (!SendToShell(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ExtendedStyleFor(quickIcon)))) return;
    if (HWND again = FindDesktopListView()) ::ShowWindowAsync(again, SW_SHOWNORMAL);
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
    SendToShell(lv, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), reinterpret_cast<LPARAM>(&change));
    ::ShowWindowAsync(lv, SW_SHOWNORMAL);
}

}  // namespace orvane
