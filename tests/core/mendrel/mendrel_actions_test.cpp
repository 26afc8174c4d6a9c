#include "core/mendrel/mendrel_actions.h"

#include <gtest/gtest.h>

#include "core/mendrel_fakes.h"

using namespace orvane;
using namespace mendrel_test;
using namespace std::string_literals;

namespace {

constexpr std::uint64_t kPlenty = 512ull << 20;

class MendrelSwitches : public ::testing::Test {
protected:
    void SetUp() override {
        reg.Ensure(kExplorerKey);
        reg.Ensure(kAdvancedKey);
        reg.Set(kAdvancedKey, "Hidden", std::uint32_t{2});
    }
    std::string Status() { return StartupState(reg, kPlenty).status; }
    const RegData* Browse() {
        const auto* v = reg.Find(kBrowseKey, kBrowseNewProcess);
        return v ? &v->data : nullptr;
    }
    const RegData* Separate() {
        const auto* v = reg.Find(kAdvancedKey, kSeparateProcess);
        return v ? &v->data : nullptr;
    }
    FakeRegistry reg;
};

}  // namespace

TEST_F(MendrelSwitches, CleanSystemIsOffThenOptimiserSwitchesBothOn) {
    EXPECT_EQ(Status(), kStatusOff);
    EXPECT_EQ(SwitchPreventionOn(reg), kStatusOn);
    ASSERT_TRUE(Browse());
    EXPECT_EQ(*Browse(), RegData("yes"s));
    ASSERT_TRUE(Separate());
    EXPECT_EQ(*Separate(), RegData(std::uint32_t{1}));  // a number, not the text "1"
    EXPECT_EQ(Status(), kStatusOn);
    // A second click writes nothing.
    const int before = reg.writes;
    EXPECT_EQ(SwitchPreventionOn(reg), kStatusOn);
    EXPECT_EQ(reg.writes, before);
}

TEST_F(MendrelSwitches, EmptyOrNoBecomesYesOtherDataStays) {
    for (const std::string data : {"", "no"}) {
        reg.RemoveKey(kBrowseKey);
        reg.Set(kBrowseKey, kBrowseNewProcess, data);
        SwitchPreventionOn(reg);
        EXPECT_EQ(*Browse(), RegData("yes"s)) << data;
    }
    for (const std::string data : {"No", "NO", "Yes", "oui", "1"}) {
        reg.RemoveKey(kBrowseKey);
        reg.Set(kBrowseKey, kBrowseNewProcess, data);
        EXPECT_EQ(SwitchPreventionOn(reg), kStatusOn);
        EXPECT_EQ(*Browse(), RegData(data)) << data;
        EXPECT_EQ(Status(), kStatusOff) << data;  // the next start tells the truth
    }
    // A key without the value gets nothing.
    reg.RemoveKey(kBrowseKey);
    reg.Set(kBrowseKey, "Autre", "yes"s);
    EXPECT_EQ(SwitchPreventionOn(reg), kStatusOn);
    EXPECT_EQ(Browse(), nullptr);
    EXPECT_EQ(Status(), kStatusOff);
}

TEST_F(MendrelSwitches, SeparateProcessRows) {
    struct Row {
        RegData before;
        RegData after;
    };
    const Row rows[] = {
        {std::uint32_t{0}, std::uint32_t{1}}, {"0"s, "1"s},   {""s, "1"s},
        {std::uint32_t{1}, std::uint32_t{1}}, {"1"s, "1"s},   {std::uint32_t{2}, std::uint32_t{2}},
        {"01"s, "01"s},                       {"2"s, "2"s},
    };
    for (const auto& row : rows) {
        reg.Set(kAdvancedKey, kSeparateProcess, row.before);
        SwitchPreventionOn(reg);
        EXPECT_EQ(*Separate(), row.after);
    }
}

