#include "core/picture/metafile_check.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/image.h"

namespace orvane {
namespace {

// Record types and signatures, under the names the Windows headers give them.
constexpr std::uint32_t kEmrHeader = 1;                // EMR_HEADER
constexpr std::uint32_t kEmrEof = 14;                  // EMR_EOF
constexpr std::uint32_t kEnhMetaSignature = 0x464D4520u;  // ENHMETA_SIGNATURE, " EMF"
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;   // first DWORD of a placeable WMF header
constexpr std::size_t kPlaceableBytes = 22;            // the placeable header
constexpr std::size_t kMetaHeaderBytes = 18;           // METAHEADER
constexpr std::uint32_t kMetaEof = 0x0000;             // the end record of a WMF
constexpr std::uint32_t kMetaSetWindowExt = 0x020C;    // META_SETWINDOWEXT: y, x

[[noreturn]] void Fail(const char* pattern, std::string_view name) { throw Error(FormatMessage1(pattern, name)); }

// A bitmap inside a record (header at offBmi, pixels at offBits) must be a
// complete one: the same check as a bitmap file, on the pieces put together.
bool EmbeddedBitmapSound(const ByteReader& r, std::uint64_t offBmi, std::uint64_t cbBmi, std::uint64_t offBits,
                         std::uint64_t cbBits) {
    if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return false;
    if (cbBmi == 0) return offBmi == 0;  // no source bitmap: the player looks at the offset only
    // Both pieces lie inside the record, so the copy is no larger than it.
    std::vector<std::uint8_t> file(14 + cbBmi + cbBits, 0);
    file[0] = 'B', file[1] = 'M';
    const std::uint64_t off = 14 + cbBmi;
    if (off > 0xFFFFFFFFu) return false;
    for (int i = 0; i < 4; ++i) file[10 + i] = static_cast<std::uint8_t>(off >> (8 * i));
    std::memcpy(&file[14], r.data() + offBmi, static_cast<std::size_t>(cbBmi));
    if (cbBits) std::memcpy(&file[static_cast<std::size_t>(off)], r.data() + offBits, static_cast<std::size_t>(cbBits));
    try {
        CheckBmp(file.data(), file.size());
        return true;
    } catch (const Error&) {
        return false;
    }
}

// RGNDATA: a 32-byte header, then as many 16-byte rectangles as it counts.
bool RegionSound(const ByteReader& r, std::uint64_t offData, std::uint64_t cbData) {
    if (!r.Has(offData, cbData) || cbData < 32) return cbData == 0 && r.Has(offData, 0);
    const std::uint64_t rects = r.U32(offData + 8);
    return r.U32(offData) >= 32 && 32 + rects * 16 <= cbData;
}

// One record of an enhanced metafile (`r` holds the whole record);
// `handles` is the size of the handle table the player makes.
bool EmfRecordSound(const ByteReader& r, std::uint32_t type, std::uint32_t handles) {
    auto handle = [&](std::uint64_t at) {
        const std::uint32_t h = r.U32(at);
        if (h & 0x80000000u) return (h & 0x7FFFFFFFu) <= 19;  // stock objects, up to DC_PEN
        return h < handles;
    };
    // A slot of the handle table that a record fills, empties or names: never
    // a stock object, never slot 0 (the metafile's own).
    auto slot = [&](std::uint64_t at) {
        const std::uint32_t h = r.U32(at);
        return r.Has(at, 4) && h >= 1 && h < handles;
    };
    // Coordinates the platform can draw with (GDI keeps to 27 bits).
    auto coords = [&](std::uint64_t at, std::uint64_t count) {
        if (!r.Has(at, count * 4)) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::int32_t v = r.S32(at + 4 * i);
            if (v < -(1 << 27) || v > (1 << 27)) return false;
        }
        return true;
    };
    // A bounds rectangle: in range, and ordered (empty ones are 0, 0, -1, -1).
    auto bounds = [&](std::uint64_t at) {
        if (!coords(at, 4)) return false;
        const std::int32_t l = r.S32(at), t = r.S32(at + 4), rr = r.S32(at + 8), b = r.S32(at + 12);
        return l <= rr + 1 && t <= b + 1;
    };
    switch (type) {
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 56: case 85: case 86: case 87: case 88:
        case 89: case 90: case 91: case 92: case 71: case 72: case 73: case 74: case 76: case 77: case 78:
        case 79: case 80: case 81: case 83: case 84: case 96: case 97: case 114: case 116:
            if (!bounds(8)) return false;  // every drawing record starts with its bounds
            break;
        case 9: case 10: case 11: case 12: case 15: case 27: case 54:  // extents, origins, points
            return coords(8, 2);
        case 41: return coords(8, 3);  // ANGLEARC: centre, radius
        case 42: case 43: return coords(8, 4);  // ELLIPSE, RECTANGLE
        case 44: return coords(8, 6);           // ROUNDRECT
        case 45: case 46: case 47: case 55: return coords(8, 8);  // ARC, CHORD, PIE, ARCTO
        case 38: return slot(8) && coords(16, 2) && r.S32(16) >= 0 && r.U32(16) <= (1u << 20);  // CREATEPEN: a sane width
        case 95: if (r.U32(32) > (1u << 20)) return false; break;  // EXTCREATEPEN width
        default: break;
    }
    auto text = [&](std::uint64_t at, std::uint64_t charBytes) {  // an EMRTEXT at `at`
        if (!r.Has(at, 40)) return false;
        const std::uint64_t n = r.U32(at + 8), offString = r.U32(at + 12), offDx = r.U32(at + 36);
        const std::uint32_t options = r.U32(at + 16);
        const std::uint64_t dxBytes = (options & 0x2000 /* ETO_PDY */) ? 8 : 4;
        return r.Has(offString, n * charBytes) && (offDx == 0 || r.Has(offDx, n * dxBytes));
    };
    switch (type) {
        case 2: case 3: case 4: case 5: case 6:  // poly records: count, points
            return coords(28, std::uint64_t{r.U32(24)} * 2);
        case 85: case 86: case 87: case 88: case 89:  // the same with 16-bit points
            return r.Has(28, std::uint64_t{r.U32(24)} * 4);
        case 7: case 8: case 90: case 91: {  // poly-poly: counts, then points
            const std::uint64_t polys = r.U32(24), points = r.U32(28), pointBytes = type <= 8 ? 8 : 4;
            if (!r.Has(32, polys * 4 + points * pointBytes)) return false;
            if (type <= 8 && !coords(32 + polys * 4, points * 2)) return false;
            std::uint64_t sum = 0;
            for (std::uint64_t i = 0; i < polys; ++i) sum += r.U32(32 + 4 * i);
            return sum <= points;
        }
        case 56: return r.Has(28, std::uint64_t{r.U32(24)} * 9) && coords(28, std::uint64_t{r.U32(24)} * 2);  // POLYDRAW
        case 92: return r.Has(28, std::uint64_t{r.U32(24)} * 5);  // POLYDRAW16
        case 83: return text(36, 1);  // EXTTEXTOUTA
        case 84: return text(36, 2);  // EXTTEXTOUTW
        case 96: case 97: {           // POLYTEXTOUTA/W
            const std::uint64_t strings = r.U32(36);
            if (!r.Has(40, strings * 40)) return false;
            for (std::uint64_t i = 0; i < strings; ++i)
                if (!text(40 + 40 * i, type == 96 ? 1 : 2)) return false;
            return true;
        }
        case 108: {  // SMALLTEXTOUT
            const std::uint32_t options = r.U32(20);
            const std::uint64_t head = 36 + ((options & 0x100 /* ETO_NO_RECT */) ? 0 : 16);
            return r.Has(head, std::uint64_t{r.U32(16)} * ((options & 0x200 /* ETO_SMALL_CHARS */) ? 1 : 2));
        }
        case 76: case 77: case 114: case 116:  // BITBLT, STRETCHBLT, ALPHABLEND, TRANSPARENTBLT
            return r.size() >= (type == 76 ? 100u : 108u) &&
                   EmbeddedBitmapSound(r, r.U32(84), r.U32(88), r.U32(92), r.U32(96));
        case 78:  // MASKBLT
            return r.size() >= 128 && EmbeddedBitmapSound(r, r.U32(84), r.U32(88), r.U32(92), r.U32(96)) &&
                   EmbeddedBitmapSound(r, r.U32(112), r.U32(116), r.U32(120), r.U32(124));
        case 79:  // PLGBLT
            return r.size() >= 140 && EmbeddedBitmapSound(r, r.U32(96), r.U32(100), r.U32(104), r.U32(108)) &&
                   EmbeddedBitmapSound(r, r.U32(124), r.U32(128), r.U32(132), r.U32(136));
        case 80: case 81:  // SETDIBITSTODEVICE, STRETCHDIBITS
            return r.size() >= (type == 80 ? 76u : 80u) &&
                   EmbeddedBitmapSound(r, r.U32(48), r.U32(52), r.U32(56), r.U32(60));
        case 93: case 94:  // CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: a bitmap is required
            return slot(8) && r.U32(20) > 0 && EmbeddedBitmapSound(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28));
        case 95:  // EXTCREATEPEN: a style array, maybe a pattern bitmap (its width checked above)
            return slot(8) && r.Has(52, std::uint64_t{r.U32(48)} * 4) &&
                   EmbeddedBitmapSound(r, r.U32(12), r.U32(16), r.U32(20), r.U32(24));
        case 71: case 72: case 73: case 74: {  // FILLRGN, FRAMERGN, INVERTRGN, PAINTRGN
            // The brush of a region record is looked up in the table as it
            // is: no stock objects there.
            const std::uint64_t at = type == 72 ? 40 : type == 71 ? 32 : 28;
            if (type == 72 && (r.U32(32) > 4096 || r.U32(36) > 4096)) return false;  // frame stroke
            return (type > 72 || r.U32(28) < handles) && RegionSound(r, at, r.U32(24));
        }
        case 75: return RegionSound(r, 16, r.U32(8));  // EXTSELECTCLIPRGN
        case 70: return r.Has(12, r.U32(8));           // GDICOMMENT
        case 49: return slot(8) && r.Has(16, std::uint64_t{r.U16(14)} * 4);  // CREATEPALETTE
        case 50: return slot(8) && r.Has(20, std::uint64_t{r.U32(16)} * 4);  // SETPALETTEENTRIES
        // Creations, deletion, palette resize; colour spaces set or deleted
        // are looked up in the table as they are, like region brushes.
        case 39: case 82: case 99: case 122: case 40: case 51: case 100: case 101:
            return slot(8);
        case 37: case 48:  // selections: stock objects allowed
            return r.size() >= 12 && handle(8);
        default:
            return true;
    }
}

