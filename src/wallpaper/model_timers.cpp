#include "wallpaper/model_timers.h"

#include <algorithm>

namespace orvane {

namespace {

UINT_PTR IdOf(ModelTimer timer) { return static_cast<UINT_PTR>(timer) + 1; }

}  // namespace

WindowTimers::WindowTimers(win::UiContext& ui) : win::Window(ui) {
    win::WindowClassSpec windowClass{L"OrvaneModelTimers"};
    windowClass.background = nullptr;
    CreateWindowOfClass(windowClass, 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE);
}

void WindowTimers::Start(ModelTimer timer, std::uint32_t milliseconds) {
    const UINT_PTR id = IdOf(timer);
    ::KillTimer(hwnd(), id);
    running_[id - 1] = false;
    if (milliseconds == 0) return;
    // Longer periods are held at the longest one the system takes.
    const UINT period = static_cast<UINT>(std::min<std::uint32_t>(milliseconds, USER_TIMER_MAXIMUM));
    running_[id - 1] = ::SetTimer(hwnd(), id, period, nullptr) != 0;
}

void WindowTimers::Stop(ModelTimer timer) {
    const UINT_PTR id = IdOf(timer);
    ::KillTimer(hwnd(), id);
    running_[id - 1] = false;
}

bool WindowTimers::Running(ModelTimer timer) const { return running_[IdOf(timer) - 1]; }

LRESULT WindowTimers::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp >= 1 && wp <= 4) {
        if (onTick) onTick(static_cast<ModelTimer>(wp - 1));
        return 0;
    }
    return Default(msg, wp, lp);
}

}  // namespace orvane
