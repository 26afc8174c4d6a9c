#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/jpeg_decoder.h"
#include "core/picture/resample.h"

#include "support/jpeg_writer.h"

extern "C" {
#include <jerror.h>
}

namespace orvane {
namespace {

using test_jpeg::Bytes;
using test_jpeg::EncodeJpeg;
using test_jpeg::EncodeJpegSamples;
using test_jpeg::WithExifOrientation;

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
    return EncodeJpegSamples(w, h, 3, rgb, {.progressive = progressive});
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
        const Bytes f = EncodeJpegSamples(5, h, 3, rgb);
        const Image32 img = DecodeJpeg(f.data(), f.size());
        ASSERT_EQ(img.height, h);
        ExpectNear(img.at(4, h - 1), 0xFFC8C8C8u, 3);
    }
}

TEST(JpegDecode, GreyscaleAndCmyk) {
    std::vector<std::uint8_t> grey(16 * 16, 100);
    const Bytes g = EncodeJpegSamples(16, 16, 1, grey);
    const Image32 gi = DecodeJpeg(g.data(), g.size());
    ExpectNear(gi.at(7, 7), 0xFF646464u, 2);

    // Adobe-style CMYK (values stored inverted): pure red is C=255 M=0 Y=0 K=255.
    std::vector<std::uint8_t> cmyk;
    for (int i = 0; i < 16 * 16; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    const Bytes c = EncodeJpegSamples(16, 16, 4, cmyk);
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

// ---- orientation, decoding to a size, and the second thread -------------------------

// A photograph-like picture: smooth light, waves and grain.
Bytes PhotoLike(int w, int h, unsigned seed = 1, test_jpeg::JpegOptions options = {}) {
    // The waves are a product of a row and a column term: worked out once,
    // they keep a 24-megapixel picture quick to make.
    std::vector<double> across(static_cast<std::size_t>(w)), down(static_cast<std::size_t>(h));
    for (int x = 0; x < w; ++x) across[x] = 30 * std::sin(x * 0.07);
    for (int y = 0; y < h; ++y) down[y] = std::cos(y * 0.05);
    std::uint32_t r = seed * 2654435761u + 1;
    return EncodeJpeg(w, h, [&](int x, int y) {
        r ^= r << 13, r ^= r >> 17, r ^= r << 5;
        const int grain = static_cast<int>(r % 21) - 10;
        const int waves = static_cast<int>(across[x] * down[y]);
        const auto level = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
        return level(30 + 190 * x / w + waves + grain) << 16 | level(50 + 150 * y / h - waves / 2 + grain) << 8 |
               level(220 - 180 * (x + y) / (w + h) + waves + grain);
    }, options);
}

// A grey picture of `level(x, y)`.
Bytes Pattern(int w, int h, const std::function<int(int, int)>& level, int quality = 90) {
    return EncodeJpeg(w, h, [&](int x, int y) { return 0x010101u * static_cast<std::uint32_t>(std::clamp(level(x, y), 0, 255)); },
                      {.quality = quality});
}

// Where a photo viewer shows stored pixel (x, y) of a w x h picture.
struct Point {
    int x, y;
};
Point Upright(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
        case 2: return {w - 1 - x, y};
        case 3: return {w - 1 - x, h - 1 - y};
        case 4: return {x, h - 1 - y};
        case 5: return {y, x};
        case 6: return {h - 1 - y, x};
        case 7: return {h - 1 - y, w - 1 - x};
        case 8: return {y, w - 1 - x};
        default: return {x, y};
    }
}

Image32 Turned(const Image32& stored, int orientation) {
    const bool swap = orientation >= 5;
    Image32 out(swap ? stored.height : stored.width, swap ? stored.width : stored.height, 0);
    for (int y = 0; y < stored.height; ++y)
        for (int x = 0; x < stored.width; ++x) {
            const Point p = Upright(orientation, x, y, stored.width, stored.height);
            out.at(p.x, p.y) = stored.at(x, y);
        }
    return out;
}

struct Difference {
    int max = 0;
    double mean = 0;
};
Difference Compare(const Image32& a, const Image32& b) {
    Difference d;
    if (a.width != b.width || a.height != b.height) return {999, 999};
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int c = 0; c < 4; ++c) {
            const int v = std::abs(static_cast<int>((a.pixels[i] >> (8 * c)) & 0xFF) -
                                   static_cast<int>((b.pixels[i] >> (8 * c)) & 0xFF));
            d.max = std::max(d.max, v);
            sum += v;
        }
    d.mean = sum / (3.0 * static_cast<double>(a.pixels.size()));  // the alpha byte never differs
    return d;
}

