// The preview window in process: the picture and the calendar as painted,
// the handle placed from the stored rectangle, drags, corner, font and colour
// items, placement beside the main window and closing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/preview_window.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::PumpMessages;

bool WriteBmp(const std::wstring& path, int w, int h, COLORREF colour, COLORREF topLeft) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    const int stride = (w * 3 + 3) & ~3;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + stride * h;
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;  // bottom-up: the last row written is the top one
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string bytes(reinterpret_cast<char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<char*>(&ih), sizeof(ih));
    for (int y = 0; y < h; ++y) {
        std::string row(static_cast<std::size_t>(stride), '\0');
        for (int x = 0; x < w; ++x) {
            const COLORREF c = (y == h - 1 && x == 0) ? topLeft : colour;
            row[x * 3] = static_cast<char>(GetBValue(c));
            row[x * 3 + 1] = static_cast<char>(GetGValue(c));
            row[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    return win::ReplaceFileAtomically(path, bytes);
}

std::optional<std::wstring> Stored(const wchar_t* name) {
    wchar_t buf[512]{};
    DWORD size = sizeof(buf);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config", name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buf);
}

// The client area as the preview paints it, read back pixel by pixel.
struct Snapshot {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    int Count(const RECT& r, COLORREF c) const {
        int n = 0;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
            for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x) n += at(x, y) == c;
        return n;
    }
};

Snapshot Capture(HWND w) {
    RECT c{};
    ::GetClientRect(w, &c);
    Snapshot s;
    s.width = c.right;
    s.height = c.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = s.width;
    bi.bmiHeader.biHeight = -s.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::GdiObject bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    win::MemDc dc(::CreateCompatibleDC(nullptr));
    {
        win::SelectGuard sel(dc.get(), bmp.get());
        ::SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        ::GdiFlush();
    }
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < s.width * s.height; ++i) s.pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    return s;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        testing_support::ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-preview-" + std::to_wstring(::GetTickCount())) + L"\\";
        main_ = CreateApplicationWindows(false);
        main_->Timer2.SetEnabled(false);
        WallpaperSettings& s = main_->WallpaperSettings;
        s.FileName = win::Narrow(folder_ + L"piclist.cfg");
        s.RunAtStartup = false;
        s.Calendar = true;
        s.CalL = 200, s.CalT = 200, s.CalR = 700, s.CalB = 500;
        s.MounthFont = s.DayFont = s.DayNumberFont = "Arial";
        s.colActualDay = 255;
        s.colNormalDay = 65535;
        s.colNonWorkDay = 32896;
        s.colWeekEnd = 16711680;
        s.RefDay = 2;
        preview_ = main_->Preview.get();
        // Outer 512 x 384 on the 1024 x 768 screen: two screen pixels per window pixel.
        ::SetWindowPos(preview_->hwnd(), nullptr, 0, 0, 512, 384, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void TearDown() override {
        main_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    void Show() {
        preview_->ShowPreview();
        main_->PreviewShown = true;
        PumpMessages(30);
    }
    void Mouse(UINT msg, WPARAM keys, int x, int y) {
        ::SendMessageW(preview_->DragHandle1().hwnd(), msg, keys,
                       MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y))));
    }
    CalendarRect Rect() const {
        const auto& s = main_->WallpaperSettings;
        return {s.CalL, s.CalT, s.CalR, s.CalB};
    }

    std::wstring folder_;
    std::unique_ptr<TfrmMain> main_;
    TPreview* preview_ = nullptr;
};

