#include "core/mendrel/mendrel_actions.h"

#include "core/text_lines.h"

namespace orvane {

bool DataEquals(const RegData& data, std::string_view text) {
    if (const auto* s = std::get_if<std::string>(&data)) return *s == text;
    if (const auto* n = std::get_if<std::uint32_t>(&data)) return std::to_string(*n) == text;
    return false;
}

bool DataIsEmpty(const RegData& data) {
    const auto* s = std::get_if<std::string>(&data);
    return s && s->empty();
}

// ---- start-up -------------------------------------------------------------------

namespace {

bool BrowseOptionOn(RegistryAccessApi& registry) {
    bool on = false;
    const RegKeyRef explorer = registry.OpenKey(kExplorerKey);
    for (const auto& sub : registry.Subkeys(explorer)) {
        if (sub.name != kBrowseNewProcess) continue;
        const RegKeyRef browse = registry.OpenKey(kBrowseKey);
        for (const auto& v : registry.Values(browse))
            if (v.name == kBrowseNewProcess && DataEquals(v.data, "yes")) on = true;
    }
    return on;
}

bool SeparateOptionOn(RegistryAccessApi& registry) {
    bool on = false;
    const RegKeyRef advanced = registry.OpenKey(kAdvancedKey);
    for (const auto& v : registry.Values(advanced))
        if (v.name == kSeparateProcess && DataEquals(v.data, "1")) on = true;
    return on;
}

}  // namespace

PreventionState ReadPreventionState(RegistryAccessApi& registry) {
    PreventionState state;
    // A fresh system may lack either key: that option is simply off. Any other
    // failure (refused access, a broken registry) still ends the program.
    try {
        state.browseNewProcess = BrowseOptionOn(registry);
    } catch (const RegistryKeyMissing&) {
    }
    try {
        state.separateProcess = SeparateOptionOn(registry);
    } catch (const RegistryKeyMissing&) {
    }
    return state;
}

StartupView StartupState(RegistryAccessApi& registry, std::uint64_t totalPhysicalBytes) {
    StartupView view;
    view.status = kStatusOff;
    if (ReadPreventionState(registry).Active()) view.status = kStatusOn;
    if (MemoryRestricted(totalPhysicalBytes)) {
        view.switchesEnabled = false;
        view.status = kStatusLowMemory;
    }
    return view;
}

// ---- switches -------------------------------------------------------------------

std::optional<RegKeyRef> OpenIfPresent(RegistryAccessApi& registry, const std::string& path) {
    try {
        return registry.OpenKey(path);
    } catch (const RegistryKeyMissing&) {
        return std::nullopt;
    }
}

namespace {

// Every Windows profile has the Advanced key, but a fresh profile of other
// shells (Wine's) may not: the user's own key is made rather than refusing
// the option. A missing Explorer key above it is still an error.
RegKeyRef OpenOrAddAdvancedKey(RegistryAccessApi& registry) {
    if (auto advanced = OpenIfPresent(registry, kAdvancedKey)) return *advanced;
    const std::string path = kAdvancedKey;
    const std::size_t slash = path.rfind('\\');
    const RegKeyRef parent = registry.OpenKey(path.substr(0, slash));
    registry.AddSubkey(parent, path.substr(slash + 1));
    return registry.OpenKey(path);
}

}  // namespace

std::string SwitchPreventionOn(RegistryAccessApi& registry) {
    const RegKeyRef explorer = registry.OpenKey(kExplorerKey);
    bool keySeen = false;
    for (const auto& sub : registry.Subkeys(explorer)) {
        if (sub.name != kBrowseNewProcess) continue;
        keySeen = true;
        const RegKeyRef browse = registry.OpenKey(kBrowseKey);
        for (const auto& v : registry.Values(browse))
            if (v.name == kBrowseNewProcess && (DataIsEmpty(v.data) || DataEquals(v.data, "no")))
                registry.WriteData(v, "yes");
    }
    if (!keySeen) {
        registry.AddSubkey(explorer, kBrowseNewProcess);
        const RegKeyRef browse = registry.OpenKey(kBrowseKey);
        registry.AddValue(browse, kBrowseNewProcess, "yes", kRegTypeString);
    }

    const RegKeyRef advanced = OpenOrAddAdvancedKey(registry);
    bool valueSeen = false;
    for (const auto& v : registry.Values(advanced)) {
        if (v.name != kSeparateProcess) continue;
        valueSeen = true;
        if (DataIsEmpty(v.data) || DataEquals(v.data, "0")) registry.WriteData(v, "1");
    }
    if (!valueSeen) registry.AddValue(advanced, kSeparateProcess, "1", kRegTypeNumber);
    return kStatusOn;
}

std::string SwitchPreventionOff(RegistryAccessApi& registry) {
    // Without the key there is no option to remove: it is already off.
    if (const auto explorer = OpenIfPresent(registry, kExplorerKey)) {
        for (const auto& sub : registry.Subkeys(*explorer))
            if (sub.name == kBrowseNewProcess) registry.RemoveSubkey(*explorer, sub.name);
    }
    if (const auto advanced = OpenIfPresent(registry, kAdvancedKey)) {
        for (const auto& v : registry.Values(*advanced))
            if (v.name == kSeparateProcess) registry.RemoveValue(*advanced, v.name);
    }
    return kStatusOff;
}

// ---- repair ---------------------------------------------------------------------

std::string ShortcutTargetPath(RepairEnvironment& env, const std::string& path) {
    return FirstLocalPathSegment(env.ReadFileText(path));
}

namespace {

class Walk {
public:
    Walk(RegistryAccessApi& registry, ProcessList& processes, RepairEnvironment& env)
        : registry_(registry), processes_(processes), env_(env) {}

