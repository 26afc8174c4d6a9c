#pragma once
// Checks of enhanced (EMF) and Windows (WMF) metafile bytes before the
// platform's player sees them. The player trusts the counts, offsets, handle
// indexes and coordinates inside each record and reads or writes outside the
// record, the file or its handle table, or computes out of range, when one is
// damaged. Every record type the player may be handed has a rule (one table
// per format, in metafile_check.cpp); a record of a type without one makes
// the file refused. Portable: no GDI is involved.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/picture/byte_reader.h"

namespace orvane {

// A picture size in pixels, wide enough for what a damaged header announces.
struct MetafileSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct EmfInfo {
    std::uint32_t bytes = 0;  // the header's total length: what the platform is given
    // The picture frame (0.01 mm) in pixels of the reference device, or the
    // drawn bounds when there is no frame. Not yet checked: see
    // CheckMetafileSize.
    MetafileSize natural;
};

struct WmfInfo {
    bool placeable = false;
    std::size_t offset = 0;  // where the metafile proper starts (after a placeable header)
    std::size_t bytes = 0;   // its length, to the end of the data
    // At `dpi`: the placeable header's box, else the last window extent the
    // records set. Checked with CheckMetafileSize.
    MetafileSize natural;
};

// The header, the reference device and every record of an enhanced
// metafile, up to its end-of-file record. `name` goes into the messages
// ("Le fichier %s n'est pas un métafichier amélioré",
// "Métafichier incorrect ou tronqué : %s", "Métafichier incorrect : %s").
EmfInfo CheckEmf(ByteReader data, std::string_view name);

// The optional placeable header, the metafile header and every record of a
// Windows metafile up to its end record, then its natural size at `dpi`
// dots per inch, which CheckMetafileSize accepts before this returns.
WmfInfo CheckWmf(ByteReader data, std::string_view name, int dpi);

// A size the picture can be drawn at: "Le métafichier %s n'a pas de
// dimensions" when empty, "Image trop grande (W x H pixels)" when beyond
// what the program accepts.
void CheckMetafileSize(MetafileSize size, std::string_view name);

}  // namespace orvane
