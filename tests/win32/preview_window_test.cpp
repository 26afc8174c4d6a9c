// The preview window in process, over a wallpaper model whose system is made
// of fakes: the picture and the calendar as painted, the handle placed from
// the stored rectangle, drags, corner, font and colour items saved through
// the model, the settings' news, placement beside the main window, closing,
// and a change of DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/wallpaper/settings_transfer.h"
#include "core/fake_services.h"
#include "wallpaper/preview_window.h"
#include "win32/handles.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::PumpMessages;

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

// A solid picture of the fake files, 0xAARRGGBB, from a Windows colour.
std::uint32_t Pixel(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

const std::string kBluePicture = "C:\\Images\\été.bmp";
const std::string kGreenPicture = "C:\\Images\\pré.bmp";
const std::string kWhitePicture = "C:\\Images\\neige.bmp";
const std::string kBlackPicture = "C:\\Images\\nuit.bmp";
const COLORREF kBlue = RGB(20, 120, 200);
const std::string kLargePicture = "C:\\Images\\large.bmp";
const COLORREF kGreen = RGB(30, 160, 40);

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::ReportedErrors().clear();
        rig_.files.pictures[kBluePicture] = {80, 60, Pixel(kBlue)};
        rig_.files.pictures[kGreenPicture] = {80, 60, Pixel(kGreen)};
        rig_.files.pictures[kWhitePicture] = {8, 6, 0xFFFFFFFFu};
        rig_.files.pictures[kBlackPicture] = {8, 6, 0xFF000000u};
        rig_.files.pictures[kLargePicture] = {800, 600, Pixel(kBlue)};
        rig_.ListPictures({kBluePicture, kGreenPicture, kWhitePicture, kBlackPicture, kLargePicture});
        // The screen the preview stands for: the calendar rectangle is set for it.
        rig_.desktop.display = DisplayInfo{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), 32};
        rig_.model.Load();
        WallpaperSettings& s = rig_.model.MutableSettingsForTests();
        s.Calendar = true;
        s.CalL = 200, s.CalT = 200, s.CalR = 700, s.CalB = 500;
        s.MounthFont = s.DayFont = s.DayNumberFont = "Arial";
        s.colActualDay = 255;
        s.colNormalDay = 65535;
        s.colNonWorkDay = 32896;
        s.colWeekEnd = 16711680;
        s.RefDay = 2;
        preview_.Create();
        preview_.onClosed = [this] { ++closes_; };
        // Outer 512 x 384 on the 1024 x 768 screen: two screen pixels per window pixel.
        ::SetWindowPos(preview_.hwnd(), nullptr, 0, 0, 512, 384, SWP_NOZORDER | SWP_NOACTIVATE);
        rig_.store.writes.clear();
    }
    void Show() {
        preview_.ShowPreview();
        PumpMessages(30);
    }
    void Command(UINT id) { ::SendMessageW(preview_.hwnd(), WM_COMMAND, id, 0); }
    CalendarRect Rect() const {
        const auto& s = rig_.model.Settings();
        return {s.CalL, s.CalT, s.CalR, s.CalB};
    }
    bool Wrote(const std::string& name) const {
        return std::find(rig_.store.writes.begin(), rig_.store.writes.end(), name) != rig_.store.writes.end();
    }
    // What the settings dialog's "ok" does, with the calendar ticked or not.
    void ApplySettingsDialog(bool calendar) {
        ParamControlState controls;
        FillParamControls(rig_.model.Settings(), controls);
        controls.CheckBox2 = calendar;
        rig_.model.ApplySettings(BuildSettingsEdit(controls, rig_.model.Settings()));
    }

    fakes::ModelRig rig_;
    PreviewWindow preview_{testing_support::TestUi(), rig_.model};  // after the model, which it outlives not
    int closes_ = 0;
};

TEST_F(PreviewTest, FittedThePictureShowsTheBandsTheWallpaperWillHave) {
    rig_.model.MutableSettingsForTests().WallPaperMode = 6;  // "Ajuster": a 4:3 picture, a wider window
    rig_.model.LookAt(0);
    Show();
    const Snapshot snap = Capture(preview_.hwnd());
    EXPECT_EQ(snap.at(1, snap.height - 5), ::GetSysColor(COLOR_BACKGROUND));
    EXPECT_EQ(snap.at(snap.width / 2, snap.height - 5), kBlue);
}

