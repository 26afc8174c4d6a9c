#include "wallpaper/preview_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/calendar.h"
#include "core/resample.h"
#include "wallpaper/main_window.h"
#include "wallpaper/resources/resource_ids.h"
#include "win32/dpi.h"
#include "win32/gdi_canvas.h"
#include "win32/handles.h"
#include "win32/locale_names.h"
#include "win32/strings.h"

namespace orvane {

namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // rows top to bottom, as Image32 holds them
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// A 32-bit top-down DIB section selected into its own memory DC.
struct DibSurface {
    win::MemDc dc;
    win::GdiObject bitmap;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    DibSurface() = default;
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    ~DibSurface() { Release(); }

    void Release() {
        if (dc && previous) ::SelectObject(dc.get(), previous);
        previous = nullptr;
        bitmap.reset();
        dc.reset();
        bits = nullptr;
        width = height = 0;
    }

    // Keeps the surface when the size is already right. False when the
    // system refuses the bitmap (out of memory): nothing is drawn then.
    bool Ensure(int w, int h) {
        if (dc && w == width && h == height) return true;
        Release();
        if (w <= 0 || h <= 0) return false;
        BITMAPINFO bi = TopDown32(w, h);
        void* raw = nullptr;
        win::GdiObject bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &raw, nullptr, 0));
        win::MemDc mem(::CreateCompatibleDC(nullptr));
        if (!bmp || !mem || !raw) return false;
        previous = ::SelectObject(mem.get(), bmp.get());
        dc = std::move(mem);
        bitmap = std::move(bmp);
        bits = static_cast<std::uint32_t*>(raw);
        width = w;
        height = h;
        return true;
    }
};

// The overlay `Image1`: a windowless control that the preview paints itself,
// so that the calendar can be composited over the picture with white shown
// as transparent.
class OverlayImage : public DragTarget {
public:
    explicit OverlayImage(HWND& owner) : owner_(owner) {}
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
    HWND& owner_;
    drag::Bounds bounds_{232, 184, 145, 73};  // design bounds
};

// Common dialogs disable only their owner; the program's other windows are
// disabled too, as for every modal window of the program.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND owner) {
        std::pair<HWND, std::vector<HWND>*> walk{owner, &disabled_};
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND h, LPARAM p) -> BOOL {
                auto* w = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(p);
                if (h != w->first && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) w->second->push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&walk));
        for (HWND h : disabled_) ::EnableWindow(h, FALSE);
    }
    ~OtherWindowsDisabled() {
        for (HWND h : disabled_)
            if (::IsWindow(h)) ::EnableWindow(h, TRUE);
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};

bool RunFontDialog(HWND owner, LOGFONTW& font) {
    LOGFONTW chosen = font;
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = owner;
    cf.lpLogFont = &chosen;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    OtherWindowsDisabled guard(owner);
    if (!::ChooseFontW(&cf)) return false;
    font = chosen;
    return true;
}

bool RunColorDialog(HWND owner, COLORREF& colour) {
    static COLORREF custom[16] = {};  // the dialog's custom colours, for the session
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = owner;
    cc.rgbResult = colour;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    OtherWindowsDisabled guard(owner);
    if (!::ChooseColorW(&cc)) return false;
    colour = cc.rgbResult;
    return true;
}

// One pixel of the overlay over the picture, per channel: where the calendar
// drawn on white and on black agree it covers the picture, except in white
// (the transparent colour); where they differ the picture shows through in
// the proportion of the difference.
std::uint32_t Composite(std::uint32_t onWhite, std::uint32_t onBlack, std::uint32_t picture) {
    onWhite &= 0x00FFFFFFu;
    onBlack &= 0x00FFFFFFu;
    if (onWhite == onBlack) return onWhite == 0x00FFFFFFu ? picture : (onBlack | 0xFF000000u);
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int w = static_cast<int>((onWhite >> shift) & 0xFF);
        const int b = static_cast<int>((onBlack >> shift) & 0xFF);
        const int p = static_cast<int>((picture >> shift) & 0xFF);
        const int through = std::clamp(w - b, 0, 255);
        const int v = std::clamp(b + (through * p + 127) / 255, 0, 255);
        out |= static_cast<std::uint32_t>(v) << shift;
    }
    return out;
}

