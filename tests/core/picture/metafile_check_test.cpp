// The metafile checks on metafiles built here byte by byte: what they accept
// must be safe to hand to the platform's player, which trusts every count,
// offset and handle index inside the records.
#include <gtest/gtest.h>

#include "support/byte_writer.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/picture/metafile_check.h"
#include "../../../fuzz/metafile_seeds.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_bytes::Put16;
using test_bytes::Put32;
using test_bytes::Add16;
using test_bytes::Add32;

Bytes Words32(std::initializer_list<std::uint32_t> values) {
    Bytes b;
    for (std::uint32_t v : values) Add32(b, v);
    return b;
}

// A packed bitmap: 2 x 2 pixels at 24 bits, an info header of 40 bytes,
// then 16 bytes of rows (two rows of 6 bytes padded to 8).
constexpr std::uint32_t kDibHeader = 40, kDibBits = 16;
Bytes PackedDib(std::int32_t height = 2, std::uint32_t bits = 24, std::uint32_t pixelBytes = kDibBits) {
    Bytes b = Words32({kDibHeader, 2, static_cast<std::uint32_t>(height)});
    Add16(b, 1), Add16(b, bits);
    for (int i = 0; i < 6; ++i) Add32(b, 0);  // compression, size, resolution, colours
    b.resize(b.size() + pixelBytes, 0x5A);
    return b;
}

// ---- enhanced metafiles ---------------------------------------------------------

// Record types of enhanced metafiles used below.
enum : std::uint32_t {
    kPolyline = 4, kPolyPolygon = 8, kSetWindowExt = 9, kEof = 14, kMoveTo = 27, kSelect = 37, kCreatePen = 38,
    kCreateBrush = 39, kDelete = 40, kRectangle = 43, kCreatePalette = 49, kGdiComment = 70, kFillRgn = 71,
    kFrameRgn = 72, kExtSelectClip = 75, kBitBlt = 76, kMaskBlt = 78, kStretchDiBits = 81, kExtTextOutW = 84,
    kPolyline16 = 87, kDibPatternBrush = 94, kExtCreatePen = 95, kPolyTextOutW = 97, kSetColorSpace = 101,
    kSmallTextOut = 108,
};

// Reference device 1000 x 1000 pixels for 250 x 250 mm: 4 pixels a millimetre.
class Emf {
public:
    explicit Emf(std::uint16_t handles = 3) : bytes_(88, 0) {
        Put32(bytes_, 0, 1), Put32(bytes_, 4, 88);
        SetBounds(0, 0, 39, 29);
        SetFrame(0, 0, 1000, 750);  // 10 x 7.5 mm: 40 x 30 pixels
        Put32(bytes_, 40, 0x464D4520u), Put32(bytes_, 44, 0x10000);
        Put16(bytes_, 56, handles);
        Put32(bytes_, 72, 1000), Put32(bytes_, 76, 1000), Put32(bytes_, 80, 250), Put32(bytes_, 84, 250);
    }
    Emf& SetBounds(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) { return Rect(8, l, t, r, b); }
    Emf& SetFrame(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) { return Rect(24, l, t, r, b); }
    // A record of `type` whose fields after type and size are `body`
    // (padded to 4 bytes); its offset in the file.
    std::size_t Add(std::uint32_t type, const Bytes& body) {
        const std::size_t at = bytes_.size();
        Add32(bytes_, type);
        Add32(bytes_, static_cast<std::uint32_t>(8 + (body.size() + 3) / 4 * 4));
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        bytes_.resize(at + 8 + (body.size() + 3) / 4 * 4, 0);
        ++records_;
        return at;
    }
    // The records so far, an end-of-file record, and the header's counts.
    Bytes Finish() const {
        Bytes b = bytes_;
        Add32(b, kEof), Add32(b, 20), Add32(b, 0), Add32(b, 16), Add32(b, 20);
        Put32(b, 48, static_cast<std::uint32_t>(b.size()));
        Put32(b, 52, records_ + 1);
        return b;
    }
    Bytes& bytes() { return bytes_; }

private:
    Emf& Rect(std::size_t at, std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
        Put32(bytes_, at, l), Put32(bytes_, at + 4, t), Put32(bytes_, at + 8, r), Put32(bytes_, at + 12, b);
        return *this;
    }
    Bytes bytes_;
    std::uint32_t records_ = 1;
};