TEST_F(PreviewTest, ShowsThePictureWithTheCalendarAtTheStoredRectangle) {
    ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    rig_.model.LookAt(0);
    Show();
    DragHandle& h = preview_.CalendarHandle();
    EXPECT_EQ(h.Bounds(), (drag::Bounds{100, 100, 250, 150}));
    EXPECT_EQ(preview_.CalendarOverlayBounds(), (drag::Bounds{102, 102, 245, 145}));
    EXPECT_TRUE(preview_.CalendarOverlayVisible());
    EXPECT_EQ(preview_.OverlaySize().cx, 250);
    const COLORREF grips = RGB(235, 135, 55);  // the complement of the picture's top-left pixel
    EXPECT_EQ(h.Color(), grips);

    const Snapshot snap = Capture(preview_.hwnd());
    EXPECT_EQ(snap.at(snap.width - 5, 5), kBlue);
    EXPECT_EQ(snap.at(50, snap.height - 5), kBlue);
    // The calendar's cells cover the picture inside the overlay only, and its
    // white background lets the picture through.
    const RECT overlay{102, 102, 347, 247};
    EXPECT_GT(snap.Count(overlay, RGB(255, 255, 0)), 500);  // working days
    EXPECT_GT(snap.Count(overlay, RGB(0, 0, 255)), 100);    // weekend cells
    EXPECT_EQ(snap.Count(overlay, RGB(255, 255, 255)), 0);  // no white box
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
    const RECT left{0, 0, 95, snap.height};
    EXPECT_EQ(snap.Count(left, RGB(255, 255, 0)), 0);
    // Grips in the handle's colour at its corners, 5 pixels at 96 DPI.
    EXPECT_EQ(snap.at(100, 100), grips);
    EXPECT_EQ(snap.at(104, 104), grips);
    EXPECT_NE(snap.at(106, 100), grips);
    EXPECT_EQ(snap.at(348, 248), grips);  // widened control ends at (349, 249)
    EXPECT_TRUE(rig_.store.writes.empty());  // looking saves nothing
}

TEST_F(PreviewTest, AnotherPictureIsShownAndRecoloursTheGrips) {
    rig_.model.LookAt(0);
    Show();
    EXPECT_EQ(Capture(preview_.hwnd()).at(5, 5), kBlue);
    // Same size as the first: only the model's picture version tells the
    // resampled copy is stale.
    rig_.model.LookAt(1);
    EXPECT_EQ(Capture(preview_.hwnd()).at(5, 5), kGreen);
    EXPECT_EQ(preview_.CalendarHandle().Color(), RGB(225, 95, 215));
    // A white top-left pixel gives black grips, a black one white grips.
    rig_.model.LookAt(2);
    EXPECT_EQ(preview_.CalendarHandle().Color(), RGB(0, 0, 0));
    rig_.model.LookAt(3);
    EXPECT_EQ(preview_.CalendarHandle().Color(), RGB(255, 255, 255));
}

TEST_F(PreviewTest, WithoutAPictureTheAreaIsPaintedPlain) {
    Show();
    const Snapshot snap = Capture(preview_.hwnd());
    EXPECT_EQ(snap.at(snap.width - 3, snap.height - 3), ::GetSysColor(COLOR_APPWORKSPACE));
    EXPECT_EQ(preview_.CalendarHandle().Color(), RGB(0, 0, 0));  // as created
}

TEST_F(PreviewTest, ArrowKeysMoveTheStoredRectangleTooWithoutSaving) {
    Show();
    HWND h = preview_.CalendarHandle().hwnd();
    ::SendMessageW(h, WM_KEYDOWN, VK_LEFT, 0);
    ::SendMessageW(h, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{99, 101, 250, 150}));
    EXPECT_EQ(Rect(), (CalendarRect{198, 202, 698, 502}));
    EXPECT_TRUE(rig_.store.writes.empty());
}

