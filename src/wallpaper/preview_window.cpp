#include "wallpaper/preview_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "core/wallpaper/calendar.h"
#include "core/wallpaper/composition.h"
#include "core/picture/image.h"
#include "core/picture/resample.h"
#include "core/wallpaper/wallpaper_composer.h"
#include "wallpaper/resources/resource_ids.h"
#include "win32/dib_section.h"
#include "win32/dpi.h"
#include "win32/gdi_canvas.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace orvane {

namespace {

// The picture over the whole preview as the wallpaper places it: filled or
// fitted by the composer of the wallpaper itself (from the copy kept for the
// preview, no second decode); in the other modes stretched, as always.
Image32 PlacedForPreview(const Image32& kept, int pictureWidth, int pictureHeight, std::int32_t storedMode, int width,
                         int height) {
    const WallpaperMode mode = ModeFromStored(storedMode);
    if (mode != WallpaperMode::Fill && mode != WallpaperMode::Fit) return Resample(kept, width, height);
    PictureSource source;
    source.width = pictureWidth;
    source.height = pictureHeight;
    source.decodeWithin = [&kept](int, int) { return kept; };
    source.decodeWhole = [&kept] { return kept; };
    ScreenComposition screen;
    screen.mode = mode;
    screen.screenWidth = width;
    screen.screenHeight = height;
    screen.backgroundColour = ::GetSysColor(COLOR_BACKGROUND);
    return ComposeScreenWallpaper(source, screen, {});
}

}  // namespace

namespace {

// A windowless control that the preview paints itself, so that the calendar
// can be composited over the picture with white shown as transparent.
class CalendarOverlay : public DragTarget {
public:
    explicit CalendarOverlay(const HWND& owner) : owner_(owner) {}
    HWND ParentWindow() const override { return owner_; }
    drag::Bounds Bounds() const override { return bounds_; }
    void SetBounds(const drag::Bounds& b) override {
        Invalidate();
        bounds_ = b;
        Invalidate();
    }
    bool visible = false;

    void SetVisible(bool v) {
        if (v == visible) return;
        visible = v;
        Invalidate();
    }
    void Invalidate() const {
        if (!owner_) return;
        RECT r{bounds_.left, bounds_.top, bounds_.left + std::max(bounds_.width, 0),
               bounds_.top + std::max(bounds_.height, 0)};
        ::InvalidateRect(owner_, &r, FALSE);
    }

private:
    const HWND& owner_;  // the preview's window, set once it exists
    drag::Bounds bounds_{232, 184, 145, 73};  // where the window's design put it
};


bool RunFontDialog(HWND owner, LOGFONTW& font) {
    LOGFONTW chosen = font;
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = owner;
    cf.lpLogFont = &chosen;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    // Common dialogs disable only their owner; the program's other windows
    // are disabled too, as for every modal window of the program.
    const win::OtherWindowsDisabled guard(owner);
    if (!::ChooseFontW(&cf)) return false;
    font = chosen;
    return true;
}

bool RunColorDialog(HWND owner, COLORREF& colour, COLORREF (&custom)[16]) {
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = owner;
    cc.rgbResult = colour;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    // Common dialogs disable only their owner; the program's other windows
    // are disabled too, as for every modal window of the program.
    const win::OtherWindowsDisabled guard(owner);
    if (!::ChooseColorW(&cc)) return false;
    colour = cc.rgbResult;
    return true;
}

// A sub-menu goes to its parent only once appended: until then it is ours to
// destroy, afterwards the parent's.
void AppendSubMenu(HMENU parent, win::Menu sub, const wchar_t* text) {
    if (::AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()), text)) sub.release();
}

