// The settings dialog in process: its controls as created, the fill from the
// settings, activation, and "ok" / "Annuler" with what reaches the registry.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "wallpaper/param_dialog.h"
#include "wallpaper/tray_icon.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::MakeTempFolder;
using testing_support::PumpMessages;
using testing_support::ReportedErrors;

BOOL IgnoreNotify(DWORD, NOTIFYICONDATAW*) { return TRUE; }

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

class ParamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
        ReportedErrors().clear();
        TTrayIcon::SetNotifyFunction(&IgnoreNotify);
        folder_ = MakeTempFolder(L"orvane-param-" + std::to_wstring(::GetTickCount())) + L"\\";
        main_ = CreateApplicationWindows(false);
        main_->Timer2.SetEnabled(false);
        auto& s = main_->WallpaperSettings;
        s.FileName = win::Narrow(folder_ + L"piclist.cfg");
        s.RunAtStartup = false;
        s.RunMode = 1;
        s.Interval = 30000;
        s.Random = true;
        s.WallPaperMode = 2;
        s.Calendar = true;
        s.TransparentIcon = true;
        s.QuickIcon = true;
        s.RefDay = 1;
        main_->Paramfrm->FillFromSettings(s);
        dlg_ = main_->Paramfrm.get();
    }
    void TearDown() override {
        main_.reset();
        TTrayIcon::SetNotifyFunction(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    }
    HWND C(ParamControlId id) { return dlg_->Control(id); }
    bool Checked(ParamControlId id) { return ::SendMessageW(C(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(ParamControlId id) { ::SendMessageW(C(id), BM_CLICK, 0, 0); }
    void SetText(ParamControlId id, const wchar_t* text) { ::SetWindowTextW(C(id), text); }
    // Opens the dialog through "Paramètres" (its errors go to the error box),
    // edits it, then presses "ok".
    void EditAndConfirm(std::function<void()> edit, ParamControlId button = kParamCloseBtn) {
        WhileOpen([this, edit, button] {
            edit();
            ::PostMessageW(C(button), BM_CLICK, 0, 0);
        });
        ::SendMessageW(main_->ParamBtn.hwnd(), BM_CLICK, 0, 0);
    }
    std::wstring Stored(const wchar_t* name) {
        wchar_t buf[256]{};
        DWORD size = sizeof(buf);
        if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Config", name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
            ERROR_SUCCESS)
            return L"<missing>";
        return buf;
    }

    std::wstring folder_;
    std::unique_ptr<TfrmMain> main_;
    TParamfrm* dlg_ = nullptr;
};

TEST(ParamCreation, ControlsAsTheWindowIsCreated) {
    TTrayIcon::SetNotifyFunction(&IgnoreNotify);
    auto main = CreateApplicationWindows(false);
    main->Timer2.SetEnabled(false);
    TParamfrm& d = *main->Paramfrm;
    EXPECT_EQ(Text(d.hwnd()), L"Paramétrage");
    RECT rc{};
    ::GetClientRect(d.hwnd(), &rc);
    EXPECT_EQ(rc.right, 344);
    EXPECT_EQ(rc.bottom, 359);
    const LONG style = ::GetWindowLongW(d.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    const std::pair<ParamControlId, const wchar_t*> captions[] = {
        {kParamCheckBox1, L"Démarrage automatique"}, {kParamRadioButton1, L"Tirage aléatoire"},
        {kParamRadioButton2, L"Tirage séquentiel"},   {kParamRbFit, L"Etiré"},
        {kParamRbCenter, L"Centré"},                  {kParamRbTile, L"Mosaïque"},
        {kParamRadioButton3, L"A chaque démarrage"},  {kParamRadioButton4, L"Toutes les "},
        {kParamCheckBox2, L"Calendrier"},             {kParamCbTranspIcon, L"Icones Transparentes"},
        {kParamQuickIcon, L"Activation rapide"},      {kParamCloseBtn, L"ok"},
        {kParamSpeedButton1, L"Annuler"},
    };
    for (const auto& [id, caption] : captions) EXPECT_EQ(Text(d.Control(id)), caption) << id;

    const ParamControlState c = d.ReadControls();
    EXPECT_TRUE(c.CheckBox1);
    EXPECT_TRUE(c.RadioButton1);
    EXPECT_TRUE(c.RadioButton4);
    EXPECT_FALSE(c.RadioButton3);
    EXPECT_EQ(c.Edit1, "0");
    EXPECT_EQ(c.Edit2, "5");
    EXPECT_EQ(c.Position, -1);
    EXPECT_TRUE(c.CheckBox2);
    EXPECT_EQ(c.ComboBox1, -1);
    EXPECT_TRUE(c.cbTranspIcon);
    EXPECT_FALSE(c.QuickIcon);

    int lo = -1, hi = -1;
    ::SendMessageW(d.Control(kParamUpDown1), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 23);
    ::SendMessageW(d.Control(kParamUpDown2), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 59);
    const wchar_t* days[] = {L"Dimanche", L"Lundi", L"Mardi", L"Mercredi", L"Jeudi", L"Vendredi", L"Samedi"};
    HWND combo = d.Control(kParamComboBox1);
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 7);
    for (int i = 0; i < 7; ++i) {
        wchar_t buf[32]{};
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        EXPECT_STREQ(buf, days[i]);
    }
    // The bare edit fields take any text; the arrows step within their range.
    EXPECT_FALSE(::GetWindowLongW(d.Control(kParamEdit1), GWL_STYLE) & ES_NUMBER);
    main.reset();
    TTrayIcon::SetNotifyFunction(nullptr);
}

TEST_F(ParamTest, FillSplitsTheIntervalAndKeepsLargeHoursAsTheyAre) {
    auto s = main_->WallpaperSettings;
    s.Interval = 5400;
    s.RefDay = 7;
    s.Random = false;
    dlg_->FillFromSettings(s);
    EXPECT_EQ(Text(C(kParamEdit1)), L"1");
    EXPECT_EQ(Text(C(kParamEdit2)), L"30");
    EXPECT_EQ(::SendMessageW(C(kParamComboBox1), CB_GETCURSEL, 0, 0), 6);
    EXPECT_TRUE(Checked(kParamRadioButton2));
    EXPECT_FALSE(Checked(kParamRadioButton1));
    s.Interval = 40 * 3600;
    dlg_->FillFromSettings(s);
    EXPECT_EQ(Text(C(kParamEdit1)), L"40");
}

TEST_F(ParamTest, UnreadableHoursShowTheErrorAndSaveNothing) {
    EditAndConfirm([&] {
        Click(kParamRadioButton2);
        SetText(kParamEdit1, L"abc");
    });
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"'abc' n'est pas une valeur entière correcte");
    EXPECT_EQ(Stored(L"RunMode"), L"<missing>");
    EXPECT_FALSE(main_->WallpaperSettings.Random);  // changed in memory before the fault
    EXPECT_EQ(main_->WallpaperSettings.Interval, 30000);
    // The controls keep the text for the next opening.
    EXPECT_EQ(Text(C(kParamEdit1)), L"abc");
}

TEST_F(ParamTest, AccentedTextIsQuotedAsTyped) {
    EditAndConfirm([&] { SetText(kParamEdit2, L"trente‑été"); });
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], L"'trente‑été' n'est pas une valeur entière correcte");
}

