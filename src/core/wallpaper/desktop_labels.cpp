#include "core/wallpaper/desktop_labels.h"

namespace orvane {

std::uint32_t ExtendedStyleFor(bool quickIcon) { return quickIcon ? kQuickActivationStyle : 0u; }

bool LabelsNeedRecolour(std::uint32_t background, std::uint32_t colour) {
    return background != colour && background != kClrNone;
}

std::uint32_t StyleWithViewType(std::uint32_t style, int viewType) {
    return (style & ~3u) | (static_cast<std::uint32_t>(viewType) & 3u);
}

}  // namespace orvane
