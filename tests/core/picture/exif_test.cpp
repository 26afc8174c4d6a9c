#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture/exif.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An Exif APP1 payload: "Exif\0\0", a TIFF header in either byte order and
// IFD0 with the given entries (tag, type, count, value), built field by field
// so that a test can then break any of them.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

class ExifBlock {
public:
    ExifBlock(bool bigEndian, const std::vector<Entry>& entries) : big_(bigEndian) {
        bytes_ = {'E', 'x', 'i', 'f', 0, 0};
        bytes_.push_back(big_ ? 'M' : 'I');
        bytes_.push_back(big_ ? 'M' : 'I');
        Put16(42);
        Put32(8);  // IFD0 right after the header
        Put16(static_cast<std::uint16_t>(entries.size()));
        for (const Entry& e : entries) {
            Put16(e.tag), Put16(e.type), Put32(e.count);
            if (e.type == 3 && e.count == 1) Put16(static_cast<std::uint16_t>(e.value)), Put16(0);  // left-justified
            else Put32(e.value);
        }
        Put32(0);  // no next IFD
    }
    static ExifBlock Orientation(int value, bool bigEndian = false) {
        return ExifBlock(bigEndian, {{0x010F, 2, 4, 0}, {0x0112, 3, 1, static_cast<std::uint32_t>(value)}, {0x011A, 5, 1, 0}});
    }

    Bytes bytes() const { return bytes_; }
    // TIFF offsets (from the byte order mark) of IFD0 and of its entries.
    static constexpr std::size_t kTiff = 6, kIfd = kTiff + 8;
    static constexpr std::size_t EntryAt(std::size_t i) { return kIfd + 2 + 12 * i; }

    void Set16(std::size_t at, std::uint16_t v) {
        if (big_) bytes_[at] = v >> 8, bytes_[at + 1] = v & 0xFF;
        else bytes_[at] = v & 0xFF, bytes_[at + 1] = v >> 8;
    }
    void Set32(std::size_t at, std::uint32_t v) {
        if (big_) Set16(at, v >> 16), Set16(at + 2, v & 0xFFFF);
        else Set16(at, v & 0xFFFF), Set16(at + 2, v >> 16);
    }
    Bytes& raw() { return bytes_; }

private:
    void Put16(std::uint16_t v) {
        bytes_.resize(bytes_.size() + 2);
        Set16(bytes_.size() - 2, v);
    }
    void Put32(std::uint32_t v) {
        bytes_.resize(bytes_.size() + 4);
        Set32(bytes_.size() - 4, v);
    }
    bool big_;
    Bytes bytes_;
};

int Orientation(const Bytes& b) { return ExifOrientation(b.data(), b.size()); }

// A JPEG file's head: SOI, the given segments, then a start of scan and a
// few bytes of (meaningless) scan data.
Bytes Jpeg(const std::vector<std::pair<std::uint8_t, Bytes>>& segments) {
    Bytes f = {0xFF, 0xD8};
    for (const auto& [marker, payload] : segments) {
        f.insert(f.end(), {0xFF, marker, static_cast<std::uint8_t>((payload.size() + 2) >> 8),
                           static_cast<std::uint8_t>((payload.size() + 2) & 0xFF)});
        f.insert(f.end(), payload.begin(), payload.end());
    }
    f.insert(f.end(), {0xFF, 0xDA, 0, 2, 0x12, 0x34, 0xFF, 0xD9});
    return f;
}

int FileOrientation(const Bytes& f) { return JpegOrientation(f.data(), f.size()); }

TEST(ExifOrientation, AllEightValuesInBothByteOrders) {
    for (bool big : {false, true})
        for (int v = 1; v <= 8; ++v) EXPECT_EQ(Orientation(ExifBlock::Orientation(v, big).bytes()), v) << big;
}

