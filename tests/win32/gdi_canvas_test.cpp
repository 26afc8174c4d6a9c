#include "win32/gdi_canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "core/picture/image_canvas.h"
#include "core/wallpaper/calendar.h"
#include "win32/handles.h"
#include "wallpaper/locale_names.h"

namespace {

using orvane::Canvas;
using orvane::Colour;
using orvane::Image32;

// A 32-bit top-down DIB section selected into a memory DC for one test.
class Surface {
public:
    Surface(int w, int h, std::uint32_t fill) : w_(w), h_(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        dib_.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
        dc_.reset(::CreateCompatibleDC(nullptr));
        old_ = ::SelectObject(dc_.get(), dib_.get());
        for (int i = 0; i < w * h; ++i) bits_[i] = fill;
    }
    ~Surface() { ::SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    std::uint32_t at(int x, int y) const {
        ::GdiFlush();
        return bits_[y * w_ + x] & 0x00FFFFFF;
    }

private:
    int w_, h_;
    win::GdiObject dib_;
    win::MemDc dc_;
    HGDIOBJ old_;
    std::uint32_t* bits_ = nullptr;
};

// Forwards fills, lines and state to a canvas, leaves text out and measures
// it with a fixed formula, so that two canvases lay out the same drawing.
class NoText : public Canvas {
public:
    explicit NoText(Canvas& c) : c_(c) {}
    void SetFontFace(const std::string& f) override { c_.SetFontFace(f); }
    void SetFontHeight(int h) override { c_.SetFontHeight(h); }
    int FontHeight() const override { return c_.FontHeight(); }
    void SetFontBold(bool b) override { c_.SetFontBold(b); }
    void SetFontColour(Colour c) override { c_.SetFontColour(c); }
    int TextWidth(const std::string& t) override { return static_cast<int>(t.size()) * (FontHeight() / 2); }
    int TextHeight(const std::string&) override { return FontHeight() > 0 ? FontHeight() : 12; }
    void PutText(int, int, const std::string&) override {}
    void MoveTo(int x, int y) override { c_.MoveTo(x, y); }
    void LineTo(int x, int y) override { c_.LineTo(x, y); }
    Colour BrushColour() const override { return c_.BrushColour(); }
    void SetBrushColour(Colour c) override { c_.SetBrushColour(c); }
    void Fill(int l, int t, int r, int b) override { c_.Fill(l, t, r, b); }
    bool TransparentBackground() const override { return c_.TransparentBackground(); }
    void SetTransparentBackground(bool t) override { c_.SetTransparentBackground(t); }

private:
    Canvas& c_;
};

orvane::WallpaperSettings Colours() {
    orvane::WallpaperSettings s;
    s.MounthFont = s.DayFont = s.DayNumberFont = "Arial";
    s.colMounth = 0x00FF00;
    s.colDay = 0x00AA00;
    s.colDayNumber = 0x008800;
    s.colActualDay = 255;
    s.colNormalDay = 65535;
    s.colNonWorkDay = 32896;
    s.colWeekEnd = 16711680;
    return s;
}

// ---- fills and lines are where the exact image canvas puts them -------------

TEST(GdiCanvasGeometry, CalendarGridAndFillsMatchTheImageCanvasPixelForPixel) {
    struct Case {
        int l, t, r, b, ref;
        orvane::Date date;
    };
    const Case cases[] = {
        {10, 10, 310, 230, 1, {2026, 12, 8}},  // five rows
        {0, 0, 250, 300, 2, {2026, 3, 1}},     // six rows
        {5, 5, 11, 40, 1, {2026, 12, 8}},      // zero-width columns: fills with swapped corners
        {200, 200, 60, 90, 3, {2026, 5, 1}},   // upside-down rectangle, partly off the surface
        {-50, -20, 150, 120, 7, {2024, 2, 29}},
    };
    const orvane::WallpaperSettings s = Colours();
    for (const Case& k : cases) {
        Surface gdi(320, 240, 0x808080);
        {
            win::GdiCanvas canvas(gdi.dc());
            NoText noText(canvas);
            orvane::DrawCalendar(noText, {k.l, k.t, k.r, k.b}, k.date, k.ref, s, orvane::UserLocaleNames());
        }
        Image32 image(320, 240, 0xFF808080u);
        {
            orvane::ImageCanvas canvas(image);
            NoText noText(canvas);
            orvane::DrawCalendar(noText, {k.l, k.t, k.r, k.b}, k.date, k.ref, s, orvane::UserLocaleNames());
        }
        int differences = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                if (gdi.at(x, y) != (image.at(x, y) & 0x00FFFFFF) && ++differences < 5)
                    ADD_FAILURE() << "case " << k.l << "," << k.t << " pixel " << x << "," << y << ": gdi "
                                  << std::hex << gdi.at(x, y) << " image " << image.at(x, y);
        EXPECT_EQ(differences, 0);
    }
}

// ---- state handed back -------------------------------------------------------

TEST(GdiCanvasState, BrushBackgroundAndDcStateComeBack) {
    Surface surface(20, 20, 0);
    const HGDIOBJ font = ::GetCurrentObject(surface.dc(), OBJ_FONT);
    ::SetBkMode(surface.dc(), OPAQUE);
    ::SetTextColor(surface.dc(), RGB(1, 2, 3));
    {
        win::GdiCanvas canvas(surface.dc());
        EXPECT_EQ(canvas.BrushColour(), 0xFFFFFFu);
        canvas.SetBrushColour(0x123456);
        EXPECT_EQ(canvas.BrushColour(), 0x123456u);
        EXPECT_FALSE(canvas.TransparentBackground());
        canvas.SetTransparentBackground(true);
        EXPECT_TRUE(canvas.TransparentBackground());
        canvas.SetFontFace("Arial");
        canvas.SetFontHeight(14);
        canvas.SetFontColour(0x00FF00);
        canvas.PutText(0, 0, "Déc");
    }
    EXPECT_EQ(::GetCurrentObject(surface.dc(), OBJ_FONT), font);
    EXPECT_EQ(::GetBkMode(surface.dc()), OPAQUE);
    EXPECT_EQ(::GetTextColor(surface.dc()), RGB(1, 2, 3));
}

// ---- text --------------------------------------------------------------------

TEST(GdiCanvasText, MeasuresGrowWithHeightBoldIsWiderAbsurdHeightsStayBounded) {
    Surface surface(20, 20, 0);
    win::GdiCanvas canvas(surface.dc());
    canvas.SetFontFace("Arial");
    canvas.SetFontHeight(20);
    const int w20 = canvas.TextWidth("mercredi");
    const int h20 = canvas.TextHeight("mercredi");
    canvas.SetFontHeight(40);
    const int w40 = canvas.TextWidth("mercredi");
    canvas.SetFontBold(true);
    const int w40b = canvas.TextWidth("mercredi");
    EXPECT_GT(w20, 0);
    EXPECT_NEAR(h20, 20, 1);  // a positive height is the cell height
    EXPECT_GT(w40, w20 * 3 / 2);
    EXPECT_GT(w40b, w40);
    EXPECT_EQ(canvas.TextWidth(""), 0);

    // Absurd heights are kept but the font is built within bounds.
    canvas.SetFontBold(false);
    canvas.SetFontHeight(600000000);
    EXPECT_EQ(canvas.FontHeight(), 600000000);
    const int w = canvas.TextWidth("dim.");
    EXPECT_GT(w, 0);
    EXPECT_LT(w, 100000);
    canvas.PutText(0, 0, "dim.");  // completes
    canvas.SetFontHeight(-40);
    EXPECT_GT(canvas.TextHeight("dim."), 40);  // a negative height is the character height
    canvas.SetFontFace("");  // an emptied registry value: GDI's default face
    canvas.SetFontHeight(0);
    EXPECT_GT(canvas.TextWidth("dim."), 0);
}

TEST(GdiCanvasText, TextIsDrawnInItsColourOnlyWithinItsExtent) {
    Surface surface(200, 60, 0x808080);
    win::GdiCanvas canvas(surface.dc());
    canvas.SetFontFace("Arial");
    canvas.SetFontHeight(30);
    canvas.SetFontBold(true);
    canvas.SetFontColour(0x0000FF);  // red
    canvas.SetTransparentBackground(true);
    const int w = canvas.TextWidth("Décembre");
    const int h = canvas.TextHeight("Décembre");
    canvas.PutText(20, 10, "Décembre");
    int red = 0, outside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inside = x >= 20 && x < 20 + w && y >= 10 && y < 10 + h;
            if (surface.at(x, y) == 0xFF0000u) ++red;
            if (!inside && surface.at(x, y) != 0x808080u) ++outside;
        }
    EXPECT_GT(red, 50);
    EXPECT_EQ(outside, 0);
    // Transparent mode: the background between the letters stays.
    EXPECT_EQ(surface.at(20, 10), 0x808080u);
}

TEST(GdiCanvasText, CalendarInAbsurdRectanglesCompletesQuickly) {
    // Hand-edited registry values: a rectangle four billion pixels tall and
    // 50 wide, and one spanning the whole 32-bit plane, drawn for real.
    Surface surface(200, 200, 0x808080);
    const orvane::WallpaperSettings s = Colours();
    const DWORD start = ::GetTickCount();
    {
        win::GdiCanvas canvas(surface.dc());
        orvane::DrawCalendar(canvas, {0, -2000000000, 50, 2000000000}, {2026, 12, 8}, 1, s,
                             orvane::UserLocaleNames());
        orvane::DrawCalendar(canvas, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {2026, 12, 8}, 1, s,
                             orvane::UserLocaleNames());
        orvane::DrawCalendar(canvas, {10, 10, 12, 11}, {2026, 12, 8}, 1, s, orvane::UserLocaleNames());
    }
    EXPECT_LT(::GetTickCount() - start, 10000u);
}

// ---- names of the user's locale ------------------------------------------------

bool FrenchUser() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH]{};
    ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return name[0] == L'f' && name[1] == L'r';
}

