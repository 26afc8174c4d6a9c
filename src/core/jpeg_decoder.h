#pragma once
// JPEG decoding through libjpeg(-turbo). The library's errors never end the
// process: they become Error("Erreur JPEG #<message number>").
#include <cstddef>
#include <cstdint>

#include "core/image.h"

namespace orvane {

// Decodes a whole JPEG file held in memory into a 32-bit picture (top byte
// 255). Refuses pictures whose 32-bit image would be too large.
Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size);

}  // namespace orvane
