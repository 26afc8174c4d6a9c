#include "core/picture/metafile_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
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

// ---- what a sane value is ------------------------------------------------------
//
// The players trust every value of a record: they index tables with it,
// allocate and loop by it, and draw with it. These bounds are far beyond
// what a drawing program writes and well inside what GDI computes with.

// Coordinates, extents, radii and text widths: GDI keeps device
// coordinates to 27 bits, and two values inside ±2^27 add or subtract
// without leaving 32 bits.
constexpr std::int64_t kMaxCoordinate = std::int64_t{1} << 27;
// The box of an ellipse, arc, chord, pie or rounded rectangle, and twice
// the radius of an angle arc, in device pixels: the player computes every
// point of the curve at once, in products of its width and height.
constexpr std::int64_t kMaxCurve = 1 << 16;
// Font cell height and width, in device pixels: the glyphs are drawn whole.
constexpr std::int64_t kMaxFontPixels = 4096;
// Pen widths and dash lengths, logical units.
constexpr std::int64_t kMaxPenWidth = 1 << 20;
// The stroke of a framed region, logical units.
constexpr std::int64_t kMaxStroke = 4096;
// The factors of a world transform and the scales of text; the numerators
// and denominators that scale an extent.
constexpr std::int64_t kMaxScale = 1 << 16;
// Angles of AngleArc, degrees: ten turns either way. Font escapement and
// orientation, tenths of a degree: the same.
constexpr std::int64_t kMaxAngle = 3600;
// Palette entries: four times a device palette.
constexpr std::int64_t kMaxPaletteEntries = 1024;
// The last stock object a selection may name (DC_PEN).
constexpr std::uint32_t kLastStockObject = 19;

// ---- the checks a rule is made of ------------------------------------------------

// Offsets are from the start of the record (its type for an EMF record, its
// size for a WMF record). Values are 32-bit in EMF rules, 16-bit in WMF rules.
enum class Check : std::uint8_t {
    kNone,
    kRange,    // n signed values in [lo, hi]
    kURange,   // n unsigned values in [lo, hi]
    kExtent,   // n signed values in [lo, hi], none of them 0: the player divides by them
    kBounds,   // a rectangle of coordinates, ordered (an empty one is 0, 0, -1, -1)
    kCurve,    // the box of a curve: coordinates, at most hi device pixels wide and high (either order)
    kPixels,   // n signed values of at most hi device pixels
    kFloats,   // n 32-bit floats, finite, of magnitude up to hi
    kXform,    // an XFORM: four factors up to kMaxScale, two offsets up to kMaxCoordinate
    kSlot,     // a slot of the handle table a record fills or empties: never 0, the metafile's own
    kEntry,    // an entry of the handle (WMF: object) table, looked up as it is
    kObject,   // an entry, or a stock object (high bit set) up to DC_PEN
    kBitmap,   // offBmi, cbBmi, offBits, cbBits: a whole bitmap inside the record;
               // lo: where its usage is (0: none), hi: the highest usage; n = 1: required
};

struct Field {
    Check check = Check::kNone;
    std::uint16_t at = 0;
    std::uint16_t n = 1;
    std::int64_t lo = 0;
    std::int64_t hi = 0;
};

constexpr Field Range(std::uint16_t at, std::int64_t lo, std::int64_t hi, std::uint16_t n = 1) {
    return {Check::kRange, at, n, lo, hi};
}
constexpr Field URange(std::uint16_t at, std::int64_t lo, std::int64_t hi, std::uint16_t n = 1) {
    return {Check::kURange, at, n, lo, hi};
}
constexpr Field Coords(std::uint16_t at, std::uint16_t n) { return Range(at, -kMaxCoordinate, kMaxCoordinate, n); }
constexpr Field Extent(std::uint16_t at) { return {Check::kExtent, at, 2, -kMaxCoordinate, kMaxCoordinate}; }
constexpr Field Bounds(std::uint16_t at) { return {Check::kBounds, at, 4}; }
constexpr Field Curve(std::uint16_t at) { return {Check::kCurve, at, 4, 0, kMaxCurve}; }
constexpr Field Pixels(std::uint16_t at, std::uint16_t n, std::int64_t limit) { return {Check::kPixels, at, n, 0, limit}; }
constexpr Field Floats(std::uint16_t at, std::uint16_t n, std::int64_t limit) { return {Check::kFloats, at, n, 0, limit}; }
constexpr Field Xform(std::uint16_t at) { return {Check::kXform, at}; }
constexpr Field Slot(std::uint16_t at) { return {Check::kSlot, at}; }
constexpr Field Entry(std::uint16_t at, std::uint16_t n = 1) { return {Check::kEntry, at, n}; }
constexpr Field Object(std::uint16_t at) { return {Check::kObject, at}; }
// The bitmap's four fields at `at`, its usage at `usageAt` (0: none).
constexpr Field Bitmap(std::uint16_t at, std::uint16_t usageAt, bool required, std::int64_t maxUsage = 1) {
    return {Check::kBitmap, at, static_cast<std::uint16_t>(required ? 1 : 0), usageAt, maxUsage};
}

// What a record is checked against besides its own bytes: the size of the
// table the player makes for the metafile's objects, and (WMF) the bytes
// from the record to the end of the metafile, for a player that reads past
// a short record.
struct Context {
    std::uint32_t handles = 0;
    ByteReader tail;
    // The most a logical unit has been magnified so far (EMF): by the
    // player's fit of the frame, the window-to-viewport mapping and the
    // world transform. Sizes in device pixels are checked against it.
    double magnification = 1;
};

// The part of a record after its fixed fields, checked against the record's
// size: counts, offsets, the values they lead to.
using Rest = bool (*)(const ByteReader& r, const Context& c);

enum class Length : std::uint8_t {
    kExactly,  // the record is its fixed fields
    kAtLeast,  // more follows, or a player tolerates trailing words: `rest` says what
};

struct Rule {
    std::uint32_t type;   // EMR_* type, or META_* function
    std::uint32_t size;   // the fixed fields, the record's head included: bytes (EMF), 16-bit words (WMF)
    Length length;
    std::array<Field, 7> fields;
    Rest rest = nullptr;
};

// ---- rest checks shared by rules ---------------------------------------------------

bool CoordsIn(const ByteReader& r, std::uint64_t at, std::uint64_t count) {
    if (!r.Has(at, count * 4)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::int64_t v = r.S32(at + 4 * i);
        if (v < -kMaxCoordinate || v > kMaxCoordinate) return false;
    }
    return true;
}