TEST_F(MendrelSwitches, StartupStateTestIsExact) {
    reg.Set(kBrowseKey, kBrowseNewProcess, "yes"s);
    reg.Set(kAdvancedKey, kSeparateProcess, std::uint32_t{1});
    EXPECT_EQ(Status(), kStatusOn);
    reg.Set(kAdvancedKey, kSeparateProcess, "1"s);
    EXPECT_EQ(Status(), kStatusOn);
    reg.Set(kAdvancedKey, kSeparateProcess, "01"s);
    EXPECT_EQ(Status(), kStatusOff);
    reg.Set(kAdvancedKey, kSeparateProcess, std::uint32_t{2});
    EXPECT_EQ(Status(), kStatusOff);
    reg.Set(kAdvancedKey, kSeparateProcess, std::uint32_t{1});
    reg.Set(kBrowseKey, kBrowseNewProcess, "YES"s);
    EXPECT_EQ(Status(), kStatusOff);
    // A value of another letter case is another name for the test.
    reg.RemoveKey(kBrowseKey);
    reg.Set(kBrowseKey, "browsenewprocess", "yes"s);
    EXPECT_EQ(Status(), kStatusOff);
    // So is a subkey of another letter case, which "Par défaut" leaves.
    reg.RemoveKey(kBrowseKey);
    reg.Set(kExplorerKey + "\\browsenewprocess"s, kBrowseNewProcess, "yes"s);
    EXPECT_EQ(Status(), kStatusOff);
    SwitchPreventionOff(reg);
    EXPECT_TRUE(reg.Has(kExplorerKey + "\\browsenewprocess"s));
}

TEST_F(MendrelSwitches, ParDefautRemovesWholeKeyAndValueOnly) {
    reg.Set(kBrowseKey, kBrowseNewProcess, "yes"s);
    reg.Set(kBrowseKey, "Autre", "garde"s);
    reg.Set(kBrowseKey + "\\Sous"s, "x", "y"s);
    reg.Set(kAdvancedKey, kSeparateProcess, std::uint32_t{1});
    EXPECT_EQ(SwitchPreventionOff(reg), kStatusOff);
    EXPECT_FALSE(reg.Has(kBrowseKey));
    EXPECT_FALSE(reg.Has(kBrowseKey + "\\Sous"s));
    EXPECT_EQ(Separate(), nullptr);
    ASSERT_NE(reg.Find(kAdvancedKey, "Hidden"), nullptr);  // the neighbours stay
    EXPECT_TRUE(reg.Has(kExplorerKey));
    EXPECT_EQ(Status(), kStatusOff);
    // Once clean, a second click changes nothing.
    const int before = reg.writes;
    EXPECT_EQ(SwitchPreventionOff(reg), kStatusOff);
    EXPECT_EQ(reg.writes, before);
}

TEST_F(MendrelSwitches, MissingKeysAtStartCountAsOff) {
    FakeRegistry bare;
    EXPECT_EQ(StartupState(bare, kPlenty).status, kStatusOff);
    bare.Ensure(kExplorerKey);
    bare.Set(kBrowseKey, kBrowseNewProcess, "yes"s);
    EXPECT_TRUE(ReadPreventionState(bare).browseNewProcess);
    EXPECT_FALSE(ReadPreventionState(bare).separateProcess);
}

TEST_F(MendrelSwitches, SwitchesWithoutTheParentKeysMakeThemFailOrFindNothing) {
    reg.RemoveKey(kAdvancedKey);  // made by "Optimiser"
    EXPECT_EQ(SwitchPreventionOn(reg), kStatusOn);
    ASSERT_TRUE(Separate());
    EXPECT_EQ(*Separate(), RegData(std::uint32_t{1}));
    EXPECT_EQ(Status(), kStatusOn);

    FakeRegistry bare;
    EXPECT_THROW(SwitchPreventionOn(bare), RegistryKeyMissing);  // no machine Explorer key
    bare.Ensure(kExplorerKey);
    // The user's Explorer key is missing too: the first option is written,
    // then the error stops the handler.
    EXPECT_THROW(SwitchPreventionOn(bare), RegistryKeyMissing);
    EXPECT_TRUE(bare.Has(kBrowseKey));
    EXPECT_EQ(SwitchPreventionOff(bare), kStatusOff);
    EXPECT_FALSE(bare.Has(kBrowseKey));
}

