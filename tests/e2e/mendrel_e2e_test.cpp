// Mendrel.exe as a user sees it: its window, its status line and what its
// switch buttons leave in the registry, across restarts.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace {

using namespace e2e;

const wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const wchar_t kBrowse[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BrowseNewProcess";
const wchar_t kAdvanced[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const wchar_t kOn[] = L"La fonction prévention est activée.";
const wchar_t kOff[] = L"La fonction prévention est désactivée.";

class MendrelApp : public ::testing::Test {
protected:
    // Both options start absent; the snapshots put the machine back after.
    MendrelApp() : browse_(Root::LocalMachine, kBrowse), advanced_(Root::CurrentUser, kAdvanced) {
        DeleteKeyTree(Root::LocalMachine, kBrowse);
        DeleteValue(Root::CurrentUser, kAdvanced, L"SeparateProcess");
    }

    // Starts the program and waits for its window.
    HWND Start() {
        app_ = Process::Start(L"Mendrel.exe");
        HWND w = WaitForWindow(L"Mendrel Explorer", nullptr, 15000, app_.Id());
        EXPECT_NE(w, nullptr) << "no window";
        return w;
    }
    static std::wstring Status(HWND w) { return GetText(FindChild(w, L"Static", nullptr, 2)); }
    static HWND Button(HWND w, const wchar_t* text) { return FindChild(w, L"Button", text); }
    // Clicks and waits for the status line to show `expected`.
    static bool ClickFor(HWND w, const wchar_t* button, const std::wstring& expected) {
        SetStatusMarker(w);
        if (!Click(Button(w, button))) return false;
        return WaitFor([&] { return Status(w) == expected; }, 10000);
    }
    // Blanks the status line, so a click that writes the same text is seen.
    static void SetStatusMarker(HWND w) {
        ::SendMessageTimeoutW(FindChild(w, L"Static", nullptr, 2), WM_SETTEXT, 0,
                              reinterpret_cast<LPARAM>(L"-"), SMTO_ABORTIFHUNG, 5000, nullptr);
    }
    void Stop() {
        if (HWND w = FindTopWindow(L"Mendrel Explorer", nullptr, app_.Id())) ::PostMessageW(w, WM_CLOSE, 0, 0);
        EXPECT_EQ(app_.Wait(10000), std::optional<DWORD>(0));
    }

    RegistrySnapshot browse_;
    RegistrySnapshot advanced_;
    Process app_;
};

TEST_F(MendrelApp, WindowShowsItsControlsAtTheirPlaces) {
    HWND w = Start();
    ASSERT_TRUE(w);
    RECT client{};
    ::GetClientRect(w, &client);
    EXPECT_EQ(client.right, 286);
    EXPECT_EQ(client.bottom, 327);
    struct Expected {
        const wchar_t* text;
        RECT rect;
    };
    const Expected buttons[] = {
        {L"Optimiser", {32, 152, 97, 185}},
        {L"Corriger", {176, 152, 241, 185}},
        {L"Par défaut", {32, 216, 97, 249}},
        {L"Aide", {176, 216, 241, 249}},
    };
    for (const auto& b : buttons) {
        HWND h = Button(w, b.text);
        ASSERT_TRUE(h) << "missing button";
        const RECT r = ChildRect(h);
        EXPECT_EQ(r.left, b.rect.left);
        EXPECT_EQ(r.top, b.rect.top);
        EXPECT_EQ(r.right, b.rect.right);
        EXPECT_EQ(r.bottom, b.rect.bottom);
        EXPECT_TRUE(::IsWindowEnabled(h));
    }
    const std::wstring label1 = GetText(FindChild(w, L"Static", nullptr, 0));
    const std::wstring label2 = GetText(FindChild(w, L"Static", nullptr, 1));
    EXPECT_EQ(label1.size(), 184u);
    EXPECT_EQ(label2.size(), 190u);
    EXPECT_NE(label1.find(L"menu \"Démarrer\"..."), std::wstring::npos);
    EXPECT_TRUE(label2.ends_with(L"cliquez sur le bouton \"Corriger\"."));
    // The two file-system lists exist but are never shown.
    HWND dir1 = FindChild(w, L"ListBox", nullptr, 0), file1 = FindChild(w, L"ListBox", nullptr, 1);
    ASSERT_TRUE(dir1 && file1);
    EXPECT_FALSE(::IsWindowVisible(dir1));
    EXPECT_FALSE(::IsWindowVisible(file1));
    Stop();
}

TEST_F(MendrelApp, OptimiserThenRestartThenParDefaut) {
    HWND w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);

    ASSERT_TRUE(ClickFor(w, L"Optimiser", kOn));
    EXPECT_EQ(ReadString(Root::LocalMachine, kBrowse, L"BrowseNewProcess"), std::optional<std::wstring>(L"yes"));
    EXPECT_EQ(ReadDword(Root::CurrentUser, kAdvanced, L"SeparateProcess"), std::optional<DWORD>(1));
    // A second click writes nothing new and says the same.
    ASSERT_TRUE(ClickFor(w, L"Optimiser", kOn));
    Stop();

    w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOn);
    ASSERT_TRUE(WriteString(Root::LocalMachine, kBrowse, L"Autre", L"reste?"));
    ASSERT_TRUE(ClickFor(w, L"Par défaut", kOff));
    EXPECT_FALSE(KeyExists(Root::LocalMachine, kBrowse));
    EXPECT_TRUE(KeyExists(Root::LocalMachine, kExplorer));
    EXPECT_FALSE(ReadValue(Root::CurrentUser, kAdvanced, L"SeparateProcess"));
    Stop();

    w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);
    Stop();
}

