#include "core/mendrel/mendrel_rules.h"

#include <gtest/gtest.h>

#include "core/mendrel_fakes.h"

using namespace orvane;
using mendrel_test::FakeProcesses;

TEST(MendrelTextRules, RundllPrefixIsOneOfThreeSpellings) {
    EXPECT_TRUE(HasRundllPrefix("rundll32.exe shell32.dll,Control_RunDLL"));
    EXPECT_TRUE(HasRundllPrefix("Rundll32 x"));
    EXPECT_TRUE(HasRundllPrefix("RUNDLL32.EXE"));
    EXPECT_TRUE(HasRundllPrefix("rundll32"));
    EXPECT_FALSE(HasRundllPrefix("RunDll32 x"));  // a fourth spelling is not excluded
    EXPECT_FALSE(HasRundllPrefix("RunDLL32"));
    EXPECT_FALSE(HasRundllPrefix("rundll3"));
    EXPECT_FALSE(HasRundllPrefix(" rundll32"));
    EXPECT_FALSE(HasRundllPrefix(""));
}

TEST(MendrelTextRules, ShortcutEndingIsOneOfThreeSpellings) {
    EXPECT_TRUE(HasShortcutEnding("Outil.lnk"));
    EXPECT_TRUE(HasShortcutEnding("Outil.Lnk"));
    EXPECT_TRUE(HasShortcutEnding("OUTIL.LNK"));
    EXPECT_FALSE(HasShortcutEnding("Outil.LnK"));
    EXPECT_FALSE(HasShortcutEnding("Outil.lNK"));
    EXPECT_FALSE(HasShortcutEnding("Outil.lnk.txt"));
    EXPECT_FALSE(HasShortcutEnding("lnk"));
}

TEST(MendrelTextRules, CaseFoldingCoversAsciiAndLatinLetters) {
    EXPECT_EQ(UpperCase("c:\\program files\\été.exe"), "C:\\PROGRAM FILES\\ÉTÉ.EXE");
    EXPECT_EQ(LowerCase("C:\\DÉMARRAGE\\ÇA.EXE"), "c:\\démarrage\\ça.exe");
    EXPECT_EQ(UpperCase("÷ ×"), "÷ ×");  // signs, not letters
    EXPECT_EQ(LowerCase("€ 日本"), "€ 日本");
    // Registry names compare the same way.
    EXPECT_TRUE(RegistryNamesEqual("Startup", "StartUp"));
    EXPECT_TRUE(RegistryNamesEqual("Démarrage", "DÉMARRAGE"));
    EXPECT_FALSE(RegistryNamesEqual("Startup", "Start Up"));
    EXPECT_FALSE(RegistryNamesEqual("Startup", "Startup2"));
    EXPECT_FALSE(RegistryNamesEqual("Startup", ""));
}

TEST(MendrelTextRules, RunningTestIsCaseInsensitiveSubstringOfImagePath) {
    EXPECT_TRUE(ImagePathContains("C:\\WINDOWS\\EXPLORER.EXE", "explorer.exe"));
    EXPECT_TRUE(ImagePathContains("C:\\WINDOWS\\EXPLORER.EXE", "c:\\windows\\explorer.exe"));
    EXPECT_TRUE(ImagePathContains("C:\\Program Files\\Outil\\outil.exe", "Outil\\OUTIL"));
    EXPECT_FALSE(ImagePathContains("C:\\WINDOWS\\EXPLORER.EXE", "C:\\WINDOWS\\EXPLORER.EXE /n"));
    EXPECT_FALSE(ImagePathContains("C:\\WINDOWS\\EXPLORER.EXE", "\"C:\\WINDOWS\\EXPLORER.EXE\""));
}

TEST(MendrelTextRules, EndTestIsCaseInsensitiveSuffixOfWholeNames) {
    EXPECT_TRUE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "tray.exe"));
    EXPECT_TRUE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "c:\\OUTILS\\tray.exe"));
    EXPECT_TRUE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "outils\\tray.exe"));
    EXPECT_TRUE(ImagePathEndsWith("C:/Outils/Tray.EXE", "tray.exe"));
    EXPECT_FALSE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "tray"));
    EXPECT_FALSE(ImagePathEndsWith("tray.exe", "C:\\Outils\\tray.exe"));  // shorter path: compared whole
    EXPECT_TRUE(ImagePathEndsWith("tray.exe", "TRAY.EXE"));  // a bare image name is one whole name
    EXPECT_FALSE(ImagePathEndsWith("tray.exe", ""));
    // The text must start where a name starts.
    EXPECT_FALSE(ImagePathEndsWith("C:\\Java\\bin\\java.exe", "a.exe"));
    EXPECT_FALSE(ImagePathEndsWith("C:\\X\\xa.exe", "a.exe"));
    EXPECT_FALSE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "ls\\tray.exe"));
    EXPECT_TRUE(ImagePathEndsWith("C:\\X\\a.exe", "a.exe"));
    EXPECT_TRUE(ImagePathEndsWith("a.exe", "A.EXE"));
    // A text that begins with a separator begins a name itself.
    EXPECT_TRUE(ImagePathEndsWith("C:\\Outils\\Tray.EXE", "\\Outils\\tray.exe"));
    // Accented letters fold too, without shifting the boundary.
    EXPECT_TRUE(ImagePathEndsWith("C:\\Été\\ÉCRAN.EXE", "écran.exe"));
    EXPECT_FALSE(ImagePathEndsWith("C:\\Été\\ÉCRAN.EXE", "cran.exe"));
}