win::Menu BuildCalendarMenu() {
    using C = PreviewWindow::Command;
    win::Menu fonts(::CreatePopupMenu());
    ::AppendMenuW(fonts.get(), MF_STRING, C::kMonthFontCommand, L"&Mois");
    ::AppendMenuW(fonts.get(), MF_STRING, C::kWeekdayFontCommand, L"&Jour de la semaine");
    ::AppendMenuW(fonts.get(), MF_STRING, C::kDayNumberFontCommand, L"J&our");
    win::Menu colours(::CreatePopupMenu());
    ::AppendMenuW(colours.get(), MF_STRING, C::kMonthColourCommand, L"&Mois");
    ::AppendMenuW(colours.get(), MF_STRING, C::kWeekdayColourCommand, L"&Jour de la semaine");
    ::AppendMenuW(colours.get(), MF_STRING, C::kDayNumberColourCommand, L"J&our");
    ::AppendMenuW(colours.get(), MF_STRING, C::kTodayColourCommand, L"Jour &courrant");
    ::AppendMenuW(colours.get(), MF_STRING, C::kNormalDayColourCommand, L"Fond &normal");
    ::AppendMenuW(colours.get(), MF_STRING, C::kNonWorkDayColourCommand, L"Fond &férie");
    ::AppendMenuW(colours.get(), MF_STRING, C::kWeekEndColourCommand, L"&Week End");
    win::Menu corners(::CreatePopupMenu());
    ::AppendMenuW(corners.get(), MF_STRING, C::kTopLeftCommand, L"En haut à &gauche");
    ::AppendMenuW(corners.get(), MF_STRING, C::kTopRightCommand, L"En haut à &droite");
    ::AppendMenuW(corners.get(), MF_STRING, C::kBottomLeftCommand, L"En bas à g&auche");
    ::AppendMenuW(corners.get(), MF_STRING, C::kBottomRightCommand, L"En bas à d&roite");
    win::Menu root(::CreatePopupMenu());
    AppendSubMenu(root.get(), std::move(fonts), L"&Fontes");
    AppendSubMenu(root.get(), std::move(colours), L"&Couleurs");
    AppendSubMenu(root.get(), std::move(corners), L"&Position");
    return root;
}

}  // namespace

struct PreviewWindow::Impl {
    HWND self = nullptr;  // the preview's window, for the overlay
    DragHandle handle;
    CalendarOverlay overlay{self};
    SIZE overlaySize{0, 0};
    win::Menu menu;
    LOGFONTW lastFont{};  // the font dialog's, kept between its uses
    COLORREF lastColour = RGB(0, 0, 0);
    COLORREF customColours[16] = {};  // the colour dialog's, for the session
    HandlePlacement placement;

    win::DibSurface buffer;          // the off-screen picture of the whole client area
    win::DibSurface overlayOnWhite;  // the visible part of the calendar, on white
    win::DibSurface overlayOnBlack;  // the same, on black
    Image32 scaled;                  // the picture resampled to the client size
    std::uint64_t scaledVersion = 0;  // the model's PictureVersion it was made from
    std::int32_t scaledMode = 0;      // and the WallPaperMode it was placed for
    bool inSizeMove = false;
    SIZE lastClient{-1, -1};

    explicit Impl(win::UiContext& ui) : handle(ui) {
        lastFont.lfHeight = -11;
        lastFont.lfWeight = FW_NORMAL;
        lastFont.lfCharSet = DEFAULT_CHARSET;
        std::wcscpy(lastFont.lfFaceName, L"MS Sans Serif");
    }

    void DropSurfaces() {
        buffer = win::DibSurface();
        overlayOnWhite = win::DibSurface();
        overlayOnBlack = win::DibSurface();
        scaled = Image32();
        scaledVersion = 0;
    }
};

PreviewWindow::PreviewWindow(win::UiContext& ui, WallpaperModel& model)
    : win::Window(ui), model_(model), impl_(std::make_unique<Impl>(ui)) {
    chooseFont = &RunFontDialog;
    chooseColour = [this](HWND owner, COLORREF& colour) { return RunColorDialog(owner, colour, impl_->customColours); };
    model_.AddObserver(*this);
}

