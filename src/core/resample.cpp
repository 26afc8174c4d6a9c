#include "core/resample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORVANE_RESAMPLE_SSE2 1
#endif

namespace orvane {
namespace {

// Weights are 1.14 fixed point: they fit a signed 16-bit lane (the SSE2
// multiply-add works on those) and 255 * 2^14 * taps stays far below 2^31.
constexpr int kShift = 14;
constexpr int kOne = 1 << kShift;
constexpr int kRound = 1 << (kShift - 1);

// For each destination index along one axis: the first source index, the
// number of source indexes that contribute, and their weights (summing to
// exactly kOne, so a uniform colour comes out unchanged).
struct Taps {
    std::vector<int> start;
    std::vector<int> count;
    std::vector<std::int16_t> weights;  // dst * stride
    int stride = 0;
};

// Spreads the rounding error of the weights onto the largest one so their sum
// is exactly kOne.
void Normalise(std::int16_t* w, int n) {
    int sum = 0, largest = 0;
    for (int k = 0; k < n; ++k) {
        sum += w[k];
        if (w[k] > w[largest]) largest = k;
    }
    w[largest] = static_cast<std::int16_t>(w[largest] + (kOne - sum));
}

// Shrinking: destination pixel i covers the source span [i*S/D, (i+1)*S/D);
// each source pixel weighs by the part of it inside that span. Positions are
// kept in units of 1/D of a source pixel so the spans are exact integers.
Taps AreaTaps(int src, int dst) {
    Taps t;
    const std::int64_t S = src, D = dst;
    t.stride = static_cast<int>((S + D - 1) / D) + 1;
    t.start.resize(dst);
    t.count.resize(dst);
    t.weights.assign(static_cast<std::size_t>(dst) * t.stride, 0);
    for (int i = 0; i < dst; ++i) {
        const std::int64_t lo = i * S, hi = (i + 1) * S;  // in 1/D units
        const int first = static_cast<int>(lo / D);
        const int last = static_cast<int>(std::min<std::int64_t>((hi - 1) / D, S - 1));
        std::int16_t* w = &t.weights[static_cast<std::size_t>(i) * t.stride];
        int n = 0;
        for (int j = first; j <= last; ++j) {
            const std::int64_t a = std::max<std::int64_t>(lo, j * D);
            const std::int64_t b = std::min<std::int64_t>(hi, (j + 1) * D);
            w[n++] = static_cast<std::int16_t>(((b - a) * kOne + S / 2) / S);
        }
        // Drop the zero weights at the ends (tiny overlaps rounded away).
        int begin = 0, end = n;
        while (end - begin > 1 && w[begin] == 0) ++begin;
        while (end - begin > 1 && w[end - 1] == 0) --end;
        if (begin > 0) std::memmove(w, w + begin, (end - begin) * sizeof(std::int16_t));
        n = end - begin;
        std::fill(w + n, w + t.stride, std::int16_t{0});
        Normalise(w, n);
        t.start[i] = first + begin;
        t.count[i] = n;
    }
    return t;
}

// Enlarging (or keeping the size): pixel centres are aligned, destination
// centre (i + 0.5) * S / D - 0.5 is interpolated between its two source
// neighbours, clamped at the edges.
Taps LinearTaps(int src, int dst) {
    Taps t;
    t.stride = 2;
    t.start.resize(dst);
    t.count.resize(dst);
    t.weights.assign(static_cast<std::size_t>(dst) * 2, 0);
    const std::int64_t S = src, D = dst;
    for (int i = 0; i < dst; ++i) {
        const std::int64_t num = (2 * i + 1) * S - D, den = 2 * D;  // source position = num / den
        std::int16_t* w = &t.weights[static_cast<std::size_t>(i) * 2];
        if (num <= 0) {
            t.start[i] = 0, t.count[i] = 1, w[0] = kOne;
            continue;
        }
        const std::int64_t j = num / den;
        const int frac = static_cast<int>(((num - j * den) * kOne + den / 2) / den);
        if (j >= S - 1 || frac == kOne) {
            t.start[i] = static_cast<int>(std::min<std::int64_t>(frac == kOne ? j + 1 : j, S - 1));
            t.count[i] = 1, w[0] = kOne;
        } else if (frac == 0) {
            t.start[i] = static_cast<int>(j), t.count[i] = 1, w[0] = kOne;
        } else {
            t.start[i] = static_cast<int>(j), t.count[i] = 2;
            w[0] = static_cast<std::int16_t>(kOne - frac);
            w[1] = static_cast<std::int16_t>(frac);
        }
    }
    return t;
}

Taps MakeTaps(int src, int dst) { return dst < src ? AreaTaps(src, dst) : LinearTaps(src, dst); }

// One destination row from several source rows (vertical pass), on bytes:
// out[k] = sum(rows[t][k] * w[t]) >> 14, for k < bytes.
void BlendRows(const std::uint8_t* const* rows, const std::int16_t* w, int n, std::uint8_t* out,
               std::size_t bytes) {
    std::size_t k = 0;
#ifdef ORVANE_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(kRound);
    for (; k + 16 <= bytes; k += 16) {
        __m128i acc0 = round, acc1 = round, acc2 = round, acc3 = round;
        int t = 0;
        for (; t + 2 <= n; t += 2) {
            const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[t]) |
                                              (static_cast<std::uint32_t>(static_cast<std::uint16_t>(w[t + 1])) << 16));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t + 1] + k));
            const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
            const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), wv));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), wv));
            acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), wv));
            acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), wv));
        }
        if (t < n) {
            const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[t]));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + k));
            const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, zero), wv));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, zero), wv));
            acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, zero), wv));
            acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, zero), wv));
        }
        acc0 = _mm_srai_epi32(acc0, kShift);
        acc1 = _mm_srai_epi32(acc1, kShift);
        acc2 = _mm_srai_epi32(acc2, kShift);
        acc3 = _mm_srai_epi32(acc3, kShift);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc0, acc1), _mm_packs_epi32(acc2, acc3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), packed);
    }
