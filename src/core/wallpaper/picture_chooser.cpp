#include "core/wallpaper/picture_chooser.h"

#include <algorithm>

#include "core/wallpaper/picture_list.h"

namespace orvane {

NextPictures ChooseNextPictures(const NextPictureRules& rules, const std::function<bool(std::size_t)>& reachable) {
    NextPictures out;
    out.number = rules.number;
    if (rules.count == 0 || rules.screens == 0) return out;
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(rules.count, INT32_MAX));
    const std::size_t n = static_cast<std::size_t>(count);

    std::vector<bool> used(n, false);
    std::size_t usedCount = 0;
    // From `start`, the first entry that can be read, preferring one not used
    // yet by another screen; n when none can be read.
    auto passOver = [&](std::size_t start) {
        std::size_t fallback = n;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = (start + k) % n;
            if (!reachable(i)) continue;
            if (!used[i] || usedCount >= n) return i;
            if (fallback == n) fallback = i;
        }
        return fallback;
    };

    std::uint32_t seed = rules.seed;
    std::size_t next = static_cast<std::size_t>(NextSequentialIndex(rules.number, count));
    for (std::size_t screen = 0; screen < rules.screens; ++screen) {
        std::size_t start = next;
        if (rules.random) {
            start = static_cast<std::size_t>(NextRandomIndex(seed, count));
            seed = seed * 134775813u + 1u;  // each screen its own draw
        }
        const std::size_t chosen = passOver(start);
        if (chosen == n) break;
        if (!used[chosen]) ++usedCount;
        used[chosen] = true;
        out.indexes.push_back(chosen);
        next = (chosen + 1) % n;
    }
    if (!out.indexes.empty()) out.number = static_cast<std::int32_t>(out.indexes.back());
    return out;
}

std::string VolumeRoot(std::string_view path) {
    std::string_view p = path;
    std::string prefix;
    if (p.substr(0, 8) == "\\\\?\\UNC\\") {
        prefix = "\\\\?\\UNC\\";
        p.remove_prefix(8);
    } else if (p.substr(0, 4) == "\\\\?\\") {
        prefix = "\\\\?\\";
        p.remove_prefix(4);
    } else if (p.substr(0, 2) == "\\\\") {
        prefix = "\\\\";
        p.remove_prefix(2);
    }
    if (prefix.empty() || prefix == "\\\\?\\") {
        if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
            return prefix + std::string(p.substr(0, 2)) + "\\";
        return {};
    }
    // \\server\share\...: the share is the volume.
    const std::size_t server = p.find('\\');
    if (server == std::string_view::npos || server == 0) return {};
    const std::size_t share = p.find('\\', server + 1);
    if (share == server + 1) return {};
    return prefix + std::string(p.substr(0, share)) + "\\";
}

}  // namespace orvane
