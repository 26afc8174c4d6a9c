#pragma once
// The wallpaper model's timers as window timers of a message-only window:
// they fire in the thread's message loop, inside modal loops too, and a
// handler's error reaches the program's error box like any other.
#include <functional>

#include "core/wallpaper/wallpaper_services.h"
#include "win32/window.h"

namespace orvane {

class WindowTimers : public Timers, private win::Window {
public:
    explicit WindowTimers(win::UiContext& ui);
    void Start(ModelTimer timer, std::uint32_t milliseconds) override;
    void Stop(ModelTimer timer) override;
    bool Running(ModelTimer timer) const;

    std::function<void(ModelTimer)> onTick;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool running_[4] = {};
};

}  // namespace orvane
