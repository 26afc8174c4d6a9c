#pragma once
// Icon files (.ico): the directory must describe images that lie inside the
// file before the platform is handed one of them, and the image chosen is
// the one Windows shows for an icon loaded at its own size. Portable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/picture/byte_reader.h"

namespace orvane {

struct IconImage {
    std::size_t index = 0;     // its entry in the directory
    std::uint32_t offset = 0;  // its bytes in the file (a DIB or a PNG)
    std::uint32_t bytes = 0;
    int width = 0;             // as the directory gives them, 0 read as 256
    int height = 0;
};

// Checks every entry of the directory and picks the image to show: the size
// of the first entry, in the deepest colours found at that size. Throws
// Error with "Le fichier %s n'est pas une icône" or "Icône incorrecte ou
// tronquée : %s", `name` in place of %s.
IconImage CheckIcon(ByteReader data, std::string_view name);

}  // namespace orvane