TEST(UserLocaleNames, FrenchNamesUnderAFrenchLocale) {
    if (!FrenchUser()) GTEST_SKIP() << "run with LANG=fr_FR.UTF-8 for the French names";
    orvane::UserLocaleNames names;
    EXPECT_EQ(names.MonthName(12), "décembre");
    EXPECT_EQ(names.MonthName(2), "février");
    EXPECT_EQ(names.MonthName(8), "août");
    EXPECT_EQ(names.ShortDayName(0), "dim.");
    EXPECT_EQ(names.ShortDayName(1), "lun.");
    EXPECT_EQ(names.ShortDayName(6), "sam.");
    EXPECT_EQ(names.UpperFirstLetter(names.MonthName(12) + " 2026"), "Décembre 2026");
}

TEST(UserLocaleNames, EveryNameExistsAndFirstLettersOfAnyScriptAreCapitalised) {
    orvane::UserLocaleNames names;
    for (int m = 1; m <= 12; ++m) EXPECT_FALSE(names.MonthName(m).empty()) << m;
    for (int d = 0; d < 7; ++d) EXPECT_FALSE(names.ShortDayName(d).empty()) << d;
    EXPECT_FALSE(names.MonthName(13).empty());  // out of range: no crash, a name
    EXPECT_EQ(names.UpperFirstLetter("été 2026"), "Été 2026");
    EXPECT_EQ(names.UpperFirstLetter("декабрь 2026"), "Декабрь 2026");
    EXPECT_EQ(names.UpperFirstLetter(""), "");
    const orvane::Date today = orvane::LocalToday();
    EXPECT_GE(today.month, 1);
    EXPECT_LE(today.day, orvane::DaysInMonth(today.year, today.month));
}

}  // namespace