TEST(MendrelTextRules, ProgramFilesAreStartedByTheirQuotedPath) {
    EXPECT_EQ(ProgramFileCommandLine("C:\\Program Files\\SB\\Run.exe"), "\"C:\\Program Files\\SB\\Run.exe\"");
    EXPECT_EQ(ProgramFileCommandLine("My Tool.exe"), "\"My Tool.exe\"");
    EXPECT_EQ(ProgramFileCommandLine("C:\\Démarrage\\outil.exe"), "\"C:\\Démarrage\\outil.exe\"");
    // No file name holds a double quote; such a text names no program.
    for (const std::string bad : {"", "\"C:\\x.exe\"", "C:\\a\" b.exe"}) {
        try {
            ProgramFileCommandLine(bad);
            ADD_FAILURE() << bad;
        } catch (const MendrelError& e) {
            EXPECT_EQ(e.Number(), 52) << bad;
        }
    }
}

TEST(MendrelMemory, BoundaryIsSixtyThreeMebibytes) {
    EXPECT_FALSE(MemoryRestricted(66060288ull));
    EXPECT_TRUE(MemoryRestricted(66060287ull));
    EXPECT_EQ(MemorySizeMb(66060288u), 64u);
    EXPECT_EQ(MemorySizeMb(66060287u), 63u);
    // Slightly less than 64 MiB counts as 64.
    EXPECT_FALSE(MemoryRestricted(64ull * 1048576 - 4096));
    EXPECT_TRUE(MemoryRestricted(0));
    EXPECT_TRUE(MemoryRestricted(32ull * 1048576));
    // Large machines never are.
    EXPECT_FALSE(MemoryRestricted(2ull << 30));
    EXPECT_FALSE(MemoryRestricted(0xFFFFFFFFull));
    // 4 GiB and more would wrap to a tiny count in 32 bits; it saturates.
    EXPECT_FALSE(MemoryRestricted(4ull << 30));
    EXPECT_FALSE(MemoryRestricted((4ull << 30) + 1048576));
    EXPECT_FALSE(MemoryRestricted(64ull << 30));
    EXPECT_EQ(MemoryCount32(64ull << 30), 0xFFFFFFFFu);
    EXPECT_EQ(MemorySizeMb(0xFFFFFFFFu), 4096u);
}

TEST(MendrelPathFile, FirstSegmentWithDriveAndNoHash) {
    using namespace std::string_literals;
    // Shaped like a shortcut: a binary header, a network path, a local path,
    // then more fields and NUL padding.
    const std::string lnk = "L\0\0\0\x01\x14\x02\0"s + "\\\\server\\share\\x.exe\0"s +
                            "C:\\Program Files\\Outil\\outil.exe\0"s + "D:\\autre.exe\0\0\0"s;
    EXPECT_EQ(FirstLocalPathSegment(lnk), "C:\\Program Files\\Outil\\outil.exe");
    // Segments with a hash or without a drive are skipped.
    EXPECT_EQ(FirstLocalPathSegment("file:///C:\\x#frag\0E:\\bon.exe\0"s), "E:\\bon.exe");
    EXPECT_EQ(FirstLocalPathSegment("\\\\serveur\\partage\\outil.exe\0\0"s), "");
    EXPECT_EQ(FirstLocalPathSegment("C:/slash/only\0"s), "");
    EXPECT_EQ(FirstLocalPathSegment(""), "");
    EXPECT_EQ(FirstLocalPathSegment("\0\0\0"s), "");
    // Wide-character path fields (a NUL after every byte) never qualify.
    EXPECT_EQ(FirstLocalPathSegment("C\0:\0\\\0x\0\0\0"s), "");
    // The last segment counts without its NUL.
    EXPECT_EQ(FirstLocalPathSegment("entête\0C:\\fin.exe"s), "C:\\fin.exe");
    EXPECT_EQ(FirstLocalPathSegment("C:\\seul.exe"), "C:\\seul.exe");
    EXPECT_EQ(FirstLocalPathSegment("C:\\été\\démarrer.exe\0"s), "C:\\été\\démarrer.exe");
}

