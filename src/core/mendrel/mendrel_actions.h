#pragma once
// What the buttons of the Mendrel utility do, over small interfaces for the
// registry, the files and the starting of programs, so that every row of the
// option table and the whole repair walk can be checked without Windows.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/mendrel/mendrel_rules.h"

namespace orvane {

// ---- registry -------------------------------------------------------------------

// Value data as the registry access reads it: text for string values, a
// number for 32-bit number values, nothing for any other kind.
using RegData = std::variant<std::monostate, std::string, std::uint32_t>;

inline constexpr int kRegTypeString = 1;
inline constexpr int kRegTypeNumber = 4;

// Text compares exactly; a number equals the text of its decimal form.
bool DataEquals(const RegData& data, std::string_view text);
// Empty text (a number is never empty).
bool DataIsEmpty(const RegData& data);

struct RegKeyRef {
    std::string path;  // "\HKEY_LOCAL_MACHINE\Software\..."
    std::string name;  // last path element
};

struct RegValueRef {
    std::string keyPath;
    std::string name;
    RegData data;
};

// The operations of the registry access object, and only these. Failures
// throw MendrelError (RegistryKeyMissing for a key that does not exist).
class RegistryAccessApi {
public:
    virtual ~RegistryAccessApi() = default;
    virtual RegKeyRef OpenKey(const std::string& fullPath) = 0;
    virtual std::vector<RegKeyRef> Subkeys(const RegKeyRef& key) = 0;
    virtual std::vector<RegValueRef> Values(const RegKeyRef& key) = 0;
    // The value keeps its type; the text "1" written into a 32-bit number
    // value stores the number 1.
    virtual void WriteData(const RegValueRef& value, const std::string& data) = 0;
    virtual void AddSubkey(const RegKeyRef& parent, const std::string& name) = 0;
    virtual void RemoveSubkey(const RegKeyRef& parent, const std::string& name) = 0;
    virtual void AddValue(const RegKeyRef& key, const std::string& name, const std::string& data, int typeCode) = 0;
    virtual void RemoveValue(const RegKeyRef& key, const std::string& name) = 0;
};

inline constexpr char kExplorerKey[] = "\\HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
inline constexpr char kBrowseKey[] =
    "\\HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BrowseNewProcess";
inline constexpr char kAdvancedKey[] =
    "\\HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
inline constexpr char kMachineRunKey[] = "\\HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kUserRunKey[] = "\\HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kShellFoldersKey[] =
    "\\HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kBrowseNewProcess[] = "BrowseNewProcess";
inline constexpr char kSeparateProcess[] = "SeparateProcess";

// ---- status texts -------------------------------------------------------------

inline constexpr char kStatusOn[] = "La fonction prévention est activée.";
inline constexpr char kStatusOff[] = "La fonction prévention est désactivée.";
inline constexpr char kStatusLowMemory[] =
    "Vous avez moins de 64 Mo de Ram : la fonction prévention ne peut être paramétrée !";

// The key, or nothing when it does not exist (other failures still throw).
std::optional<RegKeyRef> OpenIfPresent(RegistryAccessApi& registry, const std::string& path);

// ---- start-up -------------------------------------------------------------------

struct PreventionState {
    bool browseNewProcess = false;
    bool separateProcess = false;
    bool Active() const { return browseNewProcess && separateProcess; }
};

// The two state tests; a key that is missing counts as the option off.
PreventionState ReadPreventionState(RegistryAccessApi& registry);

struct StartupView {
    std::string status;
    bool switchesEnabled = true;  // "Optimiser", "Par défaut" and Label1
};
StartupView StartupState(RegistryAccessApi& registry, std::uint64_t totalPhysicalBytes);

// ---- switches -------------------------------------------------------------------

// "Optimiser": switches both options on where they are absent, empty or off
// (making the user's Advanced key when the profile lacks it); returns the
// status text.
std::string SwitchPreventionOn(RegistryAccessApi& registry);
// "Par défaut": removes the key and the value (a missing parent key means
// the option is already absent); returns the status text.
std::string SwitchPreventionOff(RegistryAccessApi& registry);

// ---- repair ---------------------------------------------------------------------

// The world of "Corriger" besides the registry and the processes. Failures
// throw MendrelError.
class RepairEnvironment {
public:
    virtual ~RepairEnvironment() = default;
    // Ordinary, read-only and archive files of the folder (not hidden, system
    // or folders), names only, in any order.
    virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
    // A file's bytes as text, one character per byte in the ANSI code page.
    virtual std::string ReadFileText(const std::string& path) = 0;
    // The buffer of the logical drive query: letter, colon, backslash, NUL.
    virtual std::string LogicalDriveStrings() = 0;
    virtual bool IsFixedDrive(const std::string& root) = 0;
    // The first file of that name in the drive's whole tree.
    virtual std::optional<std::string> SearchTree(const std::string& root, const std::string& fileName) = 0;
    // Starts the command line as it is, the main window minimised and
    // active; the program is searched for the way CreateProcess does.
    virtual void StartMinimized(const std::string& commandLine) = 0;
    // Tells every top-level window, without waiting on any, that the task
    // bar was made again (the registered message "TaskbarCreated"), as the
    // shell does when it starts: the programs that listen add their
    // notification-area icons again.
    virtual void AnnounceTaskbarCreated() = 0;
};

// One step of the walk, for the caller's record (and the tests).
struct RepairStep {
    enum class Kind { Restarted, Ended, Started } kind;
    std::string text;
};

struct RepairReport {
    std::vector<RepairStep> steps;
    std::optional<std::string> startupFolder;  // as listed, when the value was found
    std::optional<std::string> startBoost;     // the path found
};

// The target a shortcut file names: the first local path segment of the
// file's text (FirstLocalPathSegment).
std::string ShortcutTargetPath(RepairEnvironment& env, const std::string& path);

// On the NT family, where the running test finds nothing and so nothing is
// ended or started again, the new task bar is announced first, so that the
// icons come back even if a source then stops the walk with an error. Then
// the three sources in order: Run keys, Startup folder, outside manager.
// A missing Run key or "Shell Folders" key is a source with nothing in it.
// Command lines of the Run keys are started as the user stored them; a
// program known by its path (a Startup file, a shortcut's target, the
// launcher) is started through ProgramFileCommandLine. Before each start the
// walk waits for the copies it ended to exit (kEndedExitWaitMs at most).
// The caller hides its window before and shows and closes it after.
RepairReport RepairStartupPrograms(RegistryAccessApi& registry, ProcessList& processes, RepairEnvironment& env);

}  // namespace orvane
