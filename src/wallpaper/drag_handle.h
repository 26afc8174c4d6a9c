#pragma once
// A transparent child window that wraps controls of one parent and lets the
// user move and resize them with the mouse (eight grips) or nudge them with
// the arrow keys. Only the grips are painted; what lies beneath shows
// through. The arithmetic lives in core/drag_math.h. The window class is
// named "TDragHandle": other programs and the end-to-end tests find the
// handle by that name.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "core/wallpaper/drag_math.h"
#include "core/error.h"
#include "win32/window.h"

namespace orvane {

// Raised when a top-level window is offered to a handle.
class NotAChildControl : public Error {
public:
    NotAChildControl() : Error("Handles can not be attached to a Form!") {}
};

// Something a handle can wrap: a child window, or a windowless control that
// its parent paints (the preview's overlay). Bounds are in the parent's
// client coordinates.
class DragTarget {
public:
    virtual ~DragTarget() = default;
    // The window the control lies in; nullptr for a top-level window (a form).
    virtual HWND ParentWindow() const = 0;
    virtual drag::Bounds Bounds() const = 0;
    virtual void SetBounds(const drag::Bounds& bounds) = 0;
    // The child window itself, when the control is one.
    virtual HWND Window() const { return nullptr; }
};

class DragHandle : public win::Window {
public:
    explicit DragHandle(win::UiContext& ui);
    ~DragHandle() override;

    // Creates the window, 24 x 24, disabled and hidden, inside `home`: a child
    // window always needs a parent, so a detached handle rests there. The
    // grips take the DPI of `home`.
    void Create(HWND home, int left = 0, int top = 0);

    // Wraps a control. Throws NotAChildControl for a top-level window. The handle
    // keeps a reference: the target must outlive its attachment.
    void Attach(DragTarget& control);
    // Wraps a child window (the handle keeps its own adapter for it).
    void Attach(HWND control);
    void DetachAll();
    int AttachedCount() const { return static_cast<int>(attached_.size()); }
    bool IsAttached(const DragTarget& control) const;

    // Outer bounds in the parent's client coordinates. Setting them moves and
    // resizes every attached control by the same differences.
    drag::Bounds Bounds() const { return bounds_; }
    void SetBounds(const drag::Bounds& b);
    void SetLeft(int v);
    void SetTop(int v);
    void SetWidth(int v);
    void SetHeight(int v);
    int ClientWidth() const { return bounds_.width; }
    int ClientHeight() const { return bounds_.height; }

    COLORREF Color() const { return color_; }
    void SetColor(COLORREF c);
    COLORREF SecondaryColor() const { return secondaryColor_; }
    void SetSecondaryColor(COLORREF c);

    int GridX() const { return gridX_; }
    int GridY() const { return gridY_; }
    void SetGrid(int x, int y);
    bool SnapToGrid() const { return gridX_ > 1 || gridY_ > 1; }
    void SetSnapToGrid(bool on) { SetGrid(on ? 8 : 1, on ? 8 : 1); }

    bool Locked() const { return locked_; }
    void SetLocked(bool locked) { locked_ = locked; }

    // The grips and their hit areas are drag::kGripSize pixels at 96 DPI and
    // scale with the DPI of the window the handle lies in. The handle follows
    // WM_DPICHANGED_AFTERPARENT itself, but only per-monitor awareness v2
    // (Windows 10 1703 on) sends that to child windows: a parent that handles
    // WM_DPICHANGED passes the new DPI on.
    void SetDpi(int dpi);
    int Dpi() const { return dpi_; }
    int GripSize() const { return gripSize_; }

    bool Dragging() const { return dragging_; }
    drag::Mode DragMode() const { return mode_; }
    // Outline last drawn on the screen during a drag (screen coordinates);
    // empty when none.
    RECT FeedbackRect() const { return feedback_; }

    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetVisible(bool visible);
    bool Visible() const;
    // The window the handle currently lies in (nullptr when detached).
    HWND ParentWindow() const { return parent_; }

    // Paints the grips into `dc`, whose origin is the parent's client origin:
    // the parent draws them into its own off-screen picture, so the grips are
    // there whatever the order of the two paints.
    void PaintGrips(HDC dc, int originX, int originY) const;

    // Raised when the left button is released at the end of a drag (a press
    // over the control and its release, moved or not), once the new bounds
    // are applied.
    std::function<void()> onDragEnd;
    // Raised after an arrow key moved the handle (which ends no drag).
    std::function<void()> onNudge;
    // Raised for a context menu request over the handle, at a screen point:
    // a right click, or (-1, -1) from the keyboard (the menu key, Shift+F10).
    std::function<void(POINT screen)> onContextMenu;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Entry {
        DragTarget* target;
        std::unique_ptr<DragTarget> owned;
    };

    void AttachEntry(Entry entry);
    void ApplyWindowBounds(const drag::Bounds& oldBounds);
    void InvalidateParentArea(const drag::Bounds& b) const;

    void Paint();
    void MouseMove(WPARAM keys, POINT p);
    void LeftButtonDown(WPARAM keys, POINT p);
    void LeftButtonUp(WPARAM keys, POINT p);
    void PassOn(UINT msg, WPARAM keys, POINT p);
    bool InsideAttachedControl(POINT p) const;
    void KeyDown(WPARAM key, LPARAM lp);
    void CancelDrag();
    void ContextMenuFromKeyboard();
    void DrawFeedback(const drag::Bounds& prospective);
    void EraseFeedback();
    void ShowCursorFor(drag::Cursor c);
    bool SetCursorMessage(LPARAM lp);
    void TakeFocus();

    HWND home_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<Entry> attached_;
    drag::Bounds bounds_{0, 0, 24, 24};
    COLORREF color_ = RGB(0, 0, 0);
    COLORREF secondaryColor_ = RGB(128, 128, 128);
    int gridX_ = 1;
    int gridY_ = 1;
    bool locked_ = false;
    bool dragging_ = false;
    bool enabled_ = false;
    bool visible_ = false;
    drag::Point start_;
    drag::Mode mode_ = drag::Mode::Move;
    RECT feedback_{};
    HCURSOR cursor_ = nullptr;
    int dpi_ = 96;
    int gripSize_ = drag::kGripSize;
};

}  // namespace orvane