// A packed bitmap (header, colours, pixels in a row) at `at` inside a WMF
// record, its pixels running to the record's end.
bool PackedDibSound(const ByteReader& r, std::uint64_t at) {
    if (!r.Has(at, 12)) return false;
    const std::uint32_t header = r.U32(at);
    const bool core = header == 12;
    if (!core && (header < 40 || !r.Has(at, header))) return false;
    const std::uint32_t bits = r.U16(at + (core ? 10 : 14));
    std::uint64_t colours = core ? 0 : r.U32(at + 32);
    if (bits <= 8 && colours == 0) colours = 1u << bits;
    const std::uint64_t masks = (!core && header == 40 && r.U32(at + 16) == 3) ? 12 : 0;
    const std::uint64_t table = header + masks + colours * (core ? 3 : 4);
    if (!r.Has(at, table)) return false;
    return EmbeddedBitmapSound(r, at, table, at + table, r.size() - (at + table));
}

// The height of the packed bitmap at `at` (PackedDibSound has passed it).
std::int64_t PackedDibHeight(const ByteReader& r, std::uint64_t at) {
    if (r.U32(at) == 12) return r.U16(at + 6);
    const std::int64_t h = r.S32(at + 8);
    return h < 0 ? -h : h;
}

// One record of a Windows metafile (`r` starts at its size field);
// `objects` is the size of the object table the player makes.
bool WmfRecordSound(const ByteReader& r, std::uint32_t function, std::uint32_t objects) {
    auto object = [&](std::uint64_t at) { return r.Has(at, 2) && r.U16(at) < objects; };
    switch (function) {
        case 0x012D: case 0x01F0: case 0x0234: case 0x012C: case 0x012A: case 0x012B:
            return object(6);  // select, delete, select palette, clip region, invert, paint region
        case 0x0228: return object(6) && object(8);  // FILLREGION
        case 0x0429:  // FRAMEREGION: region, brush, and a stroke of sane size
            return object(6) && object(8) && r.U16(10) <= 4096 && r.U16(12) <= 4096;
        case 0x0324: case 0x0325: return r.Has(8, std::uint64_t{r.U16(6)} * 4);  // POLYGON, POLYLINE
        case 0x0538: {  // POLYPOLYGON: polygon count, point counts, points
            const std::uint64_t polys = r.U16(6);
            if (!r.Has(8, polys * 2)) return false;
            std::uint64_t points = 0;
            for (std::uint64_t i = 0; i < polys; ++i) points += r.U16(8 + 2 * i);
            return r.Has(8 + polys * 2, points * 4);
        }
        case 0x0521: return r.Has(8, ((r.U16(6) + 1u) & ~1u) + 4u);  // TEXTOUT: string, then y, x
        case 0x0A32: {  // EXTTEXTOUT: y, x, count, options, [rectangle], string
            const std::uint32_t options = r.U16(12);
            return r.Has(14 + ((options & 6) ? 8 : 0), r.U16(10));
        }
        case 0x0940: return r.size() <= 24 || PackedDibSound(r, 22);  // DIBBITBLT with a bitmap
        case 0x0B41: return r.size() <= 28 || PackedDibSound(r, 26);  // DIBSTRETCHBLT with a bitmap
        case 0x0F43: return PackedDibSound(r, 28);                     // STRETCHDIB
        case 0x0142: return PackedDibSound(r, 10);                     // DIBCREATEPATTERNBRUSH
        case 0x0D33:  // SETDIBTODEV: the scan lines it names must exist
            return PackedDibSound(r, 24) && std::int64_t{r.U16(8)} + r.U16(10) <= PackedDibHeight(r, 24);
        case 0x00F7: case 0x0037: return r.Has(10, std::uint64_t{r.U16(8)} * 4);  // palettes
        case 0x0626: return r.Has(10, r.U16(8));                                  // ESCAPE
        case 0x06FF: {  // CREATEREGION: scans of (count, top, bottom, count edges, count)
            std::uint64_t at = 6 + 22;
            const std::uint32_t scans = r.U16(6 + 10);
            for (std::uint32_t i = 0; i < scans; ++i) {
                if (!r.Has(at, 6)) return false;
                const std::uint64_t edges = r.U16(at);  // left and right of each span
                if (!r.Has(at, 6 + edges * 2 + 2)) return false;
                at += 6 + edges * 2 + 2;
            }
            return true;
        }
        default:
            return true;
    }
}

