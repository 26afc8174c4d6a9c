#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/picture/resample.h"

namespace orvane {
namespace {

std::uint32_t Channel(std::uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; }

Image32 Random(int w, int h, unsigned seed) {
    Image32 img(w, h);
    std::mt19937 rng(seed);
    for (auto& p : img.pixels) p = 0xFF000000u | (rng() & 0xFFFFFF);
    return img;
}

// Straightforward floating-point area average of the source span covered by
// destination pixel (x, y), the reference the fixed-point code must match.
double AreaReference(const Image32& src, int dw, int dh, int x, int y, int c) {
    const double sx = static_cast<double>(src.width) / dw, sy = static_cast<double>(src.height) / dh;
    const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
    double sum = 0, area = 0;
    for (int j = static_cast<int>(y0); j < src.height && j < y1; ++j) {
        const double hy = std::min<double>(j + 1, y1) - std::max<double>(j, y0);
        if (hy <= 0) continue;
        for (int i = static_cast<int>(x0); i < src.width && i < x1; ++i) {
            const double wx = std::min<double>(i + 1, x1) - std::max<double>(i, x0);
            if (wx <= 0) continue;
            sum += Channel(src.at(i, j), c) * wx * hy;
            area += wx * hy;
        }
    }
    return sum / area;
}

TEST(Resample, UniformColoursStayExactWhateverTheRatio) {
    const std::uint32_t colours[] = {0xFF000000u, 0xFFFFFFFFu, 0xFF123456u, 0x80FF0001u, 0x00000000u};
    const int sizes[][4] = {{100, 80, 33, 17}, {7, 5, 1920, 1080}, {1920, 1080, 1919, 1081},
                            {3, 3, 2, 2},      {1, 1, 50, 40},    {641, 479, 97, 3}};
    for (std::uint32_t colour : colours) {
        for (const auto& s : sizes) {
            const Image32 out = Resample(Image32(s[0], s[1], colour), s[2], s[3]);
            ASSERT_EQ(out.width, s[2]);
            ASSERT_EQ(out.height, s[3]);
            for (std::uint32_t p : out.pixels) ASSERT_EQ(p, colour) << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3];
        }
    }
}

TEST(Resample, ShrinkingAveragesTheCoveredArea) {
    // Halving: each output pixel is the exact mean of a 2 x 2 block.
    Image32 src(4, 2);
    src.at(0, 0) = 0xFF000000u, src.at(1, 0) = 0xFFFFFFFFu, src.at(0, 1) = 0xFF000000u, src.at(1, 1) = 0xFFFFFFFFu;
    src.at(2, 0) = 0xFF0000C8u, src.at(3, 0) = 0xFF000064u, src.at(2, 1) = 0xFF000000u, src.at(3, 1) = 0xFF000000u;
    const Image32 half = Resample(src, 2, 1);
    EXPECT_EQ(half.at(0, 0), 0xFF808080u);  // 127.5 rounds up
    EXPECT_EQ(half.at(1, 0), 0xFF00004Bu);  // (200 + 100) / 4 = 75

    // Uneven ratios against a floating-point reference, within rounding.
    const Image32 big = Random(157, 93, 7);
    const int targets[][2] = {{50, 31}, {1, 1}, {156, 92}, {13, 90}, {157, 10}};
    for (const auto& t : targets) {
        const Image32 out = Resample(big, t[0], t[1]);
        for (int y = 0; y < t[1]; ++y)
            for (int x = 0; x < t[0]; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_NEAR(Channel(out.at(x, y), c), AreaReference(big, t[0], t[1], x, y, c), 1.0)
                        << t[0] << "x" << t[1] << " at " << x << "," << y;
    }
}

TEST(Resample, ShrinkingToOnePixelGivesTheMeanOfAll) {
    Image32 src(3, 1);
    src.at(0, 0) = 0xFF00000Au, src.at(1, 0) = 0xFF000014u, src.at(2, 0) = 0xFF00001Eu;
    EXPECT_EQ(Resample(src, 1, 1).at(0, 0), 0xFF000014u);
}

TEST(Resample, EnlargingInterpolatesBetweenCentresAndClampsAtEdges) {
    Image32 src(2, 1);
    src.at(0, 0) = 0xFF000000u, src.at(1, 0) = 0xFF0000FFu;
    const Image32 out = Resample(src, 4, 1);
    // Destination centres fall at source positions -0.25, 0.25, 0.75, 1.25.
    EXPECT_EQ(out.at(0, 0) & 0xFF, 0u);
    EXPECT_EQ(out.at(1, 0) & 0xFF, 64u);   // 255 * 0.25 = 63.75
    EXPECT_EQ(out.at(2, 0) & 0xFF, 191u);  // 255 * 0.75 = 191.25
    EXPECT_EQ(out.at(3, 0) & 0xFF, 255u);

    // Monotonic along a ramp, and the corners keep the corner colours.
    Image32 ramp(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) ramp.at(x, y) = 0xFF000000u | (x * 60) | ((y * 60) << 8);
    const Image32 up = Resample(ramp, 23, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 1; x < 23; ++x) ASSERT_GE(up.at(x, y) & 0xFF, up.at(x - 1, y) & 0xFF);
    EXPECT_EQ(up.at(0, 0), ramp.at(0, 0));
    EXPECT_EQ(up.at(22, 16), ramp.at(4, 4));
}

TEST(Resample, AxesAreIndependent) {
    // Wider but shorter: each row of vertical stripes keeps its stripes.
    Image32 src(2, 4);
    for (int y = 0; y < 4; ++y) src.at(0, y) = 0xFF0000FFu, src.at(1, y) = 0xFFFF0000u;
    const Image32 out = Resample(src, 8, 2);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(out.at(0, y), 0xFF0000FFu);
        EXPECT_EQ(out.at(7, y), 0xFFFF0000u);
    }
}

TEST(Resample, DegenerateSizes) {
    const Image32 src = Random(10, 6, 3);
    EXPECT_TRUE(Resample(src, 0, 5).empty());
    EXPECT_TRUE(Resample(src, 5, 0).empty());
    EXPECT_TRUE(Resample(src, -3, 5).empty());

    const Image32 same = Resample(src, 10, 6);
    EXPECT_EQ(same.pixels, src.pixels);

    // Same width only: rows are averaged, columns untouched.
    const Image32 rowsOnly = Resample(src, 10, 3);
    for (int x = 0; x < 10; ++x)
        for (int c = 0; c < 4; ++c)
            ASSERT_NEAR(Channel(rowsOnly.at(x, 1), c),
                        (Channel(src.at(x, 2), c) + Channel(src.at(x, 3), c)) / 2.0, 0.51);

    // One pixel wide and one pixel high in both directions.
    const Image32 column = Resample(src, 1, 6);
    ASSERT_EQ(column.width, 1);
    const Image32 line = Resample(Random(1, 1, 9), 300, 1);
    for (std::uint32_t p : line.pixels) ASSERT_EQ(p, line.pixels[0]);

    // Nothing to sample from: opaque black of the requested size.
    const Image32 fromNothing = Resample(Image32(), 4, 3);
    ASSERT_EQ(fromNothing.pixels.size(), 12u);
    EXPECT_EQ(fromNothing.at(3, 2), 0xFF000000u);
}

TEST(Resample, WidthsAroundTheVectorBlockSize) {
    // Rows whose byte length is not a multiple of 16 finish in scalar code;
    // both paths must agree with the reference.
    for (int w : {1, 2, 3, 4, 5, 7, 8, 9, 15, 17}) {
        const Image32 src = Random(w, 9, w);
        const Image32 out = Resample(src, w, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_NEAR(Channel(out.at(x, y), c), AreaReference(src, w, 4, x, y, c), 1.0) << w;
    }
}

TEST(Resample, HugeReductionsStayAccurate) {
    // Hundreds of taps per pixel (the 16-bit lanes with their bias) and tens
    // of thousands (the exact 64-bit path), on the worst case for rounding:
    // alternating black and white.
    for (int w : {1000, 40000}) {
        Image32 stripes(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) stripes.at(x, y) = (x % 2) ? 0xFFFFFFFFu : 0xFF000000u;
        for (int tw : {1, 3, 7}) {
            const Image32 out = Resample(stripes, tw, 2);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < tw; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(Channel(out.at(x, y), c), AreaReference(stripes, tw, 2, x, y, c), 1.0)
                            << w << " -> " << tw;
        }
        // Uniform stays exact there too, both ways round.
        const Image32 flat = Resample(Image32(w, 2, 0xFF7F3A01u), 3, 1);
        for (std::uint32_t p : flat.pixels) ASSERT_EQ(p, 0xFF7F3A01u);
        const Image32 tall = Resample(Image32(2, w, 0xFF7F3A01u), 1, 3);
        for (std::uint32_t p : tall.pixels) ASSERT_EQ(p, 0xFF7F3A01u);
    }
}

TEST(Resample, RefusesAbsurdTargets) {
    EXPECT_ANY_THROW(Resample(Image32(2, 2), 1 << 21, 2));
    EXPECT_ANY_THROW(Resample(Image32(2, 2), 100000, 100000));
}

// Source rows fed one by one into a ring of MaxSourceRows() rows, the
// oldest overwritten as soon as no destination row needs it: what a decoder
// streaming into the resampler does.
Image32 Streamed(const Image32& src, int w, int h) {
    const RowResampler r(src.width, src.height, w, h);
    const int slots = r.MaxSourceRows();
    std::vector<std::uint32_t> ring(static_cast<std::size_t>(slots) * src.width, 0xDEADBEEFu);
    std::vector<std::uint32_t> scratch(r.ScratchPixels(), 0xDEADBEEFu);
    std::vector<const std::uint32_t*> rows(slots);
    Image32 out(w, h, 0);
    int next = 0, lastFirst = 0, lastEnd = 0;
    for (int j = 0; j < src.height; ++j) {
        std::copy_n(&src.pixels[static_cast<std::size_t>(j) * src.width], src.width,
                    &ring[static_cast<std::size_t>(j % slots) * src.width]);
        while (next < h && r.EndSourceRow(next) <= j + 1) {
            const int first = r.FirstSourceRow(next), end = r.EndSourceRow(next);
            EXPECT_GE(first, lastFirst);
            EXPECT_GE(end, lastEnd);
            EXPECT_LE(end - first, slots);
            EXPECT_GT(end, first);
            EXPECT_LE(end, src.height);
            // Every row it reads is still in the ring.
            EXPECT_GT(first, j - slots);
            lastFirst = first, lastEnd = end;
            for (int k = first; k < end; ++k) rows[k - first] = &ring[static_cast<std::size_t>(k % slots) * src.width];
            r.MakeRow(next, rows.data(), &out.pixels[static_cast<std::size_t>(next) * w], scratch.data());
            ++next;
        }
    }
    EXPECT_EQ(next, h);
    return out;
}

TEST(RowResampler, StreamedRowsAreResamplesOwn) {
    const int sizes[][4] = {{157, 93, 50, 31}, {157, 93, 400, 250}, {157, 93, 157, 40}, {157, 93, 20, 93},
                            {9, 1000, 4, 3},   {3, 3, 7, 2},        {1, 50, 5, 7},      {64, 64, 64, 64},
                            {31, 17, 1, 1},    {2, 301, 300, 300}};
    for (const auto& s : sizes) {
        const Image32 src = Random(s[0], s[1], static_cast<unsigned>(s[0] * 7 + s[2]));
        const Image32 expected = s[0] == s[2] && s[1] == s[3] ? src : Resample(src, s[2], s[3]);
        ASSERT_EQ(Streamed(src, s[2], s[3]).pixels, expected.pixels)
            << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3];
    }
}

TEST(RowResampler, RefusesSizesResampleWouldNotMake) {
    EXPECT_ANY_THROW(RowResampler(0, 5, 5, 5));
    EXPECT_ANY_THROW(RowResampler(5, 5, 5, -1));
    EXPECT_ANY_THROW(RowResampler(5, 5, 1 << 21, 2));
    EXPECT_ANY_THROW(RowResampler(100000, 100000, 5, 5));
}

}  // namespace
}  // namespace orvane
