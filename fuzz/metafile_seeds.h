#pragma once
// Sound metafiles built byte by byte: the metafile fuzz target's seeds, the
// core tests' sound records of every family, and the templates the
// Windows-side player test distorts. Header-only, no dependency.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace metafile_seeds {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Add(Bytes& b, std::initializer_list<std::uint32_t> values, int bytes) {
    for (std::uint32_t v : values) {
        b.resize(b.size() + bytes);
        Put(b, b.size() - bytes, v, bytes);
    }
}
inline Bytes W32(std::initializer_list<std::uint32_t> values) {
    Bytes b;
    Add(b, values, 4);
    return b;
}
inline Bytes W16(std::initializer_list<std::uint32_t> values) {
    Bytes b;
    Add(b, values, 2);
    return b;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline std::uint32_t FloatBits(float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
}
// Text bytes, padded with zeros to `size`.
inline Bytes Text(const std::string& s, std::size_t size) {
    Bytes b(s.begin(), s.end());
    b.resize(size, 0);
    return b;
}
inline Bytes Utf16(const std::string& ascii, std::size_t chars) {
    Bytes b;
    for (char ch : ascii) Add(b, {static_cast<std::uint8_t>(ch)}, 2);
    b.resize(chars * 2, 0);
    return b;
}

// 2 x 2 pixels: an info header, its colours, two rows padded to 4 bytes.
inline Bytes PackedDib(int bitsPerPixel = 24) {
    const std::uint32_t colours = bitsPerPixel == 1 ? 2 : 0;
    const std::uint32_t row = (2 * bitsPerPixel + 31) / 32 * 4;
    Bytes b = W32({40, 2, 2}) + W16({1, static_cast<std::uint32_t>(bitsPerPixel)}) +
              W32({0, 2 * row, 0, 0, colours, 0});
    if (colours) b = b + W32({0x000000, 0xFFFFFF});
    b.resize(b.size() + 2 * row, 0x7F);
    return b;
}
inline std::uint32_t DibHeaderBytes(int bitsPerPixel = 24) { return bitsPerPixel == 1 ? 48 : 40; }
inline std::uint32_t DibBitsBytes(int bitsPerPixel = 24) { return 2 * ((2 * bitsPerPixel + 31) / 32 * 4); }

// ---- enhanced metafiles ----------------------------------------------------------

// Header of a 40 x 30 pixel picture on a reference device of 4 pixels a
// millimetre, with `handles` slots in its handle table; records added by
// Record(), closed by Finish().
class EmfBuilder {
public:
    explicit EmfBuilder(std::uint16_t handles = 4) : b_(88, 0) {
        Put(b_, 0, 1, 4), Put(b_, 4, 88, 4), Put(b_, 16, 39, 4), Put(b_, 20, 29, 4);
        Put(b_, 32, 1000, 4), Put(b_, 36, 750, 4);
        Put(b_, 40, 0x464D4520u, 4), Put(b_, 44, 0x10000, 4), Put(b_, 56, handles, 2);
        Put(b_, 72, 1000, 4), Put(b_, 76, 1000, 4), Put(b_, 80, 250, 4), Put(b_, 84, 250, 4);
    }
    // A record of `type` whose fields after type and size are `body`, padded to 4 bytes.
    EmfBuilder& Record(std::uint32_t type, Bytes body) {
        body.resize((body.size() + 3) / 4 * 4, 0);
        Add(b_, {type, static_cast<std::uint32_t>(8 + body.size())}, 4);
        b_.insert(b_.end(), body.begin(), body.end());
        ++records_;
        return *this;
    }
    Bytes Finish() {
        Record(14, W32({0, 16, 20}));  // EOF
        Put(b_, 48, static_cast<std::uint32_t>(b_.size()), 4);
        Put(b_, 52, records_ + 1, 4);
        return b_;
    }

private:
    Bytes b_;
    std::uint32_t records_ = 0;
};

inline Bytes Bounds() { return W32({0, 0, 39, 29}); }
inline Bytes Identity() { return W32({FloatBits(1), 0, 0, FloatBits(1), 0, 0}); }
// RGNDATA of one rectangle.
inline Bytes OneRectRegion() { return W32({32, 1, 1, 16, 0, 0, 10, 10, 0, 0, 10, 10}); }
// EMRTEXT of three characters at `offString`, widths at `offDx`.
inline Bytes EmrText(std::uint32_t offString, std::uint32_t offDx) {
    return W32({5, 5, 3, offString, 0, 0, 0, 0, 0, offDx});
}
// The fields of a bit-block transfer up to the source bitmap's four.
inline Bytes BltHead(std::uint32_t rop) {
    return Bounds() + W32({0, 0, 2, 2, rop, 0, 0}) + Identity() + W32({0, 0});
}

// The 160-byte shape of a gradient fill: one vertex present and
// `vertices` claimed, no triangle or rectangle.
inline Bytes GradientFillEmf(std::uint32_t vertices) {
    return EmfBuilder(1).Record(118, Bounds() + W32({vertices, 0, 0}) + W32({5, 5}) + W16({0xFF00, 0, 0, 0})).Finish();
}

// A sound record of every kind the checks have a rule for, in an order a
// drawing program could write them.
inline Bytes EveryEmfRecord() {
    EmfBuilder e(4);
    const Bytes dib = PackedDib(), mono = PackedDib(1), dib32 = PackedDib(32);
    const std::uint32_t cbBmi = DibHeaderBytes(), cbBits = DibBitsBytes();
    // State and mapping.
    e.Record(17, W32({8})).Record(9, W32({40, 30})).Record(10, W32({0, 0})).Record(11, W32({40, 30}));
    e.Record(12, W32({0, 0})).Record(13, W32({0, 0})).Record(31, W32({1, 1, 1, 1})).Record(32, W32({1, 1, 1, 1}));
    e.Record(16, W32({0})).Record(18, W32({1})).Record(19, W32({2})).Record(20, W32({13})).Record(21, W32({3}));
    e.Record(22, W32({0})).Record(24, W32({0})).Record(25, W32({0xFFFFFF})).Record(57, W32({1}));
    e.Record(58, W32({FloatBits(10)})).Record(98, W32({1})).Record(115, W32({0})).Record(120, W32({0, 0}));
    e.Record(23, W16({24, 0, 0, 10000, 10000, 10000, 0, 10000, 0, 0, 0, 0})).Record(109, W32({0, 0}));
    e.Record(33, {}).Record(35, Identity()).Record(36, Identity() + W32({1})).Record(34, W32({0xFFFFFFFFu}));
    // Objects: pens, brushes, a font, a palette, a colour space.
    e.Record(38, W32({1, 0, 1, 0, 0xFF})).Record(37, W32({1})).Record(37, W32({0x80000000u | 19}));
    e.Record(39, W32({2, 2, 0xFF00, 3})).Record(37, W32({2}));
    e.Record(95, W32({3, 0, 0, 0, 0, 0x10007, 1, 0, 0xFF, 0, 2, 4, 4})).Record(40, W32({3}));
    e.Record(82, W32({3, 0xFFFFFFF4u, 0, 0, 0, 400, 0, 0}) + Utf16("Arial", 32)).Record(37, W32({3}));
    e.Record(49, W32({3, 0x00020300, 0xFF, 0xFF00})).Record(48, W32({3})).Record(52, {});
    e.Record(50, W32({3, 0, 1, 0xFF0000})).Record(51, W32({3, 4})).Record(111, W32({3, 0, 2, 0}));
    e.Record(48, W32({0x80000000u | 15})).Record(40, W32({3}));
    e.Record(99, W32({3, 0x50534F43u, 0x400, 328, 0x73524742u, 4}) + Bytes(308, 0));
    e.Record(100, W32({3})).Record(101, W32({3}));
    e.Record(93, W32({3, 0, 32, DibHeaderBytes(1), 32 + DibHeaderBytes(1), DibBitsBytes(1)}) + mono);
    e.Record(40, W32({3})).Record(94, W32({3, 0, 32, cbBmi, 32 + cbBmi, cbBits}) + dib).Record(37, W32({3}));
    // Shapes and lines.
    e.Record(27, W32({1, 1})).Record(54, W32({10, 10})).Record(15, W32({5, 5, 0xFF}));
    e.Record(42, W32({0, 0, 40, 30})).Record(43, W32({0, 0, 40, 30})).Record(44, W32({0, 0, 40, 30, 5, 5}));
    for (std::uint32_t arc : {45u, 46u, 47u, 55u}) e.Record(arc, W32({0, 0, 40, 30, 40, 15, 0, 15}));
    e.Record(41, W32({20, 15, 10, FloatBits(0), FloatBits(90)})).Record(53, W32({1, 1, 0, 1}));
    for (std::uint32_t poly : {2u, 5u}) e.Record(poly, Bounds() + W32({4, 0, 0, 10, 0, 10, 10, 20, 10}));
    for (std::uint32_t poly : {3u, 4u, 6u}) e.Record(poly, Bounds() + W32({3, 0, 0, 10, 0, 10, 10}));
    for (std::uint32_t poly : {7u, 8u}) e.Record(poly, Bounds() + W32({2, 4, 2, 2, 0, 0, 1, 1, 2, 2, 3, 3}));
    for (std::uint32_t poly : {85u, 88u}) e.Record(poly, Bounds() + W32({4}) + W16({0, 0, 10, 0, 10, 10, 20, 10}));
    for (std::uint32_t poly : {86u, 87u, 89u}) e.Record(poly, Bounds() + W32({3}) + W16({0, 0, 10, 0, 10, 10}));
    for (std::uint32_t poly : {90u, 91u}) e.Record(poly, Bounds() + W32({2, 4, 2, 2}) + W16({0, 0, 1, 1, 2, 2, 3, 3}));
    e.Record(56, Bounds() + W32({4, 0, 0, 10, 0, 10, 10, 0, 10}) + Bytes{6, 2, 2, 3});
    e.Record(92, Bounds() + W32({4}) + W16({0, 0, 10, 0, 10, 10, 0, 10}) + Bytes{6, 4, 4, 5});
    // Paths and clipping.
    e.Record(59, {}).Record(27, W32({0, 0})).Record(54, W32({9, 9})).Record(61, {}).Record(60, {});
    e.Record(65, {}).Record(66, {}).Record(63, Bounds()).Record(59, {}).Record(68, {});
    e.Record(59, {}).Record(54, W32({5, 5})).Record(60, {}).Record(62, Bounds());
    e.Record(59, {}).Record(54, W32({5, 5})).Record(60, {}).Record(64, Bounds());
    e.Record(59, {}).Record(54, W32({5, 5})).Record(60, {}).Record(67, W32({5}));
    e.Record(30, W32({0, 0, 40, 30})).Record(29, W32({1, 1, 2, 2})).Record(26, W32({1, 1})).Record(28, {});
    e.Record(75, W32({48, 1}) + OneRectRegion()).Record(75, W32({0, 5}));
    // Regions.
    e.Record(71, Bounds() + W32({48, 2}) + OneRectRegion());
    e.Record(72, Bounds() + W32({48, 2, 1, 1}) + OneRectRegion());
    e.Record(73, Bounds() + W32({48}) + OneRectRegion()).Record(74, Bounds() + W32({48}) + OneRectRegion());
    // Text.
    e.Record(83, Bounds() + W32({1, 0, 0}) + EmrText(76, 80) + Text("abc", 4) + W32({8, 8, 8}));
    e.Record(84, Bounds() + W32({1, 0, 0}) + EmrText(76, 84) + Utf16("abc", 4) + W32({8, 8, 8}));
    e.Record(96, Bounds() + W32({1, 0, 0, 1}) + EmrText(80, 84) + Text("abc", 4) + W32({8, 8, 8}));
    e.Record(97, Bounds() + W32({1, 0, 0, 1}) + EmrText(80, 88) + Utf16("abc", 4) + W32({8, 8, 8}));
    e.Record(108, W32({5, 5, 3, 0x300, 1, 0, 0}) + Text("abc", 4));
    e.Record(108, W32({5, 5, 3, 0, 1, 0, 0, 0, 0, 40, 30}) + Utf16("abc", 4));
    // Bitmaps.
    e.Record(76, BltHead(0x00CC0020u) + W32({100, cbBmi, 100 + cbBmi, cbBits}) + dib);
    e.Record(76, BltHead(0x00F00021u) + W32({0, 0, 0, 0}));
    e.Record(77, BltHead(0x00CC0020u) + W32({108, cbBmi, 108 + cbBmi, cbBits, 2, 2}) + dib);
    e.Record(116, BltHead(0x00FFFFFFu) + W32({108, cbBmi, 108 + cbBmi, cbBits, 2, 2}) + dib);
    e.Record(114, BltHead(0x0000FF01u) + W32({108, cbBmi, 108 + DibHeaderBytes(32), DibBitsBytes(32), 2, 2}) + dib32);
    e.Record(78, BltHead(0x00CC0020u) + W32({128, cbBmi, 128 + cbBmi, cbBits}) +
                     W32({0, 0, 0, 128, cbBmi, 128 + cbBmi, cbBits}) + dib);
    e.Record(79, Bounds() + W32({0, 0, 2, 0, 0, 2, 0, 0, 2, 2}) + Identity() +
                     W32({0, 0, 140, cbBmi, 140 + cbBmi, cbBits, 0, 0, 0, 140, cbBmi, 140 + cbBmi, cbBits}) + dib);
    e.Record(80, Bounds() + W32({0, 0, 0, 0, 2, 2, 76, cbBmi, 76 + cbBmi, cbBits, 0, 0, 2}) + dib);
    e.Record(81, Bounds() + W32({0, 0, 0, 0, 2, 2, 80, cbBmi, 80 + cbBmi, cbBits, 0, 0x00CC0020u, 2, 2}) + dib);
    // Gradients: a triangle of three vertices, a rectangle of two.
    const Bytes vertices = W32({0, 0}) + W16({0xFF00, 0, 0, 0}) + W32({40, 0}) + W16({0, 0xFF00, 0, 0}) +
                           W32({0, 30}) + W16({0, 0, 0xFF00, 0});
    e.Record(118, Bounds() + W32({3, 1, 2}) + vertices + W32({0, 1, 2}));
    e.Record(118, Bounds() + W32({3, 1, 0}) + vertices + W32({0, 1}));
    // Comments: private, EMF+, public groups.
    e.Record(70, W32({5}) + Text("hello", 5));
    e.Record(70, W32({32, 0x2B464D45u, 0x00014001, 28, 16, 0xDBC01002u, 0, 0, 0}));
    e.Record(70, W32({32, 0x43494447u, 2, 0, 0, 40, 30, 2}) + Utf16("ab", 2));
    e.Record(70, W32({8, 0x43494447u, 3}));
    e.Record(70, W32({4, 0}));  // EMF spool: private data
    return e.Finish();
}

// Curves, text and a gradient drawn through a window-to-viewport mapping
// and a world transform: what scales every coordinate the player computes.
inline Bytes MappedDrawing() {
    EmfBuilder e(2);
    e.Record(17, W32({8})).Record(9, W32({40, 30})).Record(11, W32({40, 30})).Record(35, Identity());
    e.Record(42, W32({0, 0, 40, 30})).Record(41, W32({20, 15, 10, FloatBits(0), FloatBits(270)}));
    e.Record(44, W32({0, 0, 40, 30, 8, 8})).Record(47, W32({0, 0, 40, 30, 40, 15, 0, 15}));
    e.Record(82, W32({1, 0xFFFFFFF4u, 0, 0, 0, 400, 0, 0}) + Utf16("Arial", 32)).Record(37, W32({1}));
    e.Record(84, Bounds() + W32({1, 0, 0}) + EmrText(76, 84) + Utf16("abc", 4) + W32({8, 8, 8}));
    e.Record(118, Bounds() + W32({2, 1, 0}) + W32({0, 0}) + W16({0xFF00, 0, 0, 0}) + W32({40, 30}) +
                      W16({0, 0xFF00, 0, 0}) + W32({0, 1}));
    return e.Finish();
}

// ---- Windows metafiles -------------------------------------------------------------

class WmfBuilder {
public:
    explicit WmfBuilder(std::uint16_t objects = 4) : b_(18, 0) {
        Put(b_, 0, 1, 2), Put(b_, 2, 9, 2), Put(b_, 4, 0x300, 2), Put(b_, 10, objects, 2);
    }
    // A record of `function` whose parameters are `params` (16-bit words).
    WmfBuilder& Record(std::uint16_t function, Bytes params) {
        params.resize((params.size() + 1) / 2 * 2, 0);
        Add(b_, {static_cast<std::uint32_t>(3 + params.size() / 2)}, 4);
        Add(b_, {function}, 2);
        b_.insert(b_.end(), params.begin(), params.end());
        return *this;
    }
    Bytes Finish() {
        Record(0x0000, {});
        Put(b_, 6, static_cast<std::uint32_t>(b_.size() / 2), 4);
        return b_;
    }
    // Finish() behind a placeable header of a 40 x 30 unit box at 96 units an inch.
    Bytes Placeable() {
        Bytes h(22, 0);
        Put(h, 0, 0x9AC6CDD7u, 4), Put(h, 10, 40, 2), Put(h, 12, 30, 2), Put(h, 14, 96, 2);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) sum ^= static_cast<std::uint16_t>(h[2 * i] | (h[2 * i + 1] << 8));
        Put(h, 20, sum, 2);
        return h + Finish();
    }

private:
    Bytes b_;
};

