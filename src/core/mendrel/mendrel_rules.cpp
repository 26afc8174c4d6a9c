#include "core/mendrel/mendrel_rules.h"

#include <algorithm>
#include <limits>

namespace orvane {

MendrelError::MendrelError(long number, std::string description)
    : Error(MendrelErrorText(number, description)), number_(number), description_(std::move(description)) {}

std::string MendrelErrorText(long number, std::string_view description) {
    std::string text = "Erreur d'exécution '" + std::to_string(number) + "' :\n\n";
    text += description;
    return text;
}

// ---- text rules ---------------------------------------------------------------

namespace {

// Latin-1 letters are two-byte UTF-8 sequences C3 80..C3 BF; the capitals
// U+00C0..U+00DE (but U+00D7 ×) pair with U+00E0..U+00FE (but U+00F7 ÷).
// U+00FF ÿ has its capital outside Latin-1 and stays as it is.
std::string ChangeCase(std::string_view text, bool upper) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            const auto d = static_cast<unsigned char>(out[i + 1]);
            const unsigned cp = 0xC0 + (d & 0x3F);
            if (upper && cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) out[i + 1] = static_cast<char>(d - 0x20);
            if (!upper && cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string UpperCase(std::string_view text) { return ChangeCase(text, true); }
std::string LowerCase(std::string_view text) { return ChangeCase(text, false); }

bool HasRundllPrefix(std::string_view commandLine) {
    const std::string_view head = commandLine.substr(0, 8);
    return head == "rundll32" || head == "Rundll32" || head == "RUNDLL32";
}

bool HasShortcutEnding(std::string_view name) {
    return name.ends_with(".lnk") || name.ends_with(".Lnk") || name.ends_with(".LNK");
}

bool ImagePathContains(std::string_view imagePath, std::string_view text) {
    return UpperCase(imagePath).find(UpperCase(text)) != std::string::npos;
}

namespace {
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

bool ImagePathEndsWith(std::string_view imagePath, std::string_view text) {
    if (text.empty() || imagePath.size() < text.size()) return false;
    // Case folding keeps every byte count (it only swaps letters of equal
    // length), so positions in the folded path are positions in the path.
    if (!std::string_view(LowerCase(imagePath)).ends_with(LowerCase(text))) return false;
    const std::size_t start = imagePath.size() - text.size();
    return start == 0 || IsPathSeparator(imagePath[start - 1]) || IsPathSeparator(text.front());
}

bool RegistryNamesEqual(std::string_view a, std::string_view b) { return LowerCase(a) == LowerCase(b); }

std::string ProgramFileCommandLine(std::string_view path) {
    if (path.empty() || path.find('"') != std::string_view::npos)
        throw MendrelError(52, "Nom ou numéro de fichier incorrect : « " + std::string(path) + " »");
    std::string commandLine;
    commandLine.reserve(path.size() + 2);
    commandLine += '"';
    commandLine += path;
    commandLine += '"';
    return commandLine;
}

// ---- memory -------------------------------------------------------------------

std::uint32_t MemoryCount32(std::uint64_t totalPhysicalBytes) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(std::min(totalPhysicalBytes, kMax));
}

std::uint32_t MemorySizeMb(std::uint32_t totalPhysicalBytes) { return totalPhysicalBytes / 1048576u + 1u; }

bool MemoryRestricted(std::uint64_t totalPhysicalBytes) {
    return MemorySizeMb(MemoryCount32(totalPhysicalBytes)) < kMinimumMemoryMb;
}

// ---- files ----------------------------------------------------------------------

std::string FirstLocalPathSegment(std::string_view fileText) {
    std::string_view rest = fileText;
    while (!rest.empty()) {
        const std::size_t nul = rest.find('\0');
        const std::string_view segment = rest.substr(0, nul);
        if (segment.find(":\\") != std::string_view::npos && segment.find('#') == std::string_view::npos)
            return std::string(segment);
        if (nul == std::string_view::npos) break;
        rest.remove_prefix(nul + 1);
    }
    return {};
}

std::vector<std::string> ParseLogicalDriveStrings(std::string_view buffer) {
    std::vector<std::string> roots;
    for (std::size_t i = 0; i + 3 <= buffer.size(); i += 4) {
        const std::string_view root = buffer.substr(i, 3);
        if (root[0] == '\0') break;  // the list's closing NUL
        roots.emplace_back(root);
    }
    return roots;
}

std::string UpToLastBackslash(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

void SortFileNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerCase(a), lb = LowerCase(b);
        return la != lb ? la < lb : a < b;
    });
}

// ---- processes ------------------------------------------------------------------

bool IsProgramRunning(ProcessList& processes, std::string_view text) {
    if (text.empty() || processes.PlatformId() != kPlatformWin9x) return false;
    std::vector<ProcessEntry> entries;
    if (!processes.Snapshot(entries)) return false;
    const std::uint32_t self = processes.CurrentProcessId();
    for (const auto& e : entries)
        if (e.id != self && ImagePathContains(e.imagePath, text)) return true;
    return false;
}

EndResult EndProgram(ProcessList& processes, std::string_view text) {
    EndResult result;
    // An empty text would end every process of the session.
    if (text.empty()) return result;
    std::vector<ProcessEntry> entries;
    if (!processes.Snapshot(entries)) return result;
    const std::uint32_t self = processes.CurrentProcessId();
    for (const auto& e : entries) {
        if (e.id == self || !ImagePathEndsWith(e.imagePath, text)) continue;
        result.matched = true;
        ++result.count;
        if (processes.Terminate(e.id)) ++result.terminated;
    }
    return result;
}

}  // namespace orvane