// Rounded a * b / c of non-negative values, -1 beyond 32 bits: what the
// platform's MulDiv gives for them.
std::int64_t MulDivRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c <= 0) return -1;
    const std::int64_t v = (a * b + c / 2) / c;
    return v > 0x7FFFFFFF ? -1 : v;
}

}  // namespace

EmfInfo CheckEmf(ByteReader data, std::string_view name) {
    // EMR_HEADER first, with the " EMF" signature and a length inside the file.
    if (data.size() < 88 || data.U32(0) != kEmrHeader || data.U32(40) != kEnhMetaSignature)
        Fail("Le fichier %s n'est pas un métafichier amélioré", name);
    const std::uint32_t headerBytes = data.U32(4), total = data.U32(48);
    if (headerBytes < 88 || headerBytes > data.size() || total < headerBytes || total > data.size())
        Fail("Métafichier incorrect ou tronqué : %s", name);
    // The reference device, in pixels and in millimetres: the player scales
    // with it.
    for (std::uint64_t at : {72u, 76u, 80u, 84u}) {
        const std::int32_t v = data.S32(at);
        if (v <= 0 || v > (1 << 20)) Fail("Métafichier incorrect : %s", name);
    }
    // Records chained inside the header's length up to the end-of-file
    // record, each one sound. The player's handle table has nHandles slots.
    const std::uint32_t handles = data.U16(56);
    const ByteReader file = data.Sub(0, total);
    bool ended = false;
    for (std::uint64_t at = 0; file.Has(at, 8);) {
        const std::uint32_t type = file.U32(at), size = file.U32(at + 4);
        if (size < 8 || size % 4 != 0 || !file.Has(at, size)) break;
        if (type == kEmrEof) {
            ended = true;
            break;
        }
        if (at > 0 && !EmfRecordSound(file.Sub(at, size), type, handles)) break;
        at += size;
    }
    if (!ended) Fail("Métafichier incorrect ou tronqué : %s", name);

    EmfInfo info;
    info.bytes = total;
    // Frame and bounds are signed rectangles (left, top, right, bottom).
    const std::int64_t fw = std::int64_t{data.S32(32)} - data.S32(24), fh = std::int64_t{data.S32(36)} - data.S32(28);
    const std::int64_t devX = data.S32(72), devY = data.S32(76), mmX = data.S32(80), mmY = data.S32(84);
    if (fw > 0 && fh > 0) {
        const double w = static_cast<double>(fw) * devX / (mmX * 100.0);
        const double h = static_cast<double>(fh) * devY / (mmY * 100.0);
        if (w < 1e7 && h < 1e7) {
            info.natural = {std::max<std::int64_t>(1, static_cast<std::int64_t>(w + 0.5)),
                            std::max<std::int64_t>(1, static_cast<std::int64_t>(h + 0.5))};
        } else {
            info.natural = {0x7FFFFFFF, 0x7FFFFFFF};
        }
    } else {
        info.natural = {std::int64_t{data.S32(16)} - data.S32(8) + 1, std::int64_t{data.S32(20)} - data.S32(12) + 1};
    }
    return info;
}