TEST_F(MendrelApp, DataOfOtherLetterCaseIsLeftAlone) {
    ASSERT_TRUE(WriteString(Root::LocalMachine, kBrowse, L"BrowseNewProcess", L"No"));
    ASSERT_TRUE(WriteString(Root::CurrentUser, kAdvanced, L"SeparateProcess", L"1"));  // text "1" counts as on
    HWND w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);
    ASSERT_TRUE(ClickFor(w, L"Optimiser", kOn));
    EXPECT_EQ(ReadString(Root::LocalMachine, kBrowse, L"BrowseNewProcess"), std::optional<std::wstring>(L"No"));
    Stop();
    w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);  // the truth comes back at the next start
    Stop();
}

TEST_F(MendrelApp, ZeroBecomesOneAndEmptyBecomesYes) {
    ASSERT_TRUE(WriteString(Root::LocalMachine, kBrowse, L"BrowseNewProcess", L""));
    ASSERT_TRUE(WriteDword(Root::CurrentUser, kAdvanced, L"SeparateProcess", 0));
    HWND w = Start();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ClickFor(w, L"Optimiser", kOn));
    EXPECT_EQ(ReadString(Root::LocalMachine, kBrowse, L"BrowseNewProcess"), std::optional<std::wstring>(L"yes"));
    EXPECT_EQ(ReadDword(Root::CurrentUser, kAdvanced, L"SeparateProcess"), std::optional<DWORD>(1));
    Stop();
}

TEST_F(MendrelApp, UnreadableNumberIsLeftAlone) {
    // A number value of three bytes reads as no data: neither empty nor 0.
    RegValue odd;
    odd.type = REG_DWORD;
    odd.data = {1, 2, 3};
    ASSERT_TRUE(WriteValue(Root::CurrentUser, kAdvanced, L"SeparateProcess", odd));
    HWND w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);
    ASSERT_TRUE(ClickFor(w, L"Optimiser", kOn));
    auto kept = ReadValue(Root::CurrentUser, kAdvanced, L"SeparateProcess");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->data.size(), 3u);
    Stop();
}

TEST_F(MendrelApp, RegistryErrorShowsNumberAndEndsTheProgram) {
    // Without the user's Explorer key the Advanced key cannot be made: the
    // click stops with the error, after the machine option was written.
    const wchar_t kUserExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
    RegistrySnapshot userExplorer(Root::CurrentUser, kUserExplorer);
    ASSERT_TRUE(DeleteKeyTree(Root::CurrentUser, kUserExplorer));
    HWND w = Start();
    ASSERT_TRUE(w);
    EXPECT_EQ(Status(w), kOff);  // a missing key at start counts as off
    ASSERT_TRUE(Click(Button(w, L"Optimiser")));
    HWND box = WaitForMessageBox(app_.Id(), L"Mendrel");
    ASSERT_TRUE(box);
    EXPECT_TRUE(MessageBoxText(box).starts_with(L"Erreur d'exécution '2' :")) << MessageBoxText(box).size();
    EXPECT_NE(Status(w), kOn);  // the status line is not updated
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(app_.Wait(10000), std::optional<DWORD>(1));
    EXPECT_EQ(ReadString(Root::LocalMachine, kBrowse, L"BrowseNewProcess"), std::optional<std::wstring>(L"yes"));
}

TEST_F(MendrelApp, AideLeavesTheWindowWorking) {
    HWND w = Start();
    ASSERT_TRUE(w);
    ASSERT_TRUE(Click(Button(w, L"Aide")));
    ::Sleep(500);
    EXPECT_TRUE(app_.Running());
    EXPECT_EQ(Status(w), kOff);
    // Whatever the shell showed for the missing page, the program ends
    // normally when closed.
    app_.Kill();
}

}  // namespace