#endif
    for (; k < bytes; ++k) {
        int acc = kRound;
        for (int t = 0; t < n; ++t) acc += rows[t][k] * w[t];
        out[k] = static_cast<std::uint8_t>(acc >> kShift);
    }
}

// One destination row from one source row (horizontal pass), on pixels.
void BlendPixels(const std::uint32_t* row, const Taps& taps, std::uint32_t* out, int width) {
#ifdef ORVANE_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(kRound);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = row + taps.start[x];
        const std::int16_t* w = &taps.weights[static_cast<std::size_t>(x) * taps.stride];
        const int n = taps.count[x];
        __m128i acc = round;
        int t = 0;
        for (; t + 2 <= n; t += 2) {
            // Two neighbouring pixels, channels interleaved (b0 b1 g0 g1 r0 r1 a0 a1)
            // so one multiply-add weighs and sums both.
            const __m128i two = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + t)), zero);
            const __m128i mixed = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));
            const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[t]) |
                                              (static_cast<std::uint32_t>(static_cast<std::uint16_t>(w[t + 1])) << 16));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(mixed, wv));
        }
        if (t < n) {
            const __m128i one = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[t])), zero);
            const __m128i mixed = _mm_unpacklo_epi16(one, zero);
            acc = _mm_add_epi32(acc, _mm_madd_epi16(mixed, _mm_set1_epi32(static_cast<std::uint16_t>(w[t]))));
        }
        acc = _mm_srai_epi32(acc, kShift);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc, acc), zero);
        out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
    }
#else
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = row + taps.start[x];
        const std::int16_t* w = &taps.weights[static_cast<std::size_t>(x) * taps.stride];
        std::uint32_t c0 = kRound, c1 = kRound, c2 = kRound, c3 = kRound;
        for (int t = 0; t < taps.count[x]; ++t) {
            const std::uint32_t v = p[t], wt = static_cast<std::uint32_t>(w[t]);
            c0 += (v & 0xFF) * wt;
            c1 += ((v >> 8) & 0xFF) * wt;
            c2 += ((v >> 16) & 0xFF) * wt;
            c3 += (v >> 24) * wt;
        }
        out[x] = (c0 >> kShift) | ((c1 >> kShift) << 8) | ((c2 >> kShift) << 16) | ((c3 >> kShift) << 24);
    }
#endif
}

}  // namespace

// A source without pixels gives opaque black of the requested size, so a
// caller that needs a picture of that size always gets one.
Image32 Resample(const Image32& source, int width, int height) {
    if (width <= 0 || height <= 0) return Image32();
    Image32 out(width, height);
    if (source.empty()) return out;
    if (source.width == width && source.height == height) {
        out.pixels = source.pixels;
        return out;
    }

    const Taps hTaps = MakeTaps(source.width, width);
    const Taps vTaps = MakeTaps(source.height, height);
    const bool sameWidth = source.width == width;
    const std::size_t rowBytes = static_cast<std::size_t>(source.width) * 4;

    // Rows first (the heavy pass, on contiguous bytes), then columns on the
    // one blended row: a single row of scratch memory, no per-pixel work
    // outside the two kernels.
    std::vector<std::uint32_t> blended(source.width);
    std::vector<const std::uint8_t*> rows(vTaps.stride);
    for (int y = 0; y < height; ++y) {
        const int n = vTaps.count[y];
        const std::int16_t* w = &vTaps.weights[static_cast<std::size_t>(y) * vTaps.stride];
        const std::uint32_t* line;
        if (n == 1) {
            line = &source.pixels[static_cast<std::size_t>(vTaps.start[y]) * source.width];
        } else {
            for (int t = 0; t < n; ++t)
                rows[t] = reinterpret_cast<const std::uint8_t*>(
                    &source.pixels[static_cast<std::size_t>(vTaps.start[y] + t) * source.width]);
            BlendRows(rows.data(), w, n, reinterpret_cast<std::uint8_t*>(blended.data()), rowBytes);
            line = blended.data();
        }
        std::uint32_t* dst = &out.pixels[static_cast<std::size_t>(y) * width];
        if (sameWidth)
            std::memcpy(dst, line, rowBytes);
        else
            BlendPixels(line, hTaps, dst, width);
    }
    return out;
}

}  // namespace orvane