constexpr DecodeThreads kBothWays[] = {DecodeThreads::One, DecodeThreads::Two};

TEST(JpegOrientation, EveryValueTurnsThePictureAsAPhotoViewerDoes) {
    // Sizes that are not multiples of the decoder's blocks nor of the rows
    // the turning code moves at a time.
    for (const auto& [w, h] : {std::pair{37, 21}, std::pair{150, 70}}) {
        const Bytes plain = PhotoLike(w, h);
        const Image32 stored = DecodeJpeg(plain.data(), plain.size());
        for (int o = 1; o <= 8; ++o) {
            const Bytes file = WithExifOrientation(plain, o);
            const Image32 expected = Turned(stored, o);
            for (DecodeThreads threads : kBothWays) {
                const Image32 upright = DecodeJpeg(file.data(), file.size(), threads);
                ASSERT_EQ(upright.width, o >= 5 ? h : w) << o;
                ASSERT_EQ(upright.height, o >= 5 ? w : h) << o;
                ASSERT_EQ(upright.pixels, expected.pixels) << "orientation " << o;
                // The same picture at its own size through the resampling path.
                const Image32 same = DecodeJpegToSize(file.data(), file.size(), upright.width, upright.height, threads);
                ASSERT_EQ(same.pixels, expected.pixels) << "orientation " << o;
            }
            const JpegInfo info = ReadJpegInfo(file.data(), file.size());
            EXPECT_EQ(info.orientation, o);
            EXPECT_EQ(info.width, expected.width);
            EXPECT_EQ(info.height, expected.height);
        }
    }
}

TEST(JpegOrientation, CornersLandWhereTheCameraMeantThem) {
    // Stored: top-left white, top-right red, bottom-left green, the rest black.
    const int w = 32, h = 16;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            if (y < 8 && x < 8) p[0] = p[1] = p[2] = 255;
            else if (y < 8 && x >= w - 8) p[0] = 255;
            else if (y >= h - 8 && x < 8) p[1] = 255;
        }
    const Bytes plain = EncodeJpegSamples(w, h, 3, rgb, {.quality = 100});
    struct Expect {
        int orientation;
        const char* white;  // corner of the upright picture: "TL", "TR", "BL", "BR"
        const char* red;
    };
    for (const Expect& e : {Expect{1, "TL", "TR"}, Expect{2, "TR", "TL"}, Expect{3, "BR", "BL"}, Expect{4, "BL", "BR"},
                            Expect{5, "TL", "BL"}, Expect{6, "TR", "BR"}, Expect{7, "BR", "TR"}, Expect{8, "BL", "TL"}}) {
        const Bytes file = WithExifOrientation(plain, e.orientation);
        const Image32 img = DecodeJpeg(file.data(), file.size());
        auto corner = [&](const char* c) {
            return img.at(c[1] == 'L' ? 2 : img.width - 3, c[0] == 'T' ? 2 : img.height - 3);
        };
        ExpectNear(corner(e.white), 0xFFFFFFFFu);
        ExpectNear(corner(e.red), 0xFFFF0000u);
        EXPECT_EQ(img.width, e.orientation >= 5 ? h : w);
    }
}

TEST(JpegToSize, WithoutDctScalingItIsTodaysResampleExactly) {
    // Targets that leave the whole shrinking (or any enlarging) to the
    // resampler: the streamed rows must give Resample's picture bit for bit.
    const Bytes file = PhotoLike(203, 117, 3);
    const Image32 full = DecodeJpeg(file.data(), file.size());
    const int targets[][2] = {{150, 100}, {202, 116}, {203, 60}, {102, 117}, {400, 300}, {300, 90}, {120, 1}, {1, 117}, {7, 200}};
    for (const auto& t : targets) {
        const Image32 expected = Resample(full, t[0], t[1]);
        for (DecodeThreads threads : kBothWays) {
            const Image32 got = DecodeJpegToSize(file.data(), file.size(), t[0], t[1], threads);
            ASSERT_EQ(got.width, t[0]);
            ASSERT_EQ(got.height, t[1]);
            ASSERT_EQ(got.pixels, expected.pixels) << t[0] << " x " << t[1];
        }
    }
}