TEST_F(PreviewTest, DragStoresTheRectangleInTheModelOnly) {
    Show();
    HWND h = preview_.CalendarHandle().hwnd();
    auto at = [](int x, int y) {
        return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
    };
    ::SendMessageW(h, WM_MOUSEMOVE, 0, at(100, 70));  // the middle: a move
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at(100, 70));
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, at(150, 120));
    ::SendMessageW(h, WM_LBUTTONUP, 0, at(150, 120));
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{150, 150, 250, 150}));
    EXPECT_EQ(preview_.CalendarOverlayBounds(), (drag::Bounds{152, 152, 245, 145}));
    EXPECT_EQ(Rect(), (CalendarRect{300, 300, 800, 600}));
    EXPECT_TRUE(rig_.store.writes.empty());  // saved with the next save, not here
}

TEST_F(PreviewTest, PositionItemsStoreTheirCornerAndSave) {
    Show();
    struct Item {
        UINT id;
        CalendarRect expected;
    };
    const Item items[] = {
        {PreviewWindow::kTopLeftCommand, {0, 0, 256, 192}},
        {PreviewWindow::kTopRightCommand, {768, 0, 1024, 192}},
        {PreviewWindow::kBottomLeftCommand, {0, 576, 256, 768}},
        {PreviewWindow::kBottomRightCommand, {768, 576, 1024, 768}},
    };
    for (const Item& item : items) {
        rig_.store.writes.clear();
        Command(item.id);
        EXPECT_EQ(Rect(), item.expected) << item.id;
        EXPECT_TRUE(Wrote("CalR")) << item.id;
        EXPECT_EQ(rig_.store.values["CalR"], std::to_string(item.expected.right)) << item.id;
        EXPECT_EQ(rig_.store.values["CalB"], std::to_string(item.expected.bottom)) << item.id;
    }
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{384, 288, 128, 96}));
}

TEST_F(PreviewTest, FontItemsKeepOnlyTheFaceAndAlwaysSave) {
    std::vector<std::wstring> offered;
    preview_.chooseFont = [&](HWND, LOGFONTW& lf) {
        offered.push_back(lf.lfFaceName);
        if (offered.size() == 3) return false;  // the third is cancelled
        std::wcscpy(lf.lfFaceName, offered.size() == 1 ? L"Courier New" : L"Times New Roman");
        lf.lfHeight = -40;
        lf.lfWeight = FW_BOLD;
        return true;
    };
    Command(PreviewWindow::kMonthFontCommand);
    EXPECT_TRUE(Wrote("MounthFont"));
    EXPECT_EQ(rig_.store.values["MounthFont"], "Courier New");
    Command(PreviewWindow::kWeekdayFontCommand);
    rig_.store.writes.clear();
    Command(PreviewWindow::kDayNumberFontCommand);
    const auto& s = rig_.model.Settings();
    EXPECT_EQ(s.MounthFont, "Courier New");
    EXPECT_EQ(s.DayFont, "Times New Roman");
    EXPECT_EQ(s.DayNumberFont, "Arial");  // cancelled
    // One dialog: it starts at "MS Sans Serif", then at the last accepted font.
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"MS Sans Serif", L"Courier New", L"Times New Roman"}));
    EXPECT_TRUE(Wrote("Day#"));  // saved although cancelled
    EXPECT_EQ(rig_.store.values["Day#"], "Arial");
    EXPECT_EQ(rig_.store.values["DayFont"], "Times New Roman");
}

TEST_F(PreviewTest, ColourItemsSetTheirFieldFromOneDialogAndSave) {
    std::vector<COLORREF> offered;
    COLORREF next = RGB(10, 20, 30);
    bool accept = true;
    preview_.chooseColour = [&](HWND, COLORREF& c) {
        offered.push_back(c);
        if (!accept) return false;
        c = next;
        return true;
    };
    struct Item {
        UINT id;
        std::uint32_t WallpaperSettings::*field;
        const char* value;
    };
    const Item items[] = {
        {PreviewWindow::kMonthColourCommand, &WallpaperSettings::colMounth, "colMounth"},
        {PreviewWindow::kWeekdayColourCommand, &WallpaperSettings::colDay, "colDay"},
        {PreviewWindow::kDayNumberColourCommand, &WallpaperSettings::colDayNumber, "colDayNumber"},
        {PreviewWindow::kTodayColourCommand, &WallpaperSettings::colActualDay, "colActualDay"},
        {PreviewWindow::kNormalDayColourCommand, &WallpaperSettings::colNormalDay, "colNormalDay"},
        {PreviewWindow::kNonWorkDayColourCommand, &WallpaperSettings::colNonWorkDay, "colNonWorkDay"},
        {PreviewWindow::kWeekEndColourCommand, &WallpaperSettings::colWeekEnd, "colWeekEnd"},
    };
    std::uint32_t k = 1;
    for (const Item& item : items) {
        next = RGB(k, 2 * k, 3 * k);
        rig_.store.writes.clear();
        Command(item.id);
        EXPECT_EQ(rig_.model.Settings().*item.field, next) << k;
        EXPECT_TRUE(Wrote(item.value)) << k;
        EXPECT_EQ(rig_.store.values[item.value], std::to_string(next)) << k;
        ++k;
    }
    EXPECT_EQ(offered.front(), RGB(0, 0, 0));  // starts at black
    EXPECT_EQ(offered[1], RGB(1, 2, 3));       // then the last accepted
    accept = false;                            // cancelled: unchanged, saved all the same
    rig_.store.writes.clear();
    Command(PreviewWindow::kWeekEndColourCommand);
    EXPECT_EQ(rig_.model.Settings().colWeekEnd, RGB(7, 14, 21));
    EXPECT_TRUE(Wrote("colWeekEnd"));
}