TEST_F(PreviewTest, ShowsThePictureWithTheCalendarAtTheStoredRectangle) {
    ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    const std::wstring pic = folder_ + L"été.bmp";
    ASSERT_TRUE(WriteBmp(pic, 80, 60, RGB(20, 120, 200), RGB(255, 255, 255)));
    preview_->LoadPreviewPicture(pic);
    Show();
    TDragHandle& h = preview_->DragHandle1();
    EXPECT_EQ(h.Bounds(), (drag::Bounds{100, 100, 250, 150}));
    EXPECT_EQ(preview_->Image1Bounds(), (drag::Bounds{102, 102, 245, 145}));
    EXPECT_TRUE(preview_->Image1Visible());
    EXPECT_EQ(preview_->OverlaySize().cx, 250);
    EXPECT_EQ(h.Color(), RGB(0, 0, 0));  // white top-left pixel: black grips

    const Snapshot snap = Capture(preview_->hwnd());
    const COLORREF picture = RGB(20, 120, 200);
    EXPECT_EQ(snap.at(snap.width - 5, 5), picture);
    EXPECT_EQ(snap.at(50, snap.height - 5), picture);
    // The calendar's cells cover the picture inside the overlay only, and its
    // white background lets the picture through.
    const RECT overlay{102, 102, 347, 247};
    EXPECT_GT(snap.Count(overlay, RGB(255, 255, 0)), 500);   // working days
    EXPECT_GT(snap.Count(overlay, RGB(0, 0, 255)), 100);     // weekend cells
    EXPECT_EQ(snap.Count(overlay, RGB(255, 255, 255)), 0);   // no white box
    // Black letters on the picture, without the pale fringe that smoothing
    // against the white background would leave.
    int pale = 0, dark = 0;
    for (int y = overlay.top; y < overlay.bottom; ++y)
        for (int x = overlay.left; x < overlay.right; ++x) {
            const COLORREF c = snap.at(x, y);
            pale += GetRValue(c) >= 200 && GetGValue(c) >= 200 && GetBValue(c) >= 200;
            dark += GetRValue(c) < 60 && GetGValue(c) < 60 && GetBValue(c) < 60;
        }
    EXPECT_EQ(pale, 0);
    EXPECT_GT(dark, 200);  // grid lines and texts
    EXPECT_EQ(snap.at(110, 106), picture);                    // the top margin is transparent
    const RECT left{0, 0, 95, snap.height};
    EXPECT_EQ(snap.Count(left, RGB(255, 255, 0)), 0);
    // Grips in the handle's colour at its corners.
    EXPECT_EQ(snap.at(100, 100), RGB(0, 0, 0));
    EXPECT_EQ(snap.at(348, 248), RGB(0, 0, 0));  // widened control ends at (349, 249)
}

TEST_F(PreviewTest, ArrowKeysMoveTheStoredRectangleToo) {
    Show();
    HWND h = preview_->DragHandle1().hwnd();
    ::SendMessageW(h, WM_KEYDOWN, VK_LEFT, 0);
    ::SendMessageW(h, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(preview_->DragHandle1().Bounds(), (drag::Bounds{99, 101, 250, 150}));
    EXPECT_EQ(Rect(), (CalendarRect{198, 202, 698, 502}));
    EXPECT_FALSE(Stored(L"CalL").has_value());
}

TEST_F(PreviewTest, PositionItemsStoreTheirCornerAndSave) {
    Show();
    struct Item {
        UINT id;
        CalendarRect expected;
    };
    const Item items[] = {
        {kEnhautgauche1, {0, 0, 256, 192}},
        {kEnhautdroite1, {768, 0, 1024, 192}},
        {kEnbasgaauche1, {0, 576, 256, 768}},
        {kEnbasdroite1, {768, 576, 1024, 768}},
    };
    for (const Item& item : items) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ::SendMessageW(preview_->hwnd(), WM_COMMAND, item.id, 0);
        EXPECT_EQ(Rect(), item.expected) << item.id;
        EXPECT_EQ(Stored(L"CalR"), std::to_wstring(item.expected.right)) << item.id;
        EXPECT_EQ(Stored(L"CalB"), std::to_wstring(item.expected.bottom)) << item.id;
    }
    EXPECT_EQ(preview_->DragHandle1().Bounds(), (drag::Bounds{384, 288, 128, 96}));
}