TEST(MendrelFiles, DriveStringsFourCharactersEach) {
    using namespace std::string_literals;
    EXPECT_EQ(ParseLogicalDriveStrings("A:\\\0C:\\\0D:\\\0"s), (std::vector<std::string>{"A:\\", "C:\\", "D:\\"}));
    EXPECT_EQ(ParseLogicalDriveStrings("C:\\\0\0"s), (std::vector<std::string>{"C:\\"}));
    EXPECT_TRUE(ParseLogicalDriveStrings("").empty());
    EXPECT_EQ(ParseLogicalDriveStrings("C:\\"s), (std::vector<std::string>{"C:\\"}));  // cut before the NUL
    EXPECT_EQ(ParseLogicalDriveStrings("C:"s), std::vector<std::string>{});
}

TEST(MendrelFiles, FolderOfAFoundFileKeepsItsBackslashAndNamesSort) {
    std::vector<std::string> names{"zeta.exe", "Alpha.lnk", "beta.txt", "alpha.ini", "Écran.exe"};
    EXPECT_EQ(UpToLastBackslash("C:\\Outils\\Boost\\StartBoost.exe"), "C:\\Outils\\Boost\\");
    EXPECT_EQ(UpToLastBackslash("C:\\StartBoost.exe"), "C:\\");
    EXPECT_EQ(UpToLastBackslash("StartBoost.exe"), "");
    SortFileNames(names);  // like a file list
    EXPECT_EQ(names, (std::vector<std::string>{"alpha.ini", "Alpha.lnk", "beta.txt", "zeta.exe", "Écran.exe"}));
}

TEST(MendrelProcesses, RunningTestOnlyOnWin9x) {
    FakeProcesses p;
    p.Add("C:\\WINDOWS\\EXPLORER.EXE");
    p.platform = 2;
    EXPECT_FALSE(IsProgramRunning(p, "EXPLORER.EXE"));
    EXPECT_FALSE(IsProgramRunning(p, "C:\\WINDOWS\\EXPLORER.EXE"));
    p.platform = 1;
    EXPECT_TRUE(IsProgramRunning(p, "explorer.exe"));
    EXPECT_TRUE(IsProgramRunning(p, "c:\\windows\\explorer.exe"));
    EXPECT_FALSE(IsProgramRunning(p, "C:\\WINDOWS\\EXPLORER.EXE /e"));
    EXPECT_FALSE(IsProgramRunning(p, ""));
    p.snapshotFails = true;
    EXPECT_FALSE(IsProgramRunning(p, "explorer.exe"));
}

TEST(MendrelProcesses, EndTerminatesEveryMatchAndCountsUnopenable) {
    FakeProcesses p;
    const auto a = p.Add("C:\\Outils\\TRAY.EXE");
    const auto b = p.Add("D:\\Autre\\tray.exe");
    const auto c = p.Add("C:\\Outils\\nottray.exe.bak");
    const auto d = p.Add("C:\\Outils\\Tray.exe");
    const auto e = p.Add("C:\\Outils\\SysTray.exe");  // another program, whose name only ends alike
    p.protectedIds.insert(d);
    const EndResult r = EndProgram(p, "Tray.Exe");
    EXPECT_TRUE(r.matched);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.terminated, 2);
    EXPECT_EQ(p.terminated, (std::vector<std::uint32_t>{a, b}));
    ASSERT_EQ(p.running.size(), 3u);
    EXPECT_EQ(p.running[0].id, c);
    EXPECT_EQ(p.running[2].id, e);
    // Without a match or with an empty text nothing is touched.
    EXPECT_FALSE(EndProgram(p, "b.exe").matched);
    EXPECT_FALSE(EndProgram(p, "").matched);
    EXPECT_EQ(p.terminated.size(), 2u);
    // Ending does not ask the platform: callers ask the running test first.
    p.platform = 2;
    EXPECT_TRUE(EndProgram(p, "SysTray.exe").matched);
}

TEST(MendrelProcesses, OwnProcessIsNeverFoundOrEnded) {
    FakeProcesses p;
    p.self = p.Add("C:\\Mendrel\\Mendrel.exe");
    EXPECT_FALSE(IsProgramRunning(p, "Mendrel.exe"));
    EXPECT_FALSE(EndProgram(p, "Mendrel.exe").matched);
    EXPECT_TRUE(p.terminated.empty());
}
