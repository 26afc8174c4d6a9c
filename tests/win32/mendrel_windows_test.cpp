// The Windows side of Mendrel in process: the registry access object, the
// process routines, the files and drives of the repair, and the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "explorer_fix/mendrel_window.h"
#include "explorer_fix/process_routines.h"
#include "explorer_fix/registry_access.h"
#include "explorer_fix/repair_environment.h"
#include "win32/strings.h"
#include "win32/test_support.h"

namespace {

using namespace orvane;
using mendrel::RegistryAccess;

// A copy of this test program started with MENDREL_PROBE set only waits and
// ends: a harmless process with a file name of the test's choosing.
const bool kProbeMode = [] {
    wchar_t v[8] = {};
    if (::GetEnvironmentVariableW(L"MENDREL_PROBE", v, 8) && v[0] == L'1') {
        ::Sleep(20000);
        ::ExitProcess(0);
    }
    return false;
}();

std::string U8(const std::wstring& s) { return win::Narrow(s); }

// ---- scratch registry ---------------------------------------------------------

const std::wstring kScratch = L"Software\\OrvaneTests\\Mendrel" + std::to_wstring(::GetCurrentProcessId());
const std::string kScratchPath = "\\HKEY_CURRENT_USER\\" + win::Narrow(kScratch);

class MendrelRegistryAccess : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kScratch.c_str());
    }
    void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    DWORD RawType(const wchar_t* name) {
        DWORD type = 0;
        return ::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS ? type : 0;
    }
    RegData Read(const std::string& name) {
        for (const auto& v : reg.Values(reg.OpenKey(kScratchPath)))
            if (v.name == name) return v.data;
        return std::monostate{};
    }
    win::RegKey key;
    RegistryAccess reg;
};

TEST_F(MendrelRegistryAccess, OpenKeyNamesAndFailures) {
    const RegKeyRef k = reg.OpenKey(kScratchPath + "\\");
    EXPECT_EQ(k.name, "Mendrel" + std::to_string(::GetCurrentProcessId()));
    EXPECT_EQ(reg.OpenKey("\\HKEY_LOCAL_MACHINE\\Software").name, "Software");
    try {
        reg.OpenKey(kScratchPath + "\\Absente");
        FAIL() << "opened a missing key";
    } catch (const RegistryKeyMissing& e) {
        EXPECT_EQ(e.Number(), 2);
        EXPECT_FALSE(e.Description().empty());
        EXPECT_TRUE(std::string(e.what()).starts_with("Erreur d'exécution '2' :"));
    }
    EXPECT_THROW(reg.OpenKey("\\HKEY_NOWHERE\\Software"), MendrelError);
    EXPECT_THROW(reg.OpenKey(""), MendrelError);
}

