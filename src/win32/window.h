#pragma once
// One small base for every window of the programs: registers its class once,
// keeps `this` in the window from WM_NCCREATE on, and turns exceptions thrown
// by handlers into the application's error box, so nothing throws through a
// Win32 callback.
#include <windows.h>

#include <exception>
#include <map>
#include <string>
#include <vector>

namespace win {

struct WindowClassSpec {
    const wchar_t* name;
    UINT style = CS_HREDRAW | CS_VREDRAW;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;  // nullptr: the arrow
};

class UiContext;

class Window {
public:
    // `ui` is the program's context the window reports its errors to; it
    // outlives the window.
    explicit Window(UiContext& ui) : ui_(&ui) {}
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }
    UiContext& Ui() const { return *ui_; }

    // The Window object that owns hwnd, or nullptr for foreign windows.
    static Window* FromHandle(HWND hwnd);

protected:
    void CreateWindowOfClass(const WindowClassSpec& cls, DWORD exStyle, DWORD style, const std::wstring& title, int x, int y,
                int width, int height, HWND parent, HMENU menuOrId = nullptr);

    // One line per message in the derived classes; unhandled ones go to Default.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }

    // Called after WM_NCDESTROY; the handle is gone.
    virtual void OnDestroyed() {}

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    UiContext* ui_;
    HWND hwnd_ = nullptr;
};

// What the windows of one program share, made by its entry (or a test's
// set-up) and given to each of them: the title of its message boxes, what
// becomes of an error caught at a dispatch boundary, whether an error box is
// open, and the modal loops running.
class UiContext {
public:
    // What to do with an exception caught at a dispatch boundary.
    using ErrorHandler = void (*)(UiContext& ui, HWND owner, const std::exception& e);

    // Without a handler, errors show the error box (stop icon, `title`, the
    // error's text).
    explicit UiContext(std::wstring title, ErrorHandler handler = nullptr);
    UiContext(const UiContext&) = delete;
    UiContext& operator=(const UiContext&) = delete;

    // Title of the standard message boxes ("Orvane Wallpaper Changer").
    const std::wstring& Title() const { return title_; }

    // ---- errors at the dispatch boundary ----
    void ReportError(HWND owner, const std::exception& e) noexcept;
    void ReportUnknownError(HWND owner) noexcept;

    // The standard error box. While one is open another error is not stacked
    // on it (timers keep ticking inside its modal loop); returns false then.
    bool ShowErrorBox(HWND owner, const std::wstring& text);

    // Runs `f` and reports anything it throws; for callbacks outside Window.
    template <typename F>
    void Guarded(HWND owner, F&& f) noexcept {
        try {
            f();
        } catch (const std::exception& e) {
            ReportError(owner, e);
        } catch (...) {
            ReportUnknownError(owner);
        }
    }

    // ---- modal windows ----
    // Shows `dialog` modally: disables the other top-level windows of the
    // thread, runs a nested message loop (timers and the tray keep working)
    // until EndModal, then re-enables them. Returns the modal result.
    int RunModal(HWND dialog, HWND owner);
    void EndModal(HWND dialog, int result);
    bool IsModalRunning(HWND dialog) const;

private:
    struct ModalState {
        bool running = false;
        int result = 0;
    };

    std::wstring title_;
    ErrorHandler handler_;
    bool errorBoxOpen_ = false;
    std::map<HWND, ModalState> modals_;
};

// ---- modal windows ----------------------------------------------------------

// For its lifetime, the thread's other visible and enabled top-level windows
// (all but `except`) are disabled, as a modal window has them; they are
// enabled again at the end, those that still exist.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND except);
    ~OtherWindowsDisabled();
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;
    // Disables one more window for the same lifetime (nothing if already disabled).
    void Add(HWND window);

private:
    std::vector<HWND> disabled_;
};

// Centres a top-level window on the primary screen's work area.
void CenterOnScreen(HWND hwnd);

// Outer size for a wanted client size.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu = false);

}  // namespace win
