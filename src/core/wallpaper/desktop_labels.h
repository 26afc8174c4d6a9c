#pragma once
// What the desktop label tick decides, apart from the windows it talks to.
#include <cstdint>

namespace orvane {

// List-view values as the shell's desktop list view understands them.
inline constexpr std::uint32_t kClrNone = 0xFFFFFFFFu;
inline constexpr std::uint32_t kLvsExTrackSelect = 0x8, kLvsExOneClickActivate = 0x40, kLvsExUnderlineHot = 0x800;
inline constexpr std::uint32_t kQuickActivationStyle = kLvsExTrackSelect | kLvsExOneClickActivate | kLvsExUnderlineHot;

// The one-click bits as a tick sets them, with kQuickActivationStyle as the
// mask: the shell's other extended styles stay.
std::uint32_t ExtendedStyleFor(bool quickIcon);

// True when the labels must be made transparent again with `colour`: the
// shell has put an opaque background back (one that is not the colour itself).
bool LabelsNeedRecolour(std::uint32_t background, std::uint32_t colour);

// The window style with its view-type bits replaced by `viewType` (0 large
// icons, 1 report, 2 small icons, 3 list).
std::uint32_t StyleWithViewType(std::uint32_t style, int viewType);

}  // namespace orvane