float FloatAt(const ByteReader& r, std::uint64_t at) {
    const std::uint32_t bits = r.U32(at);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool FloatsIn(const ByteReader& r, std::uint64_t at, std::uint64_t count, double limit) {
    if (!r.Has(at, count * 4)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const float f = FloatAt(r, at + 4 * i);
        if (!std::isfinite(f) || std::fabs(f) > limit) return false;
    }
    return true;
}

// A bitmap inside a record (header at offBmi, pixels at offBits) must be a
// complete one: the same check as a bitmap file, on the pieces put together.
std::optional<BmpInfo> EmbeddedBitmap(const ByteReader& r, std::uint64_t offBmi, std::uint64_t cbBmi,
                                      std::uint64_t offBits, std::uint64_t cbBits) {
    if (cbBmi == 0 || !r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits)) return std::nullopt;
    // Both pieces lie inside the record, so the copy is no larger than it.
    std::vector<std::uint8_t> file(14 + cbBmi + cbBits, 0);
    file[0] = 'B', file[1] = 'M';
    const std::uint64_t off = 14 + cbBmi;
    if (off > 0xFFFFFFFFu) return std::nullopt;
    for (int i = 0; i < 4; ++i) file[10 + i] = static_cast<std::uint8_t>(off >> (8 * i));
    std::memcpy(&file[14], r.data() + offBmi, static_cast<std::size_t>(cbBmi));
    if (cbBits) std::memcpy(&file[static_cast<std::size_t>(off)], r.data() + offBits, static_cast<std::size_t>(cbBits));
    try {
        return CheckBmp(file.data(), file.size());
    } catch (const Error&) {
        return std::nullopt;
    }
}

bool BitmapSound(const ByteReader& r, const Field& f) {
    const std::uint64_t offBmi = r.U32(f.at), cbBmi = r.U32(f.at + 4), offBits = r.U32(f.at + 8),
                        cbBits = r.U32(f.at + 12);
    if (!r.Has(f.at, 16)) return false;
    // No bitmap: the player looks at the header's offset only.
    if (cbBmi == 0) return f.n == 0 && offBmi == 0 && r.Has(offBits, cbBits);
    const std::optional<BmpInfo> bmp = EmbeddedBitmap(r, offBmi, cbBmi, offBits, cbBits);
    if (!bmp) return false;
    if (f.lo == 0) return true;
    // Colours as RGB or as palette indexes; DIB_PAL_MONO only for one bit.
    const std::uint32_t usage = r.U32(static_cast<std::uint64_t>(f.lo));
    return usage <= f.hi && (usage < 2 || bmp->bitsPerPixel == 1);
}

bool FieldSound(const ByteReader& r, const Field& f, bool wide, const Context& c) {
    const std::uint64_t step = wide ? 4 : 2;
    auto value = [&](std::uint64_t at, bool sign) -> std::int64_t {
        if (wide) return sign ? std::int64_t{r.S32(at)} : std::int64_t{r.U32(at)};
        return sign ? std::int64_t{r.S16(at)} : std::int64_t{r.U16(at)};
    };
    auto each = [&](auto&& test) {
        if (!r.Has(f.at, f.n * step)) return false;
        for (std::uint64_t i = 0; i < f.n; ++i)
            if (!test(f.at + i * step)) return false;
        return true;
    };
    switch (f.check) {
        case Check::kNone:
            return true;
        case Check::kRange:
            return each([&](std::uint64_t at) { return value(at, true) >= f.lo && value(at, true) <= f.hi; });
        case Check::kURange:
            return each([&](std::uint64_t at) { return value(at, false) >= f.lo && value(at, false) <= f.hi; });
        case Check::kExtent:
            return each([&](std::uint64_t at) {
                const std::int64_t v = value(at, true);
                return v != 0 && v >= f.lo && v <= f.hi;
            });
        case Check::kBounds: {
            if (!CoordsIn(r, f.at, 4)) return false;
            const std::int64_t l = r.S32(f.at), t = r.S32(f.at + 4), rr = r.S32(f.at + 8), b = r.S32(f.at + 12);
            return l <= rr + 1 && t <= b + 1;
        }
        case Check::kCurve: {
            if (!CoordsIn(r, f.at, 4)) return false;
            const double w = std::abs(std::int64_t{r.S32(f.at + 8)} - r.S32(f.at));
            const double h = std::abs(std::int64_t{r.S32(f.at + 12)} - r.S32(f.at + 4));
            return std::max(w, h) <= static_cast<double>(f.hi) / c.magnification;
        }
        case Check::kPixels:
            return each([&](std::uint64_t at) {
                return std::abs(static_cast<double>(value(at, true))) <= static_cast<double>(f.hi) / c.magnification;
            });
        case Check::kFloats:
            return FloatsIn(r, f.at, f.n, static_cast<double>(f.hi));
        case Check::kXform:
            return FloatsIn(r, f.at, 4, kMaxScale) && FloatsIn(r, f.at + 16, 2, kMaxCoordinate);
        case Check::kSlot:
            return each([&](std::uint64_t at) { return value(at, false) >= 1 && value(at, false) < c.handles; });
        case Check::kEntry:
            return each([&](std::uint64_t at) { return value(at, false) < c.handles; });
        case Check::kObject:
            return each([&](std::uint64_t at) {
                const std::uint32_t h = r.U32(at);
                return (h & 0x80000000u) ? (h & 0x7FFFFFFFu) <= kLastStockObject : h < c.handles;
            });
        case Check::kBitmap:
            return BitmapSound(r, f);
    }
    return false;
}

// ---- enhanced metafile records: the variable parts ---------------------------------

// POLYBEZIER, POLYGON... : a count at 24, the points from 28 (8 or 4 bytes each).
template <int kPointBytes>
bool Points(const ByteReader& r, const Context&) {
    const std::uint64_t n = r.U32(24);
    return r.Has(28, n * kPointBytes) && (kPointBytes == 4 || CoordsIn(r, 28, n * 2));
}

// POLYPOLYLINE, POLYPOLYGON: polygons at 24, points at 28, the polygons'
// counts from 32, then the points; the counts add up to no more than the points.
template <int kPointBytes>
bool PolyPoints(const ByteReader& r, const Context&) {
    const std::uint64_t polys = r.U32(24), points = r.U32(28);
    if (!r.Has(32, polys * 4 + points * kPointBytes)) return false;
    if (kPointBytes == 8 && !CoordsIn(r, 32 + polys * 4, points * 2)) return false;
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < polys; ++i) sum += r.U32(32 + 4 * i);
    return sum <= points;
}

// POLYDRAW: a count at 24, the points, then a point type per point; Bézier
// points come in threes, all inside the count.
template <int kPointBytes>
bool PolyDraw(const ByteReader& r, const Context& c) {
    const std::uint64_t n = r.U32(24), types = 28 + n * kPointBytes;
    if (!Points<kPointBytes>(r, c) || !r.Has(types, n)) return false;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t t = r.U8(types + i) & ~1u;  // PT_CLOSEFIGURE aside
        if (t == 4 /* PT_BEZIERTO */) {
            if (i + 2 >= n || (r.U8(types + i + 1) & ~1u) != 4 || (r.U8(types + i + 2) & ~1u) != 4) return false;
            i += 2;
        } else if (t != 2 /* PT_LINETO */ && t != 6 /* PT_MOVETO */) {
            return false;
        }
    }
    return true;
}

// EOF: a palette, when there is one, before the closing size.
bool EofPalette(const ByteReader& r, const Context&) {
    const std::uint64_t entries = r.U32(8), at = r.U32(12);
    if (entries == 0) return true;
    return entries <= kMaxPaletteEntries && at >= 16 && at + entries * 4 <= r.size() - 4;
}