TEST(JpegToSize, TurnedPhotosAreResampledInTheirUprightAxes) {
    // Resampled as stored, then turned: within a level of turning first,
    // the order in which the two axes are rounded being the only change.
    const Bytes plain = PhotoLike(150, 70, 5);
    for (int o = 1; o <= 8; ++o) {
        const Bytes file = WithExifOrientation(plain, o);
        const Image32 upright = DecodeJpeg(file.data(), file.size());
        for (const auto& [w, h] : {std::pair{upright.width * 3 / 4, upright.height * 4 / 5}, std::pair{31, 47}}) {
            const Image32 got = DecodeJpegToSize(file.data(), file.size(), w, h);
            ASSERT_EQ(got.width, w);
            ASSERT_EQ(got.height, h);
            const Difference d = Compare(got, Resample(upright, w, h));
            EXPECT_LE(d.max, o == 1 ? 0 : 1) << "orientation " << o << " to " << w << " x " << h;
        }
    }
}

TEST(JpegToSize, OneAndTwoThreadsMakeTheSamePicture) {
    const Bytes file = WithExifOrientation(PhotoLike(480, 272, 7), 6);
    for (const auto& [w, h] : {std::pair{100, 200}, std::pair{17, 29}, std::pair{60, 30}, std::pair{272, 480}}) {
        const Image32 one = DecodeJpegToSize(file.data(), file.size(), w, h, DecodeThreads::One);
        const Image32 two = DecodeJpegToSize(file.data(), file.size(), w, h, DecodeThreads::Two);
        ASSERT_EQ(one.pixels, two.pixels) << w << " x " << h;
    }
}

// The fast path against today's (full decode, then Resample), at the three
// DCT scales it uses, with the resampler left a factor from 2 (the least it
// gets) to nearly 4.
//
// A DCT-scaled pixel is the mean of a whole block where today's span ends
// part of the way into it. At each end of a span, along each axis, the two
// differ by at most 255 f (1 - f) / r <= 255 / (4 r) levels, f being the
// share of the end block inside the span and r >= 2 the resampler's factor:
// 64 levels for a pixel with full-contrast edges across two of its sides,
// 127 with edges across all four. Sharp patterns that put edges where that
// happens (one-pixel checks, cells that are not multiples of 8, thin lines,
// a zone plate with every frequency up to the finest) reach 36 and average
// at most 5.5; they are held to the two-sided 64 and a mean of 8. On smooth
// content the block means are the spans' means up to the quantisation of
// the low frequencies: a photo-like picture stays within 2 levels (held to
// 4, mean 1). A misplaced row, column or weight shows far past either.
TEST(JpegToSize, DctScaledPicturesStayCloseToTodays) {
    const int w = 640, h = 480;
    struct Picture {
        const char* name;
        Bytes file;
        int maxBound;
        double meanBound;
    };
    const Picture pictures[] = {
        {"photo-like", PhotoLike(w, h, 11), 4, 1.0},
        {"checks of 1 pixel", Pattern(w, h, [](int x, int y) { return (x + y) % 2 ? 255 : 0; }), 64, 8.0},
        {"cells of 37 x 23", Pattern(w, h, [](int x, int y) { return (x / 37 + y / 23) % 2 ? 230 : 20; }), 64, 8.0},
        {"lines", Pattern(w, h, [](int x, int y) { return x % 13 == 0 || y % 11 == 0 ? 0 : 240; }), 64, 8.0},
        {"zone plate", Pattern(w, h, [](int x, int y) {
             const double dx = x - w / 2.0, dy = y - h / 2.0;
             return static_cast<int>(127.5 + 127.5 * std::cos((dx * dx + dy * dy) * 0.0045));
         }), 64, 8.0},
    };
    const int targets[][2] = {{160, 120}, {110, 90}, {80, 60}, {47, 35}, {40, 30}, {23, 17}};
    for (const Picture& p : pictures) {
        const Image32 full = DecodeJpeg(p.file.data(), p.file.size());
        for (const auto& t : targets) {
            const Image32 fast = DecodeJpegToSize(p.file.data(), p.file.size(), t[0], t[1]);
            const Difference d = Compare(fast, Resample(full, t[0], t[1]));
            EXPECT_LE(d.max, p.maxBound) << p.name << " to " << t[0] << " x " << t[1];
            EXPECT_LE(d.mean, p.meanBound) << p.name << " to " << t[0] << " x " << t[1];
        }
    }
}

