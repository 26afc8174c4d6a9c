// The settings dialog of the real program, driven as a user would: the main
// window's "Paramètres", the controls, "ok" / "Annuler", and the registry.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "e2e/driver.h"
#include "e2e/wallpaper_fixture.h"

namespace e2e {
namespace {

class ParamE2eTest : public WallpaperTest {
protected:
    // Starts shown (any argument) with one picture, then opens the dialog.
    void OpenDialog() {
        const std::wstring picture = pictures_ + L"vert.bmp";
        ASSERT_TRUE(WriteSolidBmp(picture, 8, 8, 0x20A040));
        WriteList({picture});
        Start(L"/montrer");
        main_ = WaitMainWindow();
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(Click(Button(main_, L"Paramètres")));
        dialog_ = WaitForWindow(L"Paramétrage", L"TParamfrm", 10000, app_.Id());
        ASSERT_NE(dialog_, nullptr);
    }
    HWND Control(const wchar_t* cls, const wchar_t* text, int index = 0) {
        return FindChild(dialog_, cls, text, index);
    }
    void SetText(HWND edit, const wchar_t* text) {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &r);
    }
    void Press(const wchar_t* caption) { ASSERT_TRUE(Click(Control(L"Button", caption))); }
    void SelectRadio(const wchar_t* caption) {
        HWND radio = Control(L"Button", caption);
        ASSERT_NE(radio, nullptr) << "no control";
        Click(radio);
        ASSERT_TRUE(WaitFor([&] {
            DWORD_PTR state = 0;
            ::SendMessageTimeoutW(radio, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
            return state == BST_CHECKED;
        }));
    }
    bool DialogClosed() {
        return WaitFor([&] { return !::IsWindowVisible(dialog_); }, 5000);
    }

    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(ParamE2eTest, OkStoresTheIntervalTheModeAndTheFirstDay) {
    OpenDialog();
    SelectRadio(L"Toutes les ");
    SetText(Control(L"Edit", nullptr, 0), L"1");
    SetText(Control(L"Edit", nullptr, 1), L"30");
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(Control(L"ComboBox", nullptr), CB_SETCURSEL, 6, 0, SMTO_ABORTIFHUNG, 5000, &r);
    Press(L"ok");
    ASSERT_TRUE(DialogClosed());
    // RefDay is the last value saved.
    EXPECT_TRUE(WaitFor([&] { return Setting(L"RefDay") == L"7"; }));  // Saturday
    EXPECT_EQ(Setting(L"Interval"), L"5400");
    EXPECT_EQ(Setting(L"RunMode"), L"1");
}

TEST_F(ParamE2eTest, LettersInTheHoursFieldShowTheErrorAndSaveNothing) {
    OpenDialog();
    SelectRadio(L"Toutes les ");
    SetText(Control(L"Edit", nullptr, 0), L"abc");
    Press(L"ok");
    EXPECT_EQ(AcceptMessageBox(), L"'abc' n'est pas une valeur entière correcte");
    ::Sleep(300);
    EXPECT_EQ(Setting(L"RunMode"), L"<missing>");
    EXPECT_EQ(Setting(L"Interval"), L"<missing>");
    EXPECT_TRUE(app_.Running());
}

TEST_F(ParamE2eTest, AnnulerChangesNothing) {
    ASSERT_TRUE(WriteString(Root::CurrentUser, kConfigKey, L"RefDay", L"3"));
    OpenDialog();
    SelectRadio(L"Tirage séquentiel");
    SetText(Control(L"Edit", nullptr, 1), L"45");
    Press(L"Annuler");
    ASSERT_TRUE(DialogClosed());
    ::Sleep(300);
    EXPECT_EQ(Setting(L"RefDay"), L"3");
    EXPECT_EQ(Setting(L"Random"), L"<missing>");
    EXPECT_EQ(Setting(L"Interval"), L"<missing>");
}

}  // namespace
}  // namespace e2e