WmfInfo CheckWmf(ByteReader data, std::string_view name, int dpi) {
    WmfInfo info;
    info.placeable = data.Has(0, 4) && data.U32(0) == kPlaceableKey;
    info.offset = info.placeable ? kPlaceableBytes : 0;
    if (!data.Has(info.offset, kMetaHeaderBytes)) Fail("Métafichier incorrect ou tronqué : %s", name);
    info.bytes = data.size() - info.offset;
    const ByteReader mf = data.Sub(info.offset, info.bytes);
    const std::uint32_t type = mf.U16(0), headerWords = mf.U16(2);
    if ((type != 1 && type != 2) || headerWords != 9) Fail("Le fichier %s n'est pas un métafichier Windows", name);

    // The records must chain inside the data up to the end record; the
    // window extent they set is the picture's size when no placeable header
    // gives one.
    std::int64_t extX = 0, extY = 0;
    bool ended = false;
    const std::uint32_t objects = mf.U16(10);
    for (std::uint64_t at = kMetaHeaderBytes; mf.Has(at, 6);) {
        const std::uint64_t words = mf.U32(at);
        const std::uint32_t function = mf.U16(at + 4);
        if (words < 3 || !mf.Has(at, words * 2)) Fail("Métafichier incorrect ou tronqué : %s", name);
        if (function == kMetaEof) {
            ended = true;
            break;
        }
        const ByteReader record = mf.Sub(at, words * 2);
        if (!WmfRecordSound(record, function, objects)) Fail("Métafichier incorrect ou tronqué : %s", name);
        if (function == kMetaSetWindowExt && words >= 5) {
            extY = record.S16(6);
            extX = record.S16(8);
        }
        at += words * 2;
    }
    if (!ended) Fail("Métafichier incorrect ou tronqué : %s", name);

    if (info.placeable) {
        // The box in logical units (signed), and how many of them make an inch.
        const std::int64_t left = data.S16(6), top = data.S16(8), right = data.S16(10), bottom = data.S16(12);
        const std::int64_t inch = data.U16(14);
        if (inch == 0) Fail("Métafichier incorrect : %s", name);
        info.natural = {MulDivRounded(right > left ? right - left : left - right, dpi, inch),
                        MulDivRounded(bottom > top ? bottom - top : top - bottom, dpi, inch)};
    } else {
        info.natural = {extX < 0 ? -extX : extX, extY < 0 ? -extY : extY};
    }
    CheckMetafileSize(info.natural, name);
    return info;
}

void CheckMetafileSize(MetafileSize size, std::string_view name) {
    if (size.width <= 0 || size.height <= 0) Fail("Le métafichier %s n'a pas de dimensions", name);
    if (!PictureSizeAcceptable(size.width, size.height))
        throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                   std::to_string(size.width) + " x " + std::to_string(size.height)));
}

}  // namespace orvane