// An EMRTEXT at `at`: reference point, characters, options, clipping
// rectangle, widths. The player reads a width per character (two with
// ETO_PDY) when their offset is set; POLYTEXTOUT reads them always.
bool TextSound(const ByteReader& r, std::uint64_t at, std::uint64_t charBytes, bool widthsRequired) {
    if (!r.Has(at, 40) || !CoordsIn(r, at, 2) || !CoordsIn(r, at + 20, 4)) return false;
    const std::uint64_t n = r.U32(at + 8), offString = r.U32(at + 12), offDx = r.U32(at + 36);
    const std::uint64_t dxPerChar = (r.U32(at + 16) & 0x2000 /* ETO_PDY */) ? 2 : 1;
    if (!r.Has(offString, n * charBytes)) return false;
    if (offDx == 0) return !widthsRequired;
    if (!r.Has(offDx, n * dxPerChar * 4)) return false;
    // Every width, and where they lead together, stay coordinates.
    std::int64_t sum = 0;
    for (std::uint64_t i = 0; i < n * dxPerChar; ++i) {
        sum += std::abs(std::int64_t{r.S32(offDx + 4 * i)});
        if (sum > kMaxCoordinate) return false;
    }
    return true;
}

template <int kCharBytes>
bool ExtTextOut(const ByteReader& r, const Context&) {
    return TextSound(r, 36, kCharBytes, false);
}

// POLYTEXTOUT: a count at 36, that many EMRTEXT from 40.
template <int kCharBytes>
bool PolyTextOut(const ByteReader& r, const Context&) {
    const std::uint64_t strings = r.U32(36);
    if (!r.Has(40, strings * 40)) return false;
    for (std::uint64_t i = 0; i < strings; ++i)
        if (!TextSound(r, 40 + 40 * i, kCharBytes, true)) return false;
    return true;
}

// SMALLTEXTOUT: characters (8 or 16 bits) after a clipping rectangle that
// ETO_NO_RECT leaves out.
bool SmallTextOut(const ByteReader& r, const Context&) {
    const std::uint32_t options = r.U32(20);
    const bool rect = !(options & 0x100 /* ETO_NO_RECT */);
    if (rect && !CoordsIn(r, 36, 4)) return false;
    const std::uint64_t charBytes = (options & 0x200 /* ETO_SMALL_CHARS */) ? 1 : 2;
    return r.Has(rect ? 52 : 36, std::uint64_t{r.U32(16)} * charBytes);
}

// RGNDATA: a 32-byte header of rectangles (RDH_RECTANGLES), its bounds and
// as many 16-byte rectangles as it counts, all coordinates. No data at all
// is a region the player does without.
template <std::uint64_t kCountAt, std::uint64_t kDataAt>
bool Region(const ByteReader& r, const Context&) {
    const std::uint64_t cb = r.U32(kCountAt);
    if (cb == 0) return true;
    if (cb < 32 || !r.Has(kDataAt, cb)) return false;
    const std::uint64_t rects = r.U32(kDataAt + 8);
    if (r.U32(kDataAt) != 32 || r.U32(kDataAt + 4) != 1 || 32 + rects * 16 > cb) return false;
    return CoordsIn(r, kDataAt + 16, 4 + rects * 4);
}

// A brush of a style the player makes without a bitmap: solid, hollow, or
// hatched with one of the six hatches.
bool BrushStyle(std::uint32_t style, std::uint32_t hatch) { return style <= 1 || (style == 2 && hatch <= 5); }

bool CreateBrush(const ByteReader& r, const Context&) { return BrushStyle(r.U32(12), r.U32(20)); }

// CREATEPALETTE: LOGPALETTE, version 0x300, its entries inside.
bool CreatePalette(const ByteReader& r, const Context&) {
    const std::uint64_t n = r.U16(14);
    return r.U16(12) == 0x300 && n <= kMaxPaletteEntries && r.Has(16, n * 4);
}

// SETPALETTEENTRIES: first entry at 12, count at 16, entries from 20.
bool SetPaletteEntries(const ByteReader& r, const Context&) {
    const std::uint64_t first = r.U32(12), n = r.U32(16);
    return first + n <= kMaxPaletteEntries && r.Has(20, n * 4);
}

bool ColorCorrectPalette(const ByteReader& r, const Context&) {
    return std::uint64_t{r.U32(12)} + r.U32(16) <= kMaxPaletteEntries;
}

// EXTCREATEPEN: a brush without a bitmap, its dashes inside and of pen widths.
bool ExtCreatePen(const ByteReader& r, const Context&) {
    const std::uint64_t n = r.U32(48);
    if (!BrushStyle(r.U32(36), r.U32(44)) || !r.Has(52, n * 4)) return false;
    for (std::uint64_t i = 0; i < n; ++i)
        if (r.U32(52 + 4 * i) > kMaxPenWidth) return false;
    return true;
}

// EXTCREATEFONTINDIRECTW: a LOGFONTW, or a larger form; past 320 bytes of
// font the larger form ends in a design vector of at most 16 axes.
bool ExtCreateFont(const ByteReader& r, const Context&) {
    if (r.size() <= 12 + 320) return true;
    constexpr std::uint64_t kVector = 12 + 348;
    return r.Has(kVector, 8) && r.U32(kVector) == 0x08007664u && r.U32(kVector + 4) <= 16 &&
           r.Has(kVector + 8, std::uint64_t{r.U32(kVector + 4)} * 4);
}

// SETDIBITSTODEVICE: the scan lines it names lie inside its bitmap.
bool ScanLines(const ByteReader& r, const Context&) {
    const std::uint64_t bmi = r.U32(48);
    const std::int64_t height = r.U32(bmi) == 12 ? r.U16(bmi + 6) : std::abs(std::int64_t{r.S32(bmi + 8)});
    return std::uint64_t{r.U32(68)} + r.U32(72) <= static_cast<std::uint64_t>(height);
}

// ALPHABLEND: the player copies cbBits into a bitmap it makes from the
// header, uncompressed; no more than that bitmap holds.
bool AlphaBlendBits(const ByteReader& r, const Context&) {
    const std::uint64_t bmi = r.U32(84);
    if (bmi == 0) return true;
    const std::uint32_t header = r.U32(bmi);
    const std::uint64_t width = header == 12 ? r.U16(bmi + 4) : r.U32(bmi + 4);
    const std::uint64_t height = header == 12 ? r.U16(bmi + 6) : std::abs(std::int64_t{r.S32(bmi + 8)});
    const std::uint64_t bits = header == 12 ? r.U16(bmi + 10) : r.U16(bmi + 14);
    const std::uint32_t compression = header == 12 ? 0 : r.U32(bmi + 16);
    if (compression != 0 && compression != 3) return false;
    return r.U32(96) <= (width * bits + 31) / 32 * 4 * height;
}

