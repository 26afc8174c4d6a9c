// The settings dialog in process: its controls as created, the fill from the
// loaded settings, activation, and "ok" / "Annuler" pressed through the main
// window's "Paramètres", with what reaches the model and the registry.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/wallpaper/tray_menu.h"
#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/settings_dialog.h"
#include "wallpaper/tray_icon.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::ReportedErrors;
using testing_support::StoredSetting;
using testing_support::StoreSetting;

std::function<void()>& Pending() {
    static std::function<void()> f;
    return f;
}
// Runs `f` from inside the dialog's modal loop.
void WhileOpen(std::function<void()> f) {
    Pending() = std::move(f);
    ::SetTimer(nullptr, 0, 60, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto f = std::move(Pending());
        Pending() = nullptr;
        if (f) f();
    });
}

std::wstring Text(HWND h) {
    wchar_t buf[512]{};
    ::GetWindowTextW(h, buf, 512);
    return buf;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        folder_ = MakeTempFolder(L"orvane-param-" + std::to_wstring(::GetTickCount())) + L"\\";
        app_ = std::make_unique<Application>(testing_support::TestUi(), false);
        app_->Main().StartupTimer().SetEnabled(false);
        StoreSetting(L"FileName", folder_ + L"piclist.cfg");
        for (const auto& [name, value] : {std::pair<const wchar_t*, const wchar_t*>{L"RunAtStartup", L"0"},
                                          {L"RunMode", L"1"},
                                          {L"Interval", L"30000"},
                                          {L"Random", L"1"},
                                          {L"WallPaperMode", L"2"},
                                          {L"Calendar", L"1"},
                                          {L"TransparentIcon", L"1"},
                                          {L"QuickIcon", L"1"},
                                          {L"RefDay", L"1"}})
            StoreSetting(name, value);
        // The start-up load fills the dialog; what is stored afterwards was saved.
        app_->Model().Load();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config");
        dlg_ = &app_->Settings();
    }
    void TearDown() override {
        app_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    const WallpaperSettings& Settings() { return app_->Model().Settings(); }
    HWND C(SettingsControlId id) { return dlg_->Control(id); }
    bool Checked(SettingsControlId id) { return ::SendMessageW(C(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(SettingsControlId id) { ::SendMessageW(C(id), BM_CLICK, 0, 0); }
    void SetText(SettingsControlId id, const wchar_t* text) { ::SetWindowTextW(C(id), text); }
    // Opens the dialog with the main window's "Paramètres" (its errors go to
    // the error box), edits it, then presses "ok" or another button.
    void EditAndConfirm(std::function<void()> edit, SettingsControlId button = kOkButton) {
        WhileOpen([this, edit, button] {
            edit();
            ::PostMessageW(C(button), BM_CLICK, 0, 0);
        });
        HWND settings = ::FindWindowExW(app_->Main().hwnd(), nullptr, L"Button", L"Paramètres");
        ASSERT_NE(settings, nullptr);
        ::SendMessageW(settings, BM_CLICK, 0, 0);
    }

    std::wstring folder_;
    std::unique_ptr<Application> app_;
    SettingsDialog* dlg_ = nullptr;
};

TEST_F(SettingsDialogTest, ControlsAsTheWindowIsCreated) {
    SettingsDialog& d = *dlg_;
    EXPECT_EQ(Text(d.hwnd()), L"Paramétrage");
    EXPECT_EQ(::GetWindow(d.hwnd(), GW_OWNER), app_->Main().hwnd());
    EXPECT_FALSE(d.Visible());
    const LONG style = ::GetWindowLongW(d.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    const std::pair<SettingsControlId, const wchar_t*> captions[] = {
        {kStartWithWindowsBox, L"Démarrage automatique"},
        {kRandomOrderButton, L"Tirage aléatoire"},
        {kListOrderButton, L"Tirage séquentiel"},
        {kStretchedButton, L"Etiré"},
        {kCentredButton, L"Centré"},
        {kTiledButton, L"Mosaïque"},
        {kAtEachStartButton, L"A chaque démarrage"},
        {kEveryIntervalButton, L"Toutes les "},
        {kCalendarBox, L"Calendrier"},
        {kTransparentLabelsBox, L"Icones Transparentes"},
        {kQuickActivationBox, L"Activation rapide"},
        {kOkButton, L"ok"},
        {kCancelButton, L"Annuler"},
    };
    for (const auto& [id, caption] : captions) EXPECT_EQ(Text(d.Control(id)), caption) << id;

    int lo = -1, hi = -1;
    ::SendMessageW(d.Control(kHoursArrows), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo),
                   reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 23);
    ::SendMessageW(d.Control(kMinutesArrows), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo),
                   reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 59);
    const wchar_t* days[] = {L"Dimanche", L"Lundi", L"Mardi", L"Mercredi", L"Jeudi", L"Vendredi", L"Samedi"};
    HWND combo = d.Control(kFirstDayList);
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 7);
    for (int i = 0; i < 7; ++i) {
        wchar_t buf[32]{};
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        EXPECT_STREQ(buf, days[i]);
    }
    // The bare edit fields take any text; the arrows step within their range.
    EXPECT_FALSE(::GetWindowLongW(d.Control(kHoursField), GWL_STYLE) & ES_NUMBER);
}

TEST_F(SettingsDialogTest, TheLoadFillsTheControls) {
    EXPECT_TRUE(Checked(kRandomOrderButton));
    EXPECT_TRUE(Checked(kEveryIntervalButton));
    EXPECT_FALSE(Checked(kStartWithWindowsBox));
    EXPECT_TRUE(Checked(kQuickActivationBox));
    EXPECT_EQ(Text(C(kHoursField)), L"8");
    EXPECT_EQ(Text(C(kMinutesField)), L"20");
    EXPECT_EQ(::SendMessageW(C(kFirstDayList), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Settings().Interval, 30000);  // shown as 8 h 20: the split is the core's
}

TEST_F(SettingsDialogTest, UnreadableHoursShowTheErrorAndSaveNothing) {
    EditAndConfirm([&] {
        Click(kListOrderButton);
        SetText(kHoursField, L"abc");
    });
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"'abc' n'est pas une valeur entière correcte");
    EXPECT_EQ(StoredSetting(L"RunMode"), L"<missing>");
    EXPECT_FALSE(Settings().Random);  // changed in memory before the fault
    EXPECT_EQ(Settings().Interval, 30000);
    // The controls keep the text for the next opening.
    EXPECT_EQ(Text(C(kHoursField)), L"abc");
    // Text beyond ASCII comes back in the error as typed.
    EditAndConfirm([&] {
        SetText(kHoursField, L"1");
        SetText(kMinutesField, L"trente‑été");
    });
    ASSERT_EQ(ReportedErrors().size(), 2u);
    EXPECT_EQ(ReportedErrors()[1], L"'trente‑été' n'est pas une valeur entière correcte");
}

TEST_F(SettingsDialogTest, OkSavesTheDialogsValues) {
    EditAndConfirm([&] {
        Click(kListOrderButton);
        Click(kTiledButton);
        ::SendMessageW(C(kFirstDayList), CB_SETCURSEL, 1, 0);
        Click(kCalendarBox);
    });
    EXPECT_TRUE(ReportedErrors().empty());
    EXPECT_EQ(StoredSetting(L"Random"), L"0");
    EXPECT_EQ(StoredSetting(L"WallPaperMode"), L"0");
    EXPECT_EQ(StoredSetting(L"RefDay"), L"2");
    EXPECT_EQ(StoredSetting(L"Calendar"), L"0");
    EXPECT_EQ(StoredSetting(L"Interval"), L"30000");
    EXPECT_EQ(StoredSetting(L"FileName"), folder_ + L"piclist.cfg");
    EXPECT_FALSE(dlg_->Visible());
}

TEST_F(SettingsDialogTest, CancelChangesNothingAndTheEditsStayForTheNextOpening) {
    app_->Model().MutableSettingsForTests().WallPaperMode = 1;
    bool centreAtOpening = false;
    EditAndConfirm(
        [&] {
            centreAtOpening = Checked(kCentredButton);
            Click(kTiledButton);
            SetText(kHoursField, L"9");
            Click(kListOrderButton);
        },
        kCancelButton);
    EXPECT_TRUE(centreAtOpening);
    EXPECT_EQ(StoredSetting(L"RunMode"), L"<missing>");
    EXPECT_TRUE(Settings().Random);
    EXPECT_EQ(Settings().WallPaperMode, 1);

    bool tileKept = true, centreAgain = false, randomSeq = false;
    std::wstring hours;
    WhileOpen([&] {
        tileKept = Checked(kTiledButton);
        centreAgain = Checked(kCentredButton);
        randomSeq = Checked(kListOrderButton);
        hours = Text(C(kHoursField));
        ::PostMessageW(dlg_->hwnd(), WM_CLOSE, 0, 0);  // the close box cancels too
    });
    EXPECT_EQ(dlg_->ShowModal(), 2);
    EXPECT_FALSE(tileKept);  // the position group follows WallPaperMode again
    EXPECT_TRUE(centreAgain);
    EXPECT_TRUE(randomSeq);  // other edits are still there
    EXPECT_EQ(hours, L"9");
}

TEST_F(SettingsDialogTest, AnOddStoredModeLeavesThePositionGroupAndTheMode) {
    app_->Model().MutableSettingsForTests().WallPaperMode = 7;
    bool anySelected = true;
    EditAndConfirm(
        [&] { anySelected = Checked(kStretchedButton) || Checked(kCentredButton) || Checked(kTiledButton); });
    EXPECT_FALSE(anySelected);
    EXPECT_EQ(StoredSetting(L"WallPaperMode"), L"7");
    EditAndConfirm([&] { Click(kCentredButton); });
    EXPECT_EQ(StoredSetting(L"WallPaperMode"), L"1");
}

TEST_F(SettingsDialogTest, EscapeAndEnterPressNothing) {
    bool stillOpen = false;
    WhileOpen([&] {
        ::SetFocus(C(kHoursField));
        for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
            ::PostMessageW(C(kHoursField), WM_KEYDOWN, key, 0);
            ::PostMessageW(C(kHoursField), WM_KEYUP, key, 0);
        }
        WhileOpen([&] {
            stillOpen = dlg_->Visible();
            ::PostMessageW(C(kCancelButton), BM_CLICK, 0, 0);
        });
    });
    EXPECT_EQ(dlg_->ShowModal(), 2);
    EXPECT_TRUE(stillOpen);
}