TEST_F(ParamTest, NegativeOrOverlongDurationsAreRefusedAndChangeNothing) {
    for (const wchar_t* hours : {L"-1", L"1194"}) {
        ReportedErrors().clear();
        EditAndConfirm([&] {
            Click(kParamRadioButton2);
            Click(kParamCheckBox1);
            SetText(kParamEdit1, hours);
        });
        ASSERT_EQ(ReportedErrors().size(), 1u) << win::Narrow(hours);
        EXPECT_NE(ReportedErrors()[0].find(L"durée"), std::wstring::npos);
        EXPECT_TRUE(main_->WallpaperSettings.Random);
        EXPECT_FALSE(main_->WallpaperSettings.RunAtStartup);
        EXPECT_EQ(main_->WallpaperSettings.Interval, 30000);
        EXPECT_EQ(Stored(L"RunMode"), L"<missing>");
    }
}

TEST_F(ParamTest, CancelChangesNothingAndTheEditsStayForTheNextOpening) {
    main_->WallpaperSettings.WallPaperMode = 1;
    bool centreAtOpening = false;
    EditAndConfirm(
        [&] {
            centreAtOpening = Checked(kParamRbCenter);
            Click(kParamRbTile);
            SetText(kParamEdit1, L"9");
            Click(kParamRadioButton2);
        },
        kParamSpeedButton1);
    EXPECT_TRUE(centreAtOpening);
    EXPECT_EQ(Stored(L"RunMode"), L"<missing>");
    EXPECT_TRUE(main_->WallpaperSettings.Random);
    EXPECT_EQ(main_->WallpaperSettings.WallPaperMode, 1);

    bool tileKept = true, centreAgain = false, randomSeq = false;
    std::wstring hours;
    WhileOpen([&] {
        tileKept = Checked(kParamRbTile);
        centreAgain = Checked(kParamRbCenter);
        randomSeq = Checked(kParamRadioButton2);
        hours = Text(C(kParamEdit1));
        ::PostMessageW(dlg_->hwnd(), WM_CLOSE, 0, 0);  // the close box cancels too
    });
    EXPECT_EQ(main_->Paramfrm->ShowModal(), 2);
    EXPECT_FALSE(tileKept);     // the position group follows WallPaperMode again
    EXPECT_TRUE(centreAgain);
    EXPECT_TRUE(randomSeq);     // other edits are still there
    EXPECT_EQ(hours, L"9");
}