std::string EmfError(const Bytes& b) {
    try {
        CheckEmf(ByteReader(b.data(), b.size()), "x.emf");
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

const std::string kEmfDamaged = "Métafichier incorrect ou tronqué : x.emf";

// One record in an otherwise sound metafile.
std::string EmfWith(std::uint32_t type, const Bytes& body, std::uint16_t handles = 3) {
    Emf emf(handles);
    emf.Add(type, body);
    return EmfError(emf.Finish());
}

Bytes Bounds() { return Words32({0, 0, 39, 29}); }
Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// BITBLT body (after type and size): bounds, destination, raster operation,
// source origin, transform, colour, usage, then the source bitmap's four
// fields; the bitmap itself follows at offset 100 of the record.
Bytes BitBltBody(std::uint32_t offBmi, std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits,
                 const Bytes& bitmap) {
    Bytes b = Concat(Bounds(), Words32({0, 0, 2, 2, 0x00CC0020u, 0, 0}));
    b.resize(b.size() + 24, 0);  // XFORM
    b = Concat(b, Words32({0, 0, offBmi, cbBmi, offBits, cbBits}));
    return Concat(b, bitmap);
}

TEST(EmfCheck, AcceptsSoundMetafilesAndGivesTheirNaturalSize) {
    const Bytes minimal = Emf().Finish();
    const EmfInfo info = CheckEmf(ByteReader(minimal.data(), minimal.size()), "x.emf");
    EXPECT_EQ(info.bytes, minimal.size());
    EXPECT_EQ(info.natural.width, 40);  // the frame at 4 pixels a millimetre
    EXPECT_EQ(info.natural.height, 30);

    // Bytes past the header's length are not the metafile's.
    Bytes trailing = minimal;
    trailing.resize(trailing.size() + 13, 0xEE);
    EXPECT_EQ(CheckEmf(ByteReader(trailing.data(), trailing.size()), "x.emf").bytes, minimal.size());

    // What a drawing program writes: objects created, selected, drawn with,
    // deleted; stock objects; text; a bitmap copied in.
    Emf emf(3);
    emf.Add(kSetWindowExt, Words32({40, 30}));
    emf.Add(kCreateBrush, Words32({1, 0, 0x0000FF, 0}));
    emf.Add(kSelect, Words32({1}));
    emf.Add(kSelect, Words32({0x80000000u | 19}));  // DC_PEN, the last stock object
    emf.Add(kCreatePen, Words32({2, 0, 3, 0, 0}));
    emf.Add(kRectangle, Words32({0, 0, 40, 30}));
    emf.Add(kPolyline, Concat(Bounds(), Words32({2, 0, 0, 39, 29})));
    emf.Add(kPolyPolygon, Concat(Bounds(), Words32({2, 4, 2, 2, 0, 0, 1, 1, 2, 2, 3, 3})));
    Bytes text = Concat(Bounds(), Words32({1, 0, 0}));  // graphics mode, scales
    text = Concat(text, Words32({5, 5, 3, 76, 0, 0, 0, 0, 0, 84}));  // EMRTEXT: 3 characters at 76, widths at 84
    text = Concat(text, Words32({0x00620061, 0x00000063, 8, 8, 8}));
    emf.Add(kExtTextOutW, text);
    const Bytes dib = PackedDib();
    emf.Add(kBitBlt, BitBltBody(100, kDibHeader, 100 + kDibHeader, kDibBits, dib));
    emf.Add(kBitBlt, BitBltBody(0, 0, 0, 0, {}));  // a pattern fill: no source bitmap
    emf.Add(kDelete, Words32({1}));
    emf.Add(kGdiComment, Concat(Words32({5}), Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(EmfError(emf.Finish()), "");
}

std::string SizeError(MetafileSize size, std::string_view name) {
    try {
        CheckMetafileSize(size, name);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(EmfCheck, NaturalSizeFromTheFrameOrTheBoundsAndItsLimits) {
    auto natural = [](Emf emf) {
        const Bytes b = emf.Finish();
        return CheckEmf(ByteReader(b.data(), b.size()), "x.emf").natural;
    };
    // Without a frame, the bounds (inclusive) are the size.
    const MetafileSize bounds = natural(Emf().SetFrame(0, 0, 0, 0).SetBounds(-5, 10, 94, 59));
    EXPECT_EQ(bounds.width, 100);
    EXPECT_EQ(bounds.height, 50);
    EXPECT_EQ(SizeError(bounds, "x.emf"), "");
    // A frame a tenth of a pixel wide still gives one pixel.
    const MetafileSize thin = natural(Emf().SetFrame(0, 0, 2, 2));
    EXPECT_EQ(thin.width, 1);
    EXPECT_EQ(thin.height, 1);
    // Empty bounds and no frame: nothing to draw.
    const MetafileSize empty = natural(Emf().SetFrame(0, 0, 0, 0).SetBounds(0, 0, -1, -1));
    EXPECT_EQ(SizeError(empty, "x.emf"), "Le métafichier x.emf n'a pas de dimensions");
    // A frame or bounds spanning the whole coordinate range: no wrap-around
    // into a small or negative size, and refused before any allocation.
    const MetafileSize huge = natural(Emf().SetFrame(INT32_MIN, 0, INT32_MAX, 1000));
    EXPECT_EQ(SizeError(huge, "x.emf"), "Image trop grande (2147483647 x 2147483647 pixels)");
    const MetafileSize wide = natural(Emf().SetFrame(0, 0, 0, 0).SetBounds(INT32_MIN, 0, INT32_MAX, 0));
    EXPECT_EQ(SizeError(wide, "x.emf"), "Image trop grande (4294967296 x 1 pixels)");
}

TEST(EmfCheck, RefusesHeadersThatAreNotOrDoNotFit) {
    const Bytes good = Emf().Finish();
    ASSERT_EQ(EmfError(good), "");
    auto with = [&](std::size_t at, std::uint32_t v) {
        Bytes b = good;
        Put32(b, at, v);
        return EmfError(b);
    };
    const std::string notEmf = "Le fichier x.emf n'est pas un métafichier amélioré";
    EXPECT_EQ(EmfError({}), notEmf);
    EXPECT_EQ(EmfError(Bytes(good.begin(), good.begin() + 87)), notEmf);
    EXPECT_EQ(with(0, 2), notEmf);            // not a header record
    EXPECT_EQ(with(40, 0x464D4521u), notEmf);  // signature
    EXPECT_EQ(with(4, 84), kEmfDamaged);       // header shorter than its own fields
    EXPECT_EQ(with(4, static_cast<std::uint32_t>(good.size() + 4)), kEmfDamaged);
    EXPECT_EQ(with(48, 80), kEmfDamaged);      // total shorter than the header
    EXPECT_EQ(with(48, static_cast<std::uint32_t>(good.size() + 1)), kEmfDamaged);
    EXPECT_EQ(with(48, 0xFFFFFFFFu), kEmfDamaged);
    // The reference device in pixels and millimetres, which the player
    // divides by and scales with.
    for (std::size_t at : {72u, 76u, 80u, 84u}) {
        EXPECT_EQ(with(at, 0), "Métafichier incorrect : x.emf") << at;
        EXPECT_EQ(with(at, 0x80000000u), "Métafichier incorrect : x.emf") << at;
        EXPECT_EQ(with(at, (1u << 20) + 1), "Métafichier incorrect : x.emf") << at;
        EXPECT_EQ(with(at, 1u << 20), "") << at;
    }
}

TEST(EmfCheck, RefusesRecordChainsThatDoNotEndInsideTheFile) {
    // The header alone: no end-of-file record.
    Bytes headerOnly = Emf().bytes();
    Put32(headerOnly, 48, 88);
    EXPECT_EQ(EmfError(headerOnly), kEmfDamaged);
    // The end-of-file record past the header's length.
    Bytes beyond = Emf().Finish();
    Put32(beyond, 48, static_cast<std::uint32_t>(beyond.size() - 20));
    EXPECT_EQ(EmfError(beyond), kEmfDamaged);

    Emf emf;
    const std::size_t move = emf.Add(kMoveTo, Words32({1, 1}));
    const Bytes good = emf.Finish();
    ASSERT_EQ(EmfError(good), "");
    // Record sizes that would not advance, break the 4-byte chain, run past
    // the end, or wrap a 32-bit offset back into the file.
    for (std::uint32_t size : {0u, 4u, 18u, static_cast<std::uint32_t>(good.size() - move + 4), 0xFFFFFFFCu}) {
        Bytes b = good;
        Put32(b, move + 4, size);
        EXPECT_EQ(EmfError(b), kEmfDamaged) << size;
    }
    // Cut short anywhere: refused, whatever the cut falls on.
    for (std::size_t n = 0; n < good.size(); ++n)
        ASSERT_NE(EmfError(Bytes(good.begin(), good.begin() + n)), "") << n;
}

TEST(EmfCheck, RefusesCountsAndOffsetsThatLeaveTheirRecord) {
    // Points: the count against the record, and counts whose byte size
    // wraps 32 bits.
    EXPECT_EQ(EmfWith(kPolyline, Concat(Bounds(), Words32({2, 0, 0, 1, 1}))), "");
    EXPECT_EQ(EmfWith(kPolyline, Concat(Bounds(), Words32({3, 0, 0, 1, 1}))), kEmfDamaged);
    EXPECT_EQ(EmfWith(kPolyline, Concat(Bounds(), Words32({0x20000000u, 0, 0, 1, 1}))), kEmfDamaged);
    EXPECT_EQ(EmfWith(kPolyline16, Concat(Bounds(), Words32({0x40000000u, 0}))), kEmfDamaged);
    // Poly-polygons: the counts of the polygons add up to no more than the points.
    EXPECT_EQ(EmfWith(kPolyPolygon, Concat(Bounds(), Words32({2, 4, 3, 2, 0, 0, 1, 1, 2, 2, 3, 3}))), kEmfDamaged);
    EXPECT_EQ(EmfWith(kPolyPolygon, Concat(Bounds(), Words32({0x40000000u, 0}))), kEmfDamaged);

    // Text: the string and the widths inside the record.
    auto text = [](std::uint32_t chars, std::uint32_t offString, std::uint32_t options, std::uint32_t offDx) {
        Bytes b = Concat(Bounds(), Words32({1, 0, 0, 5, 5, chars, offString, options, 0, 0, 0, 0, offDx}));
        return EmfWith(kExtTextOutW, Concat(b, Words32({0x00620061, 0x00000063, 8, 8, 8, 8, 8, 8})));
    };
    EXPECT_EQ(text(3, 76, 0, 84), "");
    EXPECT_EQ(text(3, 76, 0x2000, 84), "");  // ETO_PDY: pairs of widths, 24 bytes
    EXPECT_EQ(text(3, 76, 0, 0), "");        // no widths
    EXPECT_EQ(text(3, 104, 0, 84), kEmfDamaged);
    EXPECT_EQ(text(0x80000000u, 76, 0, 0), kEmfDamaged);  // 2^32 bytes of string
    EXPECT_EQ(text(3, 76, 0, 100), kEmfDamaged);
    EXPECT_EQ(text(6, 76, 0x2000, 84), kEmfDamaged);
    // Many strings: 40 bytes each, the count wrapping 32 bits.
    EXPECT_EQ(EmfWith(kPolyTextOutW, Concat(Bounds(), Words32({1, 0, 0, 0x06666667u}))), kEmfDamaged);
    auto smallText = [](std::uint32_t chars, std::uint32_t options) {
        Bytes b = Words32({5, 5, chars, options, 1, 0, 0});
        if (!(options & 0x100)) b = Concat(b, Bounds());
        return EmfWith(kSmallTextOut, Concat(b, Bytes(8, 'a')));
    };
    EXPECT_EQ(smallText(4, 0), "");          // 16-bit characters
    EXPECT_EQ(smallText(8, 0x300), "");      // ETO_NO_RECT, ETO_SMALL_CHARS
    EXPECT_EQ(smallText(5, 0), kEmfDamaged);
    EXPECT_EQ(smallText(8, 0x100), kEmfDamaged);

    // Comments, palettes and regions hold what they count.
    EXPECT_EQ(EmfWith(kGdiComment, Concat(Words32({9}), Bytes(8, 'c'))), kEmfDamaged);
    EXPECT_EQ(EmfWith(kGdiComment, Concat(Words32({0xFFFFFFFFu}), Bytes(8, 'c'))), kEmfDamaged);
    EXPECT_EQ(EmfWith(kCreatePalette, Words32({1, 0x00020300, 0, 0})), "");
    EXPECT_EQ(EmfWith(kCreatePalette, Words32({1, 0x00030300, 0, 0})), kEmfDamaged);
    auto region = [](std::uint32_t cbData, std::uint32_t rects) {
        Bytes b = Concat(Bounds(), Words32({cbData, 1, 32, 1, rects, 16, 0, 0, 10, 10}));
        return EmfWith(kFillRgn, Concat(b, Words32({0, 0, 10, 10})));
    };
    EXPECT_EQ(region(48, 1), "");
    EXPECT_EQ(region(48, 2), kEmfDamaged);
    EXPECT_EQ(region(64, 1), kEmfDamaged);
    EXPECT_EQ(region(48, 0x10000000u), kEmfDamaged);  // 16 bytes each: 2^32
    EXPECT_EQ(region(16, 0), kEmfDamaged);            // shorter than its header
    EXPECT_EQ(EmfWith(kExtSelectClip, Words32({0, 5})), "");  // no region: clipping removed
    EXPECT_EQ(EmfWith(kExtSelectClip, Words32({16, 5, 32, 1, 0, 0})), kEmfDamaged);
}

TEST(EmfCheck, RefusesHandleIndexesOutsideTheTable) {
    // Three slots: 0 is the metafile's own, 1 and 2 can hold objects.
    EXPECT_EQ(EmfWith(kCreateBrush, Words32({2, 0, 0, 0})), "");
    for (std::uint32_t index : {0u, 3u, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_EQ(EmfWith(kCreateBrush, Words32({index, 0, 0, 0})), kEmfDamaged) << index;
    EXPECT_EQ(EmfWith(kDelete, Words32({0})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kDelete, Words32({3})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kSetColorSpace, Words32({7})), kEmfDamaged);
    // Selections may name stock objects, up to DC_PEN.
    EXPECT_EQ(EmfWith(kSelect, Words32({2})), "");
    EXPECT_EQ(EmfWith(kSelect, Words32({0x80000000u})), "");
    EXPECT_EQ(EmfWith(kSelect, Words32({3})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kSelect, Words32({0x80000000u | 20})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kSelect, {}), kEmfDamaged);  // no index at all
    // Region brushes are table entries as they are: no stock objects.
    auto fill = [](std::uint32_t brush) {
        return EmfWith(kFillRgn, Concat(Bounds(), Words32({0, brush})));
    };
    EXPECT_EQ(fill(2), "");
    EXPECT_EQ(fill(3), kEmfDamaged);
    EXPECT_EQ(fill(0x80000000u), kEmfDamaged);

    // The table has nHandles slots, however many records the file holds.
    Emf many(2);
    for (int i = 0; i < 12; ++i) many.Add(kMoveTo, Words32({1, 1}));
    many.Add(kCreateBrush, Words32({1, 0, 0, 0}));
    EXPECT_EQ(EmfError(many.Finish()), "");
    many.Add(kCreateBrush, Words32({5, 0, 0, 0}));
    EXPECT_EQ(EmfError(many.Finish()), kEmfDamaged);
}

TEST(EmfCheck, RefusesCoordinatesAndSizesGdiCannotDrawWith) {
    constexpr std::uint32_t kLimit = 1u << 27;
    EXPECT_EQ(EmfWith(kRectangle, Words32({0u - kLimit, 0, kLimit, 10})), "");
    EXPECT_EQ(EmfWith(kRectangle, Words32({0, 0, kLimit + 1, 10})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kRectangle, Words32({0, 0, 10})), kEmfDamaged);  // a corner missing
    EXPECT_EQ(EmfWith(kMoveTo, Words32({0u - kLimit - 1, 0})), kEmfDamaged);
    // Bounds in order; empty ones are (0, 0, -1, -1).
    EXPECT_EQ(EmfWith(kPolyline, Words32({0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 0, 0})), "");
    EXPECT_EQ(EmfWith(kPolyline, Words32({10, 0, 5, 5, 1, 0, 0})), kEmfDamaged);
    // Pen widths.
    EXPECT_EQ(EmfWith(kCreatePen, Words32({1, 0, 1u << 20, 0, 0})), "");
    EXPECT_EQ(EmfWith(kCreatePen, Words32({1, 0, (1u << 20) + 1, 0, 0})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kCreatePen, Words32({1, 0, 0xFFFFFFFFu, 0, 0})), kEmfDamaged);
    auto extPen = [](std::uint32_t width, std::uint32_t styles) {
        return EmfWith(kExtCreatePen, Words32({1, 0, 0, 0, 0, 0x200, width, 0, 0, 0, styles, 4, 4}));
    };
    EXPECT_EQ(extPen(3, 2), "");
    EXPECT_EQ(extPen((1u << 20) + 1, 2), kEmfDamaged);
    EXPECT_EQ(extPen(3, 3), kEmfDamaged);            // style entries past the record
    EXPECT_EQ(extPen(3, 0x40000000u), kEmfDamaged);  // 4 bytes each: 2^32
    // The stroke of a framed region.
    auto frame = [](std::uint32_t w, std::uint32_t h) {
        return EmfWith(kFrameRgn, Concat(Bounds(), Words32({0, 1, w, h})));
    };
    EXPECT_EQ(frame(4096, 4096), "");
    EXPECT_EQ(frame(4097, 1), kEmfDamaged);
    EXPECT_EQ(frame(1, 0xFFFFFFFFu), kEmfDamaged);
}

TEST(EmfCheck, EmbeddedBitmapsLieInsideTheirRecordAndAreWhole) {
    const Bytes dib = PackedDib();
    auto blt = [&](std::uint32_t offBmi, std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits,
                   const Bytes& bitmap) { return EmfWith(kBitBlt, BitBltBody(offBmi, cbBmi, offBits, cbBits, bitmap)); };
    EXPECT_EQ(blt(100, kDibHeader, 100 + kDibHeader, kDibBits, dib), "");
    EXPECT_EQ(blt(0, 0, 0, 0, {}), "");  // no source bitmap
    EXPECT_EQ(blt(0x11000000u, kDibHeader, 100 + kDibHeader, kDibBits, dib), kEmfDamaged);
    EXPECT_EQ(blt(100, kDibHeader, 100 + kDibHeader, kDibBits + 4, dib), kEmfDamaged);
    EXPECT_EQ(blt(100, kDibHeader, 0xFFFFFFF0u, 0x20, dib), kEmfDamaged);  // wraps 32 bits
    EXPECT_EQ(blt(100, 0, 0, 0, dib), kEmfDamaged);  // a header offset with no header
    EXPECT_EQ(blt(100, kDibHeader, 100 + kDibHeader, kDibBits, PackedDib(3)), kEmfDamaged);  // rows missing
    EXPECT_EQ(blt(100, kDibHeader, 100 + kDibHeader, kDibBits, PackedDib(2, 7)), kEmfDamaged);  // no such depth
    // Shorter than its own fields.
    Bytes cut = BitBltBody(0, 0, 0, 0, {});
    cut.resize(84);
    EXPECT_EQ(EmfWith(kBitBlt, cut), kEmfDamaged);

    // The same rule in the other records that carry bitmaps.
    auto stretch = [&](std::uint32_t offBits) {
        Bytes b = Concat(Bounds(), Words32({0, 0, 0, 0, 2, 2, 80, kDibHeader, offBits, kDibBits, 0, 0x00CC0020u, 2, 2}));
        return EmfWith(kStretchDiBits, Concat(b, dib));
    };
    EXPECT_EQ(stretch(80 + kDibHeader), "");
    EXPECT_EQ(stretch(80 + kDibHeader + 4), kEmfDamaged);
    auto mask = [&](std::uint32_t offBitsMask) {
        Bytes b = BitBltBody(128, kDibHeader, 128 + kDibHeader, kDibBits, {});
        b = Concat(b, Words32({0, 0, 0, 128, kDibHeader, offBitsMask, kDibBits}));
        return EmfWith(kMaskBlt, Concat(b, dib));
    };
    EXPECT_EQ(mask(128 + kDibHeader), "");
    EXPECT_EQ(mask(0x7FFFFFFFu), kEmfDamaged);
    auto brush = [&](std::uint32_t cbBmi) {
        return EmfWith(kDibPatternBrush, Concat(Words32({1, 0, 32, cbBmi, 32 + kDibHeader, kDibBits}), dib));
    };
    EXPECT_EQ(brush(kDibHeader), "");
    EXPECT_EQ(brush(0), kEmfDamaged);  // a pattern brush needs its bitmap
    EXPECT_EQ(brush(kDibHeader + 40), kEmfDamaged);
}

TEST(EmfCheck, AcceptsSoundRecordsOfEveryFamily) {
    const Bytes every = metafile_seeds::EveryEmfRecord();
    EXPECT_EQ(EmfError(every), "");
    EXPECT_EQ(EmfError(metafile_seeds::GradientFillEmf(1)), "");
}

TEST(EmfCheck, RefusesTypesWithoutARuleAndValuesThePlayerCannotUse) {
    // A fill claiming four million vertices with one present: the player
    // would read them all.
    EXPECT_EQ(EmfError(metafile_seeds::GradientFillEmf(1u << 22)), kEmfDamaged);
    const Bytes triangle = Concat(Bounds(), Words32({3, 1, 2, 0, 0, 0, 0, 9, 9, 0, 0, 0, 9, 0, 0}));
    EXPECT_EQ(EmfWith(118, Concat(triangle, Words32({0, 1, 2}))), "");
    EXPECT_EQ(EmfWith(118, Concat(triangle, Words32({0, 1, 3}))), kEmfDamaged);  // no fourth vertex
    // No rule: unused, OpenGL and escape types, a second header.
    for (std::uint32_t type : {69u, 102u, 105u, 1u, 123u}) EXPECT_EQ(EmfWith(type, Words32({0})), kEmfDamaged) << type;
    // Fixed records are their size.
    EXPECT_EQ(EmfWith(kMoveTo, Words32({1, 1, 0})), kEmfDamaged);
    // Brushes the player would make from a pointer it does not have.
    EXPECT_EQ(EmfWith(kCreateBrush, Words32({1, 6, 0, 0})), kEmfDamaged);  // BS_DIBPATTERNPT
    EXPECT_EQ(EmfWith(kCreateBrush, Words32({1, 2, 0, 6})), kEmfDamaged);  // no such hatch
    // Extents it divides by, transforms and angles it computes with.
    EXPECT_EQ(EmfWith(kSetWindowExt, Words32({0, 30})), kEmfDamaged);
    const std::uint32_t one = 0x3F800000u, nan = 0x7FC00000u, huge = 0x7149F2CAu;  // 1, NaN, 1e30
    EXPECT_EQ(EmfWith(35, Words32({one, 0, 0, one, 0, 0})), "");
    EXPECT_EQ(EmfWith(35, Words32({nan, 0, 0, one, 0, 0})), kEmfDamaged);
    EXPECT_EQ(EmfWith(35, Words32({one, 0, 0, one, huge, 0})), kEmfDamaged);
    EXPECT_EQ(EmfWith(41, Words32({5, 5, 5, 0, huge})), kEmfDamaged);
    EXPECT_EQ(EmfWith(41, Words32({5, 5, 0x80000000u, 0, one})), kEmfDamaged);  // radius
    // Fonts, palettes, widths of text.
    Bytes font = Concat(Words32({1, 1u << 20}), Bytes(88, 0));
    EXPECT_EQ(EmfWith(82, font), kEmfDamaged);
    Put32(font, 4, 0xFFFFFFF4u);
    EXPECT_EQ(EmfWith(82, font), "");
    EXPECT_EQ(EmfWith(50, Words32({1, 1000, 25, 0})), kEmfDamaged);  // entries past 1024
    // Sizes the player draws whole are bounded in device pixels: through the
    // largest magnification the mapping has given before them.
    auto magnified = [&](std::uint32_t viewport, std::uint32_t type, const Bytes& body) {
        Emf emf;
        emf.Add(17, Words32({8}));  // MM_ANISOTROPIC
        emf.Add(kSetWindowExt, Words32({1, 1}));
        emf.Add(11, Words32({viewport, viewport}));
        emf.Add(kSetWindowExt, Words32({viewport, viewport}));  // back to 1:1, too late
        emf.Add(type, body);
        return EmfError(emf.Finish());
    };
    EXPECT_EQ(magnified(1, 82, font), "");
    EXPECT_EQ(magnified(1000, 82, font), kEmfDamaged);  // 12 units, 12000 pixels
    EXPECT_EQ(magnified(1, 42, Words32({0, 0, 40000, 30})), "");
    EXPECT_EQ(magnified(2, 42, Words32({0, 0, 40000, 30})), kEmfDamaged);
    EXPECT_EQ(EmfWith(42, Words32({0, 0, 70000, 30})), kEmfDamaged);
    auto widths = [](std::uint32_t dx) {
        Bytes b = Concat(Bounds(), Words32({1, 0, 0, 5, 5, 2, 76, 0, 0, 0, 0, 0, 80}));
        return EmfWith(kExtTextOutW, Concat(b, Words32({0x00620061, dx, dx})));
    };
    EXPECT_EQ(widths(8), "");
    EXPECT_EQ(widths((1u << 26) + 1), kEmfDamaged);  // together past the coordinates
    // Regions of rectangles only, all inside the coordinates.
    EXPECT_EQ(EmfWith(kExtSelectClip, Words32({48, 5, 32, 1, 1, 16, 0, 0, 9, 9, 0, 0, 9, 9})), "");
    EXPECT_EQ(EmfWith(kExtSelectClip, Words32({48, 5, 32, 1, 1, 16, 0, 0, 9, 9, 0, 0, 1u << 28, 9})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kExtSelectClip, Words32({48, 5, 32, 2, 1, 16, 0, 0, 9, 9, 0, 0, 9, 9})), kEmfDamaged);
    // Path points: Bézier points in threes.
    EXPECT_EQ(EmfWith(56, Concat(Bounds(), Concat(Words32({2, 0, 0, 5, 5}), Bytes{6, 4}))), kEmfDamaged);
    // Comments: EMF+ records and public comments inside the comment.
    EXPECT_EQ(EmfWith(kGdiComment, Words32({16, 0x2B464D45u, 0x4001, 12, 0})), "");
    EXPECT_EQ(EmfWith(kGdiComment, Words32({16, 0x2B464D45u, 0x4001, 16, 0})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kGdiComment, Words32({16, 0x2B464D45u, 0x4001, 12, 4})), kEmfDamaged);
    EXPECT_EQ(EmfWith(kGdiComment, Words32({44, 0x43494447u, 0x40000004u, 0, 0, 9, 9, 1, 1, 1, 4, 40})), "");
    EXPECT_EQ(EmfWith(kGdiComment, Words32({44, 0x43494447u, 0x40000004u, 0, 0, 9, 9, 1, 1, 1, 8, 40})), kEmfDamaged);
    // The mask of a masked copy is not optional; a blend copies no more
    // than its bitmap holds.
    const Bytes dib = PackedDib();
    Bytes noMask = Concat(BitBltBody(128, kDibHeader, 128 + kDibHeader, kDibBits, {}), Words32({0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(EmfWith(kMaskBlt, Concat(noMask, dib)), kEmfDamaged);
    auto blend = [&](std::uint32_t cbBits) {
        Bytes b = Concat(BitBltBody(108, kDibHeader, 108 + kDibHeader, cbBits, {}), Words32({2, 2}));
        return EmfWith(114, Concat(Concat(b, dib), Bytes(8, 0)));
    };
    EXPECT_EQ(blend(kDibBits), "");
    EXPECT_EQ(blend(kDibBits + 8), kEmfDamaged);
    // The header's description inside the header.
    Bytes described = Emf().Finish();
    Put32(described, 60, 4), Put32(described, 64, 80);
    EXPECT_EQ(EmfError(described), "Métafichier incorrect : x.emf");
}

// ---- Windows metafiles ----------------------------------------------------------

// Functions of Windows metafile records used below.
enum : std::uint16_t {
    kMetaSelect = 0x012D, kMetaDelete = 0x01F0, kMetaSetWindowOrg = 0x020B, kMetaSetWindowExt = 0x020C,
    kMetaFillRegion = 0x0228, kMetaCreateBrush = 0x02FC, kMetaPolygon = 0x0324, kMetaRectangle = 0x041B,
    kMetaFrameRegion = 0x0429, kMetaTextOut = 0x0521, kMetaPolyPolygon = 0x0538, kMetaEscape = 0x0626,
    kMetaCreateRegion = 0x06FF, kMetaExtTextOut = 0x0A32, kMetaDibBitBlt = 0x0940, kMetaCreatePalette = 0x00F7,
    kMetaDibPatternBrush = 0x0142, kMetaSetDibToDev = 0x0D33, kMetaStretchDib = 0x0F43,
};

using Words = std::vector<std::uint16_t>;

Words WordsOf(const Bytes& b) {
    Words w;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) w.push_back(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
    return w;
}
Words Join(Words a, const Words& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Wmf {
public:
    explicit Wmf(std::uint16_t objects = 2) : bytes_(18, 0) {
        Put16(bytes_, 0, 1), Put16(bytes_, 2, 9), Put16(bytes_, 4, 0x300), Put16(bytes_, 10, objects);
    }
    Wmf& Add(std::uint16_t function, const Words& params) {
        Add32(bytes_, static_cast<std::uint32_t>(3 + params.size()));
        Add16(bytes_, function);
        for (std::uint16_t w : params) Add16(bytes_, w);
        return *this;
    }
    Bytes Finish() const {
        Bytes b = bytes_;
        Add32(b, 3), Add16(b, 0);
        Put32(b, 6, static_cast<std::uint32_t>(b.size() / 2));
        return b;
    }
    // Finish() behind a placeable header: the box in logical units, and
    // how many units make an inch.
    Bytes Placeable(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b, std::uint16_t inch) const {
        Bytes h(22, 0);
        Put32(h, 0, 0x9AC6CDD7u);
        Put16(h, 6, static_cast<std::uint16_t>(l)), Put16(h, 8, static_cast<std::uint16_t>(t));
        Put16(h, 10, static_cast<std::uint16_t>(r)), Put16(h, 12, static_cast<std::uint16_t>(b)), Put16(h, 14, inch);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) sum ^= static_cast<std::uint16_t>(h[2 * i] | (h[2 * i + 1] << 8));
        Put16(h, 20, sum);
        return Concat(h, Finish());
    }

private:
    Bytes bytes_;
};

std::string WmfError(const Bytes& b, int dpi = 96) {
    try {
        CheckWmf(ByteReader(b.data(), b.size()), "x.wmf", dpi);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

const std::string kWmfDamaged = "Métafichier incorrect ou tronqué : x.wmf";

// One record after a window extent, in an otherwise sound metafile.
std::string WmfWith(std::uint16_t function, const Words& params, std::uint16_t objects = 2) {
    return WmfError(Wmf(objects).Add(kMetaSetWindowExt, {100, 200}).Add(function, params).Finish());
}

WmfInfo CheckedWmf(const Bytes& b, int dpi = 96) { return CheckWmf(ByteReader(b.data(), b.size()), "x.wmf", dpi); }

TEST(WmfCheck, AcceptsSoundMetafilesWithAndWithoutPlaceableHeader) {
    Wmf wmf(2);
    wmf.Add(kMetaSetWindowOrg, {0, 0}).Add(kMetaSetWindowExt, {100, 200});
    wmf.Add(kMetaCreateBrush, {0, 0x00FF, 0, 0}).Add(kMetaSelect, {0}).Add(kMetaRectangle, {100, 101, 0, 0});
    wmf.Add(kMetaPolygon, {3, 0, 0, 10, 0, 10, 10});
    wmf.Add(kMetaPolyPolygon, {2, 3, 3, 0, 0, 1, 0, 1, 1, 5, 5, 6, 5, 6, 6});
    wmf.Add(kMetaTextOut, {3, 0x6261, 0x0063, 10, 10});
    wmf.Add(kMetaExtTextOut, {10, 10, 3, 6, 0, 0, 50, 20, 0x6261, 0x0063});  // clipped and opaque: a rectangle
    wmf.Add(kMetaStretchDib, Join({0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}, WordsOf(PackedDib())));
    wmf.Add(kMetaDibBitBlt, {0x0020, 0x00CC, 0, 0, 0, 2, 2, 0, 0});  // a pattern fill, no bitmap
    wmf.Add(kMetaCreateRegion, {0, 6, 0, 0, 0, 1, 0, 0, 0, 10, 10, 2, 0, 5, 0, 10, 2});
    wmf.Add(kMetaDelete, {0});

    const Bytes plain = wmf.Finish();
    const WmfInfo info = CheckedWmf(plain);
    EXPECT_FALSE(info.placeable);
    EXPECT_EQ(info.offset, 0u);
    EXPECT_EQ(info.bytes, plain.size());
    EXPECT_EQ(info.natural.width, 200);  // the window extent
    EXPECT_EQ(info.natural.height, 100);

    // The placeable header's box at the screen's resolution: 200 x 100
    // units at 192 a inch.
    const Bytes placed = wmf.Placeable(0, 0, 200, 100, 192);
    const WmfInfo at96 = CheckedWmf(placed);
    EXPECT_TRUE(at96.placeable);
    EXPECT_EQ(at96.offset, 22u);
    EXPECT_EQ(at96.bytes, placed.size() - 22);
    EXPECT_EQ(at96.natural.width, 100);
    EXPECT_EQ(at96.natural.height, 50);
    const WmfInfo at144 = CheckedWmf(placed, 144);
    EXPECT_EQ(at144.natural.width, 150);
    EXPECT_EQ(at144.natural.height, 75);
    // A box given right to left, and rounding to the nearest pixel.
    const WmfInfo reversed = CheckedWmf(wmf.Placeable(200, 100, 0, 0, 192));
    EXPECT_EQ(reversed.natural.width, 100);
    const WmfInfo rounded = CheckedWmf(wmf.Placeable(-1, -1, 2, 4, 192));
    EXPECT_EQ(rounded.natural.width, 2);  // 1.5 pixels
    EXPECT_EQ(rounded.natural.height, 3);  // 2.5 pixels
}

TEST(WmfCheck, NaturalSizeAndItsLimits) {
    // The last extent set counts, whatever its sign.
    const Bytes twice = Wmf().Add(kMetaSetWindowExt, {10, 20}).Add(kMetaSetWindowExt, {0xFFCE, 0xFF9C}).Finish();
    EXPECT_EQ(CheckedWmf(twice).natural.width, 100);
    EXPECT_EQ(CheckedWmf(twice).natural.height, 50);
    // No extent, no placeable header: nothing says how large it is.
    EXPECT_EQ(WmfError(Wmf().Add(kMetaRectangle, {10, 10, 0, 0}).Finish()),
              "Le métafichier x.wmf n'a pas de dimensions");
    EXPECT_EQ(WmfError(Wmf().Placeable(5, 5, 5, 40, 96)), "Le métafichier x.wmf n'a pas de dimensions");
    EXPECT_EQ(WmfError(Wmf().Placeable(0, 0, 100, 100, 0)), "Métafichier incorrect : x.wmf");
    // 32000 inches square.
    EXPECT_EQ(WmfError(Wmf().Placeable(0, 0, 32000, 32000, 1)), "Image trop grande (3072000 x 3072000 pixels)");
}

TEST(WmfCheck, RefusesHeadersAndChainsThatDoNotHold) {
    const Bytes good = Wmf().Add(kMetaSetWindowExt, {100, 200}).Finish();
    ASSERT_EQ(WmfError(good), "");
    const std::string notWmf = "Le fichier x.wmf n'est pas un métafichier Windows";
    auto with = [&](std::size_t at, std::uint16_t v) {
        Bytes b = good;
        Put16(b, at, v);
        return WmfError(b);
    };
    EXPECT_EQ(with(0, 3), notWmf);  // neither in memory nor on disk
    EXPECT_EQ(with(2, 8), notWmf);  // header of another size
    EXPECT_EQ(WmfError({}), kWmfDamaged);
    EXPECT_EQ(WmfError(Bytes(good.begin(), good.begin() + 17)), kWmfDamaged);
    const Bytes placed = Wmf().Placeable(0, 0, 10, 10, 96);
    EXPECT_EQ(WmfError(Bytes(placed.begin(), placed.begin() + 39)), kWmfDamaged);

    // Record sizes (in 16-bit words) that would not advance, run past the
    // end, or wrap an offset.
    constexpr std::size_t kFirst = 18;
    for (std::uint32_t words : {0u, 2u, static_cast<std::uint32_t>(good.size() / 2), 0x80000000u, 0xFFFFFFFFu}) {
        Bytes b = good;
        Put32(b, kFirst, words);
        EXPECT_EQ(WmfError(b), kWmfDamaged) << words;
    }
    // No end record.
    EXPECT_EQ(WmfError(Bytes(good.begin(), good.end() - 6)), kWmfDamaged);
    for (std::size_t n = 0; n < placed.size(); ++n)
        ASSERT_NE(WmfError(Bytes(placed.begin(), placed.begin() + n)), "") << n;
}

TEST(WmfCheck, RefusesObjectIndexesOutsideTheTable) {
    EXPECT_EQ(WmfWith(kMetaSelect, {1}), "");
    EXPECT_EQ(WmfWith(kMetaSelect, {2}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaSelect, {0x8000}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaSelect, {}), kWmfDamaged);  // no index at all
    EXPECT_EQ(WmfWith(kMetaDelete, {7}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaSelect, {0}, 0), kWmfDamaged);  // a file without objects
    EXPECT_EQ(WmfWith(kMetaFillRegion, {0, 1}), "");
    EXPECT_EQ(WmfWith(kMetaFillRegion, {0, 2}), kWmfDamaged);
    // Which two words are the stroke depends on the player: all four are
    // indexes and strokes.
    EXPECT_EQ(WmfWith(kMetaFrameRegion, {0, 1, 1, 0}), "");
    EXPECT_EQ(WmfWith(kMetaFrameRegion, {0, 1, 4096, 4096}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaFrameRegion, {0, 1, 4097, 1}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaFrameRegion, {1, 3, 1, 1}), kWmfDamaged);
}

TEST(WmfCheck, RefusesCountsThatLeaveTheirRecord) {
    EXPECT_EQ(WmfWith(kMetaPolygon, {3, 0, 0, 1, 1}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaPolyPolygon, {2, 3, 3, 0, 0, 1, 0, 1, 1, 5, 5, 6, 5}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaPolyPolygon, {0xFFFF, 1}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaTextOut, {4, 0x6261, 0x6463, 10}), kWmfDamaged);  // x missing
    EXPECT_EQ(WmfWith(kMetaExtTextOut, {10, 10, 3, 0, 0x6261, 0x0063}), "");
    EXPECT_EQ(WmfWith(kMetaExtTextOut, {10, 10, 3, 2, 0x6261, 0x0063}), kWmfDamaged);  // the rectangle eats the text
    EXPECT_EQ(WmfWith(kMetaEscape, {15, 4, 1, 2}), "");
    EXPECT_EQ(WmfWith(kMetaEscape, {15, 5, 1, 2}), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaCreatePalette, {0x300, 1, 0, 0}), "");
    EXPECT_EQ(WmfWith(kMetaCreatePalette, {0x300, 2, 0, 0}), kWmfDamaged);
    // Regions: scans, each with its edges, inside the record.
    const Words head = {0, 6, 0, 0, 0, 0, 0, 0, 0, 10, 10};  // scan count at the sixth word
    auto region = [&](std::uint16_t scans, const Words& scanWords) {
        Words w = head;
        w[5] = scans;
        return WmfWith(kMetaCreateRegion, Join(w, scanWords));
    };
    EXPECT_EQ(region(1, {2, 0, 5, 0, 10, 2}), "");
    EXPECT_EQ(region(2, {2, 0, 5, 0, 10, 2}), kWmfDamaged);
    EXPECT_EQ(region(1, {4, 0, 5, 0, 10, 2}), kWmfDamaged);
    EXPECT_EQ(region(1, {0xFFFF, 0, 5}), kWmfDamaged);
}

TEST(WmfCheck, AcceptsSoundRecordsOfEveryFunctionAndRefusesTheRest) {
    EXPECT_EQ(WmfError(metafile_seeds::EveryWmfRecord().Finish()), "");
    EXPECT_EQ(WmfError(metafile_seeds::EveryWmfRecord().Placeable()), "");
    // No rule: device-dependent bitmaps whose sizes the player trusts.
    EXPECT_EQ(WmfWith(0x0922, {0, 0, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1}), kWmfDamaged);  // BITBLT
    EXPECT_EQ(WmfWith(0x01F9, {3, 0, 0, 2, 2, 1, 1}), kWmfDamaged);                // CREATEPATTERNBRUSH
    // A stretched copy without its bitmap: the player reads one anyway.
    EXPECT_EQ(WmfWith(0x0B41, {0x0020, 0x00CC, 2, 2, 0, 0, 2, 2, 0, 0, 0}), kWmfDamaged);
    EXPECT_EQ(WmfWith(0x02FC, {6, 0, 0, 0}), kWmfDamaged);  // a brush from a pointer
    EXPECT_EQ(WmfWith(0x0538, {2, 0xFFFF, 1, 0, 0}), kWmfDamaged);  // a negative point count
    // The palette the player selects is read from the word after the index.
    EXPECT_EQ(WmfError(Wmf(2).Add(kMetaSetWindowExt, {1, 1}).Add(0x0234, {0}).Add(0x0035, {}).Finish()), kWmfDamaged);
    EXPECT_EQ(WmfError(Wmf(4).Add(kMetaSetWindowExt, {1, 1}).Add(0x0234, {0}).Add(0x0035, {}).Finish()), "");
    // A font's face name is copied whole: not past the metafile.
    EXPECT_EQ(WmfError(Wmf().Add(kMetaSetWindowExt, {1, 1}).Add(0x02FB, Words(9, 0)).Finish()), kWmfDamaged);
}

TEST(WmfCheck, EmbeddedBitmapsAreWhole) {
    const Words dib = WordsOf(PackedDib());
    const Words stretchHead = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0};
    EXPECT_EQ(WmfWith(kMetaStretchDib, Join(stretchHead, dib)), "");
    EXPECT_EQ(WmfWith(kMetaStretchDib, Join(stretchHead, WordsOf(PackedDib(3)))), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaStretchDib, Join(stretchHead, WordsOf(PackedDib(2, 24, 8)))), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaStretchDib, stretchHead), kWmfDamaged);  // no bitmap at all
    // A header larger than what follows.
    Bytes bigHeader = PackedDib();
    Put32(bigHeader, 0, 0x7FFFFFFFu);
    EXPECT_EQ(WmfWith(kMetaDibPatternBrush, Join({0, 0}, WordsOf(bigHeader))), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaDibPatternBrush, Join({0, 0}, dib)), "");
    // A palette beyond the record: 8 bits, 256 colours.
    EXPECT_EQ(WmfWith(kMetaDibPatternBrush, Join({0, 0}, WordsOf(PackedDib(2, 8)))), kWmfDamaged);
    EXPECT_EQ(WmfWith(kMetaDibBitBlt, Join({0x0020, 0x00CC, 0, 0, 2, 2, 0, 0}, WordsOf(PackedDib(5)))), kWmfDamaged);
    // The scan lines set must exist: start + count within the height.
    auto toDevice = [&](std::uint16_t count, std::uint16_t start) {
        return WmfWith(kMetaSetDibToDev, Join({0, count, start, 0, 0, 2, 2, 0, 0}, dib));
    };
    EXPECT_EQ(toDevice(1, 1), "");
    EXPECT_EQ(toDevice(2, 1), kWmfDamaged);
    EXPECT_EQ(toDevice(0xFFFF, 0xFFFF), kWmfDamaged);
}

}  // namespace
}  // namespace orvane
