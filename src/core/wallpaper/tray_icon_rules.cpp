#include "core/wallpaper/tray_icon_rules.h"

namespace orvane {

int ClampIconIndex(int index, int count) {
    if (count <= 0 || index < 0) return 0;
    return index >= count ? count - 1 : index;
}

bool TrayClickTracker::LeftDown() {
    timerRunning_ = true;
    leftPressed_ = true;
    return true;
}

bool TrayClickTracker::LeftUp() {
    bool raise = false;
    if (leftPressed_) {
        clickPending_ = true;
        // A press held longer than the double-click time is a click at once.
        if (!timerRunning_) {
            clickPending_ = false;
            raise = true;
        }
    }
    leftPressed_ = false;
    return raise;
}

void TrayClickTracker::DoubleClick() {
    clickPending_ = false;
    doubleClicked_ = true;
}

bool TrayClickTracker::TimerElapsed() {
    timerRunning_ = false;
    bool raise = false;
    if (!doubleClicked_ && clickPending_) {
        clickPending_ = false;
        raise = true;
    }
    doubleClicked_ = false;
    return raise;
}

}  // namespace orvane
