#pragma once
// The decisions of the Mendrel repair utility that need no Windows: the text
// tests on command lines and file names, the memory rule, the reading of a
// shortcut file's target, the drive list, and the process routines over an
// abstract process list (so the Windows 95/98/Me behaviour, where the process
// list holds full paths, can be checked anywhere).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace orvane {

// An error of the utility: a number and a description, shown together in the
// message box that ends the program.
class MendrelError : public Error {
public:
    MendrelError(long number, std::string description);
    long Number() const { return number_; }
    const std::string& Description() const { return description_; }

private:
    long number_;
    std::string description_;
};

// Raised by the registry when a key to open does not exist; start-up counts
// the option as off instead of ending.
class RegistryKeyMissing : public MendrelError {
public:
    using MendrelError::MendrelError;
};

// "Erreur d'exécution '<n>' :" followed by the description, the box text.
std::string MendrelErrorText(long number, std::string_view description);

// ---- text rules ---------------------------------------------------------------

// Upper/lower case of UTF-8 text: ASCII and the Latin-1 letters (the letters
// of the ANSI code pages the program was written for); other characters stay.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// The first eight characters are exactly "rundll32", "Rundll32" or
// "RUNDLL32" (the three prefixes; other mixtures are not excluded).
bool HasRundllPrefix(std::string_view commandLine);

// The name ends with exactly ".lnk", ".Lnk" or ".LNK".
bool HasShortcutEnding(std::string_view name);

// Case-insensitive substring test (IsProgramRunning's rule).
bool ImagePathContains(std::string_view imagePath, std::string_view text);
// Case-insensitive suffix test (EndProgram's rule) on whole names: the text
// must end the path and begin where a name of the path begins, at its start
// or right after a "\" or "/" (or itself begin with one), so "a.exe" ends
// "C:\x\a.exe" but not "C:\x\java.exe". A path shorter than the text, and
// an empty text, never match.
bool ImagePathEndsWith(std::string_view imagePath, std::string_view text);

// Names of registry keys and values, which the registry itself compares
// without regard to letter case ("Startup" is "StartUp" on some systems).
bool RegistryNamesEqual(std::string_view a, std::string_view b);

// The command line that starts the program file at `path`, full path or bare
// name, and nothing else: the path in double quotes. Unquoted, CreateProcess
// would first try every prefix that ends at a blank ("C:\Program.exe" for
// "C:\Program Files\SB\Run.exe"); quoted, a bare name is still searched
// for the usual way. Throws MendrelError 52 for an empty path or one holding
// a double quote, which no file name can.
std::string ProgramFileCommandLine(std::string_view path);

// ---- memory -------------------------------------------------------------------

inline constexpr std::uint32_t kMinimumMemoryMb = 64;

// The total physical memory as a 32-bit count: larger totals saturate at the
// largest count instead of wrapping (a 4 GiB machine must not read as 0).
std::uint32_t MemoryCount32(std::uint64_t totalPhysicalBytes);
// Whole megabytes, rounded down, plus one.
std::uint32_t MemorySizeMb(std::uint32_t totalPhysicalBytes);
// Below 64 by the rule above: exactly below 66,060,288 bytes.
bool MemoryRestricted(std::uint64_t totalPhysicalBytes);

// ---- files ----------------------------------------------------------------------

// The first NUL-separated segment of a shortcut file's text that contains
// ":\" and no "#"; a last segment that no NUL ends counts too. Empty when no
// segment qualifies.
std::string FirstLocalPathSegment(std::string_view fileText);

// The roots ("C:\") in the buffer filled by the logical drive query: entries
// of four characters (letter, colon, backslash, NUL) within the used length.
std::vector<std::string> ParseLogicalDriveStrings(std::string_view buffer);

// Everything up to and including the last backslash: the folder of a found
// file, ready for a file name to be appended (empty when there is none).
std::string UpToLastBackslash(std::string_view path);

// Sorts names the way a sorted file list shows them: case-insensitively, ties
// by the exact text so the order is stable.
void SortFileNames(std::vector<std::string>& names);

// ---- processes ------------------------------------------------------------------

struct ProcessEntry {
    std::uint32_t id = 0;
    std::string imagePath;  // full path on 95/98/Me, possibly a bare name elsewhere
};

// What the process routines need of the system.
class ProcessList {
public:
    virtual ~ProcessList() = default;
    virtual std::uint32_t PlatformId() = 0;
    virtual std::uint32_t CurrentProcessId() = 0;
    // Fills the current processes; false when no snapshot could be taken.
    virtual bool Snapshot(std::vector<ProcessEntry>& out) = 0;
    // Opens and terminates the process with exit code 0; false when it could
    // not be opened or terminated. Termination only starts the process's
    // end: it may still be listed, and hold what it holds, for a while.
    virtual bool Terminate(std::uint32_t id) = 0;
    // Waits until every process terminated through this list since the last
    // wait has really exited, for at most `timeoutMs` in all; true when they
    // all have. A single-instance program started before that sees its dying
    // copy and quits.
    virtual bool WaitForEnded(std::uint32_t timeoutMs) = 0;
};

// How long a restart waits for the ended copies to exit before it starts the
// program anyway.
inline constexpr std::uint32_t kEndedExitWaitMs = 5000;

inline constexpr std::uint32_t kPlatformWin9x = 1;

// False at once unless the platform is 1; then true when the text occurs in
// an image path (any letter case). The utility's own process is never
// considered, so it cannot end itself halfway through a repair. An empty
// text matches nothing in either routine.
bool IsProgramRunning(ProcessList& processes, std::string_view text);

struct EndResult {
    bool matched = false;
    int count = 0;       // matches, also those that could not be terminated
    int terminated = 0;  // of which terminated
};
// Terminates every process whose image path ends with the text as whole
// names (any case, ImagePathEndsWith); returns at once, without waiting for
// them to exit.
EndResult EndProgram(ProcessList& processes, std::string_view text);

}  // namespace orvane
