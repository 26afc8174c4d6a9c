#pragma once
// A window timer with the semantics the programs rely on: giving it a new
// interval restarts its countdown, giving it the interval it already has or
// enabling it while enabled leaves the countdown alone, and an interval of 0
// never fires.
#include <windows.h>

namespace win {

class Timer {
public:
    Timer(UINT_PTR id, UINT interval, bool enabled) : id_(id), interval_(interval), enabled_(enabled) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { Stop(); }

    // Binds to the window whose WM_TIMER(id) runs the handler; starts the
    // countdown when enabled.
    void Attach(HWND hwnd) {
        hwnd_ = hwnd;
        Update();
    }
    void SetInterval(UINT ms) {
        if (ms == interval_) return;
        interval_ = ms;
        Update();
    }
    void SetEnabled(bool on) {
        if (on == enabled_) return;
        enabled_ = on;
        Update();
    }
    UINT Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    UINT_PTR Id() const { return id_; }
    bool Running() const { return running_; }

private:
    void Stop() {
        if (running_ && hwnd_) ::KillTimer(hwnd_, id_);
        running_ = false;
    }
    void Update() {
        Stop();
        if (hwnd_ && enabled_ && interval_ > 0) running_ = ::SetTimer(hwnd_, id_, interval_, nullptr) != 0;
    }

    HWND hwnd_ = nullptr;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_;
    bool running_ = false;
};

}  // namespace win