PreviewWindow::~PreviewWindow() {
    model_.RemoveObserver(*this);
    // Members go before the base: the handle's window is destroyed with
    // impl_, while this window still exists; it lets go of the overlay first.
    impl_->handle.DetachAll();
}

void PreviewWindow::Create() {
    win::WindowClassSpec windowClass{L"TPreview"};
    windowClass.background = nullptr;  // every pixel comes from the off-screen picture
    windowClass.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    windowClass.smallIcon = windowClass.icon;
    CreateWindowOfClass(windowClass, 0, WS_OVERLAPPEDWINDOW, L"Visualisation", CW_USEDEFAULT, CW_USEDEFAULT,
                        win::Scale(402), win::Scale(298), nullptr);
    Impl& m = *impl_;
    m.self = hwnd();
    m.menu = BuildCalendarMenu();
    m.handle.Create(hwnd(), 104, 136);
    m.handle.onDragEnd = [this] { StoreCalendarMovedByUser(); };
    m.handle.onContextMenu = [this](POINT p) { OpenCalendarMenu(p); };
    // A nudge with the arrow keys is a move like a drag: without this the
    // calendar would jump back to the stored rectangle at the next showing.
    m.handle.onNudge = [this] { StoreCalendarMovedByUser(); };
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    m.lastClient = {c.right, c.bottom};
}

DragHandle& PreviewWindow::CalendarHandle() { return impl_->handle; }
HMENU PreviewWindow::CalendarMenu() const { return impl_->menu.get(); }
drag::Bounds PreviewWindow::CalendarOverlayBounds() const { return impl_->overlay.Bounds(); }
bool PreviewWindow::CalendarOverlayVisible() const { return impl_->overlay.visible; }
SIZE PreviewWindow::OverlaySize() const { return impl_->overlaySize; }