// A sound record of every function the checks have a rule for.
inline WmfBuilder EveryWmfRecord() {
    WmfBuilder w(4);
    const Bytes dib = PackedDib();
    // State and mapping.
    w.Record(0x0103, W16({8})).Record(0x020C, W16({30, 40})).Record(0x020B, W16({0, 0}));
    w.Record(0x020E, W16({30, 40})).Record(0x020D, W16({0, 0})).Record(0x020F, W16({0, 0}));
    w.Record(0x0211, W16({0, 0})).Record(0x0410, W16({1, 1, 1, 1})).Record(0x0412, W16({1, 1, 1, 1}));
    w.Record(0x0102, W16({1})).Record(0x0104, W16({13})).Record(0x0105, W16({1})).Record(0x0106, W16({2}));
    w.Record(0x0107, W16({3})).Record(0x0108, W16({0})).Record(0x012E, W16({0})).Record(0x0201, W16({0xFF, 0}));
    w.Record(0x0209, W16({0, 0})).Record(0x020A, W16({0, 0})).Record(0x0231, W16({0, 0})).Record(0x014C, W16({0, 0}));
    w.Record(0x001E, {}).Record(0x0127, W16({0xFFFF}));
    // Objects: a palette (selected, then the next record is three words
    // long), a pen, a font, brushes; deleted again.
    w.Record(0x00F7, W16({0x300, 2, 0xFF, 0, 0xFF00, 0})).Record(0x0234, W16({0})).Record(0x0035, {});
    w.Record(0x0037, W16({0, 1, 0xFF, 0})).Record(0x0436, W16({0, 1, 0xFF, 0})).Record(0x0139, W16({4}));
    w.Record(0x01F0, W16({0}));
    w.Record(0x02FA, W16({0, 1, 0, 0xFF, 0})).Record(0x012D, W16({0}));
    w.Record(0x02FB, W16({0xFFF4, 0, 0, 0, 400, 0, 0, 0, 0}) + Text("Arial", 32)).Record(0x012D, W16({1}));
    w.Record(0x02FC, W16({2, 0xFF, 0, 3})).Record(0x012D, W16({2})).Record(0x01F0, W16({2}));
    w.Record(0x0142, W16({5, 0}) + dib).Record(0x012D, W16({2}));
    // Regions: made, painted, framed, filled, clipped with.
    w.Record(0x06FF, W16({0, 6, 0, 0, 0, 1, 0, 0, 0, 10, 10, 2, 0, 5, 0, 10, 2})).Record(0x012A, W16({3}));
    w.Record(0x012B, W16({3})).Record(0x0228, W16({3, 2})).Record(0x0429, W16({3, 2, 3, 2}));
    w.Record(0x012C, W16({3})).Record(0x0220, W16({1, 1})).Record(0x0415, W16({2, 2, 1, 1}));
    w.Record(0x0416, W16({30, 40, 0, 0})).Record(0x01F0, W16({3}));
    // Shapes, lines, text.
    w.Record(0x0214, W16({0, 0})).Record(0x0213, W16({10, 10})).Record(0x041F, W16({0, 0, 5, 5}));
    w.Record(0x0418, W16({30, 40, 0, 0})).Record(0x041B, W16({30, 40, 0, 0})).Record(0x061C, W16({5, 5, 30, 40, 0, 0}));
    for (std::uint16_t arc : {0x0817, 0x081A, 0x0830}) w.Record(arc, W16({15, 0, 15, 40, 30, 40, 0, 0}));
    w.Record(0x0419, W16({0, 0, 1, 1})).Record(0x0548, W16({1, 0, 0, 1, 1}));
    w.Record(0x0324, W16({3, 0, 0, 10, 0, 10, 10})).Record(0x0325, W16({3, 0, 0, 10, 0, 10, 10}));
    w.Record(0x0538, W16({2, 3, 3, 0, 0, 1, 0, 1, 1, 5, 5, 6, 5, 6, 6}));
    w.Record(0x0521, W16({3}) + Text("abc", 4) + W16({5, 5}));
    w.Record(0x0A32, W16({5, 5, 3, 6, 0, 0, 40, 30}) + Text("abc", 4));
    w.Record(0x0A32, W16({5, 5, 3, 0}) + Text("abc", 4) + W16({8, 8, 8}));
    w.Record(0x0626, W16({15, 4}) + Text("abcd", 4));
    // Bitmaps.
    w.Record(0x061D, W16({0x0021, 0x00F0, 10, 10, 0, 0}));
    w.Record(0x0940, W16({0x0020, 0x00CC, 0, 0, 2, 2, 0, 0}) + dib);
    w.Record(0x0940, W16({0x0021, 0x00F0, 0, 0, 0, 2, 2, 0, 0}));
    w.Record(0x0B41, W16({0x0020, 0x00CC, 2, 2, 0, 0, 2, 2, 0, 0}) + dib);
    w.Record(0x0D33, W16({0, 2, 0, 0, 0, 2, 2, 0, 0}) + dib);
    w.Record(0x0F43, W16({0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}) + dib);
    return w;
}

}  // namespace metafile_seeds
