#pragma once
// High-quality resizing of 32-bit pictures, shared by the wallpaper
// composition and the preview display: area averaging when shrinking,
// bilinear interpolation when enlarging (per axis).
#include "core/image.h"

namespace orvane {

Image32 Resample(const Image32& source, int width, int height);

}  // namespace orvane