TEST(ExifOrientation, ValuesOutsideOneToEightAndMalformedEntriesMeanUpright) {
    for (int v : {0, 9, 255, 0x0106}) EXPECT_EQ(Orientation(ExifBlock::Orientation(v).bytes()), 1) << v;
    // Wrong type (LONG), no value, several values, and a count whose size in
    // bytes wraps 32 bits.
    for (const Entry& e : {Entry{0x0112, 4, 1, 6}, Entry{0x0112, 3, 0, 6}, Entry{0x0112, 3, 2, 6},
                           Entry{0x0112, 3, 0x80000001u, 6}})
        EXPECT_EQ(Orientation(ExifBlock(false, {e}).bytes()), 1) << e.type << " " << e.count;
    // The first orientation entry decides, even when a later one is sound.
    EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 3, 1, 0}, {0x0112, 3, 1, 6}}).bytes()), 1);
    EXPECT_EQ(Orientation(ExifBlock(true, {{0x0001, 3, 1, 8}, {0x0112, 3, 1, 6}}).bytes()), 6);
    // No orientation entry at all.
    EXPECT_EQ(Orientation(ExifBlock(false, {{0x010F, 2, 4, 0}}).bytes()), 1);
    EXPECT_EQ(Orientation(ExifBlock(false, {}).bytes()), 1);
}

TEST(ExifOrientation, EveryTruncationIsUprightNeverAnOverread) {
    // Each prefix is copied into a buffer of exactly its size, so a read past
    // the end shows under the address sanitizer. The entry table must be
    // whole; the next-IFD link after it is never needed.
    const Bytes good = ExifBlock::Orientation(6, true).bytes();
    const std::size_t tableEnd = ExifBlock::EntryAt(3);
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + n);
        EXPECT_EQ(Orientation(cut), n >= tableEnd ? 6 : 1) << n << " of " << good.size();
    }
    EXPECT_EQ(Orientation(good), 6);
    EXPECT_EQ(ExifOrientation(nullptr, 100), 1);
}

TEST(ExifOrientation, HostileOffsetsAndCounts) {
    auto with = [](auto change) {
        ExifBlock b = ExifBlock::Orientation(8);
        change(b);
        return Orientation(b.bytes());
    };
    // IFD0 past the end, at the very end (the TIFF data is 50 bytes), one
    // byte short of its count, and at offsets near 2^32 that would wrap a
    // 32-bit sum.
    for (std::uint32_t at : {1000u, 50u, 49u, 0xFFFFFFF0u, 0xFFFFFFFFu})
        EXPECT_EQ(with([&](ExifBlock& b) { b.Set32(ExifBlock::kTiff + 4, at); }), 1) << at;
    // IFD0 pointing back into the header (a loop onto itself, or the byte
    // order mark read as a count).
    for (std::uint32_t at : {0u, 2u, 4u, 7u})
        EXPECT_EQ(with([&](ExifBlock& b) { b.Set32(ExifBlock::kTiff + 4, at); }), 1) << at;
    // More entries than the block holds.
    for (std::uint16_t count : {4, 100, 0xFFFF})
        EXPECT_EQ(with([&](ExifBlock& b) { b.Set16(ExifBlock::kIfd, count); }), 1) << count;
    // A next-IFD link back to IFD0 is never followed: the answer comes from
    // IFD0 and the parse ends.
    EXPECT_EQ(with([&](ExifBlock& b) { b.Set32(ExifBlock::EntryAt(3), 8); }), 8);
}