win::Menu BuildPopupMenu() {
    HMENU fontes = ::CreatePopupMenu();
    ::AppendMenuW(fontes, MF_STRING, kMois1, L"&Mois");
    ::AppendMenuW(fontes, MF_STRING, kJourdelasemaine1, L"&Jour de la semaine");
    ::AppendMenuW(fontes, MF_STRING, kJour1, L"J&our");
    HMENU couleurs = ::CreatePopupMenu();
    ::AppendMenuW(couleurs, MF_STRING, kMois2, L"&Mois");
    ::AppendMenuW(couleurs, MF_STRING, kJourdelasemaine2, L"&Jour de la semaine");
    ::AppendMenuW(couleurs, MF_STRING, kJour2, L"J&our");
    ::AppendMenuW(couleurs, MF_STRING, kJourcourrant1, L"Jour &courrant");
    ::AppendMenuW(couleurs, MF_STRING, kFondnormal1, L"Fond &normal");
    ::AppendMenuW(couleurs, MF_STRING, kFondfrie1, L"Fond &férie");
    ::AppendMenuW(couleurs, MF_STRING, kWeekEnd1, L"&Week End");
    HMENU position = ::CreatePopupMenu();
    ::AppendMenuW(position, MF_STRING, kEnhautgauche1, L"En haut à &gauche");
    ::AppendMenuW(position, MF_STRING, kEnhautdroite1, L"En haut à &droite");
    ::AppendMenuW(position, MF_STRING, kEnbasgaauche1, L"En bas à g&auche");
    ::AppendMenuW(position, MF_STRING, kEnbasdroite1, L"En bas à d&roite");
    // The root menu owns the sub-menus: destroying it destroys them.
    win::Menu root(::CreatePopupMenu());
    ::AppendMenuW(root.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(fontes), L"&Fontes");
    ::AppendMenuW(root.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(couleurs), L"&Couleurs");
    ::AppendMenuW(root.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(position), L"&Position");
    return root;
}

}  // namespace

struct TPreview::Impl {
    HWND self = nullptr;  // the preview's window, for the overlay
    TDragHandle handle;
    OverlayImage image1{self};
    SIZE overlaySize{0, 0};
    win::Menu popup;
    LOGFONTW fontDialogFont{};
    COLORREF colorDialogColor = RGB(0, 0, 0);

    DibSurface buffer;          // the off-screen picture of the whole client area
    DibSurface overlay;         // the visible part of the calendar, on white
    DibSurface overlayOnBlack;  // the same, on black
    Image32 scaled;             // the picture resampled to the client size
    std::uint64_t pictureVersion = 1;
    std::uint64_t scaledVersion = 0;
    bool inSizeMove = false;
    SIZE lastClient{-1, -1};

    Impl() {
        fontDialogFont.lfHeight = -11;
        fontDialogFont.lfWeight = FW_NORMAL;
        fontDialogFont.lfCharSet = DEFAULT_CHARSET;
        std::wcscpy(fontDialogFont.lfFaceName, L"MS Sans Serif");
    }
};

TPreview::TPreview(TfrmMain& main) : main_(main), impl_(std::make_unique<Impl>()) {
    FontDialog1 = &RunFontDialog;
    ColorDialog1 = &RunColorDialog;
}

TPreview::~TPreview() {
    // Members go before the base: the handle's window is destroyed with
    // impl_, while this window still exists; it lets go of the overlay first.
    impl_->handle.DetachAll();
}

void TPreview::CreateHidden() {
    win::WindowClassSpec windowClass{L"TPreview"};
    windowClass.background = nullptr;  // every pixel comes from the off-screen picture
    windowClass.icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    windowClass.smallIcon = windowClass.icon;
    Create(windowClass, 0, WS_OVERLAPPEDWINDOW, L"Visualisation", CW_USEDEFAULT, CW_USEDEFAULT, win::Scale(402),
           win::Scale(298), nullptr);
    impl_->self = hwnd();
    impl_->popup = BuildPopupMenu();
    impl_->handle.Create(hwnd(), 104, 136);
    impl_->handle.OnMouseUp = [this] { DragHandle1MouseUp(); };
    impl_->handle.OnContextMenu = [this](POINT p) { OnContextMenu(p); };
    // A nudge with the arrow keys is a move like a drag: without this the
    // calendar would jump back to the stored rectangle at the next showing.
    impl_->handle.OnNudge = [this] { DragHandle1MouseUp(); };
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    impl_->lastClient = {c.right, c.bottom};
}

TDragHandle& TPreview::DragHandle1() { return impl_->handle; }
HMENU TPreview::PopupMenu1() const { return impl_->popup.get(); }
drag::Bounds TPreview::Image1Bounds() const { return impl_->image1.Bounds(); }
bool TPreview::Image1Visible() const { return impl_->image1.visible; }
SIZE TPreview::OverlaySize() const { return impl_->overlaySize; }