// GRADIENTFILL: vertices (16 bytes: a point and four 16-bit colours) at 36,
// then triangles (three vertex indexes) or rectangles (two); every index
// names a vertex.
bool GradientFill(const ByteReader& r, const Context&) {
    const std::uint64_t vertices = r.U32(24), shapes = r.U32(28);
    const std::uint64_t corners = r.U32(32) == 2 /* GRADIENT_FILL_TRIANGLE */ ? 3 : 2;
    const std::uint64_t mesh = 36 + vertices * 16;
    if (!r.Has(36, vertices * 16) || !r.Has(mesh, shapes * corners * 4)) return false;
    for (std::uint64_t i = 0; i < vertices; ++i)
        if (!CoordsIn(r, 36 + 16 * i, 2)) return false;
    for (std::uint64_t i = 0; i < shapes * corners; ++i)
        if (r.U32(mesh + 4 * i) >= vertices) return false;
    return true;
}

// GDICOMMENT: data inside the record. EMF+ records chain inside it; the
// public comments' own counts and offsets stay inside it.
bool Comment(const ByteReader& r, const Context&) {
    const std::uint64_t cb = r.U32(8);
    if (!r.Has(12, cb)) return false;
    if (cb < 4) return true;
    const ByteReader data = r.Sub(12, cb);
    switch (data.U32(0)) {
        case 0x2B464D45u: {  // "EMF+": records of type, flags, size, data size
            for (std::uint64_t at = 4; at < cb;) {
                const std::uint64_t size = data.U32(at + 4), dataSize = data.U32(at + 8);
                if (!data.Has(at, 12) || size < 12 || size % 4 != 0 || dataSize > size - 12 || !data.Has(at, size))
                    return false;
                at += size;
            }
            return true;
        }
        case 0x43494447u:  // "GDIC": public comments
            switch (data.U32(4)) {
                case 0x00000002u:  // BEGINGROUP: output rectangle, description
                    return CoordsIn(data, 8, 4) && data.Has(28, std::uint64_t{data.U32(24)} * 2);
                case 0x40000004u: {  // MULTIFORMATS: output rectangle, formats
                    const std::uint64_t formats = data.U32(24);
                    if (!CoordsIn(data, 8, 4) || !data.Has(28, formats * 16)) return false;
                    for (std::uint64_t i = 0; i < formats; ++i)
                        if (!data.Has(data.U32(28 + 16 * i + 12), data.U32(28 + 16 * i + 8))) return false;
                    return true;
                }
                case 0x80000001u:  // WINDOWS_METAFILE: version, checksums, flags, size, the metafile
                    return data.Has(28, data.U32(24));
                default:
                    return data.Has(0, 8);
            }
        default:  // private data, EMF spool included: the player passes it on untouched
            return true;
    }
}