TEST_F(PreviewTest, AFailedSaveReachesTheErrorBoxWithTheChoiceKept) {
    preview_.chooseColour = [](HWND, COLORREF& c) {
        c = RGB(9, 8, 7);
        return true;
    };
    rig_.files.unwritable.insert(rig_.files.defaultList);
    Command(PreviewWindow::kMonthColourCommand);
    ASSERT_EQ(testing_support::ReportedErrors().size(), 1u);
    EXPECT_NE(testing_support::ReportedErrors()[0].find(L"Impossible de créer le fichier"), std::wstring::npos);
    EXPECT_EQ(rig_.model.Settings().colMounth, RGB(9, 8, 7));
}

TEST_F(PreviewTest, ContextMenuHasTheFourteenEntries) {
    HMENU root = preview_.CalendarMenu();
    ASSERT_EQ(::GetMenuItemCount(root), 3);
    auto text = [](HMENU m, int i) {
        wchar_t buf[128]{};
        ::GetMenuStringW(m, i, buf, 128, MF_BYPOSITION);
        return std::wstring(buf);
    };
    EXPECT_EQ(text(root, 0), L"&Fontes");
    EXPECT_EQ(text(root, 1), L"&Couleurs");
    EXPECT_EQ(text(root, 2), L"&Position");
    HMENU fonts = ::GetSubMenu(root, 0), colours = ::GetSubMenu(root, 1), corners = ::GetSubMenu(root, 2);
    EXPECT_EQ(text(fonts, 0), L"&Mois");
    EXPECT_EQ(text(fonts, 1), L"&Jour de la semaine");
    EXPECT_EQ(text(fonts, 2), L"J&our");
    EXPECT_EQ(::GetMenuItemCount(colours), 7);
    EXPECT_EQ(text(colours, 0), L"&Mois");
    EXPECT_EQ(text(colours, 1), L"&Jour de la semaine");
    EXPECT_EQ(text(colours, 2), L"J&our");
    EXPECT_EQ(text(colours, 3), L"Jour &courrant");
    EXPECT_EQ(text(colours, 4), L"Fond &normal");
    EXPECT_EQ(text(colours, 5), L"Fond &férie");
    EXPECT_EQ(text(colours, 6), L"&Week End");
    EXPECT_EQ(text(corners, 0), L"En haut à &gauche");
    EXPECT_EQ(text(corners, 1), L"En haut à &droite");
    EXPECT_EQ(text(corners, 2), L"En bas à g&auche");
    EXPECT_EQ(text(corners, 3), L"En bas à d&roite");
    // Each item carries the command that does what its text says.
    EXPECT_EQ(::GetMenuItemID(fonts, 0), static_cast<UINT>(PreviewWindow::kMonthFontCommand));
    EXPECT_EQ(::GetMenuItemID(colours, 6), static_cast<UINT>(PreviewWindow::kWeekEndColourCommand));
    EXPECT_EQ(::GetMenuItemID(corners, 2), static_cast<UINT>(PreviewWindow::kBottomLeftCommand));
}