TEST_F(ParamTest, AnOddStoredModeLeavesThePositionGroupAndTheMode) {
    main_->WallpaperSettings.WallPaperMode = 7;
    bool anySelected = true;
    EditAndConfirm([&] { anySelected = Checked(kParamRbFit) || Checked(kParamRbCenter) || Checked(kParamRbTile); });
    EXPECT_FALSE(anySelected);
    EXPECT_EQ(Stored(L"WallPaperMode"), L"7");
    EditAndConfirm([&] { Click(kParamRbCenter); });
    EXPECT_EQ(Stored(L"WallPaperMode"), L"1");
}

TEST_F(ParamTest, EscapeAndEnterPressNothing) {
    bool stillOpen = false;
    WhileOpen([&] {
        ::SetFocus(C(kParamEdit1));
        for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
            ::PostMessageW(C(kParamEdit1), WM_KEYDOWN, key, 0);
            ::PostMessageW(C(kParamEdit1), WM_KEYUP, key, 0);
        }
        WhileOpen([&] {
            stillOpen = dlg_->Visible();
            ::PostMessageW(C(kParamSpeedButton1), BM_CLICK, 0, 0);
        });
    });
    EXPECT_EQ(dlg_->ShowModal(), 2);
    EXPECT_TRUE(stillOpen);
}

TEST_F(ParamTest, IconOptionsDriveTheTimerAndTheTrayTick) {
    EditAndConfirm([&] {
        ::SendMessageW(C(kParamCbTranspIcon), BM_SETCHECK, BST_UNCHECKED, 0);
        ::SendMessageW(C(kParamQuickIcon), BM_SETCHECK, BST_CHECKED, 0);
    });
    EXPECT_TRUE(main_->TimerTrans.Enabled());
    EXPECT_TRUE(main_->TrayIcon1->QuickIconCheck());
    EXPECT_EQ(Stored(L"TransparentIcon"), L"0");
    EXPECT_EQ(Stored(L"QuickIcon"), L"1");
    EditAndConfirm([&] { ::SendMessageW(C(kParamQuickIcon), BM_SETCHECK, BST_UNCHECKED, 0); });
    EXPECT_FALSE(main_->TimerTrans.Enabled());
    EXPECT_FALSE(main_->TrayIcon1->QuickIconCheck());
    EXPECT_EQ(::GetMenuState(main_->TrayIcon1->Menu(), kMenuActivationRapide1, MF_BYCOMMAND) & MF_CHECKED, 0u);
}

TEST_F(ParamTest, TheRotationTimerFollowsTheDialog) {
    main_->Timer3.SetInterval(30000000);
    main_->Timer3.SetEnabled(true);
    EditAndConfirm([&] {
        SetText(kParamEdit1, L"8");
        SetText(kParamEdit2, L"20");  // 30000 s again: the countdown goes on
    });
    EXPECT_EQ(main_->Timer3.Interval(), 30000000u);
    EXPECT_TRUE(main_->Timer3.Enabled());
    EditAndConfirm([&] {
        SetText(kParamEdit1, L"1");
        SetText(kParamEdit2, L"30");
    });
    EXPECT_EQ(main_->Timer3.Interval(), 5400000u);
    EXPECT_EQ(Stored(L"Interval"), L"5400");
    EditAndConfirm([&] { Click(kParamRadioButton3); });
    EXPECT_FALSE(Checked(kParamRadioButton4));
    EXPECT_FALSE(main_->Timer3.Enabled());
    EXPECT_EQ(Stored(L"RunMode"), L"0");
    EXPECT_EQ(Stored(L"Interval"), L"5400");  // kept
}

}  // namespace
}  // namespace orvane
