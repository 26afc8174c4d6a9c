#include "wallpaper/drag_handle.h"

#include <windowsx.h>

#include <algorithm>

#include "win32/dpi.h"
#include "win32/handles.h"

namespace orvane {

namespace {

// Adapter for a control that is a child window of its own.
class ChildWindowTarget : public DragTarget {
public:
    explicit ChildWindowTarget(HWND hwnd) : hwnd_(hwnd) {}
    HWND ParentWindow() const override {
        if (!(::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD)) return nullptr;
        return ::GetParent(hwnd_);
    }
    drag::Bounds Bounds() const override {
        RECT r{};
        ::GetWindowRect(hwnd_, &r);
        ::MapWindowPoints(nullptr, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void SetBounds(const drag::Bounds& b) override {
        ::SetWindowPos(hwnd_, nullptr, b.left, b.top, std::max(b.width, 0), std::max(b.height, 0),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND Window() const override { return hwnd_; }

private:
    HWND hwnd_;
};

POINT PointOf(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

LPARAM PackPoint(POINT p) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)), static_cast<WORD>(static_cast<short>(p.y)));
}

HCURSOR SystemCursor(drag::Cursor c) {
    switch (c) {
        case drag::Cursor::SizeNWSE: return ::LoadCursorW(nullptr, IDC_SIZENWSE);
        case drag::Cursor::SizeNESW: return ::LoadCursorW(nullptr, IDC_SIZENESW);
        case drag::Cursor::SizeNS: return ::LoadCursorW(nullptr, IDC_SIZENS);
        case drag::Cursor::SizeWE: return ::LoadCursorW(nullptr, IDC_SIZEWE);
        case drag::Cursor::Default: break;
    }
    return ::LoadCursorW(nullptr, IDC_ARROW);
}

constexpr WPARAM kAnyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

}  // namespace

DragHandle::DragHandle(win::UiContext& ui) : win::Window(ui) {}

DragHandle::~DragHandle() {
    if (!::IsRectEmpty(&feedback_)) EraseFeedback();
}

void DragHandle::Create(HWND home, int left, int top) {
    home_ = home;
    bounds_ = {left, top, 24, 24};
    win::WindowClassSpec windowClass{L"TDragHandle"};
    windowClass.style = 0;
    windowClass.background = nullptr;  // nothing is erased: only the grips are drawn
    // A tab stop: the keyboard reaches the handle, for the arrow keys and the
    // context-menu keys, wherever the dialog manager walks its parent.
    CreateWindowOfClass(windowClass, WS_EX_TRANSPARENT, WS_CHILD | WS_CLIPSIBLINGS | WS_DISABLED | WS_TABSTOP, L"",
                        left, top, 24, 24, home);
    SetDpi(win::WindowDpi(home));
}

void DragHandle::SetDpi(int dpi) {
    dpi_ = dpi > 0 ? dpi : 96;
    // Never below the 96-DPI size: smaller grips would only be harder to hit.
    gripSize_ = std::max(drag::kGripSize, ::MulDiv(drag::kGripSize, dpi_, 96));
    if (parent_) InvalidateParentArea(bounds_);
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

bool DragHandle::IsAttached(const DragTarget& control) const {
    return std::any_of(attached_.begin(), attached_.end(), [&](const Entry& e) { return e.target == &control; });
}

void DragHandle::Attach(DragTarget& control) {
    if (!control.ParentWindow()) throw NotAChildControl();
    if (IsAttached(control)) return;
    AttachEntry(Entry{&control, nullptr});
}

void DragHandle::Attach(HWND control) {
    auto target = std::make_unique<ChildWindowTarget>(control);
    if (!::IsWindow(control) || !target->ParentWindow()) throw NotAChildControl();
    for (const Entry& e : attached_)
        if (e.target->Window() == control) return;
    DragTarget* raw = target.get();
    AttachEntry(Entry{raw, std::move(target)});
}

void DragHandle::AttachEntry(Entry entry) {
    DragTarget& control = *entry.target;
    if (!attached_.empty() && control.ParentWindow() != parent_) DetachAll();

    const drag::Bounds old = bounds_;
    if (attached_.empty()) {
        parent_ = control.ParentWindow();
        if (::GetParent(hwnd()) != parent_) ::SetParent(hwnd(), parent_);
        EraseFeedback();
        SetEnabled(true);
        bounds_ = drag::AttachBounds(control.Bounds());
        SetVisible(true);
    } else {
        // Growing to cover one more control leaves the others where they are.
        bounds_ = drag::CoverBounds(bounds_, control.Bounds());
    }
    ApplyWindowBounds(old);
    attached_.push_back(std::move(entry));
    mode_ = drag::Mode::Move;
    ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetCapture(hwnd());
    TakeFocus();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void DragHandle::DetachAll() {
    CancelDrag();
    attached_.clear();
    locked_ = false;
    const drag::Bounds old = bounds_;
    bounds_.width = 24;
    bounds_.height = 24;
    SetEnabled(false);
    SetVisible(false);
    if (parent_) InvalidateParentArea(old);
    parent_ = nullptr;
    if (home_ && ::GetParent(hwnd()) != home_) ::SetParent(hwnd(), home_);
    ::SetWindowPos(hwnd(), nullptr, bounds_.left, bounds_.top, 24, 24, SWP_NOZORDER | SWP_NOACTIVATE);
    if (::GetCapture() == hwnd()) ::ReleaseCapture();
    ::SetRectEmpty(&feedback_);
}

void DragHandle::SetBounds(const drag::Bounds& b) {
    const drag::Bounds old = bounds_;
    if (b == old) return;
    for (Entry& e : attached_) e.target->SetBounds(drag::FollowHandle(e.target->Bounds(), old, b));
    bounds_ = b;
    ApplyWindowBounds(old);
}

void DragHandle::SetLeft(int v) { SetBounds({v, bounds_.top, bounds_.width, bounds_.height}); }
void DragHandle::SetTop(int v) { SetBounds({bounds_.left, v, bounds_.width, bounds_.height}); }
void DragHandle::SetWidth(int v) { SetBounds({bounds_.left, bounds_.top, v, bounds_.height}); }
void DragHandle::SetHeight(int v) { SetBounds({bounds_.left, bounds_.top, bounds_.width, v}); }

void DragHandle::ApplyWindowBounds(const drag::Bounds& oldBounds) {
    // A window cannot be narrower than nothing; the logical bounds keep the
    // value given so that a round trip through the handle loses nothing.
    // No bits are copied: what lay under the grips is the parent's to repaint.
    ::SetWindowPos(hwnd(), nullptr, bounds_.left, bounds_.top, std::max(bounds_.width, 0),
                   std::max(bounds_.height, 0), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    if (parent_) {
        InvalidateParentArea(oldBounds);
        InvalidateParentArea(bounds_);
    }
}

void DragHandle::InvalidateParentArea(const drag::Bounds& b) const {
    if (!parent_) return;
    RECT r{b.left, b.top, b.left + std::max(b.width, 0), b.top + std::max(b.height, 0)};
    ::RedrawWindow(parent_, &r, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void DragHandle::SetColor(COLORREF c) {
    color_ = c;
    if (parent_) InvalidateParentArea(bounds_);
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);  // null would mean every window
}

void DragHandle::SetSecondaryColor(COLORREF c) {
    secondaryColor_ = c;
    if (parent_) InvalidateParentArea(bounds_);
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);  // null would mean every window
}

void DragHandle::SetGrid(int x, int y) {
    gridX_ = std::max(x, 1);
    gridY_ = std::max(y, 1);
}

void DragHandle::SetEnabled(bool enabled) {
    enabled_ = enabled;
    ::EnableWindow(hwnd(), enabled ? TRUE : FALSE);
    if (!enabled) CancelDrag();
}

bool DragHandle::Enabled() const { return enabled_; }

void DragHandle::SetVisible(bool visible) {
    visible_ = visible;
    ::ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

bool DragHandle::Visible() const { return visible_; }

void DragHandle::TakeFocus() {
    if (enabled_ && ::IsWindowVisible(hwnd())) ::SetFocus(hwnd());
}

void DragHandle::PaintGrips(HDC dc, int originX, int originY) const {
    if (!visible_ || attached_.empty()) return;
    const bool one = attached_.size() == 1;
    win::GdiObject brush(::CreateSolidBrush(one ? color_ : secondaryColor_));
    for (const Entry& e : attached_) {
        drag::Rect grips[8];
        const int n = drag::GripRects(drag::Widened(e.target->Bounds()), one, grips, gripSize_);
        for (int i = 0; i < n; ++i) {
            RECT r{grips[i].left + originX, grips[i].top + originY, grips[i].right + originX,
                   grips[i].bottom + originY};
            ::FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
        }
    }
}

void DragHandle::Paint() {
    const win::PaintDc paint(hwnd());
    PaintGrips(paint.get(), -bounds_.left, -bounds_.top);
}

bool DragHandle::InsideAttachedControl(POINT p) const {
    const drag::Point inParent{p.x + bounds_.left, p.y + bounds_.top};
    return std::any_of(attached_.begin(), attached_.end(),
                       [&](const Entry& e) { return drag::Widened(e.target->Bounds()).Contains(inParent); });
}

void DragHandle::ShowCursorFor(drag::Cursor c) {
    cursor_ = locked_ ? ::LoadCursorW(nullptr, IDC_NO) : SystemCursor(c);
    ::SetCursor(cursor_);
}

bool DragHandle::SetCursorMessage(LPARAM lp) {
    if (LOWORD(lp) != HTCLIENT) return false;
    ::SetCursor(cursor_ ? cursor_ : ::LoadCursorW(nullptr, IDC_ARROW));
    return true;
}

void DragHandle::MouseMove(WPARAM keys, POINT p) {
    const bool anyButton = (keys & kAnyButton) != 0;
    if (!anyButton && !dragging_ && ::GetCapture() == hwnd()) ::ReleaseCapture();
    if (!anyButton && !dragging_) {
        const drag::Hit hit = attached_.size() == 1
                                  ? drag::HitTest(p.x, p.y, bounds_.width, bounds_.height, gripSize_)
                                  : drag::Hit{};
        mode_ = hit.mode;
        ShowCursorFor(hit.cursor);
    }
    if ((keys & MK_LBUTTON) && !dragging_ && !locked_ && !attached_.empty()) {
        start_ = {p.x, p.y};
        dragging_ = true;
        ::SetCapture(hwnd());
    }
    // Moves without the left button during a drag are the system's own
    // (a window changed under the pointer); the drag goes on with the next
    // real one, and a lost release ends it through WM_CAPTURECHANGED.
    if (!dragging_ || !(keys & MK_LBUTTON)) return;

    RECT pc{};
    ::GetClientRect(parent_, &pc);
    const drag::Point q = drag::ClampToParent({p.x, p.y}, bounds_, pc.right, pc.bottom);
    if (mode_ == drag::Mode::Move) {
        cursor_ = ::LoadCursorW(nullptr, IDC_SIZEALL);  // the drag cursor
        ::SetCursor(cursor_);
    } else {
        // A resize keeps its grip's cursor while the pointer travels.
        ShowCursorFor(drag::CursorForMode(mode_));
    }
    DrawFeedback(drag::ProspectiveBounds(mode_, q, drag::TableStart(mode_, start_), bounds_, gridX_, gridY_));
}

void DragHandle::LeftButtonDown(WPARAM keys, POINT p) {
    if (!InsideAttachedControl(p)) {
        PassOn(WM_LBUTTONDOWN, keys, p);
        return;
    }
    if (locked_) return;
    // The grip under the press, as the last hover found it; a press that
    // arrives without a hover before it (keyboard focus, synthetic input)
    // still resizes from the grip it lands on.
    if (attached_.size() == 1) mode_ = drag::HitTest(p.x, p.y, bounds_.width, bounds_.height, gripSize_).mode;
    start_ = {p.x, p.y};
    dragging_ = true;
    ::SetCapture(hwnd());
}

void DragHandle::LeftButtonUp(WPARAM keys, POINT p) {
    if (!dragging_) {
        PassOn(WM_LBUTTONUP, keys, p);
        return;
    }
    RECT pc{};
    ::GetClientRect(parent_, &pc);
    const drag::Point q = drag::ClampToParent({p.x, p.y}, bounds_, pc.right, pc.bottom);
    if (!(q == start_)) {
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        SetBounds(drag::ProspectiveBounds(mode_, q, drag::TableStart(mode_, start_), bounds_, gridX_, gridY_));
    }
    EraseFeedback();
    if (parent_) ::RedrawWindow(parent_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    TakeFocus();
    dragging_ = false;
    cursor_ = ::LoadCursorW(nullptr, IDC_ARROW);
    ::SetCursor(cursor_);
    if (::GetCapture() == hwnd()) ::ReleaseCapture();
    if (onDragEnd) onDragEnd();
}

void DragHandle::PassOn(UINT msg, WPARAM keys, POINT p) {
    if (!parent_) return;
    const POINT inParent{p.x + bounds_.left, p.y + bounds_.top};
    for (HWND child = ::GetWindow(parent_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child == hwnd() || !(::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
        if (dynamic_cast<DragHandle*>(win::Window::FromHandle(child))) continue;
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
        if (!::PtInRect(&r, inParent)) continue;
        POINT local = inParent;
        ::MapWindowPoints(parent_, child, &local, 1);
        ::SendMessageW(child, msg, keys, PackPoint(local));
        return;
    }
    ::SendMessageW(parent_, msg, keys, PackPoint(inParent));
}

void DragHandle::KeyDown(WPARAM key, LPARAM lp) {
    switch (key) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: {
            if (attached_.empty()) break;
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            drag::Bounds b = bounds_;
            if (key == VK_LEFT) --b.left;
            if (key == VK_RIGHT) ++b.left;
            if (key == VK_UP) --b.top;
            if (key == VK_DOWN) ++b.top;
            SetBounds(b);
            if (onNudge) onNudge();
            return;
        }
        case VK_APPS:
            ContextMenuFromKeyboard();
            return;
        case VK_ESCAPE:
            if (dragging_) {
                CancelDrag();
                if (::GetCapture() == hwnd()) ::ReleaseCapture();
                return;
            }
            break;
        default:
            break;
    }
    Default(WM_KEYDOWN, key, lp);
}

void DragHandle::ContextMenuFromKeyboard() {
    // No point: (-1, -1), as the system marks a menu asked for from the keyboard.
    if (onContextMenu && !attached_.empty()) onContextMenu(POINT{-1, -1});
}

void DragHandle::CancelDrag() {
    if (!dragging_) return;
    dragging_ = false;
    EraseFeedback();
    cursor_ = ::LoadCursorW(nullptr, IDC_ARROW);
}

void DragHandle::DrawFeedback(const drag::Bounds& prospective) {
    EraseFeedback();
    const drag::Rect area = drag::ControlArea(prospective);
    RECT r{area.left, area.top, area.right, area.bottom};
    ::MapWindowPoints(parent_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (::IsRectEmpty(&r)) return;
    const win::WindowDc screen(nullptr);
    ::DrawFocusRect(screen.get(), &r);
    feedback_ = r;
}

void DragHandle::EraseFeedback() {
    if (::IsRectEmpty(&feedback_)) return;
    // Exclusive-or drawing: the same rectangle again takes it away.
    {
        const win::WindowDc screen(nullptr);
        ::DrawFocusRect(screen.get(), &feedback_);
    }
    ::SetRectEmpty(&feedback_);
}

LRESULT DragHandle::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: Paint(); return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_SETCURSOR: return SetCursorMessage(lp) ? TRUE : Default(msg, wp, lp);
        case WM_MOUSEMOVE: MouseMove(wp, PointOf(lp)); return 0;
        case WM_LBUTTONDOWN: LeftButtonDown(wp, PointOf(lp)); return 0;
        case WM_LBUTTONUP: LeftButtonUp(wp, PointOf(lp)); return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (!InsideAttachedControl(PointOf(lp))) PassOn(msg, wp, PointOf(lp));
            return 0;
        case WM_RBUTTONUP: PassOn(msg, wp, PointOf(lp)); return Default(msg, wp, lp);  // Default asks for the menu
        case WM_MBUTTONUP: PassOn(msg, wp, PointOf(lp)); return 0;
        case WM_CONTEXTMENU: if (onContextMenu) onContextMenu(PointOf(lp)); return 0;
        case WM_KEYDOWN: KeyDown(wp, lp); return 0;
        // Shift+F10 comes as a system key. Kept from the default handling,
        // whose release of F10 would open the window menu as well.
        case WM_SYSKEYDOWN:
            if (wp == VK_F10 && ::GetKeyState(VK_SHIFT) < 0) {
                ContextMenuFromKeyboard();
                return 0;
            }
            return Default(msg, wp, lp);
        // Some systems raise the menu key's context menu on its release too.
        case WM_KEYUP: return wp == VK_APPS ? 0 : Default(msg, wp, lp);
        case WM_CAPTURECHANGED: if (reinterpret_cast<HWND>(lp) != hwnd()) CancelDrag(); return 0;
        case WM_CANCELMODE: CancelDrag(); if (::GetCapture() == hwnd()) ::ReleaseCapture(); return 0;
        case WM_DPICHANGED_AFTERPARENT: SetDpi(win::WindowDpi(hwnd())); return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace orvane
