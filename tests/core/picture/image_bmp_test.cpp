#include <gtest/gtest.h>

#include "support/byte_writer.h"

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_bytes::Put16;
using test_bytes::Put32;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::string CheckError(const Bytes& b) {
    try {
        CheckBmp(b.data(), b.size());
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// A bitmap file built by hand: any header size, depth, compression and
// palette, with `pixelBytes` bytes of pixel data after the tables.
Bytes Build(std::uint32_t headerSize, int width, int height, int bits, std::uint32_t compression,
            std::uint32_t colours, std::size_t pixelBytes, std::uint32_t sizeImage = 0) {
    const bool core = headerSize == 12;
    const std::size_t masks = (compression == 3 && headerSize == 40) ? 12 : 0;
    std::size_t palette = colours;
    if (palette == 0 && bits <= 8) palette = 1u << bits;
    const std::size_t offset = 14 + headerSize + masks + palette * (core ? 3 : 4);
    Bytes b(offset + pixelBytes, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14, headerSize);
    if (core) {
        Put16(b, 18, width), Put16(b, 20, height), Put16(b, 22, 1), Put16(b, 24, bits);
    } else {
        Put32(b, 18, static_cast<std::uint32_t>(width)), Put32(b, 22, static_cast<std::uint32_t>(height));
        Put16(b, 26, 1), Put16(b, 28, bits), Put32(b, 30, compression), Put32(b, 34, sizeImage);
        Put32(b, 46, colours);
        if (compression == 3) {
            const std::size_t m = 14 + 40;  // after an info header, inside the larger ones
            if (bits == 16)
                Put32(b, m, 0xF800), Put32(b, m + 4, 0x07E0), Put32(b, m + 8, 0x001F);
            else
                Put32(b, m, 0xFF0000), Put32(b, m + 4, 0xFF00), Put32(b, m + 8, 0xFF);
        }
    }
    return b;
}

std::size_t Stride(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }

TEST(BmpEncode, HeadersAndRowsAtEachDepth) {
    Image32 img(3, 2);
    img.at(0, 0) = 0xFFFF0000u;  // red, top-left
    img.at(2, 1) = 0xFF0000FFu;  // blue, bottom-right
    for (int bits : {16, 24, 32}) {
        const Bytes f = EncodeBmp(img, bits);
        const std::size_t stride = Stride(3, bits);
        ASSERT_EQ(f.size(), 54 + stride * 2) << bits;
        EXPECT_EQ(Get32(f, 2), f.size());
        EXPECT_EQ(Get32(f, 10), 54u);
        EXPECT_EQ(Get32(f, 14), 40u);
        EXPECT_EQ(Get32(f, 22), 2u);  // positive height: bottom-up
        EXPECT_EQ(f[28], bits);
        EXPECT_EQ(Get32(f, 34), stride * 2);
        // The first stored row is the bottom one.
        const std::size_t bottomRight = 54 + 2 * (bits / 8), topLeft = 54 + stride;
        if (bits == 16) {
            EXPECT_EQ(f[bottomRight] | (f[bottomRight + 1] << 8), 0x001F);
            EXPECT_EQ(f[topLeft] | (f[topLeft + 1] << 8), 0x7C00);
        } else {
            EXPECT_EQ(f[bottomRight], 0xFF);
            EXPECT_EQ(f[bottomRight + 2], 0x00);
            EXPECT_EQ(f[topLeft + 2], 0xFF);
            EXPECT_EQ(f[topLeft], 0x00);
        }
        const BmpInfo info = CheckBmp(f.data(), f.size());
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, 2);
        EXPECT_EQ(info.bitsPerPixel, bits);
        EXPECT_FALSE(info.topDown);
    }
    // Other depths fall back to 24 bits.
    EXPECT_EQ(EncodeBmp(img, 8)[28], 24);
    EXPECT_EQ(EncodeBmp(img, 0)[28], 24);
}

TEST(BmpEncode, RowPaddingAndFiveBitRounding) {
    Image32 img(1, 1, 0xFF808080u);
    const Bytes f24 = EncodeBmp(img, 24);
    EXPECT_EQ(f24.size(), 54u + 4u);  // 3 bytes padded to 4
    EXPECT_EQ(f24[57], 0);
    const Bytes f16 = EncodeBmp(img, 16);
    const int v = f16[54] | (f16[55] << 8);
    EXPECT_EQ(v, (16 << 10) | (16 << 5) | 16);  // 128 * 31 / 255 = 15.56 -> 16
    const Bytes white = EncodeBmp(Image32(1, 1, 0xFFFFFFFFu), 16);
    EXPECT_EQ(white[54] | (white[55] << 8), 0x7FFF);
    EXPECT_THROW(EncodeBmp(Image32(), 24), Error);
}

TEST(BmpCheck, AcceptsEveryLayoutWindowsDecodes) {
    struct Case {
        std::uint32_t header;
        int bits;
        std::uint32_t compression;
    } cases[] = {{12, 1, 0},  {12, 4, 0},  {12, 8, 0},  {12, 24, 0}, {40, 1, 0},   {40, 4, 0},  {40, 8, 0},
                 {40, 16, 0}, {40, 24, 0}, {40, 32, 0}, {40, 16, 3}, {40, 32, 3},  {108, 32, 3}, {124, 16, 3},
                 {124, 24, 0}, {64, 8, 0}, {52, 32, 3}, {56, 32, 3}};
    for (const Case& c : cases) {
        const Bytes b = Build(c.header, 5, 3, c.bits, c.compression, 0, Stride(5, c.bits) * 3);
        ASSERT_EQ(CheckError(b), "") << c.header << "/" << c.bits << "/" << c.compression;
        // Where the platform decoder finds the header and the pixels.
        const BmpInfo info = CheckBmp(b.data(), b.size());
        EXPECT_EQ(info.headerSize, c.header);
        EXPECT_EQ(info.pixelOffset, b.size() - Stride(5, c.bits) * 3) << c.header << "/" << c.bits;
    }
    // Top-down rows (negative height) for uncompressed pictures.
    Bytes topDown = Build(40, 4, -7, 24, 0, 0, Stride(4, 24) * 7);
    const BmpInfo info = CheckBmp(topDown.data(), topDown.size());
    EXPECT_TRUE(info.topDown);
    EXPECT_EQ(info.height, 7);
    // A short palette declared by biClrUsed.
    EXPECT_EQ(CheckError(Build(40, 2, 2, 8, 0, 16, Stride(2, 8) * 2)), "");
}

TEST(BmpCheck, AcceptsWellFormedRle) {
    // 4 x 2 RLE8: a run of 4, end of line, an absolute run of 3 + 1 pad, a run of 1, end of bitmap.
    const Bytes rle8 = {4, 1, 0, 0, 0, 3, 2, 3, 4, 0, 1, 5, 0, 1};
    Bytes b = Build(40, 4, 2, 8, 1, 0, rle8.size(), static_cast<std::uint32_t>(rle8.size()));
    std::copy(rle8.begin(), rle8.end(), b.end() - rle8.size());
    EXPECT_EQ(CheckError(b), "");

    const Bytes rle4 = {4, 0x12, 0, 2, 2, 1, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
    Bytes b4 = Build(40, 9, 2, 4, 2, 0, rle4.size(), static_cast<std::uint32_t>(rle4.size()));
    std::copy(rle4.begin(), rle4.end(), b4.end() - rle4.size());
    EXPECT_EQ(CheckError(b4), "");

    // An absolute run cut short by the end of the data.
    const Bytes cut = {0, 9, 1, 2, 3};
    Bytes bc = Build(40, 9, 1, 8, 1, 0, cut.size(), static_cast<std::uint32_t>(cut.size()));
    std::copy(cut.begin(), cut.end(), bc.end() - cut.size());
    EXPECT_EQ(CheckError(bc), "Fichier bitmap tronqué");
}

TEST(BmpCheck, RefusesCorruptHeaders) {
    const Bytes good = Build(40, 5, 3, 24, 0, 0, Stride(5, 24) * 3);
    ASSERT_EQ(CheckError(good), "");

    EXPECT_EQ(CheckError(Bytes{}), "Fichier bitmap vide");
    Bytes notBmp = good;
    notBmp[0] = 'P';
    EXPECT_EQ(CheckError(notBmp), "Ce fichier n'est pas un bitmap Windows");

    auto mutated = [&](std::size_t at, std::uint32_t v, bool wide = true) {
        Bytes b = good;
        wide ? Put32(b, at, v) : Put16(b, at, v);
        return CheckError(b);
    };
    EXPECT_EQ(mutated(14, 41), "Fichier bitmap incorrect : en-tête de 41 octets inconnu");
    EXPECT_EQ(mutated(14, 0xFFFFFFFF), "Fichier bitmap incorrect : en-tête de 4294967295 octets inconnu");
    EXPECT_NE(mutated(18, 0), "");                        // zero width
    EXPECT_NE(mutated(18, 0xFFFFFFFB), "");               // negative width
    EXPECT_NE(mutated(22, 0), "");                        // zero height
    EXPECT_NE(mutated(22, 0x80000000u), "");              // INT_MIN height
    EXPECT_NE(mutated(26, 2, false), "");                 // planes
    EXPECT_EQ(mutated(28, 7, false), "Format de bitmap non pris en charge (7 bits par pixel)");
    EXPECT_EQ(mutated(28, 0, false), "Format de bitmap non pris en charge (0 bits par pixel)");
    EXPECT_EQ(mutated(30, 4), "Compression de bitmap non prise en charge (4)");  // BI_JPEG
    EXPECT_EQ(mutated(30, 5), "Compression de bitmap non prise en charge (5)");  // BI_PNG
    EXPECT_NE(mutated(30, 1), "");                        // RLE8 on 24 bits
    EXPECT_NE(mutated(30, 3), "");                        // bit fields on 24 bits
    EXPECT_NE(mutated(10, 20), "");                       // pixels inside the headers
    EXPECT_EQ(mutated(10, 0x7FFFFFFF), "Fichier bitmap tronqué");

    // Palette larger than the depth allows.
    EXPECT_NE(CheckError(Build(40, 2, 2, 4, 0, 17, Stride(2, 4) * 2)), "");
    // Compressed pictures cannot be stored top-down.
    EXPECT_NE(CheckError(Build(40, 2, -2, 8, 1, 0, 4, 4)), "");
    // RLE without the size of its data.
    EXPECT_NE(CheckError(Build(40, 2, 2, 8, 1, 0, 4, 0)), "");
}

TEST(BmpCheck, RefusesBadColourMasks) {
    auto withMasks = [](std::uint32_t r, std::uint32_t g, std::uint32_t b, int bits) {
        Bytes f = Build(40, 2, 2, bits, 3, 0, Stride(2, bits) * 2);
        Put32(f, 54, r), Put32(f, 58, g), Put32(f, 62, b);
        return CheckError(f);
    };
    EXPECT_EQ(withMasks(0x7C00, 0x03E0, 0x001F, 16), "");
    EXPECT_NE(withMasks(0, 0, 0, 32), "");
    EXPECT_NE(withMasks(0xFF00, 0x0FF0, 0x000F, 16), "");   // overlapping
    EXPECT_NE(withMasks(0xF0F00, 0x00F0, 0x000F, 32), "");  // not contiguous
    EXPECT_NE(withMasks(0x1F0000, 0x07E0, 0x001F, 16), ""); // beyond 16 bits
    // OS/2 2.x headers: code 3 is Huffman there, not bit fields.
    Bytes os2 = Build(64, 2, 2, 16, 0, 0, Stride(2, 16) * 2);
    Put32(os2, 30, 3);
    EXPECT_NE(CheckError(os2), "");
}

TEST(BmpCheck, RefusesTruncatedFilesAtEveryLength) {
    for (int bits : {1, 8, 16, 24, 32}) {
        Bytes b = Build(40, 7, 5, bits, bits == 16 ? 3 : 0, 0, Stride(7, bits) * 5);
        ASSERT_EQ(CheckError(b), "");
        for (std::size_t n = 0; n < b.size(); ++n) {
            const std::string e = CheckError(Bytes(b.begin(), b.begin() + n));
            ASSERT_NE(e, "") << bits << " bits cut at " << n;
        }
    }
    const Bytes core = Build(12, 3, 3, 8, 0, 0, Stride(3, 8) * 3);
    ASSERT_EQ(CheckError(core), "");
    for (std::size_t n = 0; n < core.size(); ++n) ASSERT_NE(CheckError(Bytes(core.begin(), core.begin() + n)), "");
}

TEST(BmpCheck, RefusesAbsurdDimensionsBeforeLookingForPixels) {
    // 100000 x 100000 at 1 bit is only 1.25 GB of file but 40 GB as 32-bit pixels.
    Bytes b = Build(40, 100000, 100000, 1, 0, 0, 16);
    EXPECT_EQ(CheckError(b), "Image trop grande (100000 x 100000 pixels)");
    Bytes tall = Build(40, 1, -2000000, 1, 0, 0, 16);
    EXPECT_EQ(CheckError(tall), "Image trop grande (1 x 2000000 pixels)");
}

TEST(BmpCheck, EncodedPicturesRoundTrip) {
    Image32 img(37, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) img.at(x, y) = 0xFF000000u | (x * 7) | ((y * 23) << 8) | ((x ^ y) << 16);
    for (int bits : {24, 32}) {
        const Bytes f = EncodeBmp(img, bits);
        const BmpInfo info = CheckBmp(f.data(), f.size());
        ASSERT_EQ(info.width, 37);
        const std::size_t stride = Stride(37, bits), bpp = bits / 8;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x) {
                const std::uint8_t* p = &f[54 + (10 - y) * stride + x * bpp];
                ASSERT_EQ(0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0], img.at(x, y));
            }
    }
}

}  // namespace
}  // namespace orvane