// One row per record type the players may be handed, sorted by type. A
// type without a row is refused. `size` is in bytes.
constexpr Rule kEmfRules[] = {
    // Drawing with points: bounds, then a count and the points.
    {2, 28, Length::kAtLeast, {Bounds(8)}, Points<8>},   // POLYBEZIER
    {3, 28, Length::kAtLeast, {Bounds(8)}, Points<8>},   // POLYGON
    {4, 28, Length::kAtLeast, {Bounds(8)}, Points<8>},   // POLYLINE
    {5, 28, Length::kAtLeast, {Bounds(8)}, Points<8>},   // POLYBEZIERTO
    {6, 28, Length::kAtLeast, {Bounds(8)}, Points<8>},   // POLYLINETO
    {7, 32, Length::kAtLeast, {Bounds(8)}, PolyPoints<8>},  // POLYPOLYLINE
    {8, 32, Length::kAtLeast, {Bounds(8)}, PolyPoints<8>},  // POLYPOLYGON
    // Mapping: extents divide, origins add.
    {9, 16, Length::kExactly, {Extent(8)}},    // SETWINDOWEXTEX
    {10, 16, Length::kExactly, {Coords(8, 2)}},  // SETWINDOWORGEX
    {11, 16, Length::kExactly, {Extent(8)}},   // SETVIEWPORTEXTEX
    {12, 16, Length::kExactly, {Coords(8, 2)}},  // SETVIEWPORTORGEX
    {13, 16, Length::kExactly, {Coords(8, 2)}},  // SETBRUSHORGEX
    {14, 20, Length::kAtLeast, {}, EofPalette},  // EOF
    {15, 20, Length::kExactly, {Coords(8, 2)}},  // SETPIXELV
    {16, 12, Length::kExactly, {}},  // SETMAPPERFLAGS
    {17, 12, Length::kExactly, {URange(8, 1, 8)}},   // SETMAPMODE: MM_TEXT to MM_ANISOTROPIC
    {18, 12, Length::kExactly, {URange(8, 1, 2)}},   // SETBKMODE
    {19, 12, Length::kExactly, {URange(8, 1, 2)}},   // SETPOLYFILLMODE
    {20, 12, Length::kExactly, {URange(8, 1, 16)}},  // SETROP2
    {21, 12, Length::kExactly, {URange(8, 1, 4)}},   // SETSTRETCHBLTMODE
    {22, 12, Length::kExactly, {}},  // SETTEXTALIGN
    {23, 32, Length::kExactly, {}},  // SETCOLORADJUSTMENT
    {24, 12, Length::kExactly, {}},  // SETTEXTCOLOR
    {25, 12, Length::kExactly, {}},  // SETBKCOLOR
    {26, 16, Length::kExactly, {Coords(8, 2)}},  // OFFSETCLIPRGN
    {27, 16, Length::kExactly, {Coords(8, 2)}},  // MOVETOEX
    {28, 8, Length::kExactly, {}},               // SETMETARGN
    {29, 24, Length::kExactly, {Coords(8, 4)}},  // EXCLUDECLIPRECT
    {30, 24, Length::kExactly, {Coords(8, 4)}},  // INTERSECTCLIPRECT
    {31, 24, Length::kExactly, {Range(8, -kMaxScale, kMaxScale, 4)}},  // SCALEVIEWPORTEXTEX
    {32, 24, Length::kExactly, {Range(8, -kMaxScale, kMaxScale, 4)}},  // SCALEWINDOWEXTEX
    {33, 8, Length::kExactly, {}},                                    // SAVEDC
    {34, 12, Length::kExactly, {Range(8, -kMaxScale, -1)}},           // RESTOREDC: relative
    {35, 32, Length::kExactly, {Xform(8)}},                           // SETWORLDTRANSFORM
    {36, 36, Length::kExactly, {Xform(8), URange(32, 1, 4)}},         // MODIFYWORLDTRANSFORM
    {37, 12, Length::kExactly, {Object(8)}},                          // SELECTOBJECT
    {38, 28, Length::kExactly, {Slot(8), URange(16, 0, kMaxPenWidth), Coords(20, 1)}},  // CREATEPEN
    {39, 24, Length::kExactly, {Slot(8)}, CreateBrush},               // CREATEBRUSHINDIRECT
    {40, 12, Length::kExactly, {Slot(8)}},                            // DELETEOBJECT
    {41, 28, Length::kExactly, {Coords(8, 2), URange(16, 0, kMaxCoordinate), Pixels(16, 1, kMaxCurve / 2),
                                Floats(20, 2, kMaxAngle)}},  // ANGLEARC
    {42, 24, Length::kExactly, {Curve(8)}},                                  // ELLIPSE
    {43, 24, Length::kExactly, {Coords(8, 4)}},                              // RECTANGLE
    {44, 32, Length::kExactly, {Curve(8), Pixels(24, 2, kMaxCurve)}},       // ROUNDRECT: box, corner
    {45, 40, Length::kExactly, {Curve(8), Coords(24, 4)}},                   // ARC: box, start, end
    {46, 40, Length::kExactly, {Curve(8), Coords(24, 4)}},                   // CHORD
    {47, 40, Length::kExactly, {Curve(8), Coords(24, 4)}},                   // PIE
    {48, 12, Length::kExactly, {Object(8)}},     // SELECTPALETTE
    {49, 16, Length::kAtLeast, {Slot(8)}, CreatePalette},  // CREATEPALETTE
    {50, 20, Length::kAtLeast, {Slot(8)}, SetPaletteEntries},  // SETPALETTEENTRIES
    {51, 16, Length::kExactly, {Slot(8), URange(12, 0, kMaxPaletteEntries)}},  // RESIZEPALETTE
    {52, 8, Length::kExactly, {}},                                // REALIZEPALETTE
    {53, 24, Length::kExactly, {Coords(8, 2), URange(20, 0, 1)}},  // EXTFLOODFILL
    {54, 16, Length::kExactly, {Coords(8, 2)}},                   // LINETO
    {55, 40, Length::kExactly, {Curve(8), Coords(24, 4)}},        // ARCTO
    {56, 28, Length::kAtLeast, {Bounds(8)}, PolyDraw<8>},         // POLYDRAW
    {57, 12, Length::kExactly, {URange(8, 1, 2)}},                // SETARCDIRECTION
    {58, 12, Length::kExactly, {Floats(8, 1, kMaxScale)}},        // SETMITERLIMIT
    {59, 8, Length::kExactly, {}},                                // BEGINPATH
    {60, 8, Length::kExactly, {}},                                // ENDPATH
    {61, 8, Length::kExactly, {}},                                // CLOSEFIGURE
    {62, 24, Length::kExactly, {Bounds(8)}},                      // FILLPATH
    {63, 24, Length::kExactly, {Bounds(8)}},                      // STROKEANDFILLPATH
    {64, 24, Length::kExactly, {Bounds(8)}},                      // STROKEPATH
    {65, 8, Length::kExactly, {}},                                // FLATTENPATH
    {66, 8, Length::kExactly, {}},                                // WIDENPATH
    {67, 12, Length::kExactly, {URange(8, 1, 5)}},                // SELECTCLIPPATH: RGN_AND to RGN_COPY
    {68, 8, Length::kExactly, {}},                                // ABORTPATH
    {70, 12, Length::kAtLeast, {}, Comment},                      // GDICOMMENT
    // Regions: the brush is looked up in the table as it is (no stock objects).
    {71, 32, Length::kAtLeast, {Bounds(8), Entry(28)}, Region<24, 32>},  // FILLRGN
    {72, 40, Length::kAtLeast, {Bounds(8), Entry(28), URange(32, 0, kMaxStroke, 2)}, Region<24, 40>},  // FRAMERGN
    {73, 28, Length::kAtLeast, {Bounds(8)}, Region<24, 28>},          // INVERTRGN
    {74, 28, Length::kAtLeast, {Bounds(8)}, Region<24, 28>},          // PAINTRGN
    {75, 16, Length::kAtLeast, {URange(12, 1, 5)}, Region<8, 16>},    // EXTSELECTCLIPRGN
    // Bitmaps: destination and source in coordinates, the source's transform, the bitmaps whole.
    {76, 100, Length::kAtLeast, {Bounds(8), Coords(24, 4), Coords(44, 2), Xform(52), Bitmap(84, 80, false)}},  // BITBLT
    {77, 108, Length::kAtLeast,
     {Bounds(8), Coords(24, 4), Coords(44, 2), Xform(52), Bitmap(84, 80, false), Coords(100, 2)}},  // STRETCHBLT
    {78, 128, Length::kAtLeast,
     {Bounds(8), Coords(24, 4), Coords(44, 2), Xform(52), Bitmap(84, 80, true), Coords(100, 2),
      Bitmap(112, 108, true)}},  // MASKBLT
    {79, 140, Length::kAtLeast,
     {Bounds(8), Coords(24, 10), Xform(64), Bitmap(96, 92, true), Coords(112, 2), Bitmap(124, 120, true)}},  // PLGBLT
    {80, 76, Length::kAtLeast, {Bounds(8), Coords(24, 6), Bitmap(48, 64, true)}, ScanLines},  // SETDIBITSTODEVICE
    {81, 80, Length::kAtLeast, {Bounds(8), Coords(24, 6), Bitmap(48, 64, true), Coords(72, 2)}},  // STRETCHDIBITS
    {82, 104, Length::kAtLeast,
     {Slot(8), Pixels(12, 2, kMaxFontPixels), Range(20, -kMaxAngle * 10, kMaxAngle * 10, 2)},
     ExtCreateFont},  // EXTCREATEFONTINDIRECTW
    {83, 76, Length::kAtLeast, {Bounds(8), URange(24, 1, 2), Floats(28, 2, kMaxScale)}, ExtTextOut<1>},  // EXTTEXTOUTA
    {84, 76, Length::kAtLeast, {Bounds(8), URange(24, 1, 2), Floats(28, 2, kMaxScale)}, ExtTextOut<2>},  // EXTTEXTOUTW
    // The same drawings with 16-bit points.
    {85, 28, Length::kAtLeast, {Bounds(8)}, Points<4>},      // POLYBEZIER16
    {86, 28, Length::kAtLeast, {Bounds(8)}, Points<4>},      // POLYGON16
    {87, 28, Length::kAtLeast, {Bounds(8)}, Points<4>},      // POLYLINE16
    {88, 28, Length::kAtLeast, {Bounds(8)}, Points<4>},      // POLYBEZIERTO16
    {89, 28, Length::kAtLeast, {Bounds(8)}, Points<4>},      // POLYLINETO16
    {90, 32, Length::kAtLeast, {Bounds(8)}, PolyPoints<4>},  // POLYPOLYLINE16
    {91, 32, Length::kAtLeast, {Bounds(8)}, PolyPoints<4>},  // POLYPOLYGON16
    {92, 28, Length::kAtLeast, {Bounds(8)}, PolyDraw<4>},    // POLYDRAW16
    {93, 32, Length::kAtLeast, {Slot(8), Bitmap(16, 12, true, 2)}},  // CREATEMONOBRUSH
    {94, 32, Length::kAtLeast, {Slot(8), Bitmap(16, 12, true)}},     // CREATEDIBPATTERNBRUSHPT
    {95, 52, Length::kAtLeast, {Slot(8), Bitmap(12, 0, false), URange(32, 0, kMaxPenWidth)}, ExtCreatePen},  // EXTCREATEPEN
    {96, 40, Length::kAtLeast, {Bounds(8), URange(24, 1, 2), Floats(28, 2, kMaxScale)}, PolyTextOut<1>},  // POLYTEXTOUTA
    {97, 40, Length::kAtLeast, {Bounds(8), URange(24, 1, 2), Floats(28, 2, kMaxScale)}, PolyTextOut<2>},  // POLYTEXTOUTW
    {98, 12, Length::kExactly, {URange(8, 1, 4)}},  // SETICMMODE
    {99, 340, Length::kExactly, {Slot(8)}},         // CREATECOLORSPACE
    // Colour spaces set or deleted are looked up in the table as they are, like region brushes.
    {100, 12, Length::kExactly, {Slot(8)}},  // SETCOLORSPACE
    {101, 12, Length::kExactly, {Slot(8)}},  // DELETECOLORSPACE
    {108, 36, Length::kAtLeast, {Coords(8, 2), URange(24, 1, 2), Floats(28, 2, kMaxScale)}, SmallTextOut},  // SMALLTEXTOUT
    {109, 16, Length::kExactly, {}},  // FORCEUFIMAPPING
    {111, 24, Length::kExactly, {Slot(8)}, ColorCorrectPalette},  // COLORCORRECTPALETTE
    {114, 108, Length::kAtLeast,
     {Bounds(8), Coords(24, 4), Coords(44, 2), Xform(52), Bitmap(84, 80, false), Coords(100, 2)},
     AlphaBlendBits},  // ALPHABLEND
    {115, 12, Length::kExactly, {URange(8, 0, 9)}},  // SETLAYOUT: LAYOUT_RTL, LAYOUT_BITMAPORIENTATIONPRESERVED
    {116, 108, Length::kAtLeast,
     {Bounds(8), Coords(24, 4), Coords(44, 2), Xform(52), Bitmap(84, 80, false), Coords(100, 2)}},  // TRANSPARENTBLT
    {118, 36, Length::kAtLeast, {Bounds(8), URange(32, 0, 2)}, GradientFill},  // GRADIENTFILL
    {120, 16, Length::kExactly, {Coords(8, 2)}},                               // SETTEXTJUSTIFICATION
};

