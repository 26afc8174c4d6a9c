#include "core/picture/icon_check.h"

#include "core/error.h"

namespace orvane {
namespace {

constexpr std::uint64_t kDirectoryBytes = 6;  // ICONDIR: reserved, type, count
constexpr std::uint64_t kEntryBytes = 16;     // ICONDIRENTRY
constexpr std::uint16_t kIconType = 1;        // 2 would be a cursor
constexpr std::uint32_t kSmallestImage = 40;  // a BITMAPINFOHEADER, the least a DIB image holds

[[noreturn]] void Fail(const char* pattern, std::string_view name) { throw Error(FormatMessage1(pattern, name)); }

}  // namespace

IconImage CheckIcon(ByteReader data, std::string_view name) {
    if (!data.Has(0, kDirectoryBytes) || data.U16(0) != 0 || data.U16(2) != kIconType)
        Fail("Le fichier %s n'est pas une icône", name);
    const std::uint64_t count = data.U16(4);
    auto entry = [](std::uint64_t i) { return kDirectoryBytes + kEntryBytes * i; };
    const std::uint64_t entriesEnd = entry(count);
    if (count == 0 || !data.Has(0, entriesEnd)) Fail("Icône incorrecte ou tronquée : %s", name);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t e = entry(i);
        const std::uint64_t bytes = data.U32(e + 8), offset = data.U32(e + 12);
        if (bytes < kSmallestImage || offset < entriesEnd || !data.Has(offset, bytes))
            Fail("Icône incorrecte ou tronquée : %s", name);
    }

    auto side = [&](std::uint64_t at) {  // one byte, 0 standing for 256
        const int v = data.U8(at);
        return v ? v : 256;
    };
    auto widthOf = [&](std::uint64_t i) { return side(entry(i)); };
    auto heightOf = [&](std::uint64_t i) { return side(entry(i) + 1); };
    // Bits per pixel, or the colour count's when an old file leaves it 0.
    auto depthOf = [&](std::uint64_t i) {
        const std::uint64_t e = entry(i);
        if (const int bits = data.U16(e + 6)) return bits;
        const int colours = data.U8(e + 2) ? data.U8(e + 2) : 256;
        int depth = 0;
        while ((1 << depth) < colours) ++depth;
        return depth;
    };
    std::uint64_t best = 0;
    for (std::uint64_t i = 1; i < count; ++i)
        if (widthOf(i) == widthOf(0) && heightOf(i) == heightOf(0) && depthOf(i) > depthOf(best)) best = i;

    IconImage image;
    const std::uint64_t e = entry(best);
    image.index = static_cast<std::size_t>(best);
    image.bytes = data.U32(e + 8);
    image.offset = data.U32(e + 12);
    image.width = widthOf(best);
    image.height = heightOf(best);
    return image;
}

}  // namespace orvane
