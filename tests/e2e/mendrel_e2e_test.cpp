// Mendrel.exe as a user sees it: its window, its status line and what its
// switch buttons leave in the registry, across restarts.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/driver.h"

namespace {

using namespace e2e;

// A copy of this test program started with MENDREL_PROBE set only waits and
// ends: a stand-in for a startup program, under a name of the test's choice.
const bool kProbeMode = [] {
    wchar_t v[8] = {};
    if (::GetEnvironmentVariableW(L"MENDREL_PROBE", v, 8) && v[0] == L'1') {
        ::Sleep(20000);
        ::ExitProcess(0);
    }
    return false;
}();

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

// ---- "Corriger" --------------------------------------------------------------------

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(::towlower(c)); });
    return s;
}

// Identifiers of the processes whose full image path ends with `suffix`.
std::vector<DWORD> Pids(const std::wstring& suffix) {
    std::vector<DWORD> ids;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = ::Process32FirstW(snap, &e); more; more = ::Process32NextW(snap, &e)) {
        std::wstring image = e.szExeFile;
        if (HANDLE p = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID)) {
            wchar_t path[1024];
            DWORD size = 1024;
            if (::QueryFullProcessImageNameW(p, 0, path, &size)) image.assign(path, size);
            ::CloseHandle(p);
        }
        if (Lower(image).ends_with(Lower(suffix))) ids.push_back(e.th32ProcessID);
    }
    ::CloseHandle(snap);
    return ids;
}

std::vector<DWORD> WaitPids(const std::wstring& suffix, std::size_t count) {
    std::vector<DWORD> ids;
    WaitFor([&] { return (ids = Pids(suffix)).size() == count; }, 5000);
    return ids;
}

void KillAll(const std::wstring& suffix) {
    for (DWORD id : Pids(suffix))
        if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            ::TerminateProcess(p, 0);
            ::WaitForSingleObject(p, 2000);
            ::CloseHandle(p);
        }
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::string Ansi(const std::wstring& s) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, s.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.pop_back();
    return out;
}

// A startup setup on C: with a "StartBoost.exe" there, so the search of the
// fixed drives stops on C: and never walks the Linux root behind Z:. The
// startup manager lies under "C:\Program Files\...", and a "C:\Program.exe"
// is planted: started by its unquoted path, the launcher would start that
// one instead. The "Shell Folders" value is spelled "StartUp", as Wine does.
class MendrelRepair : public ::testing::TestWithParam<bool> {
protected:
    MendrelRepair()
        : root_(L"C:\\mendrel_e2e_" + std::to_wstring(::GetCurrentProcessId())),
          manager_(L"C:\\Program Files\\Mendrel e2e " + std::to_wstring(::GetCurrentProcessId())),
          machineRun_(Root::LocalMachine, kRun),
          userRun_(Root::CurrentUser, kRun),
          shellFolders_(Root::CurrentUser, kShellFolders),
          appDefaults_(Root::CurrentUser, kAppDefaults) {}

    void SetUp() override {
        ASSERT_EQ(::GetFileAttributesW(kPlanted), INVALID_FILE_ATTRIBUTES) << "a C:\\Program.exe is already there";
        for (const std::wstring& dir : {root_, root_ + L"\\bin", root_ + L"\\Démarrage", manager_,
                                        manager_ + L"\\Outils"})
            ::CreateDirectoryW(dir.c_str(), nullptr);
        wchar_t self[MAX_PATH * 2] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
        for (const std::wstring& path : Probes()) Copy(self, path);
        Copy(self, Launcher());
        Copy(self, kPlanted);
        planted_ = true;
        Copy(BinDir() + L"single_instance_probe.exe", Single());
        WriteFileBytes(manager_ + L"\\Outils\\StartBoost.exe", "");
        WriteFileBytes(manager_ + L"\\Outils\\boost.ini",
                       "C:\\premiere\\ligne.exe\r\n" + Ansi(root_ + L"\\bin\\boosted.exe") + "\r\n");
        WriteFileBytes(root_ + L"\\Démarrage\\Cible.lnk",
                       std::string("L\0\0\0\x01\0", 6) + Ansi(root_ + L"\\bin\\cible_lnk.exe") + std::string(3, '\0'));

        DeleteKeyTree(Root::LocalMachine, kRun);
        DeleteKeyTree(Root::CurrentUser, kRun);
        CreateKey(Root::LocalMachine, kRun);
        WriteString(Root::LocalMachine, kRun, L"Args", root_ + L"\\bin\\run_args.exe /x");
        WriteString(Root::CurrentUser, kRun, L"Nu", root_ + L"\\bin\\run_nu.exe");
        WriteString(Root::CurrentUser, kRun, L"Seul", Single());
        DeleteKeyTree(Root::CurrentUser, kShellFolders);
        WriteString(Root::CurrentUser, kShellFolders, L"StartUp", root_ + L"\\Démarrage");
        if (GetParam()) WriteString(Root::CurrentUser, kAppDefaults, L"Version", L"win98");

        ::SetEnvironmentVariableW(L"MENDREL_PROBE", L"1");
        for (const std::wstring& path : Probes()) probes_.push_back(Process::Start(path));
        probes_.push_back(Process::Start(Single()));
    }

    void TearDown() override {
        ::SetEnvironmentVariableW(L"MENDREL_PROBE", nullptr);
        std::vector<std::wstring> files = Probes();
        for (const std::wstring& path : {Launcher(), Single()}) files.push_back(path);
        if (planted_) files.push_back(kPlanted);
        for (const auto& path : files) KillAll(path);
        probes_.clear();
        for (const std::wstring& path : {manager_ + L"\\Outils\\StartBoost.exe", manager_ + L"\\Outils\\boost.ini",
                                         root_ + L"\\Démarrage\\Cible.lnk"})
            files.push_back(path);
        for (const auto& path : files) ::DeleteFileW(path.c_str());
        for (const std::wstring& dir : {root_ + L"\\bin", root_ + L"\\Démarrage", root_, manager_ + L"\\Outils",
                                        manager_})
            ::RemoveDirectoryW(dir.c_str());
    }