// ---- Windows metafile records: the variable parts ------------------------------------

// Parameters start at byte 6, after the size (32 bits) and the function.

// A packed bitmap (header, colours, pixels in a row) at `at`, its pixels
// running to the record's end.
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
    return EmbeddedBitmap(r, at, table, at + table, r.size() - (at + table)).has_value();
}

template <std::uint64_t kAt>
bool PackedDib(const ByteReader& r, const Context&) {
    return PackedDibSound(r, kAt);
}

// POLYGON, POLYLINE: a count, the points.
bool MetaPoints(const ByteReader& r, const Context&) { return r.Has(8, std::uint64_t{r.U16(6)} * 4); }

// POLYPOLYGON: polygon count, point counts (the player adds them as signed
// 16-bit values), points.
bool MetaPolyPolygon(const ByteReader& r, const Context&) {
    const std::uint64_t polys = r.U16(6);
    if (!r.Has(8, polys * 2)) return false;
    std::uint64_t points = 0;
    for (std::uint64_t i = 0; i < polys; ++i) {
        if (r.S16(8 + 2 * i) < 0) return false;
        points += r.U16(8 + 2 * i);
    }
    return r.Has(8 + polys * 2, points * 4);
}

// TEXTOUT: length, string (padded to a word), y, x.
bool MetaTextOut(const ByteReader& r, const Context&) { return r.Has(8, ((r.U16(6) + 1u) & ~1u) + 4u); }

// EXTTEXTOUT: y, x, length, options, a rectangle when clipped or opaque, the string.
bool MetaExtTextOut(const ByteReader& r, const Context&) {
    const std::uint32_t options = r.U16(12);
    return r.Has(14 + ((options & 6) ? 8 : 0), r.U16(10));
}

// SETPALENTRIES, ANIMATEPALETTE: first entry, count, entries.
bool MetaPaletteEntries(const ByteReader& r, const Context&) {
    const std::uint64_t n = r.U16(8);
    return r.U16(6) + n <= kMaxPaletteEntries && r.Has(10, n * 4);
}

// CREATEPALETTE: version, count, entries.
bool MetaCreatePalette(const ByteReader& r, const Context&) {
    const std::uint64_t n = r.U16(8);
    return n <= kMaxPaletteEntries && r.Has(10, n * 4);
}

// SELECTPALETTE: the platform reads the palette at its first parameter,
// Wine's player at the word after (past a one-parameter record, the next
// record's first word): both within the metafile and the object table.
bool MetaSelectPalette(const ByteReader&, const Context& c) { return c.tail.Has(8, 2) && c.tail.U16(8) < c.handles; }

// CREATEFONTINDIRECT: the player copies a 32-byte face name from after the
// nine fixed words, whatever the record's length: within the metafile.
bool MetaCreateFont(const ByteReader&, const Context& c) { return c.tail.Has(24, 32); }

// CREATEBRUSHINDIRECT: style, colour, hatch.
bool MetaCreateBrush(const ByteReader& r, const Context&) { return BrushStyle(r.U16(6), r.U16(12)); }

// ESCAPE: function, count, data.
bool MetaEscape(const ByteReader& r, const Context&) { return r.Has(10, r.U16(8)); }