TEST(JpegToSize, GreyscaleAndCmykKeepTheirColours) {
    std::vector<std::uint8_t> grey(64 * 48, 100);
    const Bytes g = EncodeJpegSamples(64, 48, 1, grey);
    std::vector<std::uint8_t> cmyk;
    for (int i = 0; i < 64 * 48; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    const Bytes c = EncodeJpegSamples(64, 48, 4, cmyk);
    for (DecodeThreads threads : kBothWays) {
        for (const auto& [w, h] : {std::pair{20, 10}, std::pair{64, 48}, std::pair{3, 2}}) {
            const Image32 gi = DecodeJpegToSize(g.data(), g.size(), w, h, threads);
            ASSERT_EQ(gi.width, w);
            for (std::uint32_t p : gi.pixels) ExpectNear(p, 0xFF646464u, 2);
            const Image32 ci = DecodeJpegToSize(c.data(), c.size(), w, h, threads);
            ASSERT_EQ(ci.height, h);
            for (std::uint32_t p : ci.pixels) ExpectNear(p, 0xFFFF0000u);
        }
    }
}

std::string ToSizeError(const Bytes& b, int w, int h, DecodeThreads threads) {
    try {
        DecodeJpegToSize(b.data(), b.size(), w, h, threads);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(JpegToSize, BadFilesGiveTheSameErrorsAsTheFullDecode) {
    // A picture big enough to be DCT-scaled, so that every path is taken.
    const Bytes good = PhotoLike(96, 64, 2, {.quality = 75});
    for (DecodeThreads threads : kBothWays) {
        for (const auto& [w, h] : {std::pair{10, 8}, std::pair{96, 64}, std::pair{120, 30}}) {
            ASSERT_EQ(ToSizeError(good, w, h, threads), "");
            for (std::size_t n = 0; n < good.size(); n += (n < 700 ? 1 : 7)) {
                const std::string e = ToSizeError(Bytes(good.begin(), good.begin() + n), w, h, threads);
                ASSERT_EQ(e.rfind("Erreur JPEG #", 0), 0u) << "cut at " << n << ": " << e;
            }
            EXPECT_EQ(ToSizeError(Bytes(good.begin(), good.end() - 20), w, h, threads), JpegError(JERR_INPUT_EOF));
            EXPECT_EQ(ToSizeError(Bytes{}, w, h, threads), JpegError(JERR_INPUT_EMPTY));
        }
    }

    // Refused sizes, and the scan bomb, through the same messages.
    Bytes huge = TwoColourPicture(16, 16);
    for (std::size_t i = 2; i + 9 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
            break;
        }
    EXPECT_EQ(ToSizeError(huge, 1920, 1080, DecodeThreads::Two), "Image trop grande (65000 x 65000 pixels)");
    try {
        ReadJpegInfo(huge.data(), huge.size());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Image trop grande (65000 x 65000 pixels)");
    }
    const Bytes prog = TwoColourPicture(64, 64, true);
    std::size_t lastSos = 0;
    for (std::size_t i = 2; i + 1 < prog.size(); ++i)
        if (prog[i] == 0xFF && prog[i + 1] == 0xDA) lastSos = i;
    const Bytes scan(prog.begin() + lastSos, prog.end() - 2);
    Bytes bomb(prog.begin(), prog.end() - 2);
    for (int i = 0; i < 1100; ++i) bomb.insert(bomb.end(), scan.begin(), scan.end());
    bomb.push_back(0xFF), bomb.push_back(0xD9);
    for (DecodeThreads threads : kBothWays)
        EXPECT_EQ(ToSizeError(bomb, 20, 20, threads), "Fichier JPEG trop complexe (plus de 1000 passes)");
}

// What a transfer that stopped leaves once a tool has closed the file:
// libjpeg meets the end marker inside the scan and would make up the rest
// of the picture in grey, warning only.
TEST(JpegDecode, ScanCutShortAndClosedByAnEndMarkerIsRefused) {
    for (bool progressive : {false, true}) {
        const Bytes cut = test_jpeg::CutWithEndMarker(PhotoLike(160, 120, 4, {.progressive = progressive}), 0.6);
        for (DecodeThreads threads : kBothWays) {
            std::string e;
            try {
                DecodeJpeg(cut.data(), cut.size(), threads);
            } catch (const Error& error) {
                e = error.what();
            }
            EXPECT_EQ(e, JpegError(JWRN_HIT_MARKER)) << "progressive " << progressive;
            // DCT-scaled and at its own size.
            for (const auto& [w, h] : {std::pair{40, 30}, std::pair{160, 120}})
                EXPECT_EQ(ToSizeError(cut, w, h, threads), JpegError(JWRN_HIT_MARKER))
                    << "progressive " << progressive << " to " << w << " x " << h;
        }
    }
}

// Stray bytes between segments (editors leave them) lose nothing: libjpeg
// warns and the picture is whole.
TEST(JpegDecode, ExtraBytesBeforeAMarkerAreTolerated) {
    const Bytes good = PhotoLike(96, 64, 4);
    const Image32 expected = DecodeJpeg(good.data(), good.size());
    std::size_t sos = 0;
    for (std::size_t i = 2; i + 1 < good.size() && !sos; ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xDA) sos = i;
    ASSERT_GT(sos, 0u);
    Bytes padded = good;
    padded.insert(padded.end() - 2, {0x00, 0x17, 0x2A});  // before the end marker
    padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(sos), {0x55, 0xAA});  // before the scan
    ASSERT_EQ(DecodeError(padded), "");
    EXPECT_EQ(DecodeJpeg(padded.data(), padded.size()).pixels, expected.pixels);
    for (DecodeThreads threads : kBothWays)
        EXPECT_EQ(DecodeJpegToSize(padded.data(), padded.size(), 30, 20, threads).pixels,
                  DecodeJpegToSize(good.data(), good.size(), 30, 20, threads).pixels);
}

// A camera's 24-megapixel photo to a 1080p screen: tens of times the ring
// the two threads share, so each waits for the other again and again. They
// must never both wait for good, and must make one thread's picture. The
// decode runs on a thread of its own so that a deadlock fails the test
// instead of hanging the run.
TEST(JpegToSize, TwoThreadsThroughAFullRingMakeTheOneThreadPicture) {
    const auto file = std::make_shared<const Bytes>(PhotoLike(6000, 4000, 13, {.quality = 75}));
    const Image32 one = DecodeJpegToSize(file->data(), file->size(), 1920, 1080, DecodeThreads::One);
    auto result = std::make_shared<std::promise<Image32>>();
    std::future<Image32> two = result->get_future();
    std::thread([file, result] {
        try {
            result->set_value(DecodeJpegToSize(file->data(), file->size(), 1920, 1080, DecodeThreads::Two));
        } catch (...) {
            result->set_exception(std::current_exception());
        }
    }).detach();
    ASSERT_EQ(two.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the two threads wait for each other";
    EXPECT_EQ(two.get().pixels, one.pixels);
}

TEST(JpegToSize, TargetSizes) {
    const Bytes file = TwoColourPicture(32, 16);
    EXPECT_TRUE(DecodeJpegToSize(file.data(), file.size(), 0, 10).empty());
    EXPECT_TRUE(DecodeJpegToSize(file.data(), file.size(), 10, -1).empty());
    EXPECT_ANY_THROW(DecodeJpegToSize(file.data(), file.size(), 1 << 21, 2));
    EXPECT_ANY_THROW(DecodeJpegToSize(file.data(), file.size(), 100000, 100000));
    const Image32 one = DecodeJpegToSize(file.data(), file.size(), 1, 1);
    ASSERT_EQ(one.pixels.size(), 1u);
    EXPECT_EQ(one.pixels[0] >> 24, 0xFFu);
}

TEST(JpegInfo, ReadsTheHeadersOnly) {
    // Cut in the middle of its scan: no picture, but its size and orientation.
    const Bytes file = WithExifOrientation(PhotoLike(90, 40), 8);
    const Bytes cut(file.begin(), file.begin() + file.size() / 2);
    EXPECT_EQ(DecodeError(cut), JpegError(JERR_INPUT_EOF));
    const JpegInfo info = ReadJpegInfo(cut.data(), cut.size());
    EXPECT_EQ(info.width, 40);
    EXPECT_EQ(info.height, 90);
    EXPECT_EQ(info.orientation, 8);
    // A damaged header is the same error as for the decode.
    const Bytes header(file.begin(), file.begin() + 60);
    EXPECT_ANY_THROW(ReadJpegInfo(header.data(), header.size()));
    EXPECT_ANY_THROW(ReadJpegInfo(nullptr, 0));
}

TEST(JpegToSize, DecodedPicturesBecomeBitmapFilesWhereTheyLie) {
    // The decoders leave the room EncodeBmpInPlace needs: a wallpaper's file
    // is made without a second buffer of its size, whatever the orientation.
    const Bytes plain = PhotoLike(120, 80);
    for (int o : {1, 3, 6}) {
        const Bytes file = WithExifOrientation(plain, o);
        for (bool toSize : {false, true}) {
            Image32 img = toSize ? DecodeJpegToSize(file.data(), file.size(), 50, 40) : DecodeJpeg(file.data(), file.size());
            const std::vector<std::uint8_t> expected = EncodeBmp(img, 32);
            const auto* at = reinterpret_cast<const std::uint8_t*>(img.pixels.data());
            const BmpFileBytes bmp = EncodeBmpInPlace(std::move(img), 32);
            EXPECT_EQ(bmp.data(), at + 2) << o;
            EXPECT_EQ(std::vector<std::uint8_t>(bmp.data(), bmp.data() + bmp.size()), expected) << o;
        }
    }
}

TEST(JpegTopLeftPixel, IsTheUprightPicturesWithoutDecodingIt) {
    // Every orientation, the picture's two kinds of scan, greyscale and
    // CMYK: the pixel DecodeJpeg puts at (0, 0).
    std::vector<std::uint8_t> grey(40 * 24);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> cmyk;
    for (int i = 0; i < 40 * 24; ++i) cmyk.insert(cmyk.end(), {static_cast<std::uint8_t>(i), 40, 200, 255});
    const Bytes files[] = {PhotoLike(150, 70), TwoColourPicture(48, 32, true), EncodeJpegSamples(40, 24, 1, grey),
                           EncodeJpegSamples(40, 24, 4, cmyk)};
    for (const Bytes& plain : files)
        for (int o = 1; o <= 8; ++o) {
            const Bytes file = WithExifOrientation(plain, o);
            const Image32 full = DecodeJpeg(file.data(), file.size());
            EXPECT_EQ(DecodeJpegTopLeftPixel(file.data(), file.size()), full.at(0, 0)) << "orientation " << o;
        }
}

TEST(JpegTopLeftPixel, ReadsNoFurtherThanTheRowItNeeds) {
    const Bytes plain = PhotoLike(64, 48);
    const Image32 stored = DecodeJpeg(plain.data(), plain.size());
    // Upright, the first stored row holds the pixel: the rest may be missing.
    const Bytes cut(plain.begin(), plain.begin() + plain.size() * 2 / 3);
    EXPECT_EQ(DecodeJpegTopLeftPixel(cut.data(), cut.size()), stored.at(0, 0));
    // Turned a half turn, the last row holds it: the same cut file fails.
    const Bytes turned = WithExifOrientation(plain, 3);
    const Bytes turnedCut(turned.begin(), turned.begin() + turned.size() * 2 / 3);
    EXPECT_THROW(DecodeJpegTopLeftPixel(turnedCut.data(), turnedCut.size()), Error);
    EXPECT_EQ(DecodeJpegTopLeftPixel(turned.data(), turned.size()), stored.at(63, 47));
    EXPECT_THROW(DecodeJpegTopLeftPixel(nullptr, 0), Error);
}

}  // namespace
}  // namespace orvane