    void RunKeys() {
        for (const char* path : {kMachineRunKey, kUserRunKey}) {
            // A profile without a Run key simply starts nothing from there;
            // the other sources must still be repaired.
            const auto key = OpenIfPresent(registry_, path);
            if (!key) continue;
            for (const auto& v : registry_.Values(*key)) {
                // Only text data is a command line; a number or binary value
                // in a Run key names no program.
                const auto* commandLine = std::get_if<std::string>(&v.data);
                if (commandLine) Restart(*commandLine, StartAs::StoredCommandLine);
            }
        }
    }

    void StartupFolder() {
        const auto shellFolders = OpenIfPresent(registry_, kShellFoldersKey);
        if (!shellFolders) return;
        for (const auto& v : registry_.Values(*shellFolders))
            if (RegistryNamesEqual(v.name, "Startup")) {
                if (const auto* s = std::get_if<std::string>(&v.data)) report_.startupFolder = *s;
            }
        // Without a "Startup" value there is no folder to visit: the process's
        // working folder (what a fresh file list shows) is no startup source.
        if (!report_.startupFolder) return;
        std::string folder = *report_.startupFolder;
        std::vector<std::string> names = env_.ListFiles(folder);
        SortFileNames(names);
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        for (const auto& name : names) {
            const std::string fullPath = folder + "\\" + name;
            if (!HasRundllPrefix(name) && !HasShortcutEnding(name)) {
                // A program file lying in the folder itself: the bare name is
                // found by the usual program search only when the program also
                // lies on it; otherwise the copy in the folder is started, so a
                // program that was just ended is never left ended.
                Restart(name, StartAs::ProgramFile, fullPath);
                continue;
            }
            const std::string target = name.ends_with("Run.exe") ? name : ShortcutTargetPath(env_, fullPath);
            Restart(target, StartAs::ProgramFile);
        }
    }

    void StartupManager() {
        const std::string buffer = env_.LogicalDriveStrings();
        for (const auto& root : ParseLogicalDriveStrings(buffer)) {
            if (!env_.IsFixedDrive(root)) continue;
            const std::optional<std::string> found = env_.SearchTree(root.substr(0, 2) + "\\", "StartBoost.exe");
            if (!found) continue;
            report_.startBoost = *found;
            const std::string folder = UpToLastBackslash(*found);
            const std::vector<std::string> lines = SplitLines(env_.ReadFileText(folder + "boost.ini"));
            for (std::size_t i = 1; i < lines.size(); ++i) {
                const std::string& line = lines[i];
                if (line.empty() || HasRundllPrefix(line)) continue;
                if (IsProgramRunning(processes_, line)) {
                    EndProgram(processes_, line);
                    report_.steps.push_back({RepairStep::Kind::Ended, line});
                }
            }
            // The launcher starts the listed programs again, which must not
            // meet their ended copies either.
            const std::string launcher = folder + "Run.exe";
            processes_.WaitForEnded(kEndedExitWaitMs);
            env_.StartMinimized(ProgramFileCommandLine(launcher));
            report_.steps.push_back({RepairStep::Kind::Started, launcher});
            return;
        }
    }

    RepairReport Take() { return std::move(report_); }

private:
    enum class StartAs {
        StoredCommandLine,  // a Run key's data: the user's own command line
        ProgramFile,        // a path or bare name of a program file
    };

    // `text` is what the process list is searched for and ended by, then
    // started again; `fallbackPath`, a program file started when that start
    // fails. Only a text found running gets a command line: that text is
    // part of an image path, so it holds no double quote.
    void Restart(const std::string& text, StartAs how, const std::string& fallbackPath = {}) {
        if (text.empty() || HasRundllPrefix(text)) return;
        if (!IsProgramRunning(processes_, text)) return;
        EndProgram(processes_, text);
        // Past the bound the program is started anyway: a copy that will not
        // die must not stop the repair of the others.
        processes_.WaitForEnded(kEndedExitWaitMs);
        try {
            env_.StartMinimized(how == StartAs::ProgramFile ? ProgramFileCommandLine(text) : text);
        } catch (const MendrelError&) {
            if (fallbackPath.empty()) throw;
            env_.StartMinimized(ProgramFileCommandLine(fallbackPath));
        }
        report_.steps.push_back({RepairStep::Kind::Restarted, text});
    }

    RegistryAccessApi& registry_;
    ProcessList& processes_;
    RepairEnvironment& env_;
    RepairReport report_;
};

}  // namespace

RepairReport RepairStartupPrograms(RegistryAccessApi& registry, ProcessList& processes, RepairEnvironment& env) {
    // On 95/98/Me the programs found running are ended and started again and
    // add their icons as they start; the NT family's programs are left
    // running and only asked to add them again, which ends nothing and
    // loses nothing.
    if (processes.PlatformId() != kPlatformWin9x) env.AnnounceTaskbarCreated();
    Walk walk(registry, processes, env);
    walk.RunKeys();
    walk.StartupFolder();
    walk.StartupManager();
    return walk.Take();
}

}  // namespace orvane
