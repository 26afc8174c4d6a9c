// The flat buttons as a keyboard user and a screen reader meet them: real
// push buttons, reached by Tab in reading order, pressed by Space and by
// Alt with a caption's underlined letter, never by Enter or Escape.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "wallpaper/about_box.h"
#include "wallpaper/application.h"
#include "wallpaper/main_window.h"
#include "win32/flat_button.h"
#include "win32/message_loop.h"
#include "win32/test_support.h"

namespace orvane {
namespace {

using testing_support::ReportedErrors;
using testing_support::RunSoon;

std::wstring Text(HWND h) {
    wchar_t buf[256]{};
    ::GetWindowTextW(h, buf, 256);
    return buf;
}

// The program's own loop for a moment: keys go through the navigation first.
void PumpAsTheProgram(DWORD ms = 30) {
    const DWORD end = ::GetTickCount() + ms;
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (win::HandleNavigationKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (static_cast<LONG>(::GetTickCount() - end) < 0);
}

// A key pressed and released on the focused control.
void Key(UINT vk) {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, vk, 1);
    ::PostMessageW(focus, WM_KEYUP, vk, 1 | (1u << 30) | (1u << 31));
    PumpAsTheProgram();
}

TEST(FlatButtonKeyboard, TabReachesTheMainWindowsButtonsInReadingOrderAndSpacePressesTheFocusedOne) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
    auto app = std::make_unique<Application>(testing_support::TestUi(), false);
    app->Main().StartupTimer().SetEnabled(false);
    MainWindow& main = app->Main();
    main.ShowMainWindow();
    PumpAsTheProgram(100);
    ::SetFocus(main.hwnd());

    std::vector<std::wstring> reached;
    for (int i = 0; i < 9; ++i) {
        Key(VK_TAB);
        HWND focus = ::GetFocus();
        reached.push_back(focus == main.PictureListBox() ? L"<liste>" : Text(focus));
    }
    // "Appliquer" is disabled until a picture is selected; the last Tab wraps round.
    EXPECT_EQ(reached, (std::vector<std::wstring>{L"Paramètres", L"Aide", L"Réduire", L"<liste>",
                                                  L"Ajouter un fichier", L"Ajouter un répertoire",
                                                  L"Supprimer sélection", L"Afficher l'image", L"Paramètres"}));

    Key(VK_TAB);
    ASSERT_EQ(Text(::GetFocus()), L"Aide");
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_FALSE(app->About().Visible());
    EXPECT_TRUE(::IsWindowVisible(main.hwnd()));

    bool aboutShown = false;
    RunSoon([&] {
        aboutShown = app->About().Visible();
        ::PostMessageW(::GetDlgItem(app->About().hwnd(), kAboutOkId), BM_CLICK, 0, 0);
    });
    Key(VK_SPACE);
    EXPECT_TRUE(aboutShown);
    EXPECT_FALSE(app->About().Visible());
    app.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane");
}

// A bare window holding flat buttons, as any of the programs' windows does.
class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvaneFlatButtonTestParent";
        ::RegisterClassW(&wc);
        parent_ = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                    nullptr, nullptr, wc.hInstance, nullptr);
        ReportedErrors().clear();
    }
    void TearDown() override {
        first_.reset();
        second_.reset();
        ::DestroyWindow(parent_);
    }
    HWND parent_ = nullptr;
    std::unique_ptr<win::FlatButton> first_ = std::make_unique<win::FlatButton>();
    std::unique_ptr<win::FlatButton> second_ = std::make_unique<win::FlatButton>();
};

TEST_F(FlatButtonTest, IsAPushButtonNamedByItsCaptionPressedByAltWithItsLetterAndSurvivesItsHandlersError) {
    int firstPresses = 0, secondPresses = 0;
    first_->Create(testing_support::TestUi(), parent_, 10, 10, 80, 30, L"&Essai", L"Un essai");
    first_->OnClick = [&] { ++firstPresses; };
    second_->Create(testing_support::TestUi(), parent_, 100, 10, 80, 30, L"Autre");
    second_->OnClick = [&] { ++secondPresses; };

    wchar_t cls[32]{};
    ::GetClassNameW(first_->hwnd(), cls, 32);
    EXPECT_STREQ(cls, L"Button");
    EXPECT_EQ(first_->Caption(), L"&Essai");

    // What a screen reader is told: the caption without its mnemonic mark.
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    HMODULE oleacc = ::LoadLibraryW(L"oleacc.dll");
    ASSERT_NE(oleacc, nullptr);
    auto fromWindow =
        reinterpret_cast<FromWindow>(reinterpret_cast<void*>(::GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
    ASSERT_NE(fromWindow, nullptr);
    IAccessible* accessible = nullptr;
    ASSERT_EQ(fromWindow(first_->hwnd(), OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_STREQ(name ? name : L"", L"Essai");
    ::SysFreeString(name);
    accessible->Release();

    MSG alt{parent_, WM_SYSCHAR, L'e', 1u << 29, 0, {}};
    EXPECT_TRUE(win::HandleNavigationKey(alt));
    EXPECT_EQ(firstPresses, 1);
    EXPECT_EQ(secondPresses, 0);

    // A disabled button is not pressed, whatever asks.
    second_->SetEnabled(false);
    ::SendMessageW(second_->hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(secondPresses, 0);

    // An error in its handler is reported and the button goes on.
    first_->OnClick = [&] {
        if (++firstPresses == 2) throw std::runtime_error("Fichier introuvable");
    };
    ::SendMessageW(first_->hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(ReportedErrors(), std::vector<std::wstring>{L"Fichier introuvable"});
    ::SendMessageW(first_->hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(firstPresses, 3);
}

}  // namespace
}  // namespace orvane