SIZE TPreview::OuterSize() const {
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

// ---- placement ----------------------------------------------------------------

void TPreview::SetPos() {
    RECT m{};
    ::GetWindowRect(main_.hwnd(), &m);
    const SIZE outer = OuterSize();
    SetPosInput in;
    in.mainLeft = m.left;
    in.mainTop = m.top;
    in.mainWidth = m.right - m.left;
    in.previewWidth = outer.cx;
    in.previewHeight = outer.cy;
    in.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    in.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    if (pictures_.HasPicture()) {
        in.pictureWidth = pictures_.Image().width;
        in.pictureHeight = pictures_.Image().height;
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

void TPreview::ShowPreview() { ::ShowWindow(hwnd(), SW_SHOW); }
void TPreview::HidePreview() { ::ShowWindow(hwnd(), SW_HIDE); }
bool TPreview::Visible() const { return ::IsWindowVisible(hwnd()) != FALSE; }
void TPreview::Close() { ::SendMessageW(hwnd(), WM_CLOSE, 0, 0); }

// ---- current picture --------------------------------------------------------

void TPreview::LoadPreviewPicture(const std::wstring& path) {
    if (pictures_.Load(path)) CurrentPictureChanged();
}

void TPreview::CurrentPictureChanged() {
    ++impl_->pictureVersion;
    impl_->scaled = Image32();
    if (pictures_.HasPicture()) impl_->handle.SetColor(ComplementColour(pictures_.TopLeftPixel()));
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---- calendar rectangle -----------------------------------------------------

PreviewScale TPreview::ComputePreviewScale() const {
    const SIZE outer = OuterSize();
    return orvane::ComputePreviewScale(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), outer.cx,
                                       outer.cy);
}

void TPreview::ShowCalendarRect() {
    const WallpaperSettings& s = main_.WallpaperSettings;
    const drag::Bounds b = CalendarToHandle({s.CalL, s.CalT, s.CalR, s.CalB}, ComputePreviewScale());
    TDragHandle& h = impl_->handle;
    h.SetLeft(b.left);
    h.SetWidth(b.width);
    h.SetTop(b.top);
    h.SetHeight(b.height);
}

void TPreview::StoreCalendarRect() {
    const CalendarRect c = HandleToCalendar(impl_->handle.Bounds(), ComputePreviewScale());
    WallpaperSettings& s = main_.WallpaperSettings;
    s.CalL = c.left;
    s.CalT = c.top;
    s.CalR = c.right;
    s.CalB = c.bottom;
}

void TPreview::FitOverlay() {
    impl_->overlaySize = SIZE{std::max(impl_->handle.ClientWidth(), 0), std::max(impl_->handle.ClientHeight(), 0)};
}

void TPreview::RedrawPreviewCalendar() {
    // The calendar is drawn afresh at every paint of the overlay's area; here
    // that area and the grips above it are marked for the next one.
    impl_->image1.Invalidate();
    ::InvalidateRect(impl_->handle.hwnd(), nullptr, FALSE);
}

void TPreview::SetCalendarVisible(bool visible) {
    impl_->image1.SetVisible(visible);
    impl_->handle.SetEnabled(visible);
}

void TPreview::AttachHandle() {
    const bool first = !impl_->handle.IsAttached(impl_->image1);
    impl_->handle.Attach(impl_->image1);
    // A first attachment wraps the overlay where it was designed; the
    // calendar belongs at the stored rectangle (the settings dialog attaches
    // without placing when the calendar is switched on with the preview open).
    if (first) ShowCalendarRect();
}

void TPreview::Repaint() {
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// ---- handlers -----------------------------------------------------------------

void TPreview::FormShow() {
    const bool calendar = main_.WallpaperSettings.Calendar;
    impl_->image1.SetVisible(calendar);
    if (calendar) {
        AttachHandle();
        ShowCalendarRect();
    }
    if (impl_->image1.visible) {
        FitOverlay();
        RedrawPreviewCalendar();
    }
}

void TPreview::FormClose() {
    main_.PreviewBtn.SetCaption(L"Afficher");
    main_.PreviewShown = false;
    ::ShowWindow(hwnd(), SW_HIDE);
}

void TPreview::ImageView1Resize() {
    if (!main_.WallpaperSettings.Calendar) return;
    AttachHandle();
    ShowCalendarRect();
    FitOverlay();
    RedrawPreviewCalendar();
    StoreCalendarRect();
}

void TPreview::DragHandle1MouseUp() {
    if (!impl_->image1.visible) return;
    StoreCalendarRect();
    FitOverlay();
    RedrawPreviewCalendar();
}

void TPreview::FontItem(std::string& field) {
    if (FontDialog1 && FontDialog1(hwnd(), impl_->fontDialogFont)) field = win::Narrow(impl_->fontDialogFont.lfFaceName);
    RedrawPreviewCalendar();
    main_.SaveSettings();
}

void TPreview::ColourItem(std::uint32_t& field) {
    if (ColorDialog1 && ColorDialog1(hwnd(), impl_->colorDialogColor)) field = impl_->colorDialogColor;
    RedrawPreviewCalendar();
    main_.SaveSettings();
}

void TPreview::PositionItem(Corner corner) {
    const SIZE outer = OuterSize();
    const drag::Bounds b = CornerBounds(corner, outer.cx, outer.cy);
    TDragHandle& h = impl_->handle;
    h.SetLeft(b.left);
    h.SetTop(b.top);
    h.SetWidth(b.width);
    h.SetHeight(b.height);
    StoreCalendarRect();
    FormShow();
    RedrawPreviewCalendar();
    main_.SaveSettings();
}

void TPreview::Mois1Click() { FontItem(main_.WallpaperSettings.MounthFont); }
void TPreview::Jourdelasemaine1Click() { FontItem(main_.WallpaperSettings.DayFont); }
void TPreview::Jour1Click() { FontItem(main_.WallpaperSettings.DayNumberFont); }
void TPreview::Mois2Click() { ColourItem(main_.WallpaperSettings.colMounth); }
void TPreview::Jourdelasemaine2Click() { ColourItem(main_.WallpaperSettings.colDay); }
void TPreview::Jour2Click() { ColourItem(main_.WallpaperSettings.colDayNumber); }
void TPreview::Jourcourrant1Click() { ColourItem(main_.WallpaperSettings.colActualDay); }
void TPreview::Fondnormal1Click() { ColourItem(main_.WallpaperSettings.colNormalDay); }
void TPreview::Fondfrie1Click() { ColourItem(main_.WallpaperSettings.colNonWorkDay); }
void TPreview::WeekEnd1Click() { ColourItem(main_.WallpaperSettings.colWeekEnd); }
void TPreview::Enhautgauche1Click() { PositionItem(Corner::TopLeft); }
void TPreview::Enhautdroite1Click() { PositionItem(Corner::TopRight); }
void TPreview::Enbasgaauche1Click() { PositionItem(Corner::BottomLeft); }
void TPreview::Enbasdroite1Click() { PositionItem(Corner::BottomRight); }

void TPreview::OnCommand(UINT id) {
    switch (id) {
        case kMois1: Mois1Click(); break;
        case kJourdelasemaine1: Jourdelasemaine1Click(); break;
        case kJour1: Jour1Click(); break;
        case kMois2: Mois2Click(); break;
        case kJourdelasemaine2: Jourdelasemaine2Click(); break;
        case kJour2: Jour2Click(); break;
        case kJourcourrant1: Jourcourrant1Click(); break;
        case kFondnormal1: Fondnormal1Click(); break;
        case kFondfrie1: Fondfrie1Click(); break;
        case kWeekEnd1: WeekEnd1Click(); break;
        case kEnhautgauche1: Enhautgauche1Click(); break;
        case kEnhautdroite1: Enhautdroite1Click(); break;
        case kEnbasgaauche1: Enbasgaauche1Click(); break;
        case kEnbasdroite1: Enbasdroite1Click(); break;
        default: break;
    }
}

void TPreview::OnContextMenu(POINT screen) {
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: open at the handle's top-left corner.
        RECT r{};
        ::GetWindowRect(impl_->handle.hwnd(), &r);
        screen = POINT{r.left, r.top};
    }
    ::SetForegroundWindow(hwnd());
    ::TrackPopupMenu(impl_->popup.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
}

void TPreview::GiveFocusToHandle() {
    TDragHandle& h = impl_->handle;
    if (h.AttachedCount() > 0 && h.Enabled() && ::IsWindowVisible(h.hwnd())) ::SetFocus(h.hwnd());
}

void TPreview::OnSize(WPARAM kind) {
    if (kind == SIZE_MINIMIZED) return;  // a minimised window shows nothing
    RECT c{};
    ::GetClientRect(hwnd(), &c);
    const SIZE now{c.right, c.bottom};
    if (now.cx == impl_->lastClient.cx && now.cy == impl_->lastClient.cy) return;
    impl_->lastClient = now;
    ImageView1Resize();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---- painting -------------------------------------------------------------------

void TPreview::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    FormPaint(dc, ps.rcPaint);
    ::EndPaint(hwnd(), &ps);
}

// Builds the whole client area off screen (picture, calendar, grips) and
// copies the asked part in one go: nothing flickers. Never throws: a paint
// that failed would come back at once and forever.
void TPreview::FormPaint(HDC target, const RECT& area) noexcept {
    try {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        const int cw = client.right, ch = client.bottom;
        Impl& m = *impl_;
        if (!m.buffer.Ensure(cw, ch)) return;
        HDC buf = m.buffer.dc.get();

        // The picture, stretched to the whole area.
        bool drawn = false;
        if (pictures_.HasPicture()) {
            const Image32& img = pictures_.Image();
            const bool cached = m.scaledVersion == m.pictureVersion && m.scaled.width == cw && m.scaled.height == ch;
            if (!cached && !m.inSizeMove) {
                try {
                    m.scaled = Resample(img, cw, ch);
                    m.scaledVersion = m.pictureVersion;
                } catch (...) {
                    m.scaled = Image32();
                }
            }
            if (m.scaledVersion == m.pictureVersion && m.scaled.width == cw && m.scaled.height == ch) {
                std::memcpy(m.buffer.bits, m.scaled.pixels.data(), m.scaled.pixels.size() * sizeof(std::uint32_t));
                drawn = true;
            } else {
                // While the user drags the frame: a quick halftone stretch,
                // resampled properly once the sizing ends.
                const BITMAPINFO bi = TopDown32(img.width, img.height);
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
        if (m.image1.visible) {
            const drag::Bounds b = m.image1.Bounds();
            RECT control{b.left, b.top, b.left + std::max(b.width, 0), b.top + std::max(b.height, 0)};
            RECT visible{};
            if (::IntersectRect(&visible, &control, &client) &&
                m.overlay.Ensure(visible.right - visible.left, visible.bottom - visible.top) &&
                m.overlayOnBlack.Ensure(visible.right - visible.left, visible.bottom - visible.top)) {
                const WallpaperSettings& s = main_.WallpaperSettings;
                const win::UserLocaleNames names;
                const Date today = win::Today();
                for (DibSurface* surface : {&m.overlay, &m.overlayOnBlack}) {
                    HDC ov = surface->dc.get();
                    POINT oldOrg{};
                    ::SetViewportOrgEx(ov, control.left - visible.left, control.top - visible.top, &oldOrg);
                    ::PatBlt(ov, 0, 0, b.width, b.height, surface == &m.overlay ? WHITENESS : BLACKNESS);
                    {
                        win::GdiCanvas canvas(ov);
                        DrawCalendar(canvas, 0, 0, b.width, b.height, 10, 5, 5, today, s.RefDay, s, names);
                    }
                    ::SetViewportOrgEx(ov, oldOrg.x, oldOrg.y, nullptr);
                }
                ::GdiFlush();
                for (int y = 0; y < m.overlay.height; ++y) {
                    const std::size_t row = static_cast<std::size_t>(y) * m.overlay.width;
                    const std::uint32_t* onWhite = m.overlay.bits + row;
                    const std::uint32_t* onBlack = m.overlayOnBlack.bits + row;
                    std::uint32_t* dst = m.buffer.bits + static_cast<std::size_t>(y + visible.top) * cw + visible.left;
                    for (int x = 0; x < m.overlay.width; ++x) dst[x] = Composite(onWhite[x], onBlack[x], dst[x]);
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

LRESULT TPreview::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: {
            RECT c{};
            ::GetClientRect(hwnd(), &c);
            FormPaint(reinterpret_cast<HDC>(wp), c);
            return 0;
        }
        case WM_SHOWWINDOW: if (wp && lp == 0) FormShow(); return Default(msg, wp, lp);  // shown by a call, not by an owner
        case WM_CLOSE: FormClose(); return 0;
        case WM_SIZE: OnSize(wp); return 0;
        case WM_ENTERSIZEMOVE: impl_->inSizeMove = true; return 0;
        case WM_EXITSIZEMOVE: impl_->inSizeMove = false; ::InvalidateRect(hwnd(), nullptr, FALSE); return 0;
        case WM_GETMINMAXINFO: {
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMinTrackSize = POINT{kMinPreviewWidth, kMinPreviewHeight};
            return 0;
        }
        case WM_SETFOCUS: GiveFocusToHandle(); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wp)); return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace orvane