TEST_F(PreviewTest, FontItemsKeepOnlyTheFaceAndAlwaysSave) {
    std::vector<std::wstring> offered;
    preview_->FontDialog1 = [&](HWND, LOGFONTW& lf) {
        offered.push_back(lf.lfFaceName);
        if (offered.size() == 3) return false;  // the third is cancelled
        std::wcscpy(lf.lfFaceName, offered.size() == 1 ? L"Courier New" : L"Times New Roman");
        lf.lfHeight = -40;
        lf.lfWeight = FW_BOLD;
        return true;
    };
    ::SendMessageW(preview_->hwnd(), WM_COMMAND, kMois1, 0);
    ::SendMessageW(preview_->hwnd(), WM_COMMAND, kJourdelasemaine1, 0);
    ::SendMessageW(preview_->hwnd(), WM_COMMAND, kJour1, 0);
    const auto& s = main_->WallpaperSettings;
    EXPECT_EQ(s.MounthFont, "Courier New");
    EXPECT_EQ(s.DayFont, "Times New Roman");
    EXPECT_EQ(s.DayNumberFont, "Arial");  // cancelled
    // One dialog: it starts at "MS Sans Serif", then at the last accepted font.
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"MS Sans Serif", L"Courier New", L"Times New Roman"}));
    EXPECT_EQ(Stored(L"MounthFont"), L"Courier New");
    EXPECT_EQ(Stored(L"Day#"), L"Arial");  // saved although cancelled
}

TEST_F(PreviewTest, ColourItemsSetTheirFieldFromOneDialog) {
    std::vector<COLORREF> offered;
    COLORREF next = RGB(10, 20, 30);
    bool accept = true;
    preview_->ColorDialog1 = [&](HWND, COLORREF& c) {
        offered.push_back(c);
        if (!accept) return false;
        c = next;
        return true;
    };
    struct Item {
        UINT id;
        std::uint32_t WallpaperSettings::*field;
        const wchar_t* value;
    };
    const Item items[] = {
        {kMois2, &WallpaperSettings::colMounth, L"colMounth"},
        {kJourdelasemaine2, &WallpaperSettings::colDay, L"colDay"},
        {kJour2, &WallpaperSettings::colDayNumber, L"colDayNumber"},
        {kJourcourrant1, &WallpaperSettings::colActualDay, L"colActualDay"},
        {kFondnormal1, &WallpaperSettings::colNormalDay, L"colNormalDay"},
        {kFondfrie1, &WallpaperSettings::colNonWorkDay, L"colNonWorkDay"},
        {kWeekEnd1, &WallpaperSettings::colWeekEnd, L"colWeekEnd"},
    };
    std::uint32_t k = 1;
    for (const Item& item : items) {
        next = RGB(k, 2 * k, 3 * k);
        ::SendMessageW(preview_->hwnd(), WM_COMMAND, item.id, 0);
        EXPECT_EQ(main_->WallpaperSettings.*item.field, next) << k;
        EXPECT_EQ(Stored(item.value), std::to_wstring(next)) << k;
        ++k;
    }
    EXPECT_EQ(offered.front(), RGB(0, 0, 0));  // starts at black
    EXPECT_EQ(offered[1], RGB(1, 2, 3));       // then the last accepted
    accept = false;                            // cancelled: unchanged, saved all the same
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    ::SendMessageW(preview_->hwnd(), WM_COMMAND, kWeekEnd1, 0);
    EXPECT_EQ(main_->WallpaperSettings.colWeekEnd, RGB(7, 14, 21));
    EXPECT_TRUE(Stored(L"colWeekEnd").has_value());
}