TEST_F(MendrelRegistryAccess, ValuesInOrderWithTheirData) {
    const wchar_t text[] = L"été 日本";
    Raw(L"Texte", REG_SZ, text, sizeof text);
    const DWORD seven = 7;
    Raw(L"Nombre", REG_DWORD, &seven, sizeof seven);
    const BYTE bin[] = {1, 2};
    Raw(L"Binaire", REG_BINARY, bin, sizeof bin);
    const wchar_t unterminated[] = {L'a', L'b'};  // hand-edited: no closing NUL
    Raw(L"Brut", REG_SZ, unterminated, sizeof unterminated);
    Raw(L"Ünïcode", REG_EXPAND_SZ, L"%TEMP%", 14);
    const auto values = reg.Values(reg.OpenKey(kScratchPath));
    ASSERT_EQ(values.size(), 5u);
    // The registry's own order (this registry sorts by name).
    for (DWORD i = 0; i < values.size(); ++i) {
        wchar_t name[64];
        DWORD len = 64;
        ASSERT_EQ(::RegEnumValueW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(values[i].name, U8(name));
    }
    EXPECT_EQ(Read("Texte"), RegData(std::string("été 日本")));
    EXPECT_EQ(Read("Nombre"), RegData(std::uint32_t{7}));
    EXPECT_EQ(Read("Binaire"), RegData(std::monostate{}));
    EXPECT_EQ(Read("Brut"), RegData(std::string("ab")));
    EXPECT_EQ(Read("Ünïcode"), RegData(std::string("%TEMP%")));
}

TEST_F(MendrelRegistryAccess, WritingKeepsTheValueKind) {
    const DWORD zero = 0;
    Raw(L"SeparateProcess", REG_DWORD, &zero, sizeof zero);
    Raw(L"BrowseNewProcess", REG_SZ, L"no", 6);
    const RegValueRef separate{kScratchPath, "SeparateProcess", std::uint32_t{0}};
    const RegValueRef browse{kScratchPath, "BrowseNewProcess", std::string("no")};
    reg.WriteData(separate, "1");
    EXPECT_EQ(RawType(L"SeparateProcess"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Read("SeparateProcess"), RegData(std::uint32_t{1}));
    reg.WriteData(browse, "yes");
    EXPECT_EQ(RawType(L"BrowseNewProcess"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Read("BrowseNewProcess"), RegData(std::string("yes")));
    // Text that is no number cannot go into a number value: type mismatch,
    // and the value keeps its data.
    try {
        reg.WriteData(separate, "oui");
        FAIL();
    } catch (const MendrelError& e) {
        EXPECT_EQ(e.Number(), 13);
    }
    EXPECT_EQ(Read("SeparateProcess"), RegData(std::uint32_t{1}));
    // A value that vanished meanwhile is an error, not a silent add.
    ::RegDeleteValueW(key.get(), L"BrowseNewProcess");
    EXPECT_THROW(reg.WriteData(browse, "yes"), MendrelError);
    EXPECT_EQ(RawType(L"BrowseNewProcess"), 0u);
}

TEST_F(MendrelRegistryAccess, AddAndRemoveKeysAndValues) {
    const RegKeyRef root = reg.OpenKey(kScratchPath);
    reg.AddSubkey(root, "BrowseNewProcess");
    reg.AddSubkey(root, "Démarrage");
    const RegKeyRef browse = reg.OpenKey(kScratchPath + "\\BrowseNewProcess");
    reg.AddValue(browse, "BrowseNewProcess", "yes", 1);
    reg.AddValue(browse, "Autre", "x", 1);
    reg.AddSubkey(browse, "Profond");
    reg.AddValue(root, "SeparateProcess", "1", 4);
    EXPECT_EQ(RawType(L"SeparateProcess"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Read("SeparateProcess"), RegData(std::uint32_t{1}));
    EXPECT_THROW(reg.AddValue(root, "Mauvais", "x", 4), MendrelError);
    EXPECT_THROW(reg.AddValue(root, "Binaire", "x", 3), MendrelError);

    auto subkeys = reg.Subkeys(root);
    ASSERT_EQ(subkeys.size(), 2u);
    reg.RemoveSubkey(root, "BrowseNewProcess");  // with its values and subkeys
    subkeys = reg.Subkeys(root);
    ASSERT_EQ(subkeys.size(), 1u);
    EXPECT_EQ(subkeys[0].name, "Démarrage");
    EXPECT_THROW(reg.OpenKey(kScratchPath + "\\BrowseNewProcess"), RegistryKeyMissing);
    EXPECT_THROW(reg.RemoveSubkey(root, "BrowseNewProcess"), MendrelError);

    reg.RemoveValue(root, "SeparateProcess");
    EXPECT_EQ(RawType(L"SeparateProcess"), 0u);
    EXPECT_THROW(reg.RemoveValue(root, "SeparateProcess"), MendrelError);
}

TEST(MendrelRegistryNumbers, DecimalTextToNumber) {
    const std::pair<const char*, DWORD> numbers[] = {{"1", 1}, {" 42 ", 42}, {"4294967295", 0xFFFFFFFF}, {"-1", 0xFFFFFFFF}};
    for (const auto& [text, value] : numbers) {
        DWORD n = 0;
        EXPECT_TRUE(RegistryAccess::ParseNumber(text, n)) << text;
        EXPECT_EQ(n, value) << text;
    }
    DWORD n = 0;
    for (const char* text : {"4294967296", "-2147483649", "", "-", "1e3", "yes"})
        EXPECT_FALSE(RegistryAccess::ParseNumber(text, n)) << text;
}

// ---- processes -------------------------------------------------------------------

// The system's list, as the 95/98/Me family would answer the running test.
class Win98Processes : public mendrel::SystemProcessList {
public:
    std::uint32_t PlatformId() override { return 1; }
};

std::wstring ThisExe() {
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

// Removes a folder with what it holds. Folder links are left alone (and so
// is the folder holding one): Wine's RemoveDirectoryW on a link removes the
// folder it points to.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data{};
    const win::FindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(find.get(), &data));
    }
    ::RemoveDirectoryW(dir.c_str());
}

// A folder of probe copies, removed at the end (after their processes end).
class ProbeFolder {
public:
    explicit ProbeFolder(const std::wstring& name) : dir_(testing_support::MakeTempFolder(name)) {
        ::SetEnvironmentVariableW(L"MENDREL_PROBE", L"1");
    }
    ~ProbeFolder() {
        ::SetEnvironmentVariableW(L"MENDREL_PROBE", nullptr);
        Win98Processes p;
        for (const auto& name : copies_) orvane::EndProgram(p, U8(name));
        p.WaitForEnded(5000);  // a running program's file cannot be deleted
        RemoveTree(dir_);
    }
    // Copies this program under `name`; returns the full path.
    std::wstring Copy(const std::wstring& name) {
        const std::wstring path = dir_ + L"\\" + name;
        EXPECT_TRUE(::CopyFileW(ThisExe().c_str(), path.c_str(), FALSE));
        copies_.push_back(name);
        return path;
    }

private:
    std::wstring dir_;
    std::vector<std::wstring> copies_;
};

std::vector<ProcessEntry> Matching(const std::string& name) {
    mendrel::SystemProcessList p;
    std::vector<ProcessEntry> all, out;
    p.Snapshot(all);
    for (const auto& e : all)
        if (ImagePathEndsWith(e.imagePath, name)) out.push_back(e);
    return out;
}

TEST(MendrelProcessRoutines, SnapshotHoldsFullPaths) {
    mendrel::SystemProcessList p;
    std::vector<ProcessEntry> all;
    ASSERT_TRUE(p.Snapshot(all));
    bool self = false;
    for (const auto& e : all)
        if (e.id == ::GetCurrentProcessId()) {
            self = true;
            EXPECT_EQ(LowerCase(e.imagePath), LowerCase(U8(ThisExe())));
        }
    EXPECT_TRUE(self);
}

TEST(MendrelProcessRoutines, StartFindEndOnWin98AndNothingOnNt) {
    ProbeFolder probes(L"mendrel_probe_a");
    const std::wstring exe = probes.Copy(L"sonde_été.exe");
    const std::wstring lookalike = probes.Copy(L"xsonde_été.exe");
    mendrel::StartMinimized(ProgramFileCommandLine(U8(exe)));
    mendrel::StartMinimized(ProgramFileCommandLine(U8(lookalike)));
    std::vector<ProcessEntry> found;
    for (int i = 0; i < 100 && (found = Matching("sonde_été.exe")).empty(); ++i) ::Sleep(50);
    ASSERT_EQ(found.size(), 1u);
    for (int i = 0; i < 100 && Matching("xsonde_été.exe").empty(); ++i) ::Sleep(50);
    ASSERT_EQ(Matching("xsonde_été.exe").size(), 1u);

    // This Wine answers as the NT family: the running test finds nothing.
    mendrel::SystemProcessList system;
    EXPECT_EQ(system.PlatformId(), 2u);
    EXPECT_FALSE(orvane::IsProgramRunning(system, U8(exe)));
    EXPECT_FALSE(orvane::IsProgramRunning(system, "sonde_été.exe"));
    Win98Processes w98;
    EXPECT_TRUE(orvane::IsProgramRunning(w98, UpperCase(U8(exe))));
    EXPECT_FALSE(orvane::IsProgramRunning(w98, U8(exe) + " /x"));
    // Only the program of that whole name ends, not the one whose name
    // merely ends the same way.
    const EndResult r = orvane::EndProgram(w98, "SONDE_ÉTÉ.EXE");
    EXPECT_TRUE(r.matched);
    EXPECT_EQ(r.terminated, 1);
    // Once the wait returns the ended copy is out of the process list.
    EXPECT_TRUE(w98.WaitForEnded(5000));
    EXPECT_TRUE(Matching("sonde_été.exe").empty());
    EXPECT_EQ(Matching("xsonde_été.exe").size(), 1u);
    EXPECT_FALSE(orvane::EndProgram(w98, "sonde_été.exe").matched);
    EXPECT_TRUE(w98.WaitForEnded(5000));  // nothing left to wait for
}

TEST(MendrelProcessRoutines, StartFailureIsAnError) {
    try {
        mendrel::StartMinimized("C:\\Nulle\\Part\\absent.exe");
        FAIL();
    } catch (const MendrelError& e) {
        EXPECT_NE(e.Number(), 0);
    }
}

// ---- files and drives ------------------------------------------------------------

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    const win::FileHandle f(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(f);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(MendrelRepairFiles, ListsOrdinaryReadOnlyAndArchiveFilesOnly) {
    const std::wstring dir = testing_support::MakeTempFolder(L"mendrel_liste_Démarrage");
    for (const wchar_t* n : {L"b.exe", L"A.lnk", L"caché.txt", L"système.txt", L"lecture.txt"})
        WriteBytes(dir + L"\\" + n, "x");
    ::CreateDirectoryW((dir + L"\\Dossier").c_str(), nullptr);
    ::SetFileAttributesW((dir + L"\\caché.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((dir + L"\\système.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ::SetFileAttributesW((dir + L"\\lecture.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    HWND file1 = ::CreateWindowExW(0, L"LISTBOX", L"", LBS_SORT, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    mendrel::WindowsRepairEnvironment env(nullptr, file1);
    std::vector<std::string> names = env.ListFiles(U8(dir));
    SortFileNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"A.lnk", "b.exe", "lecture.txt"}));
    EXPECT_EQ(::SendMessageW(file1, LB_GETCOUNT, 0, 0), 3);
    ::DestroyWindow(file1);
    EXPECT_THROW(env.ListFiles(U8(dir) + "\\Absent"), MendrelError);
    EXPECT_THROW(env.ListFiles(U8(dir) + "\\b.exe"), MendrelError);
    RemoveTree(dir);
}

TEST(MendrelRepairFiles, ShortcutTextKeepsNulsAndAnsiLetters) {
    using namespace std::string_literals;
    const std::wstring dir = testing_support::MakeTempFolder(L"mendrel_lnk_été");
    const std::wstring lnk = dir + L"\\Notes.lnk";
    // 0xE9 is "é" in the Western ANSI code page.
    WriteBytes(lnk, "L\0\0\0\x01\x14\0\\\\srv\\x\0C:\\Donn\xE9""es\\notes.exe\0\0\0"s);
    mendrel::WindowsRepairEnvironment env;
    const std::string text = env.ReadFileText(U8(lnk));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\0'), 8);
    EXPECT_EQ(ShortcutTargetPath(env, U8(lnk)), "C:\\Données\\notes.exe");
    EXPECT_THROW(ShortcutTargetPath(env, U8(dir) + "\\absent.lnk"), MendrelError);
    RemoveTree(dir);
}

TEST(MendrelRepairFiles, TreeSearchFindsTheFileOnlyInItsTree) {
    const std::wstring root = testing_support::MakeTempFolder(L"mendrel_arbre");
    ::CreateDirectoryW((root + L"\\un").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\un\\deux").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\vide").c_str(), nullptr);
    WriteBytes(root + L"\\un\\deux\\StartBoost.exe", "");
    mendrel::WindowsRepairEnvironment env;
    EXPECT_EQ(env.SearchTree(U8(root), "startboost.exe"), U8(root) + "\\un\\deux\\StartBoost.exe");
    EXPECT_EQ(env.SearchTree(U8(root) + "\\vide", "StartBoost.exe"), std::nullopt);
    // A folder's own file comes before those of its subfolders.
    WriteBytes(root + L"\\un\\StartBoost.exe", "");
    EXPECT_EQ(env.SearchTree(U8(root), "StartBoost.exe"), U8(root) + "\\un\\StartBoost.exe");
    RemoveTree(root);
}

// Folder links the way Wine has them, Unix symbolic links, made and removed
// by the system's own ln and rm: Wine starts Unix programs as it starts
// Windows ones, but gives no handle to wait on, so the effect is polled for.
// (Wine's RemoveDirectoryW on such a link removes the folder it points to.)
bool RunUnixTool(const wchar_t* tool, const std::wstring& folder, std::wstring cmd) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(tool, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return false;
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    if (pi.hThread) ::CloseHandle(pi.hThread);
    return true;
}

bool WaitAttributes(const std::wstring& path, bool present) {
    for (int i = 0; i < 400; ++i) {
        if ((::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
        ::Sleep(25);
    }
    return false;
}

// False where no such link can be made.
bool MakeUnixFolderLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target) {
    const std::wstring link = folder + L"\\" + name;
    if (!RunUnixTool(L"Z:\\bin\\ln", folder, L"ln -s " + target + L" " + name) || !WaitAttributes(link, true))
        return false;
    return (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void RemoveUnixFolderLink(const std::wstring& folder, const std::wstring& name) {
    if (RunUnixTool(L"Z:\\bin\\rm", folder, L"rm -f " + name)) WaitAttributes(folder + L"\\" + name, false);
}

TEST(MendrelRepairFiles, TreeSearchNeverFollowsFolderLinks) {
    const std::wstring root = testing_support::MakeTempFolder(L"mendrel_liens");
    for (const wchar_t* sub : {L"\\arbre", L"\\arbre\\sous", L"\\ailleurs"})
        ::CreateDirectoryW((root + sub).c_str(), nullptr);
    WriteBytes(root + L"\\ailleurs\\StartBoost.exe", "");
    // One link loops back up the tree, the other leads beside it.
    const bool linked = MakeUnixFolderLink(root + L"\\arbre\\sous", L"retour", L"../..") &&
                        MakeUnixFolderLink(root + L"\\arbre", L"vers_ailleurs", L"../ailleurs");
    if (linked) {
        mendrel::WindowsRepairEnvironment env;
        EXPECT_EQ(env.SearchTree(U8(root) + "\\arbre", "StartBoost.exe"), std::nullopt);
        EXPECT_EQ(env.SearchTree(U8(root), "StartBoost.exe"), U8(root) + "\\ailleurs\\StartBoost.exe");
    }
    RemoveUnixFolderLink(root + L"\\arbre\\sous", L"retour");
    RemoveUnixFolderLink(root + L"\\arbre", L"vers_ailleurs");
    RemoveTree(root);
    if (!linked) GTEST_SKIP() << "no folder links on this system";
}

TEST(MendrelRepairFiles, DriveListHoldsTheFixedSystemDrive) {
    mendrel::WindowsRepairEnvironment env;
    const auto roots = ParseLogicalDriveStrings(env.LogicalDriveStrings());
    ASSERT_FALSE(roots.empty());
    EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
    EXPECT_TRUE(env.IsFixedDrive("C:\\"));
}

// ---- the window -------------------------------------------------------------------

// Sets both options' registry state for a test and puts back what was there.
class OptionState {
public:
    OptionState() {
        Save(HKEY_LOCAL_MACHINE, kBrowse, L"BrowseNewProcess", browse_);
        Save(HKEY_CURRENT_USER, kAdvanced, L"SeparateProcess", separate_);
    }
    ~OptionState() {
        Restore(HKEY_LOCAL_MACHINE, kBrowse, L"BrowseNewProcess", browse_);
        Restore(HKEY_CURRENT_USER, kAdvanced, L"SeparateProcess", separate_);
    }
    void SetOn() {
        Write(HKEY_LOCAL_MACHINE, kBrowse, L"BrowseNewProcess", REG_SZ, L"yes", 8);
        const DWORD one = 1;
        Write(HKEY_CURRENT_USER, kAdvanced, L"SeparateProcess", REG_DWORD, &one, 4);
    }

    static constexpr const wchar_t* kBrowse =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BrowseNewProcess";
    static constexpr const wchar_t* kAdvanced = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

private:
    struct Saved {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    static void Save(HKEY root, const wchar_t* path, const wchar_t* name, Saved& out) {
        win::RegKey k;
        if (::RegOpenKeyExW(root, path, 0, KEY_READ, k.put()) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (::RegQueryValueExW(k.get(), name, nullptr, &out.type, nullptr, &size) != ERROR_SUCCESS) return;
        out.data.resize(size);
        out.present = ::RegQueryValueExW(k.get(), name, nullptr, &out.type, out.data.data(), &size) == ERROR_SUCCESS;
    }
    static void Write(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        win::RegKey k;
        ASSERT_EQ(::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(k.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }
    static void Restore(HKEY root, const wchar_t* path, const wchar_t* name, const Saved& saved) {
        if (saved.present) {
            Write(root, path, name, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
            return;
        }
        win::RegKey k;
        if (::RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, k.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(k.get(), name);
    }
    Saved browse_, separate_;
};

class MendrelWindowTest : public ::testing::Test {
protected:
    void Load(std::uint64_t memory) {
        window.SetMemorySource([memory] { return memory; });
        window.SetOnClosed([this] { ++closings; });
        window.SetOpener([this](HWND owner, const std::wstring& path) { opened.emplace_back(owner, path); });
        window.Load();
    }
    bool Enabled(mendrel::ControlId id) { return ::IsWindowEnabled(window.Control(id)); }
    std::wstring Text(mendrel::ControlId id) {
        wchar_t buf[512] = {};
        ::GetWindowTextW(window.Control(id), buf, 512);
        return buf;
    }
    OptionState options;
    int closings = 0;
    std::vector<std::pair<HWND, std::wstring>> opened;
    mendrel::MendrelWindow window{testing_support::TestUi()};  // last: it is destroyed before what its callbacks use
};

TEST_F(MendrelWindowTest, TextsFontTabOrderAndNothingHidden) {
    Load(512ull << 20);
    wchar_t title[64] = {};
    ::GetWindowTextW(window.hwnd(), title, 64);
    EXPECT_STREQ(title, L"Mendrel Explorer");
    EXPECT_FALSE(::IsWindowVisible(window.hwnd()));  // shown by the caller after loading
    EXPECT_EQ(Text(mendrel::kPreventionText),
              L"Pour exécuter le bureau, la barre des tâches, le menu \"Démarrer\"... l'explorateur de fichiers et "
              L"Internet Explorer dans un espace mémoire différent : cliquez sur le bouton \"Optimiser\".");
    EXPECT_EQ(Text(mendrel::kRepairText),
              L"Pour restituer les icônes des programmes qui se lancent au démarrage figurant dans la barre des "
              L"tâches à côté de l'heure avant le plantage de Explorer.exe : cliquez sur le bouton \"Corriger\".");
    EXPECT_EQ(Text(mendrel::kDefaultsButton), L"Par défaut");

    // Every shown control lies whole inside the window and none covers
    // another; the two file-system lists are never shown.
    RECT client{};
    ::GetClientRect(window.hwnd(), &client);
    std::vector<RECT> shown;
    for (auto id : {mendrel::kPreventionText, mendrel::kRepairText, mendrel::kStatusLine, mendrel::kOptimiseButton,
                    mendrel::kRepairButton, mendrel::kDefaultsButton, mendrel::kHelpButton}) {
        RECT r{}, inside{};
        ::GetWindowRect(window.Control(id), &r);
        ::MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        ::IntersectRect(&inside, &r, &client);
        EXPECT_TRUE(::EqualRect(&inside, &r)) << id;
        for (const RECT& other : shown) EXPECT_FALSE(::IntersectRect(&inside, &r, &other)) << id;
        shown.push_back(r);
    }
    EXPECT_FALSE(::GetWindowLongW(window.Control(mendrel::kStartupFileList), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongW(window.Control(mendrel::kStartupFolderList), GWL_STYLE) & WS_VISIBLE);

    auto font = reinterpret_cast<HFONT>(::SendMessageW(window.Control(mendrel::kOptimiseButton), WM_GETFONT, 0, 0));
    ASSERT_TRUE(font);
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Times New Roman");
    win::WindowDc dc(window.hwnd());
    EXPECT_EQ(lf.lfHeight, -::MulDiv(825, ::GetDeviceCaps(dc.get(), LOGPIXELSY), 7200));

    // Tab order follows the tab indexes: Optimiser, Corriger, Par défaut, Aide.
    HWND h = window.Control(mendrel::kOptimiseButton);
    for (auto next : {mendrel::kRepairButton, mendrel::kDefaultsButton, mendrel::kHelpButton, mendrel::kOptimiseButton}) {
        h = ::GetNextDlgTabItem(window.hwnd(), h, FALSE);
        EXPECT_EQ(h, window.Control(next));
    }
}

TEST_F(MendrelWindowTest, MemoryBoundaryDisablesTheSwitches) {
    options.SetOn();
    Load(66060287ull);
    EXPECT_EQ(window.StatusText(),
              L"Vous avez moins de 64 Mo de Ram : la fonction prévention ne peut être paramétrée !");
    EXPECT_FALSE(Enabled(mendrel::kOptimiseButton));
    EXPECT_FALSE(Enabled(mendrel::kDefaultsButton));
    EXPECT_FALSE(Enabled(mendrel::kPreventionText));
    EXPECT_TRUE(Enabled(mendrel::kRepairButton));
    EXPECT_TRUE(Enabled(mendrel::kHelpButton));
}

TEST_F(MendrelWindowTest, ButtonsReachTheirHandlersAndEnterOrEscapePressNothing) {
    options.SetOn();
    Load(66060288ull);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
    EXPECT_TRUE(Enabled(mendrel::kOptimiseButton));
    EXPECT_TRUE(Enabled(mendrel::kDefaultsButton));
    ::SendMessageW(window.Control(mendrel::kDefaultsButton), BM_CLICK, 0, 0);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est désactivée.");
    ::SendMessageW(window.Control(mendrel::kOptimiseButton), BM_CLICK, 0, 0);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
    ::SendMessageW(window.hwnd(), WM_COMMAND, IDOK, 0);
    ::SendMessageW(window.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
    // "Aide" opens the fixed help page; closing ends the program.
    ::SendMessageW(window.Control(mendrel::kHelpButton), BM_CLICK, 0, 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, window.hwnd());
    EXPECT_EQ(opened[0].second, L"C:\\Program Files\\Mendrel Explorer\\A Propos.htm");
    ::SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closings, 1);
    EXPECT_FALSE(window.hwnd());
}

// The BCM_SETSHIELD messages sent on this thread: button and state.
std::map<HWND, LPARAM> g_shields;
LRESULT CALLBACK RecordShield(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && m->message == BCM_SETSHIELD) g_shields[m->hwnd] = m->lParam;
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

TEST(MendrelWindowShield, SwitchesShowTheShieldOnlyWhenNotElevated) {
    const HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordShield, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    for (const bool elevated : {false, true}) {
        g_shields.clear();
        mendrel::MendrelWindow window(testing_support::TestUi());
        window.SetMemorySource([] { return 512ull << 20; });
        window.SetElevationSource([elevated] { return elevated; });
        window.SetOnClosed([] {});
        window.Load();
        const std::map<HWND, LPARAM> expected = {{window.Control(mendrel::kOptimiseButton), !elevated},
                                                 {window.Control(mendrel::kDefaultsButton), !elevated}};
        EXPECT_EQ(g_shields, expected) << "elevated: " << elevated;
    }
    ::UnhookWindowsHookEx(hook);
}

}  // namespace