    // The stand-ins for startup programs, all started before "Corriger":
    // from the Run keys, through the shortcut, listed in "boost.ini", a
    // program of the Startup folder and one whose name ends like it.
    std::vector<std::wstring> Probes() const {
        return {root_ + L"\\bin\\run_nu.exe",    root_ + L"\\bin\\run_args.exe", root_ + L"\\bin\\cible_lnk.exe",
                root_ + L"\\bin\\boosted.exe",   root_ + L"\\Démarrage\\a.exe",  root_ + L"\\bin\\xa.exe"};
    }
    std::wstring Launcher() const { return manager_ + L"\\Outils\\Run.exe"; }
    // A Run entry that quits at once while its previous copy still runs.
    std::wstring Single() const { return root_ + L"\\bin\\seul.exe"; }

    // Clicks "Corriger" and waits for the program to end by itself.
    void Corriger() {
        Process app = Process::Start(L"Mendrel.exe");
        HWND w = WaitForWindow(L"Mendrel Explorer", nullptr, 15000, app.Id());
        ASSERT_TRUE(w);
        ASSERT_TRUE(Click(FindChild(w, L"Button", L"Corriger")));
        // The window hides, the work runs, the program ends by itself.
        ASSERT_EQ(app.Wait(60000), std::optional<DWORD>(0));
    }

    static void Copy(const std::wstring& from, const std::wstring& to) {
        ASSERT_TRUE(::CopyFileW(from.c_str(), to.c_str(), FALSE)) << "cannot copy to " << to.size();
    }

    static constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const wchar_t* kShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    static constexpr const wchar_t* kAppDefaults = L"Software\\Wine\\AppDefaults\\Mendrel.exe";
    static constexpr const wchar_t* kPlanted = L"C:\\Program.exe";

    std::wstring root_, manager_;
    bool planted_ = false;  // C:\Program.exe is this test's own, to remove
    RegistrySnapshot machineRun_, userRun_, shellFolders_, appDefaults_;
    std::vector<Process> probes_;
};

TEST_P(MendrelRepair, CorrigerRestartsOn98AsksIconsBackOnNtAndAlwaysStartsTheLauncher) {
    const bool win98 = GetParam();
    const auto bare0 = WaitPids(L"\\bin\\run_nu.exe", 1), args0 = WaitPids(L"\\bin\\run_args.exe", 1);
    const auto target0 = WaitPids(L"\\bin\\cible_lnk.exe", 1), boosted0 = WaitPids(L"\\bin\\boosted.exe", 1);
    const auto a0 = WaitPids(L"\\Démarrage\\a.exe", 1), xa0 = WaitPids(L"\\bin\\xa.exe", 1);
    const auto single0 = WaitPids(Single(), 1);
    ASSERT_EQ(bare0.size() + args0.size() + target0.size() + boosted0.size() + a0.size() + xa0.size() + single0.size(),
              7u);
    // A program of another process with a notification-area icon.
    Process tray = Process::Start(L"taskbar_listener.exe");
    ASSERT_TRUE(WaitFor([&] { return FindTopWindow(nullptr, L"OrvaneTaskbarListener", tray.Id(), false); }, 10000));

    Corriger();

    // On NT it is told the task bar is new and puts its icon back; on 98 the
    // restarted programs bring their own icons and it is told nothing.
    if (win98) {
        EXPECT_EQ(tray.Wait(1000), std::nullopt);
    } else {
        EXPECT_EQ(tray.Wait(10000), std::optional<DWORD>(0));
    }

    // The launcher, on both families, by its own path with its blanks.
    EXPECT_EQ(WaitPids(Launcher(), 1).size(), 1u);
    EXPECT_TRUE(Pids(kPlanted).empty());
    EXPECT_EQ(Pids(L"\\bin\\run_args.exe"), args0);  // arguments: never touched
    // "a.exe" of the Startup folder (found through "StartUp") does not end
    // "xa.exe".
    EXPECT_EQ(Pids(L"\\bin\\xa.exe"), xa0);
    if (win98) {
        // Ended and started again: from a Run key, through the shortcut, from
        // the Startup folder, and a single-instance program only once its old
        // copy had exited (it did not quit at once).
        std::vector<DWORD> restarted;
        for (const auto& [image, before] : {std::pair{std::wstring(L"\\bin\\run_nu.exe"), bare0},
                                            std::pair{std::wstring(L"\\bin\\cible_lnk.exe"), target0},
                                            std::pair{std::wstring(L"\\Démarrage\\a.exe"), a0},
                                            std::pair{Single(), single0}}) {
            restarted = WaitPids(image, 1);
            ASSERT_EQ(restarted.size(), 1u);
            EXPECT_NE(restarted, before);
        }
        ::Sleep(500);
        EXPECT_EQ(Pids(Single()), restarted);
        EXPECT_TRUE(WaitPids(L"\\bin\\boosted.exe", 0).empty());  // ended, not started
    } else {
        EXPECT_EQ(Pids(L"\\bin\\run_nu.exe"), bare0);
        EXPECT_EQ(Pids(L"\\bin\\cible_lnk.exe"), target0);
        EXPECT_EQ(Pids(L"\\bin\\boosted.exe"), boosted0);
        EXPECT_EQ(Pids(L"\\Démarrage\\a.exe"), a0);
        EXPECT_EQ(Pids(Single()), single0);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, MendrelRepair, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Windows98" : "NT"; });

}  // namespace