TEST_F(SettingsDialogTest, OkDrivesTheLabelWatchTheTrayTickAndTheRotationTimer) {
    TrayIcon& tray = *app_->Main().Tray();
    EditAndConfirm([&] {
        ::SendMessageW(C(kTransparentLabelsBox), BM_SETCHECK, BST_UNCHECKED, 0);
        ::SendMessageW(C(kQuickActivationBox), BM_SETCHECK, BST_CHECKED, 0);
        SetText(kHoursField, L"1");
        SetText(kMinutesField, L"30");
    });
    EXPECT_TRUE(app_->Timers().Running(ModelTimer::LabelWatch));
    EXPECT_TRUE(tray.QuickIconCheck());
    EXPECT_EQ(StoredSetting(L"TransparentIcon"), L"0");
    EXPECT_EQ(StoredSetting(L"QuickIcon"), L"1");
    EXPECT_TRUE(app_->Timers().Running(ModelTimer::Rotation));
    EXPECT_EQ(app_->Model().RotationInterval(), 5400000u);
    EXPECT_EQ(StoredSetting(L"Interval"), L"5400");
    EditAndConfirm([&] {
        ::SendMessageW(C(kQuickActivationBox), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(kAtEachStartButton);
    });
    EXPECT_FALSE(app_->Timers().Running(ModelTimer::LabelWatch));
    EXPECT_FALSE(tray.QuickIconCheck());
    EXPECT_EQ(::GetMenuState(tray.Menu(), kTrayQuickActivationCommand, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_FALSE(Checked(kEveryIntervalButton));
    EXPECT_FALSE(app_->Timers().Running(ModelTimer::Rotation));
    EXPECT_FALSE(app_->Model().RotationArmed());
    EXPECT_EQ(StoredSetting(L"RunMode"), L"0");
    EXPECT_EQ(StoredSetting(L"Interval"), L"5400");  // kept
}

}  // namespace
}  // namespace orvane
