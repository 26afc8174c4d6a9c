#pragma once
// The choice of the next pictures of the rotation: one place that knows the
// order (at random or in list order), how many pictures a change wants (one
// per screen), and which entries cannot be read now (their drive or share is
// not there: they keep their place in the list and their turn is passed).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct NextPictureRules {
    std::size_t count = 0;      // entries in the list
    std::int32_t number = -1;   // the entry shown last (the stored Number)
    bool random = false;
    std::uint32_t seed = 0;     // milliseconds since UTC midnight, for a random draw
    std::size_t screens = 1;    // pictures wanted, the primary screen's first
};

struct NextPictures {
    // One entry per screen, the primary's first; empty when no entry can be
    // read now (the wallpaper then stays as it is).
    std::vector<std::size_t> indexes;
    std::int32_t number = -1;   // the Number to keep: the last entry used
};

// `reachable(i)`: entry i can be read now. Different pictures for different
// screens where the list has enough that can be read.
NextPictures ChooseNextPictures(const NextPictureRules& rules, const std::function<bool(std::size_t)>& reachable);

// The root of the volume a full path lies on ("C:\", "\\server\share\", also
// under the "\\?\" prefix), empty for a path without one.
std::string VolumeRoot(std::string_view path);

}  // namespace orvane