TEST_F(PreviewTest, OpeningResizingAndTheDialogNeverMoveTheStoredRectangle) {
    // Off: resizing leaves everything alone.
    Show();
    ApplySettingsDialog(false);
    ::SetWindowPos(preview_.hwnd(), nullptr, 0, 0, 300, 250, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(preview_.CalendarOverlayVisible());
    EXPECT_FALSE(preview_.CalendarHandle().Enabled());

    // On, with a rectangle that window pixels cannot hold exactly: the
    // handle follows each new scale, the rectangle stays to the pixel.
    const CalendarRect stored{701, 503, 1003, 741};
    rig_.model.MoveCalendar(stored);
    ApplySettingsDialog(true);
    preview_.HidePreview();
    Show();
    for (int i = 0; i < 20; ++i)
        ::SetWindowPos(preview_.hwnd(), nullptr, 0, 0, 380 + 7 * i, 290 + 5 * i, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplySettingsDialog(true);
    EXPECT_EQ(Rect(), stored);
    EXPECT_EQ(rig_.store.values["CalL"], "701");
    EXPECT_EQ(rig_.store.values["CalB"], "741");
    // The handle at the last scale, 1024 / 513 screen pixels per pixel.
    EXPECT_EQ(preview_.CalendarHandle().Bounds().left, 351);  // 701 * 513 / 1024 = 351.2
}

TEST_F(PreviewTest, TheCalendarShowsTheModelsDay) {
    // January 2031 begins on a Wednesday; with Monday first, the 15th is in
    // column 2 and the 17th in column 4 of the 35-pixel columns.
    auto todayColumns = [this] {
        const Snapshot snap = Capture(preview_.hwnd());
        std::vector<int> columns;
        for (int y = 102; y < 247; ++y)
            for (int x = 102; x < 347; ++x) {
                const COLORREF c = snap.at(x, y);
                const int column = (x - 102) / 35;
                if (GetRValue(c) > 200 && GetGValue(c) < 80 && GetBValue(c) < 80 &&
                    std::find(columns.begin(), columns.end(), column) == columns.end())
                    columns.push_back(column);
            }
        return columns;
    };
    rig_.clock.today = Date{2031, 1, 15};
    Show();
    EXPECT_EQ(todayColumns(), std::vector<int>{2});
    rig_.clock.today = Date{2031, 1, 17};  // past midnight twice
    EXPECT_EQ(todayColumns(), std::vector<int>{4});
}

TEST_F(PreviewTest, TheMenuKeyOpensTheCalendarMenuAtTheHandle) {
    Show();
    HWND h = preview_.CalendarHandle().hwnd();
    ::SetFocus(preview_.hwnd());
    const LPARAM middle = MAKELPARAM(100, 70);
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    ::SendMessageW(h, WM_LBUTTONUP, 0, middle);
    EXPECT_EQ(::GetFocus(), h);  // a click gives the handle the keyboard

    static RECT menu;
    menu = RECT{};
    testing_support::RunSoon([] {
        if (HWND popup = ::FindWindowW(L"#32768", nullptr)) ::GetWindowRect(popup, &menu);
        ::EndMenu();
    });
    ::SendMessageW(h, WM_KEYDOWN, VK_APPS, 0);
    RECT handle{};
    ::GetWindowRect(h, &handle);
    EXPECT_EQ(menu.left, handle.left);
    EXPECT_EQ(menu.top, handle.top);
    EXPECT_EQ(Rect(), (CalendarRect{200, 200, 700, 500}));  // the click moved nothing
}

TEST_F(PreviewTest, CalendarSwitchedOnWhileShownAppearsAtTheStoredRectangle) {
    rig_.model.MutableSettingsForTests().Calendar = false;
    preview_.CalendarHandle().DetachAll();  // as at the start: never attached
    Show();
    EXPECT_EQ(preview_.CalendarHandle().AttachedCount(), 0);
    EXPECT_FALSE(preview_.CalendarOverlayVisible());
    ApplySettingsDialog(true);
    EXPECT_TRUE(preview_.CalendarOverlayVisible());
    EXPECT_TRUE(preview_.CalendarHandle().Enabled());
    EXPECT_EQ(preview_.CalendarHandle().AttachedCount(), 1);
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{100, 100, 250, 150}));
    EXPECT_EQ(preview_.CalendarOverlayBounds(), (drag::Bounds{102, 102, 245, 145}));
    EXPECT_EQ(Rect(), (CalendarRect{200, 200, 700, 500}));
    EXPECT_EQ(rig_.store.values["CalL"], "200");  // the dialog's save carries it
}