TEST_F(MendrelSwitches, LowMemoryWinsOverActivatedText) {
    reg.Set(kBrowseKey, kBrowseNewProcess, "yes"s);
    reg.Set(kAdvancedKey, kSeparateProcess, std::uint32_t{1});
    const StartupView low = StartupState(reg, 66060287ull);
    EXPECT_EQ(low.status, kStatusLowMemory);
    EXPECT_FALSE(low.switchesEnabled);
    const StartupView enough = StartupState(reg, 66060288ull);
    EXPECT_EQ(enough.status, kStatusOn);
    EXPECT_TRUE(enough.switchesEnabled);
}

// ---- "Corriger" ---------------------------------------------------------------

namespace {

class MendrelRepair : public ::testing::Test {
protected:
    void SetUp() override {
        reg.Ensure(kMachineRunKey);
        reg.Ensure(kUserRunKey);
        reg.Ensure(kShellFoldersKey);
        env.processes = &procs;
        procs.self = procs.Add("C:\\MENDREL\\MENDREL.EXE");
    }
    RepairReport Run() { return RepairStartupPrograms(reg, procs, env); }
    bool Alive(std::uint32_t id) const {
        for (const auto& e : procs.running)
            if (e.id == id) return true;
        return false;
    }
    FakeRegistry reg;
    FakeProcesses procs;
    FakeEnvironment env;
};

}  // namespace

TEST_F(MendrelRepair, BarePathThatRunsIsEndedAndRestartedArgumentsAreNot) {
    const auto tray = procs.Add("C:\\PROGRAM FILES\\TRAY\\TRAY.EXE");
    const auto agent = procs.Add("C:\\AGENT\\AGENT.EXE");
    const auto quoted = procs.Add("C:\\Q\\Q.EXE");
    reg.Set(kMachineRunKey, "Tray", "C:\\Program Files\\Tray\\tray.exe"s);
    reg.Set(kUserRunKey, "Agent", "C:\\Agent\\agent.exe /minimized"s);
    reg.Set(kUserRunKey, "Quoted", "\"C:\\Q\\Q.EXE\""s);
    reg.Set(kUserRunKey, "Absent", "C:\\Nowhere\\ghost.exe"s);
    Run();
    EXPECT_FALSE(Alive(tray));
    EXPECT_TRUE(Alive(agent));
    EXPECT_TRUE(Alive(quoted));
    EXPECT_EQ(env.started, (std::vector<std::string>{"C:\\Program Files\\Tray\\tray.exe"}));
    // The restarted programs add their own icons: no new task bar is announced.
    EXPECT_EQ(env.taskbarAnnouncements, 0);
}

TEST_F(MendrelRepair, RunKeysInOrderMachineThenUser) {
    procs.Add("C:\\A\\A.EXE");
    procs.Add("C:\\B\\B.EXE");
    reg.Set(kUserRunKey, "b", "C:\\B\\b.exe"s);
    reg.Set(kMachineRunKey, "a", "C:\\A\\a.exe"s);
    Run();
    EXPECT_EQ(env.started, (std::vector<std::string>{"C:\\A\\a.exe", "C:\\B\\b.exe"}));
}

