#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/jpeg_decoder.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Encodes rows of `components` bytes per pixel with libjpeg itself.
Bytes Encode(int w, int h, int components, J_COLOR_SPACE space, const std::vector<std::uint8_t>& samples,
             bool progressive = false, int quality = 95) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = w;
    c.image_height = h;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[static_cast<std::size_t>(c.next_scanline) * w * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes result(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
}

// Left half red, right half blue, top-left 8 x 8 block white.
Bytes TwoColourPicture(int w, int h, bool progressive = false) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            if (x < 8 && y < 8)
                p[0] = p[1] = p[2] = 255;
            else if (x < w / 2)
                p[0] = 255, p[1] = 0, p[2] = 0;
            else
                p[0] = 0, p[1] = 0, p[2] = 255;
        }
    return Encode(w, h, 3, JCS_RGB, rgb, progressive);
}

void ExpectNear(std::uint32_t pixel, std::uint32_t expected, int tolerance = 6) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = (pixel >> shift) & 0xFF, b = (expected >> shift) & 0xFF;
        EXPECT_LE(std::abs(a - b), tolerance) << std::hex << pixel << " vs " << expected;
    }
}

std::string DecodeError(const Bytes& b) {
    try {
        DecodeJpeg(b.data(), b.size());
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

std::string JpegError(int code) { return "Erreur JPEG #" + std::to_string(code); }

TEST(JpegDecode, ColourPictureInImageLayout) {
    for (bool progressive : {false, true}) {
        const Bytes file = TwoColourPicture(64, 40, progressive);
        const Image32 img = DecodeJpeg(file.data(), file.size());
        ASSERT_EQ(img.width, 64);
        ASSERT_EQ(img.height, 40);
        ExpectNear(img.at(0, 0), 0xFFFFFFFFu);
        ExpectNear(img.at(4, 30), 0xFFFF0000u);   // red: 0xAARRGGBB
        ExpectNear(img.at(60, 30), 0xFF0000FFu);  // blue
        for (std::uint32_t p : img.pixels) ASSERT_EQ(p >> 24, 0xFFu);
    }
}

TEST(JpegDecode, OddSizesAndRowBatches) {
    // Heights that are not multiples of the decoder's row groups.
    for (int h : {1, 7, 17, 33}) {
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(5) * h * 3, 200);
        const Bytes f = Encode(5, h, 3, JCS_RGB, rgb);
        const Image32 img = DecodeJpeg(f.data(), f.size());
        ASSERT_EQ(img.height, h);
        ExpectNear(img.at(4, h - 1), 0xFFC8C8C8u, 3);
    }
}

TEST(JpegDecode, GreyscaleAndCmyk) {
    std::vector<std::uint8_t> grey(16 * 16, 100);
    const Bytes g = Encode(16, 16, 1, JCS_GRAYSCALE, grey);
    const Image32 gi = DecodeJpeg(g.data(), g.size());
    ExpectNear(gi.at(7, 7), 0xFF646464u, 2);

    // Adobe-style CMYK (values stored inverted): pure red is C=255 M=0 Y=0 K=255.
    std::vector<std::uint8_t> cmyk;
    for (int i = 0; i < 16 * 16; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    const Bytes c = Encode(16, 16, 4, JCS_CMYK, cmyk);
    const Image32 ci = DecodeJpeg(c.data(), c.size());
    ASSERT_EQ(ci.width, 16);
    ExpectNear(ci.at(3, 12), 0xFFFF0000u);
}

TEST(JpegDecode, CorruptDataGivesTheLibraryMessageNumber) {
    EXPECT_EQ(DecodeError(Bytes{}), JpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(DecodeError(Bytes{'B', 'M', 0, 0, 0, 0}), JpegError(JERR_NO_SOI));

    const Bytes good = TwoColourPicture(32, 16);
    ASSERT_EQ(DecodeError(good), "");
    // Wreck the frame header: zero precision/width bytes.
    Bytes badFrame = good;
    for (std::size_t i = 2; i + 9 < badFrame.size(); ++i)
        if (badFrame[i] == 0xFF && badFrame[i + 1] == 0xC0) {
            badFrame[i + 4] = 3;  // 3-bit samples
            break;
        }
    EXPECT_EQ(DecodeError(badFrame), JpegError(JERR_BAD_PRECISION));
}

TEST(JpegDecode, EveryTruncationIsAnError) {
    for (bool progressive : {false, true}) {
        const Bytes good = TwoColourPicture(24, 24, progressive);
        for (std::size_t n = 0; n < good.size(); ++n) {
            const std::string e = DecodeError(Bytes(good.begin(), good.begin() + n));
            ASSERT_EQ(e.rfind("Erreur JPEG #", 0), 0u) << "cut at " << n << ": " << e;
        }
        // The usual way it shows: data stops in the middle of the scan.
        EXPECT_EQ(DecodeError(Bytes(good.begin(), good.begin() + good.size() - 20)), JpegError(JERR_INPUT_EOF));
    }
}

TEST(JpegDecode, AbsurdDimensionsAreRefusedBeforeDecoding) {
    Bytes f = TwoColourPicture(16, 16);
    bool patched = false;
    for (std::size_t i = 2; i + 9 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] == 0xC0) {
            f[i + 5] = 0xFD, f[i + 6] = 0xE8;  // height 65000
            f[i + 7] = 0xFD, f[i + 8] = 0xE8;  // width 65000
            patched = true;
            break;
        }
    ASSERT_TRUE(patched);
    EXPECT_EQ(DecodeError(f), "Image trop grande (65000 x 65000 pixels)");
}

TEST(JpegDecode, EndlessProgressiveScansAreCutShort) {
    // Repeating the last scan is tolerated by libjpeg (a mere warning) and
    // costs a pass over the picture each time.
    const Bytes good = TwoColourPicture(16, 16, true);
    std::size_t lastSos = 0;
    for (std::size_t i = 2; i + 1 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xDA) lastSos = i;
    ASSERT_GT(lastSos, 0u);
    const Bytes scan(good.begin() + lastSos, good.end() - 2);
    Bytes hostile(good.begin(), good.end() - 2);
    for (int i = 0; i < 1100; ++i) hostile.insert(hostile.end(), scan.begin(), scan.end());
    hostile.push_back(0xFF), hostile.push_back(0xD9);
    EXPECT_EQ(DecodeError(hostile), "Fichier JPEG trop complexe (plus de 1000 passes)");

    // A few repeats are still a picture.
    Bytes mild(good.begin(), good.end() - 2);
    for (int i = 0; i < 3; ++i) mild.insert(mild.end(), scan.begin(), scan.end());
    mild.push_back(0xFF), mild.push_back(0xD9);
    EXPECT_EQ(DecodeError(mild), "");
}

}  // namespace
}  // namespace orvane
