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
    DWORD n = 0;
    EXPECT_TRUE(RegistryAccess::ParseNumber("1", n));
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(RegistryAccess::ParseNumber(" 42 ", n));
    EXPECT_EQ(n, 42u);
    EXPECT_TRUE(RegistryAccess::ParseNumber("4294967295", n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    EXPECT_TRUE(RegistryAccess::ParseNumber("-1", n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    EXPECT_FALSE(RegistryAccess::ParseNumber("4294967296", n));
    EXPECT_FALSE(RegistryAccess::ParseNumber("-2147483649", n));
    EXPECT_FALSE(RegistryAccess::ParseNumber("", n));
    EXPECT_FALSE(RegistryAccess::ParseNumber("-", n));
    EXPECT_FALSE(RegistryAccess::ParseNumber("1e3", n));
    EXPECT_FALSE(RegistryAccess::ParseNumber("yes", n));
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
    const std::wstring& Dir() const { return dir_; }

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

    for (const wchar_t* n : {L"b.exe", L"A.lnk", L"caché.txt", L"système.txt", L"lecture.txt"}) {
        ::SetFileAttributesW((dir + L"\\" + n).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((dir + L"\\" + n).c_str());
    }
    ::RemoveDirectoryW((dir + L"\\Dossier").c_str());
    ::RemoveDirectoryW(dir.c_str());
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
    ::DeleteFileW(lnk.c_str());
    ::RemoveDirectoryW(dir.c_str());
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
    ::DeleteFileW((root + L"\\un\\StartBoost.exe").c_str());
    ::DeleteFileW((root + L"\\un\\deux\\StartBoost.exe").c_str());
    ::RemoveDirectoryW((root + L"\\un\\deux").c_str());
    ::RemoveDirectoryW((root + L"\\un").c_str());
    ::RemoveDirectoryW((root + L"\\vide").c_str());
    ::RemoveDirectoryW(root.c_str());
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
    ::DeleteFileW((root + L"\\ailleurs\\StartBoost.exe").c_str());
    for (const wchar_t* sub : {L"\\arbre\\sous", L"\\arbre", L"\\ailleurs", L""})
        ::RemoveDirectoryW((root + sub).c_str());
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
    mendrel::MendrelWindow window;  // last: it is destroyed before what its callbacks use
};

TEST_F(MendrelWindowTest, LayoutTextsAndFont) {
    Load(512ull << 20);
    RECT client{};
    ::GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(client.right, 286);
    EXPECT_EQ(client.bottom, 327);
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
    EXPECT_EQ(Text(mendrel::kPreventionText).size(), 184u);
    EXPECT_EQ(Text(mendrel::kRepairText).size(), 190u);
    EXPECT_EQ(Text(mendrel::kDefaultsButton), L"Par défaut");

    struct Box {
        mendrel::ControlId id;
        RECT r;
    };
    const Box boxes[] = {
        {mendrel::kPreventionText, {8, 16, 129, 129}},   {mendrel::kRepairText, {152, 16, 273, 129}},
        {mendrel::kStatusLine, {16, 280, 265, 313}}, {mendrel::kStartupFileList, {288, 0, 305, 20}},
        {mendrel::kStartupFolderList, {0, 0, 17, 22}},
    };
    for (const auto& b : boxes) {
        RECT r{};
        HWND h = window.Control(b.id);
        ::GetWindowRect(h, &r);
        ::MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, b.r.left) << b.id;
        EXPECT_EQ(r.top, b.r.top) << b.id;
        EXPECT_EQ(r.right, b.r.right) << b.id;
        EXPECT_EQ(r.bottom, b.r.bottom) << b.id;
    }
    EXPECT_FALSE(::GetWindowLongW(window.Control(mendrel::kStartupFileList), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongW(window.Control(mendrel::kStartupFolderList), GWL_STYLE) & WS_VISIBLE);

    auto font = reinterpret_cast<HFONT>(::SendMessageW(window.Control(mendrel::kOptimiseButton), WM_GETFONT, 0, 0));
    ASSERT_TRUE(font);
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Times New Roman");
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
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

TEST_F(MendrelWindowTest, EnoughMemoryShowsTheOptionState) {
    options.SetOn();
    Load(66060288ull);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
    EXPECT_TRUE(Enabled(mendrel::kOptimiseButton));
    EXPECT_TRUE(Enabled(mendrel::kDefaultsButton));
    EXPECT_TRUE(Enabled(mendrel::kPreventionText));
    // The buttons' messages reach their handlers.
    ::SendMessageW(window.Control(mendrel::kDefaultsButton), BM_CLICK, 0, 0);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est désactivée.");
    ::SendMessageW(window.Control(mendrel::kOptimiseButton), BM_CLICK, 0, 0);
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
    // Enter and Escape press nothing.
    ::SendMessageW(window.hwnd(), WM_COMMAND, IDOK, 0);
    ::SendMessageW(window.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(window.StatusText(), L"La fonction prévention est activée.");
}

TEST_F(MendrelWindowTest, AideOpensTheFixedHelpPage) {
    Load(512ull << 20);
    ::SendMessageW(window.Control(mendrel::kHelpButton), BM_CLICK, 0, 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, window.hwnd());
    EXPECT_EQ(opened[0].second, L"C:\\Program Files\\Mendrel Explorer\\A Propos.htm");
}

TEST_F(MendrelWindowTest, ClosingEndsTheProgram) {
    Load(512ull << 20);
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
        mendrel::MendrelWindow window;
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

// ---- "Corriger" on the 95/98/Me family ------------------------------------------------

// Puts a key's values back as they were (and removes the key if it was absent).
class KeyValuesBackup {
public:
    KeyValuesBackup(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
        win::RegKey k;
        if (::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return;
        existed_ = true;
        for (DWORD i = 0;; ++i) {
            wchar_t name[16384];
            DWORD len = 16384, type = 0, size = 0;
            if (::RegEnumValueW(k.get(), i, name, &len, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
            std::vector<BYTE> data(size);
            len = 16384;
            ::RegEnumValueW(k.get(), i, name, &len, nullptr, &type, data.data(), &size);
            saved_.push_back({std::wstring(name, len), type, std::move(data)});
        }
    }
    ~KeyValuesBackup() {
        if (!existed_) {
            ::RegDeleteTreeW(root_, path_.c_str());
            ::RegDeleteKeyW(root_, path_.c_str());
            return;
        }
        Clear();
        win::RegKey k;
        ::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_ALL_ACCESS, k.put());
        for (const auto& v : saved_)
            ::RegSetValueExW(k.get(), v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
    // Removes every value (making the key if needed).
    void Clear() {
        win::RegKey k;
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr);
        for (const auto& v : saved_) ::RegDeleteValueW(k.get(), v.name.c_str());
    }
    void Set(const std::wstring& name, const std::wstring& text) {
        win::RegKey k;
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr);
        ::RegSetValueExW(k.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root_;
    std::wstring path_;
    bool existed_ = false;
    std::vector<Value> saved_;
};

// The whole-drive search bounded to one folder tree.
class BoundedEnvironment : public mendrel::WindowsRepairEnvironment {
public:
    explicit BoundedEnvironment(std::string tree) : tree_(std::move(tree)) {}
    std::string LogicalDriveStrings() override { return std::string("C:\\\0", 4); }
    std::optional<std::string> SearchTree(const std::string&, const std::string& name) override {
        return WindowsRepairEnvironment::SearchTree(tree_, name);
    }

private:
    std::string tree_;
};

std::vector<std::uint32_t> Pids(const std::string& name) {
    std::vector<std::uint32_t> ids;
    for (const auto& e : Matching(name)) ids.push_back(e.id);
    return ids;
}

// Waits until exactly `count` processes end with `name`.
std::vector<std::uint32_t> WaitPids(const std::string& name, std::size_t count) {
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 200 && (ids = Pids(name)).size() != count; ++i) ::Sleep(25);
    return ids;
}

TEST(MendrelRepairWin98, EndsAndRestartsWhatRunsFromEverySource) {
    ProbeFolder probes(L"mendrel_corriger");
    const std::wstring dir = probes.Dir();
    ::CreateDirectoryW((dir + L"\\Démarrage").c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\arbre").c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\arbre\\Outils").c_str(), nullptr);
    const std::string runBare = U8(probes.Copy(L"run_nu.exe"));
    const std::string runArgs = U8(probes.Copy(L"run_args.exe"));
    const std::string target = U8(probes.Copy(L"cible_lnk.exe"));
    const std::string boosted = U8(probes.Copy(L"boosted.exe"));
    probes.Copy(L"arbre\\Outils\\Run.exe");
    WriteBytes(dir + L"\\arbre\\Outils\\StartBoost.exe", "");
    WriteBytes(dir + L"\\arbre\\Outils\\boost.ini", "[premiere ligne]\r\n" + boosted + "\r\n\r\n");
    WriteBytes(dir + L"\\Démarrage\\Cible.lnk", std::string("L\0\0\0\x01\0", 6) + target + std::string(3, '\0'));

    const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    KeyValuesBackup machineRun(HKEY_LOCAL_MACHINE, run), userRun(HKEY_CURRENT_USER, run);
    KeyValuesBackup shellFolders(HKEY_CURRENT_USER,
                                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    machineRun.Clear();
    userRun.Clear();
    shellFolders.Clear();
    machineRun.Set(L"Args", win::Widen(runArgs) + L" /x");
    userRun.Set(L"Nu", win::Widen(runBare));
    userRun.Set(L"Systeme", L"rundll32.exe shell32.dll,Control_RunDLL");
    shellFolders.Set(L"Startup", dir + L"\\Démarrage");

    for (const auto& exe : {runBare, runArgs, target, boosted}) mendrel::StartMinimized(ProgramFileCommandLine(exe));
    const auto bare0 = WaitPids("run_nu.exe", 1), args0 = WaitPids("run_args.exe", 1);
    const auto target0 = WaitPids("cible_lnk.exe", 1);
    ASSERT_EQ(bare0.size(), 1u);
    ASSERT_EQ(args0.size(), 1u);
    ASSERT_EQ(target0.size(), 1u);
    ASSERT_EQ(WaitPids("boosted.exe", 1).size(), 1u);

    RegistryAccess registry;
    Win98Processes processes;
    BoundedEnvironment env(U8(dir + L"\\arbre"));
    const RepairReport report = RepairStartupPrograms(registry, processes, env);
    EXPECT_EQ(report.startupFolder, U8(dir + L"\\Démarrage"));
    EXPECT_EQ(report.startBoost, U8(dir + L"\\arbre\\Outils\\StartBoost.exe"));

    const auto bare1 = WaitPids("run_nu.exe", 1);
    ASSERT_EQ(bare1.size(), 1u);
    EXPECT_NE(bare1[0], bare0[0]);                    // ended and started again
    EXPECT_EQ(Pids("run_args.exe"), args0);           // a command line with arguments is left alone
    const auto target1 = WaitPids("cible_lnk.exe", 1);
    ASSERT_EQ(target1.size(), 1u);
    EXPECT_NE(target1[0], target0[0]);                // through the shortcut's target
    EXPECT_TRUE(WaitPids("boosted.exe", 0).empty());  // ended, not started
    EXPECT_EQ(WaitPids("outils\\run.exe", 1).size(), 1u);  // the launcher runs
}

}  // namespace
