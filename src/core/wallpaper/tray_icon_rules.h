#pragma once
// Decisions of the notification-area icon that need no window: which icon of
// the list shows, and when a left click counts as a click.
namespace orvane {

// The icon shown for a requested index: at or beyond the list's count the last
// icon, below 0 the first; without icons 0.
int ClampIconIndex(int index, int count);

// A left press starts a timer of the double-click time; a release before it
// runs out leaves the click pending until the timer decides, so that the two
// presses of a double click never raise a single click first.
class TrayClickTracker {
public:
    // Returns true: start (restart) the click timer.
    bool LeftDown();
    // Returns true when the click is raised now (the timer had already run out).
    bool LeftUp();
    void DoubleClick();
    // The click timer's tick; the timer stops. True: raise the click.
    bool TimerElapsed();

    bool TimerRunning() const { return timerRunning_; }
    bool ClickPending() const { return clickPending_; }

private:
    bool timerRunning_ = false;
    bool leftPressed_ = false;
    bool clickPending_ = false;
    bool doubleClicked_ = false;
};

}  // namespace orvane