SIZE PreviewWindow::OuterSize() const {
    RECT r{};
    if (::IsIconic(hwnd())) {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        ::GetWindowPlacement(hwnd(), &wp);
        r = wp.rcNormalPosition;
    } else {
        ::GetWindowRect(hwnd(), &r);
    }
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// ---- placement and showing ------------------------------------------------------

void PreviewWindow::PlaceBeside(const RECT& mainWindowRect) {
    const SIZE outer = OuterSize();
    SetPosInput in;
    in.mainLeft = mainWindowRect.left;
    in.mainTop = mainWindowRect.top;
    in.mainWidth = mainWindowRect.right - mainWindowRect.left;
    in.previewWidth = outer.cx;
    in.previewHeight = outer.cy;
    in.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    in.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    if (model_.HasPicture()) {
        in.pictureWidth = model_.PictureWidth();
        in.pictureHeight = model_.PictureHeight();
    }
    const WindowPlace p = ComputeSetPos(in);
    if (::IsIconic(hwnd()) || ::IsZoomed(hwnd())) {
        // Placed for when it is restored; its current state is the user's.
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        ::GetWindowPlacement(hwnd(), &wp);
        wp.rcNormalPosition = RECT{p.left, p.top, p.left + p.width, p.top + p.height};
        wp.showCmd = ::IsWindowVisible(hwnd()) ? wp.showCmd : SW_HIDE;
        ::SetWindowPlacement(hwnd(), &wp);
        return;
    }
    ::SetWindowPos(hwnd(), nullptr, p.left, p.top, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PreviewWindow::ShowPreview() { ::ShowWindow(hwnd(), SW_SHOW); }
void PreviewWindow::HidePreview() { ::ShowWindow(hwnd(), SW_HIDE); }
bool PreviewWindow::Visible() const { return ::IsWindowVisible(hwnd()) != FALSE; }
void PreviewWindow::Close() { ::SendMessageW(hwnd(), WM_CLOSE, 0, 0); }

void PreviewWindow::HideAndTellOwner() {
    ::ShowWindow(hwnd(), SW_HIDE);
    if (onClosed) onClosed();
}

// ---- the model's news -------------------------------------------------------------

void PreviewWindow::OnCurrentPictureChanged() {
    impl_->scaled = Image32();
    if (model_.HasPicture()) impl_->handle.SetColor(ComplementColour(model_.TopLeftPixel()));
    // Before Create there is nothing to repaint (and a null window would
    // invalidate every window of the desktop).
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void PreviewWindow::OnSettingsApplied(bool calendarWasOn) {
    const bool calendar = model_.Settings().Calendar;
    SetCalendarVisible(calendar);
    if (!Visible() || !calendar) return;
    // A calendar switched on just now has its handle still at its initial
    // bounds: place it from the stored rectangle first, so that taking the
    // rectangle back keeps the user's one.
    if (!calendarWasOn) PlaceHandleAtStoredRect();
    TakeRectBackFromHandle();
    AttachHandleToOverlay();
    RepaintNow();
}

// ---- calendar rectangle -----------------------------------------------------

PreviewScale PreviewWindow::CurrentScale() const {
    const SIZE outer = OuterSize();
    return ComputePreviewScale(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), outer.cx, outer.cy);
}

void PreviewWindow::PlaceHandleAtStoredRect() {
    const drag::Bounds b = impl_->placement.Place(
        model_.CalendarRectOnScreen(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)), CurrentScale());
    // One side at a time, left and width first: the overlay follows each change.
    DragHandle& h = impl_->handle;
    h.SetLeft(b.left);
    h.SetWidth(b.width);
    h.SetTop(b.top);
    h.SetHeight(b.height);
}

void PreviewWindow::TakeRectBackFromHandle() {
    // Unmoved, the handle shows the stored rectangle (scaled to this screen
    // when it was set on another): the stored one stays as the user set it.
    if (!impl_->placement.MovedByUser()) return;
    model_.MoveCalendar(impl_->placement.OnScreen(impl_->handle.Bounds(), CurrentScale()));
}

void PreviewWindow::FitOverlay() {
    impl_->overlaySize = SIZE{std::max(impl_->handle.ClientWidth(), 0), std::max(impl_->handle.ClientHeight(), 0)};
}

void PreviewWindow::InvalidateCalendar() {
    // The calendar is drawn afresh at every paint of the overlay's area; here
    // that area and the grips above it are marked for the next one.
    impl_->overlay.Invalidate();
    ::InvalidateRect(impl_->handle.hwnd(), nullptr, FALSE);
}

void PreviewWindow::SetCalendarVisible(bool visible) {
    impl_->overlay.SetVisible(visible);
    impl_->handle.SetEnabled(visible);
}

void PreviewWindow::AttachHandleToOverlay() {
    const bool first = !impl_->handle.IsAttached(impl_->overlay);
    impl_->handle.Attach(impl_->overlay);
    // A first attachment wraps the overlay where the design put it; the
    // calendar belongs at the stored rectangle (the settings' news attach
    // without placing when the calendar is switched on with the preview open).
    if (first) PlaceHandleAtStoredRect();
}

void PreviewWindow::RepaintNow() {
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// ---- the user's doings ------------------------------------------------------------

void PreviewWindow::LayOutCalendarOnShow() {
    const bool calendar = model_.Settings().Calendar;
    impl_->overlay.SetVisible(calendar);
    if (calendar) {
        AttachHandleToOverlay();
        PlaceHandleAtStoredRect();
    }
    if (impl_->overlay.visible) {
        FitOverlay();
        InvalidateCalendar();
    }
}

void PreviewWindow::LayOutCalendarAfterResize() {
    // The handle follows the stored rectangle, which stays as it is.
    if (!model_.Settings().Calendar) return;
    AttachHandleToOverlay();
    PlaceHandleAtStoredRect();
    FitOverlay();
    InvalidateCalendar();
}

void PreviewWindow::StoreCalendarMovedByUser() {
    // Kept in the model only: the settings reach the store with the next save.
    if (!impl_->overlay.visible) return;
    impl_->placement.UserLeftAt(impl_->handle.Bounds());
    TakeRectBackFromHandle();
    FitOverlay();
    InvalidateCalendar();
}

// Accepted or cancelled, the calendar is redrawn and the settings saved; a
// failed save goes to the message dispatch, which shows the error box.
void PreviewWindow::ChooseCalendarFont(CalendarText text) {
    std::optional<std::string> face;
    if (chooseFont && chooseFont(hwnd(), impl_->lastFont)) face = win::Narrow(impl_->lastFont.lfFaceName);  // the face only
    InvalidateCalendar();
    model_.SetCalendarFont(text, face);
}

void PreviewWindow::ChooseCalendarColour(CalendarColour colour) {
    std::optional<std::uint32_t> value;
    if (chooseColour && chooseColour(hwnd(), impl_->lastColour)) value = impl_->lastColour;
    InvalidateCalendar();
    model_.SetCalendarColour(colour, value);
}

void PreviewWindow::PlaceCalendarAtCorner(Corner corner) {
    const SIZE outer = OuterSize();
    const drag::Bounds b = CornerBounds(corner, outer.cx, outer.cy);
    DragHandle& h = impl_->handle;
    h.SetLeft(b.left);
    h.SetTop(b.top);
    h.SetWidth(b.width);
    h.SetHeight(b.height);
    model_.PlaceCalendarInCorner(HandleToCalendar(h.Bounds(), CurrentScale()));
    LayOutCalendarOnShow();
    InvalidateCalendar();
}

void PreviewWindow::OnCommand(UINT id) {
    switch (id) {
        case kMonthFontCommand: ChooseCalendarFont(CalendarText::Month); break;
        case kWeekdayFontCommand: ChooseCalendarFont(CalendarText::Weekday); break;
        case kDayNumberFontCommand: ChooseCalendarFont(CalendarText::DayNumber); break;
        case kMonthColourCommand: ChooseCalendarColour(CalendarColour::Month); break;
        case kWeekdayColourCommand: ChooseCalendarColour(CalendarColour::Weekday); break;
        case kDayNumberColourCommand: ChooseCalendarColour(CalendarColour::DayNumber); break;
        case kTodayColourCommand: ChooseCalendarColour(CalendarColour::Today); break;
        case kNormalDayColourCommand: ChooseCalendarColour(CalendarColour::NormalDay); break;
        case kNonWorkDayColourCommand: ChooseCalendarColour(CalendarColour::NonWorkDay); break;
        case kWeekEndColourCommand: ChooseCalendarColour(CalendarColour::WeekEnd); break;
        case kTopLeftCommand: PlaceCalendarAtCorner(Corner::TopLeft); break;
        case kTopRightCommand: PlaceCalendarAtCorner(Corner::TopRight); break;
        case kBottomLeftCommand: PlaceCalendarAtCorner(Corner::BottomLeft); break;
        case kBottomRightCommand: PlaceCalendarAtCorner(Corner::BottomRight); break;
        default: break;
    }
}

void PreviewWindow::OpenCalendarMenu(POINT screen) {
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: open at the handle's top-left corner.
        RECT r{};
        ::GetWindowRect(impl_->handle.hwnd(), &r);
        screen = POINT{r.left, r.top};
    }
    // Without the foreground the menu would stay open after a click elsewhere.
    ::SetForegroundWindow(hwnd());
    ::TrackPopupMenu(impl_->menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
}

void PreviewWindow::GiveFocusToHandle() {
    DragHandle& h = impl_->handle;
    if (h.AttachedCount() > 0 && h.Enabled() && ::IsWindowVisible(h.hwnd())) ::SetFocus(h.hwnd());
}

// ---- size, DPI, display -------------------------------------------------------------

void PreviewWindow::OnSize(WPARAM kind) {
    if (kind == SIZE_MINIMIZED) return;  // a minimised window shows nothing
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    if (c.right == impl_->lastClient.cx && c.bottom == impl_->lastClient.cy) return;
    RelayOutClient();
}

void PreviewWindow::RelayOutClient() {
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    impl_->lastClient = {c.right, c.bottom};
    LayOutCalendarAfterResize();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void PreviewWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    Impl& m = *impl_;
    m.handle.SetDpi(dpi);
    m.DropSurfaces();
    // The suggested rectangle is the window's size at the new DPI. The size
    // change lays the calendar out again; should the client size stay the
    // same, that is done here.
    m.lastClient = {-1, -1};
    ::SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (m.lastClient.cx < 0 && !::IsIconic(hwnd())) RelayOutClient();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void PreviewWindow::OnDisplayChanged() {
    // The window stands for the screen, whose size just changed: the handle
    // is placed again from the stored rectangle (which stays as it is), so
    // that it shows where the wallpaper, composed again by the model, has it.
    if (impl_->overlay.visible && impl_->handle.IsAttached(impl_->overlay)) {
        PlaceHandleAtStoredRect();
        FitOverlay();
    }
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---- painting -------------------------------------------------------------------

void PreviewWindow::OnPaint() {
    const win::PaintDc paint(hwnd());
    PaintClient(paint.get(), paint.area());
}

// Builds the whole client area off screen (picture, calendar, grips) and
// copies the asked part in one go: nothing flickers. Never throws: a paint
// that failed would come back at once and forever.
void PreviewWindow::PaintClient(HDC target, const RECT& area) noexcept {
    try {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        const int cw = client.right, ch = client.bottom;
        Impl& m = *impl_;
        if (!m.buffer.Ensure(cw, ch)) return;
        HDC buf = m.buffer.dc();

        // The picture, stretched to the whole area.
        bool drawn = false;
        const Image32& img = model_.PicturePixels();
        if (model_.HasPicture() && !img.empty()) {
            const std::uint64_t version = model_.PictureVersion();
            const auto cached = [&] {
                return m.scaledVersion == version && m.scaledMode == model_.Settings().WallPaperMode &&
                       m.scaled.width == cw && m.scaled.height == ch;
            };
            if (!cached() && !m.inSizeMove) {
                try {
                    m.scaled = PlacedForPreview(img, model_.PictureWidth(), model_.PictureHeight(),
                                                model_.Settings().WallPaperMode, cw, ch);
                    m.scaledVersion = version;
                    m.scaledMode = model_.Settings().WallPaperMode;
                } catch (...) {
                    m.scaled = Image32();
                }
            }
            if (cached()) {
                std::memcpy(m.buffer.bits(), m.scaled.pixels.data(), m.scaled.pixels.size() * sizeof(std::uint32_t));
                drawn = true;
            } else {
                // While the user drags the frame: a quick halftone stretch,
                // resampled properly once the sizing ends.
                const BITMAPINFO bi = win::TopDown32BitmapInfo(img.width, img.height);
                ::SetStretchBltMode(buf, HALFTONE);
                ::SetBrushOrgEx(buf, 0, 0, nullptr);
                drawn = ::StretchDIBits(buf, 0, 0, cw, ch, 0, 0, img.width, img.height, img.pixels.data(), &bi,
                                        DIB_RGB_COLORS, SRCCOPY) != 0;
            }
        }
        if (!drawn) ::FillRect(buf, &client, ::GetSysColorBrush(COLOR_APPWORKSPACE));
        ::GdiFlush();

        // The calendar on white, white shown as transparent. It is drawn a
        // second time on black: where the two differ the system smoothed the
        // text edges against the background, and the difference is how much
        // of the picture shows through there, so small letters keep their
        // colour instead of a pale fringe.
        if (m.overlay.visible) {
            const drag::Bounds b = m.overlay.Bounds();
            RECT control{b.left, b.top, b.left + std::max(b.width, 0), b.top + std::max(b.height, 0)};
            RECT visible{};
            if (::IntersectRect(&visible, &control, &client) &&
                m.overlayOnWhite.Ensure(visible.right - visible.left, visible.bottom - visible.top) &&
                m.overlayOnBlack.Ensure(visible.right - visible.left, visible.bottom - visible.top)) {
                // Laid out once, with the model's date and names, as the
                // wallpaper is: the two surfaces measure text alike.
                const WallpaperSettings& s = model_.Settings();
                std::optional<CalendarLayout> layout;
                for (win::DibSurface* surface : {&m.overlayOnWhite, &m.overlayOnBlack}) {
                    HDC ov = surface->dc();
                    POINT oldOrg{};
                    ::SetViewportOrgEx(ov, control.left - visible.left, control.top - visible.top, &oldOrg);
                    ::PatBlt(ov, 0, 0, b.width, b.height, surface == &m.overlayOnWhite ? WHITENESS : BLACKNESS);
                    {
                        win::GdiCanvas canvas(ov);
                        if (!layout) {
                            CanvasTextMeasure measure(canvas);
                            layout = LayOutCalendar(measure, CalendarRect{0, 0, b.width, b.height},
                                                    model_.CalendarDate(), s.RefDay, s, model_.CalendarNames());
                        }
                        PaintCalendar(canvas, *layout);
                    }
                    ::SetViewportOrgEx(ov, oldOrg.x, oldOrg.y, nullptr);
                }
                ::GdiFlush();
                const int ow = m.overlayOnWhite.width();
                for (int y = 0; y < m.overlayOnWhite.height(); ++y) {
                    const std::size_t row = static_cast<std::size_t>(y) * ow;
                    const std::uint32_t* onWhite = m.overlayOnWhite.bits() + row;
                    const std::uint32_t* onBlack = m.overlayOnBlack.bits() + row;
                    std::uint32_t* dst =
                        m.buffer.bits() + static_cast<std::size_t>(y + visible.top) * cw + visible.left;
                    for (int x = 0; x < ow; ++x) dst[x] = CompositeOverlayPixel(onWhite[x], onBlack[x], dst[x]);
                }
            }
        }

        // The grips, so that they are there whichever of the two windows
        // paints last.
        m.handle.PaintGrips(buf, 0, 0);
        ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, buf, area.left,
                 area.top, SRCCOPY);
    } catch (...) {
        // Drawing resources ran out: what is on the screen stays.
    }
}

LRESULT PreviewWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: {
            RECT c{};
            ::GetClientRect(hwnd(), &c);
            PaintClient(reinterpret_cast<HDC>(wp), c);
            return 0;
        }
        // lParam 0: shown by a call, not because an owner was shown or restored.
        case WM_SHOWWINDOW: if (wp && lp == 0) LayOutCalendarOnShow(); return Default(msg, wp, lp);
        case WM_CLOSE: HideAndTellOwner(); return 0;
        case WM_SIZE: OnSize(wp); return 0;
        case WM_ENTERSIZEMOVE: impl_->inSizeMove = true; return 0;
        case WM_EXITSIZEMOVE: impl_->inSizeMove = false; ::InvalidateRect(hwnd(), nullptr, FALSE); return 0;
        case WM_GETMINMAXINFO: {
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMinTrackSize = POINT{kMinPreviewWidth, kMinPreviewHeight};
            return 0;
        }
        case WM_DPICHANGED: OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp)); return 0;
        case WM_DISPLAYCHANGE: OnDisplayChanged(); return 0;
        case WM_SETFOCUS: GiveFocusToHandle(); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wp)); return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace orvane