// CREATEREGION: scans of (count, top, bottom, count edges, count).
bool MetaCreateRegion(const ByteReader& r, const Context&) {
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

// DIBBITBLT: twelve words when it only fills (no source), a bitmap after
// eight parameters otherwise.
bool MetaDibBitBlt(const ByteReader& r, const Context&) { return r.size() == 24 || PackedDibSound(r, 22); }

// SETDIBTODEV: the scan lines it names (count, start) lie inside its bitmap.
bool MetaSetDibToDev(const ByteReader& r, const Context&) {
    if (!PackedDibSound(r, 24)) return false;
    const std::int64_t height = r.U32(24) == 12 ? r.U16(24 + 6) : std::abs(std::int64_t{r.S32(24 + 8)});
    return std::int64_t{r.U16(8)} + r.U16(10) <= height;
}

// One row per function the players may be handed, sorted by function. A
// function without a row is refused (among them the old device-dependent
// bitmaps, whose sizes the player trusts). `size` is in 16-bit words;
// trailing words, which some writers add, are left alone.
constexpr Rule kWmfRules[] = {
    {0x001E, 3, Length::kAtLeast, {}},                                // SAVEDC
    {0x0035, 3, Length::kAtLeast, {}},                                // REALIZEPALETTE
    {0x0037, 5, Length::kAtLeast, {}, MetaPaletteEntries},            // SETPALENTRIES
    {0x00F7, 5, Length::kAtLeast, {}, MetaCreatePalette},             // CREATEPALETTE
    {0x0102, 4, Length::kAtLeast, {URange(6, 1, 2)}},                 // SETBKMODE
    {0x0103, 4, Length::kAtLeast, {URange(6, 1, 8)}},                 // SETMAPMODE
    {0x0104, 4, Length::kAtLeast, {URange(6, 1, 16)}},                // SETROP2
    {0x0105, 4, Length::kAtLeast, {}},                                // SETRELABS
    {0x0106, 4, Length::kAtLeast, {URange(6, 1, 2)}},                 // SETPOLYFILLMODE
    {0x0107, 4, Length::kAtLeast, {URange(6, 1, 4)}},                 // SETSTRETCHBLTMODE
    {0x0108, 4, Length::kAtLeast, {}},                                // SETTEXTCHAREXTRA
    {0x0127, 4, Length::kAtLeast, {}},                                // RESTOREDC
    {0x012A, 4, Length::kAtLeast, {Entry(6)}},                        // INVERTREGION
    {0x012B, 4, Length::kAtLeast, {Entry(6)}},                        // PAINTREGION
    {0x012C, 4, Length::kAtLeast, {Entry(6)}},                        // SELECTCLIPREGION
    {0x012D, 4, Length::kAtLeast, {Entry(6)}},                        // SELECTOBJECT
    {0x012E, 4, Length::kAtLeast, {}},                                // SETTEXTALIGN
    {0x0139, 4, Length::kAtLeast, {URange(6, 0, kMaxPaletteEntries)}},  // RESIZEPALETTE
    {0x0142, 5, Length::kAtLeast, {URange(8, 0, 1)}, PackedDib<10>},  // DIBCREATEPATTERNBRUSH: style, usage, bitmap
    {0x014C, 5, Length::kAtLeast, {}},                                // SETLAYOUT
    {0x01F0, 4, Length::kAtLeast, {Entry(6)}},                        // DELETEOBJECT
    {0x0201, 5, Length::kAtLeast, {}},                                // SETBKCOLOR
    {0x0209, 5, Length::kAtLeast, {}},                                // SETTEXTCOLOR
    {0x020A, 5, Length::kAtLeast, {}},                                // SETTEXTJUSTIFICATION
    {0x020B, 5, Length::kAtLeast, {}},                                // SETWINDOWORG
    {0x020C, 5, Length::kAtLeast, {}},                                // SETWINDOWEXT
    {0x020D, 5, Length::kAtLeast, {}},                                // SETVIEWPORTORG
    {0x020E, 5, Length::kAtLeast, {}},                                // SETVIEWPORTEXT
    {0x020F, 5, Length::kAtLeast, {}},                                // OFFSETWINDOWORG
    {0x0211, 5, Length::kAtLeast, {}},                                // OFFSETVIEWPORTORG
    {0x0213, 5, Length::kAtLeast, {}},                                // LINETO
    {0x0214, 5, Length::kAtLeast, {}},                                // MOVETO
    {0x0220, 5, Length::kAtLeast, {}},                                // OFFSETCLIPRGN
    {0x0228, 5, Length::kAtLeast, {Entry(6, 2)}},                     // FILLREGION: brush, region
    {0x0231, 5, Length::kAtLeast, {}},                                // SETMAPPERFLAGS
    {0x0234, 4, Length::kAtLeast, {Entry(6)}, MetaSelectPalette},     // SELECTPALETTE
    {0x02FA, 8, Length::kAtLeast, {Range(8, 0, 0x7FFF)}},             // CREATEPENINDIRECT: style, width
    {0x02FB, 12, Length::kAtLeast, {Range(6, -kMaxFontPixels, kMaxFontPixels, 2)}, MetaCreateFont},  // CREATEFONTINDIRECT
    {0x02FC, 7, Length::kAtLeast, {}, MetaCreateBrush},               // CREATEBRUSHINDIRECT
    {0x0324, 4, Length::kAtLeast, {}, MetaPoints},                    // POLYGON
    {0x0325, 4, Length::kAtLeast, {}, MetaPoints},                    // POLYLINE
    {0x0410, 7, Length::kAtLeast, {}},                                // SCALEWINDOWEXT
    {0x0412, 7, Length::kAtLeast, {}},                                // SCALEVIEWPORTEXT
    {0x0415, 7, Length::kAtLeast, {}},                                // EXCLUDECLIPRECT
    {0x0416, 7, Length::kAtLeast, {}},                                // INTERSECTCLIPRECT
    {0x0418, 7, Length::kAtLeast, {}},                                // ELLIPSE
    {0x0419, 7, Length::kAtLeast, {}},                                // FLOODFILL
    {0x041B, 7, Length::kAtLeast, {}},                                // RECTANGLE
    {0x041F, 7, Length::kAtLeast, {}},                                // SETPIXEL
    // FRAMEREGION: the platform and Wine's player disagree on which two of
    // the four words are the region and brush and which the stroke: all
    // four must be both.
    {0x0429, 7, Length::kAtLeast, {Entry(6, 4), URange(6, 0, kMaxStroke, 4)}},
    {0x0436, 5, Length::kAtLeast, {}, MetaPaletteEntries},            // ANIMATEPALETTE
    {0x0521, 4, Length::kAtLeast, {}, MetaTextOut},                   // TEXTOUT
    {0x0538, 4, Length::kAtLeast, {}, MetaPolyPolygon},               // POLYPOLYGON
    {0x0548, 8, Length::kAtLeast, {URange(6, 0, 1)}},                 // EXTFLOODFILL
    {0x061C, 9, Length::kAtLeast, {}},                                // ROUNDRECT
    {0x061D, 9, Length::kAtLeast, {}},                                // PATBLT
    {0x0626, 5, Length::kAtLeast, {}, MetaEscape},                    // ESCAPE
    {0x06FF, 14, Length::kAtLeast, {}, MetaCreateRegion},             // CREATEREGION
    {0x0817, 11, Length::kAtLeast, {}},                               // ARC
    {0x081A, 11, Length::kAtLeast, {}},                               // PIE
    {0x0830, 11, Length::kAtLeast, {}},                               // CHORD
    {0x0940, 12, Length::kAtLeast, {}, MetaDibBitBlt},                // DIBBITBLT
    {0x0A32, 7, Length::kAtLeast, {}, MetaExtTextOut},                // EXTTEXTOUT
    {0x0B41, 13, Length::kAtLeast, {}, PackedDib<26>},                // DIBSTRETCHBLT: the player reads a bitmap always
    {0x0D33, 12, Length::kAtLeast, {URange(6, 0, 1)}, MetaSetDibToDev},  // SETDIBTODEV: usage, count, start...
    {0x0F43, 14, Length::kAtLeast, {URange(10, 0, 1)}, PackedDib<28>},   // STRETCHDIB: raster operation, usage...
};

constexpr bool SortedByType(const Rule* rules, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i)
        if (rules[i - 1].type >= rules[i].type) return false;
    return true;
}
static_assert(SortedByType(kEmfRules, std::size(kEmfRules)), "EMF rules must be sorted by type");
static_assert(SortedByType(kWmfRules, std::size(kWmfRules)), "WMF rules must be sorted by function");

// `r` holds the whole record; `unit` is 1 (EMF sizes in bytes) or 2 (WMF
// sizes in words); `wide` tells 32-bit fields from 16-bit ones.
template <std::size_t N>
bool RecordSound(const Rule (&rules)[N], std::uint32_t type, const ByteReader& r, const Context& c, bool wide) {
    const Rule* rule = std::lower_bound(std::begin(rules), std::end(rules), type,
                                        [](const Rule& a, std::uint32_t t) { return a.type < t; });
    if (rule == std::end(rules) || rule->type != type) return false;
    const std::uint64_t fixed = std::uint64_t{rule->size} * (wide ? 1 : 2);
    if (rule->length == Length::kExactly ? r.size() != fixed : r.size() < fixed) return false;
    for (const Field& f : rule->fields)
        if (!FieldSound(r, f, wide, c)) return false;
    return !rule->rest || rule->rest(r, c);
}