TEST_F(MendrelRepair, RundllPrefixesAreNeverTouchedFourthCaseOnlyByArguments) {
    procs.Add("C:\\WINDOWS\\RUNDLL32.EXE");
    reg.Set(kMachineRunKey, "x", "rundll32.exe"s);
    reg.Set(kMachineRunKey, "y", "RUNDLL32.EXE"s);
    reg.Set(kMachineRunKey, "z", "RunDll32.exe shell32.dll,Thing"s);
    reg.Set(kMachineRunKey, "empty", ""s);
    reg.Set(kMachineRunKey, "number", std::uint32_t{1});
    Run();
    EXPECT_TRUE(env.started.empty());
    EXPECT_EQ(procs.terminated.size(), 0u);
    // Without arguments the fourth spelling is found and restarted.
    reg.Set(kMachineRunKey, "z", "RunDll32.exe"s);
    Run();
    EXPECT_EQ(env.started, (std::vector<std::string>{"RunDll32.exe"}));
}

TEST_F(MendrelRepair, NtFamilyEndsNothingAnnouncesTheTaskbarAndStartsTheLauncher) {
    procs.platform = 2;
    procs.Add("C:\\PROGRAM FILES\\TRAY\\TRAY.EXE");
    reg.Set(kMachineRunKey, "Tray", "C:\\Program Files\\Tray\\tray.exe"s);
    reg.Set(kShellFoldersKey, "Startup", "C:\\Startup"s);
    env.folders["C:\\Startup"] = {"tray.exe"};
    env.trees["C:\\"] = "C:\\Boost\\StartBoost.exe";
    env.files["C:\\Boost\\boost.ini"] = "[list]\r\nC:\\PROGRAM FILES\\TRAY\\TRAY.EXE\r\n";
    Run();
    EXPECT_TRUE(procs.terminated.empty());
    EXPECT_EQ(env.started, (std::vector<std::string>{"\"C:\\Boost\\Run.exe\""}));
    EXPECT_EQ(env.taskbarAnnouncements, 1);
    // The icons are asked back before any source can stop the walk.
    env.files.clear();
    EXPECT_THROW(Run(), MendrelError);
    EXPECT_EQ(env.taskbarAnnouncements, 2);
}

TEST_F(MendrelRepair, StartupFolderPlainFilesShortcutsAndRunExe) {
    const auto plain = procs.Add("C:\\OUTILS\\HORLOGE.EXE");
    const auto viaLnk = procs.Add("C:\\PROGRAM FILES\\NOTES\\NOTES.EXE");
    const auto runExe = procs.Add("C:\\X\\RUN.EXE");
    const auto mixed = procs.Add("C:\\M\\MIXED.LnK");
    reg.Set(kShellFoldersKey, "Startup", "C:\\Menu Démarrer\\Démarrage"s);
    env.folders["C:\\Menu Démarrer\\Démarrage"] = {"notes.lnk", "horloge.exe", "Run.exe", "mixed.LnK",
                                                   "reseau.LNK", "desktop.ini"};
    env.files["C:\\Menu Démarrer\\Démarrage\\notes.lnk"] =
        "L\0\0\0hdr\0\\\\srv\\x\0C:\\Program Files\\Notes\\notes.exe\0\0"s;
    env.files["C:\\Menu Démarrer\\Démarrage\\reseau.LNK"] = "L\0\0\0\\\\serveur\\partage\\r.exe\0\0"s;
    const RepairReport report = Run();
    EXPECT_FALSE(Alive(plain));
    EXPECT_FALSE(Alive(viaLnk));
    EXPECT_FALSE(Alive(runExe));
    EXPECT_FALSE(Alive(mixed));  // "mixed.LnK" is a plain file, found by its bare name
    // Sorted by name; the shortcut's target is started, plain files by name,
    // each quoted so that a blank in it cannot start another program.
    EXPECT_EQ(env.started, (std::vector<std::string>{"\"horloge.exe\"", "\"mixed.LnK\"",
                                                     "\"C:\\Program Files\\Notes\\notes.exe\"", "\"Run.exe\""}));
    // Only real shortcuts are read; "Run.exe" is not.
    EXPECT_EQ(env.reads, (std::vector<std::string>{"C:\\Menu Démarrer\\Démarrage\\notes.lnk",
                                                   "C:\\Menu Démarrer\\Démarrage\\reseau.LNK"}));
    EXPECT_EQ(report.startupFolder, "C:\\Menu Démarrer\\Démarrage");
    // A plain file not on the search path is started from the folder.
    env.started.clear();
    procs.Add("C:\\STARTUP\\HORLOGE.EXE");
    reg.Set(kShellFoldersKey, "Startup", "C:\\Startup\\"s);
    env.folders["C:\\Startup\\"] = {"horloge.exe"};
    env.unstartable.insert("\"horloge.exe\"");
    Run();
    EXPECT_EQ(env.started, (std::vector<std::string>{"\"C:\\Startup\\horloge.exe\""}));
}

