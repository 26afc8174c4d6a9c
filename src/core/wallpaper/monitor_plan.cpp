#include "core/wallpaper/monitor_plan.h"

#include <algorithm>
#include <cctype>

namespace orvane {

namespace {

constexpr char kPrimaryFile[] = "OrvaneWallPaper.bmp";
constexpr char kPrefix[] = "OrvaneWallPaper-";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The name without its folder, if it came with one.
std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameName(const std::string& a, const std::string& b) { return Lower(BaseName(a)) == Lower(BaseName(b)); }

std::string MonitorFile(int n, char letter) { return kPrefix + std::to_string(n) + letter + ".bmp"; }

std::size_t PrimaryIndex(const std::vector<Monitor>& monitors) {
    for (std::size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].primary) return i;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Monitor& m = monitors[i];
        if (m.left <= 0 && 0 < m.right && m.top <= 0 && 0 < m.bottom) return i;
    }
    return 0;
}

}  // namespace

bool IsMonitorWallpaperFile(const std::string& fileName) {
    const std::string name = Lower(BaseName(fileName));
    const std::string prefix = Lower(kPrefix);
    if (name.size() < prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(name.size() - 4, 4, ".bmp") != 0) return false;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);  // "<n><letter>"
    const char letter = middle.back();
    const std::string number = middle.substr(0, middle.size() - 1);
    if (letter != 'a' && letter != 'b') return false;
    if (number.empty() || number.size() > 9 || number[0] == '0') return false;
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

MonitorPlan PlanMonitorWallpapers(const std::vector<Monitor>& monitors, const std::vector<std::string>& pictures,
                                  const std::vector<std::string>& existingFiles) {
    MonitorPlan plan;
    if (monitors.empty()) return plan;
    const auto exists = [&existingFiles](const std::string& name) {
        return std::any_of(existingFiles.begin(), existingFiles.end(),
                           [&name](const std::string& e) { return SameName(e, name); });
    };
    const std::size_t primary = PrimaryIndex(monitors);
    int n = 1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Monitor& m = monitors[i];
        MonitorWallpaper w;
        w.deviceId = m.deviceId;
        w.width = m.right - m.left;
        w.height = m.bottom - m.top;
        if (!pictures.empty()) w.picture = pictures[i % pictures.size()];
        w.calendar = i == primary;
        if (i == primary) {
            w.fileName = kPrimaryFile;
        } else {
            ++n;
            w.fileName = exists(MonitorFile(n, 'a')) ? MonitorFile(n, 'b') : MonitorFile(n, 'a');
        }
        plan.monitors.push_back(std::move(w));
    }
    for (const std::string& e : existingFiles) {
        if (!IsMonitorWallpaperFile(e)) continue;
        const bool used = std::any_of(plan.monitors.begin(), plan.monitors.end(),
                                      [&e](const MonitorWallpaper& w) { return SameName(w.fileName, e); });
        if (!used) plan.staleFiles.push_back(e);
    }
    return plan;
}

}  // namespace orvane