// What the records that map logical units to the device leave: the largest
// magnification of a logical unit they may give, the player's own fit of
// the picture (`fit`) included. Extents count whatever the mapping mode,
// and the largest magnification so far stays: an upper bound.
class Magnification {
public:
    explicit Magnification(double fit) : fit_(fit) {}
    double Worst() const { return worst_ * fit_; }

    void After(std::uint32_t type, const ByteReader& r) {
        auto ext = [&](double* e) {
            e[0] = std::abs(static_cast<double>(r.S32(8))), e[1] = std::abs(static_cast<double>(r.S32(12)));
        };
        auto scale = [&](double* e) {
            for (int i = 0; i < 2; ++i)
                if (r.S32(8 + 8 * i) != 0 && r.S32(12 + 8 * i) != 0)
                    e[i] *= std::abs(static_cast<double>(r.S32(8 + 8 * i)) / r.S32(12 + 8 * i));
        };
        auto norm = [&](std::uint64_t at) {  // the largest a transform stretches a unit
            const double a = std::fabs(FloatAt(r, at)), b = std::fabs(FloatAt(r, at + 4)),
                         c = std::fabs(FloatAt(r, at + 8)), d = std::fabs(FloatAt(r, at + 12));
            return std::max({a + c, b + d, a + b, c + d});
        };
        State& s = state_;
        switch (type) {
            case 9: ext(s.window); break;     // SETWINDOWEXTEX
            case 11: ext(s.viewport); break;  // SETVIEWPORTEXTEX
            case 31: scale(s.viewport); break;  // SCALEVIEWPORTEXTEX
            case 32: scale(s.window); break;    // SCALEWINDOWEXTEX
            case 33: saved_.push_back(s); return;  // SAVEDC
            case 34: {                             // RESTOREDC, relative
                const std::uint64_t back = 0u - static_cast<std::uint64_t>(std::int64_t{r.S32(8)});
                if (back >= 1 && back <= saved_.size()) {
                    s = saved_[saved_.size() - back];
                    saved_.resize(saved_.size() - back);
                }
                return;
            }
            case 35: s.world = norm(8); break;  // SETWORLDTRANSFORM
            case 36:                            // MODIFYWORLDTRANSFORM
                s.world = r.U32(32) == 1 ? 1 : r.U32(32) == 4 ? norm(8) : s.world * norm(8);
                break;
            default: return;
        }
        const double mapping = std::max(s.window[0] > 0 ? s.viewport[0] / s.window[0] : 1,
                                        s.window[1] > 0 ? s.viewport[1] / s.window[1] : 1);
        worst_ = std::max(worst_, std::max(mapping, 1.0) * std::max(s.world, 1.0));
    }

private:
    struct State {
        double window[2] = {1, 1}, viewport[2] = {1, 1};
        double world = 1;
    };
    double fit_;
    double worst_ = 1;
    State state_;
    std::vector<State> saved_;  // by SAVEDC, for RESTOREDC
};

// Rounded a * b / c of non-negative values, -1 beyond 32 bits: what the
// platform's MulDiv gives for them.
std::int64_t MulDivRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c <= 0) return -1;
    const std::int64_t v = (a * b + c / 2) / c;
    return v > 0x7FFFFFFF ? -1 : v;
}

// The picture's size from the frame, or from the bounds when there is no
// frame, and how much the player magnifies the frame to fit it.
struct EmfFit {
    EmfInfo info;
    double fit = 1;  // how much the player magnifies the frame's pixels
};

EmfFit EmfNaturalSize(const ByteReader& data, std::uint32_t total) {
    EmfFit fit;
    EmfInfo& info = fit.info;
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
            // A frame of a fraction of a pixel is drawn on one.
            fit.fit = std::max({1.0, static_cast<double>(info.natural.width) / w,
                                 static_cast<double>(info.natural.height) / h});
        } else {
            info.natural = {0x7FFFFFFF, 0x7FFFFFFF};
        }
    } else {
        info.natural = {std::int64_t{data.S32(16)} - data.S32(8) + 1, std::int64_t{data.S32(20)} - data.S32(12) + 1};
    }
    return fit;
}

}  // namespace

EmfInfo CheckEmf(ByteReader data, std::string_view name) {
    // EMR_HEADER first, with the " EMF" signature and a length inside the file.
    if (data.size() < 88 || data.U32(0) != kEmrHeader || data.U32(40) != kEnhMetaSignature)
        Fail("Le fichier %s n'est pas un métafichier amélioré", name);
    const std::uint32_t headerBytes = data.U32(4), total = data.U32(48);
    if (headerBytes < 88 || headerBytes % 4 != 0 || headerBytes > data.size() || total < headerBytes ||
        total > data.size())
        Fail("Métafichier incorrect ou tronqué : %s", name);
    // The reference device, in pixels and in millimetres: the player scales
    // with it.
    for (std::uint64_t at : {72u, 76u, 80u, 84u}) {
        const std::int32_t v = data.S32(at);
        if (v <= 0 || v > (1 << 20)) Fail("Métafichier incorrect : %s", name);
    }
    // The description and the pixel format, when there are, inside the header.
    const ByteReader header = data.Sub(0, headerBytes);
    const std::uint64_t descriptionChars = data.U32(60);
    if (descriptionChars && (data.U32(64) < 88 || !header.Has(data.U32(64), descriptionChars * 2)))
        Fail("Métafichier incorrect : %s", name);
    if (headerBytes >= 100 && data.U32(88) && (data.U32(92) < 88 || !header.Has(data.U32(92), data.U32(88))))
        Fail("Métafichier incorrect : %s", name);
    // Records chained inside the header's length up to the end-of-file
    // record, each one sound. The player's handle table has nHandles slots.
    const EmfFit fit = EmfNaturalSize(data, total);
    Context context{data.U16(56), {}};
    Magnification magnification(fit.fit);
    const ByteReader file = data.Sub(0, total);
    bool ended = false;
    for (std::uint64_t at = headerBytes; file.Has(at, 8);) {
        const std::uint32_t type = file.U32(at), size = file.U32(at + 4);
        if (size < 8 || size % 4 != 0 || !file.Has(at, size)) break;
        const ByteReader record = file.Sub(at, size);
        context.magnification = magnification.Worst();
        if (!RecordSound(kEmfRules, type, record, context, true)) break;
        magnification.After(type, record);
        if (type == kEmrEof) {
            ended = true;
            break;
        }
        at += size;
    }
    if (!ended) Fail("Métafichier incorrect ou tronqué : %s", name);
    return fit.info;
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
        const Context context{objects, mf.Sub(at, mf.size() - at)};
        if (!RecordSound(kWmfRules, function, record, context, false))
            Fail("Métafichier incorrect ou tronqué : %s", name);
        if (function == kMetaSetWindowExt) {
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
