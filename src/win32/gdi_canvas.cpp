#include "win32/gdi_canvas.h"

#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "core/error.h"
#include "win32/dib_section.h"
#include "win32/handles.h"
#include "win32/strings.h"

namespace win {

namespace {

// Heights beyond any screen only come from absurd rectangles; the font engine
// would rasterise glyphs of billions of pixels for them. The canvas keeps the
// asked height (the calendar's fitting reads it back) and builds the font at
// this bound.
constexpr int kMaxFontHeight = 4096;

int BoundedHeight(int h) {
    if (h > kMaxFontHeight) return kMaxFontHeight;
    if (h < -kMaxFontHeight) return -kMaxFontHeight;
    return h;
}

// The calendar's fitting loop asks for one font per height; a long session
// of previews must not pile them up.
constexpr std::size_t kMaxCachedFonts = 32;

}  // namespace

struct GdiCanvas::Impl {
    HDC dc;
    std::wstring face = L"Arial";
    int height = 0;
    bool bold = false;
    COLORREF colour = 0;
    COLORREF brush = RGB(255, 255, 255);  // a new canvas's brush is white, as GDI's stock brush

    using FontKey = std::tuple<std::wstring, int, bool>;
    std::map<FontKey, GdiObject> fonts;
    HFONT selected = nullptr;
    GdiObject brushObject;
    COLORREF brushObjectColour = 0;

    // What the DC had, put back when the canvas goes.
    HGDIOBJ originalFont;
    COLORREF originalTextColour;
    int originalBkMode;
    UINT originalAlign;

    explicit Impl(HDC d)
        : dc(d),
          originalFont(::GetCurrentObject(d, OBJ_FONT)),
          originalTextColour(::GetTextColor(d)),
          originalBkMode(::GetBkMode(d)),
          originalAlign(::GetTextAlign(d)) {
        // Text positions are top-left corners, whatever the DC was set to.
        ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    }

    ~Impl() {
        // The DC lets go of the cached fonts before they are deleted.
        if (originalFont) ::SelectObject(dc, originalFont);
        ::SetTextColor(dc, originalTextColour);
        if (originalBkMode) ::SetBkMode(dc, originalBkMode);
        if (originalAlign != GDI_ERROR) ::SetTextAlign(dc, originalAlign);
    }

    // Selects the font of the current face, height and style; a font the
    // system refuses leaves the previous one in place rather than failing.
    void SelectFont() {
        FontKey key{face, BoundedHeight(height), bold};
        auto it = fonts.find(key);
        if (it == fonts.end()) {
            if (fonts.size() >= kMaxCachedFonts) {
                if (originalFont) ::SelectObject(dc, originalFont);
                selected = nullptr;
                fonts.clear();
            }
            LOGFONTW lf{};
            lf.lfHeight = std::get<1>(key);
            lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
            lf.lfCharSet = DEFAULT_CHARSET;
            lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
            lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
            lf.lfQuality = DEFAULT_QUALITY;
            lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
            face.copy(lf.lfFaceName, LF_FACESIZE - 1);
            GdiObject font(::CreateFontIndirectW(&lf));
            if (!font) return;
            it = fonts.emplace(std::move(key), std::move(font)).first;
        }
        const HFONT f = static_cast<HFONT>(it->second.get());
        if (f != selected && ::SelectObject(dc, f)) selected = f;
    }

    SIZE Extent(const std::string& utf8) {
        SelectFont();
        const std::wstring text = Widen(utf8);
        SIZE size{};
        if (!::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) size = SIZE{};
        return size;
    }
};

GdiCanvas::GdiCanvas(HDC dc) : impl_(new Impl(dc)) {}

GdiCanvas::~GdiCanvas() { delete impl_; }

void GdiCanvas::SetFontFace(const std::string& face) {
    // An empty face (a hand-emptied registry value) lets GDI pick its default.
    impl_->face = Widen(face);
}

void GdiCanvas::SetFontHeight(int height) { impl_->height = height; }

int GdiCanvas::FontHeight() const { return impl_->height; }

void GdiCanvas::SetFontBold(bool bold) { impl_->bold = bold; }

void GdiCanvas::SetFontColour(orvane::Colour colour) { impl_->colour = colour & 0x00FFFFFF; }

int GdiCanvas::TextWidth(const std::string& utf8) { return impl_->Extent(utf8).cx; }

int GdiCanvas::TextHeight(const std::string& utf8) { return impl_->Extent(utf8).cy; }

void GdiCanvas::PutText(int x, int y, const std::string& utf8) {
    impl_->SelectFont();
    ::SetTextColor(impl_->dc, impl_->colour);
    const std::wstring text = Widen(utf8);
    ::TextOutW(impl_->dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void GdiCanvas::MoveTo(int x, int y) { ::MoveToEx(impl_->dc, x, y, nullptr); }

void GdiCanvas::LineTo(int x, int y) { ::LineTo(impl_->dc, x, y); }

orvane::Colour GdiCanvas::BrushColour() const { return impl_->brush; }

void GdiCanvas::SetBrushColour(orvane::Colour colour) { impl_->brush = colour & 0x00FFFFFF; }

void GdiCanvas::Fill(int left, int top, int right, int bottom) {
    Impl& d = *impl_;
    if (!d.brushObject || d.brushObjectColour != d.brush) {
        d.brushObject.reset(::CreateSolidBrush(d.brush));
        d.brushObjectColour = d.brush;
        if (!d.brushObject) return;
    }
    const RECT rc{left, top, right, bottom};
    ::FillRect(d.dc, &rc, static_cast<HBRUSH>(d.brushObject.get()));
}

bool GdiCanvas::TransparentBackground() const { return ::GetBkMode(impl_->dc) == TRANSPARENT; }

void GdiCanvas::SetTransparentBackground(bool transparent) {
    ::SetBkMode(impl_->dc, transparent ? TRANSPARENT : OPAQUE);
}

}  // namespace win

namespace win {

void DrawOnImage(orvane::Image32& image, const std::function<void(orvane::Canvas&)>& draw) {
    if (image.empty()) return;
    DibSurface surface(image.width, image.height);
    if (!surface)
        throw orvane::Error(
            orvane::FormatMessage1("Mémoire insuffisante pour dessiner le calendrier sur une image de %s pixels",
                                   std::to_string(image.width) + " x " + std::to_string(image.height)));
    std::memcpy(surface.bits(), image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
    {
        GdiCanvas canvas(surface.dc());
        draw(canvas);
    }
    // GDI may batch drawing calls: they must have reached the bits first.
    ::GdiFlush();
    const std::uint32_t* src = surface.bits();
    // GDI leaves 0 in the byte it does not know about; the picture's
    // convention is an opaque 255 there.
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = src[i] | 0xFF000000u;
}

}  // namespace win