TEST_F(MendrelRepair, MissingRunKeysAreEmptySourcesOtherErrorsStop) {
    procs.Add("C:\\A\\A.EXE");
    reg.Set(kUserRunKey, "a", "C:\\A\\a.exe"s);
    reg.RemoveKey(kMachineRunKey);
    reg.RemoveKey(kShellFoldersKey);
    env.trees["C:\\"] = "C:\\B\\StartBoost.exe";
    env.files["C:\\B\\boost.ini"] = "";
    Run();
    EXPECT_EQ(env.started, (std::vector<std::string>{"C:\\A\\a.exe", "\"C:\\B\\Run.exe\""}));

    env.started.clear();
    reg.Set(kShellFoldersKey, "Startup", "C:\\Absent"s);
    EXPECT_THROW(Run(), MendrelError);
    EXPECT_EQ(env.started.size(), 1u);  // what was restarted before stays so

    env.folders["C:\\Absent"] = {"cassé.lnk"};
    EXPECT_THROW(Run(), MendrelError);  // the shortcut cannot be read
}

TEST_F(MendrelRepair, WithoutAStartupValueOrAStartBoostNothingIsReadOrStarted) {
    reg.Set(kShellFoldersKey, "Desktop", "C:\\Bureau"s);
    env.drives = "C:\\\0D:\\\0"s;
    const RepairReport report = Run();
    EXPECT_FALSE(report.startupFolder);
    EXPECT_EQ(env.searched, (std::vector<std::string>{"C:\\", "D:\\"}));
    EXPECT_TRUE(env.reads.empty());
    EXPECT_TRUE(env.started.empty());
    // A StartBoost without its list stops.
    env.trees["C:\\"] = "C:\\B\\StartBoost.exe";
    EXPECT_THROW(Run(), MendrelError);
    EXPECT_TRUE(env.started.empty());
}

TEST_F(MendrelRepair, StartupManagerFirstFixedDriveOnly) {
    env.drives = "A:\\\0C:\\\0D:\\\0E:\\\0"s;
    env.nonFixed = {"A:\\", "E:\\"};
    env.trees["A:\\"] = "A:\\StartBoost.exe";
    env.trees["C:\\"] = "C:\\Outils\\Boost\\StartBoost.exe";
    env.trees["D:\\"] = "D:\\StartBoost.exe";
    const auto first = procs.Add("C:\\OUTILS\\PREMIER.EXE");
    const auto listed = procs.Add("C:\\OUTILS\\SECOND.EXE");
    const auto rundll = procs.Add("C:\\WINDOWS\\RUNDLL32.EXE");
    env.files["C:\\Outils\\Boost\\boost.ini"] =
        "C:\\Outils\\premier.exe\r\nC:\\Outils\\second.exe\r\n\r\nrundll32.exe\r\nC:\\Pas\\lance.exe"s;
    const RepairReport report = Run();
    EXPECT_EQ(env.searched, (std::vector<std::string>{"C:\\"}));
    EXPECT_EQ(report.startBoost, "C:\\Outils\\Boost\\StartBoost.exe");
    EXPECT_TRUE(Alive(first));  // the first line is never used
    EXPECT_FALSE(Alive(listed));
    EXPECT_TRUE(Alive(rundll));
    // Listed programs are ended, not started; only the launcher starts.
    EXPECT_EQ(env.started, (std::vector<std::string>{"\"C:\\Outils\\Boost\\Run.exe\""}));
}