TEST(ExifOrientation, ByteOrderMarksAndHeader) {
    auto withMark = [](const char* mark, std::uint16_t magic, bool bigMagic) {
        ExifBlock b = ExifBlock::Orientation(3);
        Bytes& raw = b.raw();
        raw[6] = mark[0], raw[7] = mark[1];
        raw[8] = bigMagic ? magic >> 8 : magic & 0xFF;
        raw[9] = bigMagic ? magic & 0xFF : magic >> 8;
        return Orientation(raw);
    };
    EXPECT_EQ(withMark("II", 42, false), 3);
    // A mark whose magic only reads right in the other order, mixed marks,
    // unknown marks, a wrong magic number.
    EXPECT_EQ(withMark("II", 42, true), 1);
    EXPECT_EQ(withMark("MM", 42, false), 1);
    EXPECT_EQ(withMark("IM", 42, false), 1);
    EXPECT_EQ(withMark("MI", 42, true), 1);
    EXPECT_EQ(withMark("XX", 42, false), 1);
    EXPECT_EQ(withMark("II", 43, false), 1);

    Bytes noHeader = ExifBlock::Orientation(3).bytes();
    noHeader[4] = 'x';  // "Exifx\0"
    EXPECT_EQ(Orientation(noHeader), 1);
    EXPECT_EQ(Orientation(Bytes{'E', 'x', 'i', 'f', 0, 0}), 1);
}

TEST(JpegOrientation, FindsTheExifSegmentAmongOthers) {
    const Bytes exif6 = ExifBlock::Orientation(6).bytes();
    const Bytes jfif = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    const Bytes xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', 0};
    EXPECT_EQ(FileOrientation(Jpeg({{0xE1, exif6}})), 6);
    // After JFIF and an XMP APP1, and with fill bytes before its marker.
    EXPECT_EQ(FileOrientation(Jpeg({{0xE0, jfif}, {0xE1, xmp}, {0xE1, exif6}})), 6);
    Bytes filled = Jpeg({{0xE0, jfif}, {0xE1, exif6}});
    filled.insert(filled.begin() + 2 + 4 + jfif.size(), {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(FileOrientation(filled), 6);
    // The first Exif block decides.
    EXPECT_EQ(FileOrientation(Jpeg({{0xE1, ExifBlock::Orientation(8).bytes()}, {0xE1, exif6}})), 8);
    // None, or only after the scan has started.
    EXPECT_EQ(FileOrientation(Jpeg({{0xE0, jfif}})), 1);
    Bytes late = Jpeg({});
    late.insert(late.end() - 2, {0xFF, 0xE1, 0, static_cast<std::uint8_t>(exif6.size() + 2)});
    late.insert(late.end() - 2, exif6.begin(), exif6.end());
    EXPECT_EQ(FileOrientation(late), 1);
}

TEST(JpegOrientation, DamagedMarkerStreamsMeanUpright) {
    const Bytes exif6 = ExifBlock::Orientation(6).bytes();
    const Bytes good = Jpeg({{0xE0, Bytes(14, 0)}, {0xE1, exif6}});
    ASSERT_EQ(FileOrientation(good), 6);
    for (std::size_t n = 0; n < 2 + 4 + 14 + 4 + exif6.size(); ++n)
        EXPECT_EQ(FileOrientation(Bytes(good.begin(), good.begin() + n)), 1) << n;
    EXPECT_EQ(FileOrientation(Bytes{}), 1);
    EXPECT_EQ(JpegOrientation(nullptr, 10), 1);
    EXPECT_EQ(FileOrientation(Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xFF}), 1);  // only fill bytes

    Bytes longSegment = good;
    longSegment[2 + 2] = 0xFF;  // APP0's length runs past the end
    EXPECT_EQ(FileOrientation(longSegment), 1);
    Bytes shortLength = good;
    shortLength[2 + 3] = 1, shortLength[2 + 2] = 0;  // a length below its own two bytes
    EXPECT_EQ(FileOrientation(shortLength), 1);
    Bytes noMarker = good;
    noMarker[2] = 0x00;  // something else where a marker should be
    EXPECT_EQ(FileOrientation(noMarker), 1);
    Bytes notJpeg = good;
    notJpeg[1] = 0xD9;
    EXPECT_EQ(FileOrientation(notJpeg), 1);
}

}  // namespace
}  // namespace orvane