TEST_F(PreviewTest, ContextMenuHasTheFourteenEntries) {
    HMENU root = preview_->PopupMenu1();
    ASSERT_EQ(::GetMenuItemCount(root), 3);
    auto text = [](HMENU m, int i) {
        wchar_t buf[128]{};
        ::GetMenuStringW(m, i, buf, 128, MF_BYPOSITION);
        return std::wstring(buf);
    };
    EXPECT_EQ(text(root, 0), L"&Fontes");
    EXPECT_EQ(text(root, 1), L"&Couleurs");
    EXPECT_EQ(text(root, 2), L"&Position");
    HMENU fontes = ::GetSubMenu(root, 0), couleurs = ::GetSubMenu(root, 1), position = ::GetSubMenu(root, 2);
    EXPECT_EQ(text(fontes, 0), L"&Mois");
    EXPECT_EQ(text(fontes, 1), L"&Jour de la semaine");
    EXPECT_EQ(text(fontes, 2), L"J&our");
    EXPECT_EQ(::GetMenuItemCount(couleurs), 7);
    EXPECT_EQ(text(couleurs, 3), L"Jour &courrant");
    EXPECT_EQ(text(couleurs, 4), L"Fond &normal");
    EXPECT_EQ(text(couleurs, 5), L"Fond &férie");
    EXPECT_EQ(text(couleurs, 6), L"&Week End");
    EXPECT_EQ(text(position, 0), L"En haut à &gauche");
    EXPECT_EQ(text(position, 1), L"En haut à &droite");
    EXPECT_EQ(text(position, 2), L"En bas à g&auche");
    EXPECT_EQ(text(position, 3), L"En bas à d&roite");
}

TEST_F(PreviewTest, ResizingRoundTripsTheRectangleOnlyWhileTheCalendarIsOn) {
    Show();
    main_->WallpaperSettings.Calendar = false;
    preview_->SetCalendarVisible(false);
    ::SetWindowPos(preview_->hwnd(), nullptr, 0, 0, 300, 250, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(Rect(), (CalendarRect{200, 200, 700, 500}));
    EXPECT_FALSE(preview_->Image1Visible());
    EXPECT_FALSE(preview_->DragHandle1().Enabled());

    main_->WallpaperSettings.Calendar = true;
    preview_->SetCalendarVisible(true);
    ::SetWindowPos(preview_->hwnd(), nullptr, 0, 0, 403, 301, SWP_NOZORDER | SWP_NOACTIVATE);
    const CalendarRect r = Rect();
    EXPECT_LE(std::abs(r.left - 200), 3);
    EXPECT_LE(std::abs(r.right - 700), 3);
    EXPECT_LE(std::abs(r.bottom - 500), 3);
    // The handle follows the new scale: 1024 / 403 screen pixels per pixel.
    EXPECT_EQ(preview_->DragHandle1().Bounds().left, 79);  // 200 * 403 / 1024 = 78.7
}

TEST_F(PreviewTest, CalendarSwitchedOnWhileShownAppearsAtTheStoredRectangle) {
    main_->WallpaperSettings.Calendar = false;
    preview_->DragHandle1().DetachAll();  // as at the start: never attached
    Show();
    EXPECT_EQ(preview_->DragHandle1().AttachedCount(), 0);
    // What the settings dialog does on "ok" with the calendar ticked.
    main_->WallpaperSettings.Calendar = true;
    preview_->SetCalendarVisible(true);
    preview_->ShowCalendarRect();
    preview_->StoreCalendarRect();
    preview_->AttachHandle();
    EXPECT_EQ(preview_->DragHandle1().Bounds(), (drag::Bounds{100, 100, 250, 150}));
    EXPECT_EQ(preview_->Image1Bounds(), (drag::Bounds{102, 102, 245, 145}));
    EXPECT_EQ(Rect(), (CalendarRect{200, 200, 700, 500}));
}

TEST_F(PreviewTest, HandEditedRectangleFarAwayPaintsWithoutHarm) {
    auto& s = main_->WallpaperSettings;
    s.CalL = 2000000000, s.CalT = -2000000000, s.CalR = -5, s.CalB = 2000000000;
    Show();
    const drag::Bounds b = preview_->DragHandle1().Bounds();
    EXPECT_LE(b.left, kMaxWindowCoordinate);
    EXPECT_GE(b.width, 0);
    const Snapshot snap = Capture(preview_->hwnd());
    EXPECT_GT(snap.width, 0);
    EXPECT_TRUE(testing_support::ReportedErrors().empty());
}

}  // namespace
}  // namespace orvane