TEST_F(PreviewTest, SettingsAppliedWhileHiddenOnlySwitchTheOverlay) {
    rig_.model.MutableSettingsForTests().Calendar = false;
    preview_.CalendarHandle().DetachAll();  // as at the start: never attached
    ApplySettingsDialog(true);
    EXPECT_TRUE(preview_.CalendarOverlayVisible());
    EXPECT_TRUE(preview_.CalendarHandle().Enabled());
    EXPECT_EQ(preview_.CalendarHandle().AttachedCount(), 0);
    // Showing it then places the calendar.
    Show();
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{100, 100, 250, 150}));
}

TEST_F(PreviewTest, CloseHidesTheWindowAndTellsTheOwner) {
    Show();
    ::SendMessageW(preview_.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    EXPECT_FALSE(preview_.Visible());
    EXPECT_TRUE(::IsWindow(preview_.hwnd()));
    EXPECT_EQ(closes_, 1);
    Show();
    preview_.Close();
    EXPECT_FALSE(preview_.Visible());
    EXPECT_EQ(closes_, 2);
    preview_.HidePreview();  // hiding is not closing
    EXPECT_EQ(closes_, 2);
}

TEST_F(PreviewTest, PlacedBesideTheMainWindowNarrowedToThePicturesProportions) {
    ::SetWindowPos(preview_.hwnd(), nullptr, 0, 0, 402, 298, SWP_NOZORDER | SWP_NOACTIVATE);
    rig_.model.LookAt(4);  // 800 x 600
    preview_.PlaceBeside(RECT{300, 40, 700, 400});  // left 300, 400 wide
    RECT r{};
    ::GetWindowRect(preview_.hwnd(), &r);
    EXPECT_EQ(r.left, 700);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right - r.left, 324);
    EXPECT_EQ(r.bottom - r.top, 243);
    // With room enough it keeps its size whatever the picture.
    preview_.PlaceBeside(RECT{0, 10, 300, 400});
    ::GetWindowRect(preview_.hwnd(), &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 324);
    EXPECT_EQ(r.bottom - r.top, 243);
}

TEST_F(PreviewTest, DpiChangeTakesTheSuggestedPlaceAndWidensTheGrips) {
    rig_.model.LookAt(0);
    Show();
    EXPECT_EQ(preview_.CalendarHandle().GripSize(), 5);
    RECT suggested{10, 20, 10 + 768, 20 + 576};  // 512 x 384 at 144 DPI
    ::SendMessageW(preview_.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT r{};
    ::GetWindowRect(preview_.hwnd(), &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right - r.left, 768);
    EXPECT_EQ(r.bottom - r.top, 576);
    EXPECT_EQ(preview_.CalendarHandle().GripSize(), 8);
    // The same stored rectangle at the new scale (4 screen pixels per 3).
    EXPECT_EQ(preview_.CalendarHandle().Bounds(), (drag::Bounds{150, 150, 375, 225}));
    EXPECT_EQ(Rect(), (CalendarRect{200, 200, 700, 500}));
    EXPECT_EQ(preview_.OverlaySize().cx, 375);
    const Snapshot snap = Capture(preview_.hwnd());
    const COLORREF grips = RGB(235, 135, 55);
    EXPECT_EQ(snap.at(157, 157), grips);  // inside an 8-pixel corner grip
    EXPECT_NE(snap.at(158, 150), grips);
    EXPECT_EQ(snap.at(snap.width - 5, 5), kBlue);  // the picture fills the larger area
}

TEST_F(PreviewTest, HandEditedRectangleFarAwayPaintsWithoutHarm) {
    auto& s = rig_.model.MutableSettingsForTests();
    s.CalL = 2000000000, s.CalT = -2000000000, s.CalR = -5, s.CalB = 2000000000;
    Show();
    const drag::Bounds b = preview_.CalendarHandle().Bounds();
    EXPECT_LE(b.left, kMaxWindowCoordinate);
    EXPECT_GE(b.width, 0);
    const Snapshot snap = Capture(preview_.hwnd());
    EXPECT_GT(snap.width, 0);
    EXPECT_TRUE(testing_support::ReportedErrors().empty());
}

}  // namespace
}  // namespace orvane