TEST_F(MendrelRepair, RunKeyCommandLinesStayAsStoredProgramPathsAreQuoted) {
    procs.Add("C:\\PROGRAM FILES\\TRAY\\TRAY.EXE");
    procs.Add("C:\\PROGRAM FILES\\NOTES\\NOTES.EXE");
    reg.Set(kUserRunKey, "Tray", "C:\\Program Files\\Tray\\tray.exe"s);
    reg.Set(kShellFoldersKey, "Startup", "C:\\Startup"s);
    env.folders["C:\\Startup"] = {"Notes.lnk"};
    env.files["C:\\Startup\\Notes.lnk"] = "L\0\0\0C:\\Program Files\\Notes\\notes.exe\0\0"s;
    env.trees["C:\\"] = "C:\\Program Files\\SB\\StartBoost.exe";
    env.files["C:\\Program Files\\SB\\boost.ini"] = "[liste]\r\n"s;
    Run();
    // What the user stored in a Run key is the user's own command line.
    EXPECT_EQ(env.started, (std::vector<std::string>{"C:\\Program Files\\Tray\\tray.exe",
                                                     "\"C:\\Program Files\\Notes\\notes.exe\"",
                                                     "\"C:\\Program Files\\SB\\Run.exe\""}));
}

TEST_F(MendrelRepair, EndingSparesProgramsWhoseNameOnlyEndsAlike) {
    // Startup "StartUp" as some systems spell it: the registry ignores case.
    reg.Set(kShellFoldersKey, "StartUp", "C:\\Startup"s);
    env.folders["C:\\Startup"] = {"a.exe"};
    const auto a = procs.Add("C:\\STARTUP\\A.EXE");
    const auto xa = procs.Add("C:\\OUTILS\\XA.EXE");
    const auto java = procs.Add("C:\\JAVA\\BIN\\JAVA.EXE");
    const RepairReport report = Run();
    EXPECT_EQ(report.startupFolder, "C:\\Startup");
    EXPECT_EQ(procs.terminated, (std::vector<std::uint32_t>{a}));
    EXPECT_TRUE(Alive(xa));
    EXPECT_TRUE(Alive(java));
    EXPECT_EQ(env.started, (std::vector<std::string>{"\"a.exe\""}));
}

TEST_F(MendrelRepair, EveryStartWaitsForTheCopiesItEnded) {
    // Single-instance programs that quit when they see a copy still listed.
    const auto tray = procs.Add("C:\\TRAY\\TRAY.EXE");
    const auto boosted = procs.Add("C:\\B\\LISTED.EXE");
    procs.slowToExit = {tray, boosted};
    env.singleInstance = {"C:\\Tray\\tray.exe", "C:\\B\\Run.exe"};
    reg.Set(kUserRunKey, "Tray", "C:\\Tray\\tray.exe"s);
    env.trees["C:\\"] = "C:\\B\\StartBoost.exe";
    env.files["C:\\B\\boost.ini"] = "[liste]\r\nC:\\B\\listed.exe\r\n"s;
    Run();
    EXPECT_TRUE(env.refused.empty());
    EXPECT_FALSE(Alive(tray));
    EXPECT_FALSE(Alive(boosted));
    EXPECT_TRUE(procs.Listed("C:\\Tray\\tray.exe"));  // the new copy
    EXPECT_EQ(env.started, (std::vector<std::string>{"C:\\Tray\\tray.exe", "\"C:\\B\\Run.exe\""}));
    // Bounded: a copy that never exits delays each start by a few seconds only.
    ASSERT_EQ(procs.waitTimeouts.size(), 2u);
    for (const auto ms : procs.waitTimeouts) {
        EXPECT_GE(ms, 1000u);
        EXPECT_LE(ms, 10000u);
    }
}
