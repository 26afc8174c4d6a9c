#include "core/picture/exif.h"

#include <cstring>
#include <optional>

#include "core/picture/byte_reader.h"

namespace orvane {
namespace {

constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint64_t kTiffHeaderSize = 8;
constexpr std::uint64_t kEntrySize = 12;

bool StartsWithExifHeader(const ByteReader& r) {
    return r.Has(0, sizeof kExifHeader) && std::memcmp(r.data(), kExifHeader, sizeof kExifHeader) == 0;
}

// TIFF integers in the byte order its header names.
struct Tiff {
    ByteReader bytes;
    bool bigEndian = false;
    std::optional<std::uint16_t> U16(std::uint64_t at) const { return bigEndian ? bytes.Get16BE(at) : bytes.Get16LE(at); }
    std::optional<std::uint32_t> U32(std::uint64_t at) const { return bigEndian ? bytes.Get32BE(at) : bytes.Get32LE(at); }
};

int OrientationInTiff(const ByteReader& bytes) {
    Tiff tiff{bytes};
    const auto b0 = bytes.Get8(0), b1 = bytes.Get8(1);
    if (!b0 || !b1 || *b0 != *b1) return kOrientationUpright;
    if (*b0 == 'M') tiff.bigEndian = true;
    else if (*b0 != 'I') return kOrientationUpright;
    // A byte order mark whose magic number reads wrong in that order is a
    // damaged block, not a hint to try the other order.
    if (tiff.U16(2) != 42) return kOrientationUpright;

    // Only IFD0 is read: the orientation lives there, and following the
    // chain of IFDs is what lets a hostile file loop.
    const auto ifd = tiff.U32(4);
    if (!ifd || *ifd < kTiffHeaderSize) return kOrientationUpright;
    const auto count = tiff.U16(*ifd);
    if (!count || !bytes.Has(*ifd + 2, *count * kEntrySize)) return kOrientationUpright;
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t entry = *ifd + 2 + i * kEntrySize;
        if (tiff.U16(entry) != kOrientationTag) continue;
        // The first orientation entry decides, right or wrong: one SHORT,
        // stored in the first two bytes of the value field.
        if (tiff.U16(entry + 2) != kTypeShort || tiff.U32(entry + 4) != 1u) return kOrientationUpright;
        const std::uint16_t value = tiff.U16(entry + 8).value_or(0);
        return value >= 1 && value <= 8 ? value : kOrientationUpright;
    }
    return kOrientationUpright;
}

}  // namespace

int ExifOrientation(const std::uint8_t* segment, std::size_t size) {
    const ByteReader r(segment, size);
    if (!StartsWithExifHeader(r)) return kOrientationUpright;
    return OrientationInTiff(r.Sub(sizeof kExifHeader, size - sizeof kExifHeader));
}

int JpegOrientation(const std::uint8_t* data, std::size_t size) {
    const ByteReader r(data, size);
    if (r.Get8(0) != 0xFF || r.Get8(1) != 0xD8) return kOrientationUpright;
    std::uint64_t at = 2;
    // Every step moves forward by at least one byte, so the walk ends.
    for (;;) {
        if (r.Get8(at) != 0xFF) return kOrientationUpright;
        while (r.Get8(at) == 0xFF) ++at;  // fill bytes before a marker
        const auto marker = r.Get8(at);
        if (!marker) return kOrientationUpright;
        ++at;
        if (*marker == 0xDA || *marker == 0xD9 || *marker == 0x00) return kOrientationUpright;  // scan, end, not a marker
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD7)) continue;  // no length field
        const auto length = r.Get16BE(at);
        if (!length || *length < 2 || !r.Has(at, *length)) return kOrientationUpright;
        if (*marker == 0xE1) {
            const ByteReader payload = r.Sub(at + 2, *length - 2u);
            if (StartsWithExifHeader(payload)) return ExifOrientation(payload.data(), payload.size());
        }
        at += *length;
    }
}

}  // namespace orvane
