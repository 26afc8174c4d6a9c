#include "core/resample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/error.h"

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

std::uint32_t PackPair(std::int16_t a, std::int16_t b) {
    return static_cast<std::uint16_t>(a) | (static_cast<std::uint32_t>(static_cast<std::uint16_t>(b)) << 16);
}

Taps MakeTaps(int src, int dst) { return dst < src ? AreaTaps(src, dst) : LinearTaps(src, dst); }

#ifdef ORVANE_RESAMPLE_SSE2
// Sixteen bytes of two rows, weighed by one multiply-add per four lanes.
inline void WeighRows(__m128i a, __m128i b, __m128i wv, __m128i& acc0, __m128i& acc1, __m128i& acc2,
                      __m128i& acc3) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
    const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
    acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), wv));
    acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), wv));
    acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), wv));
    acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), wv));
}

inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// N > 0: exactly N rows, unrolled with the weights kept in registers;
// N == 0: any number of rows. Returns the number of bytes done.
template <int N>
std::size_t BlendRowsSse2(const std::uint8_t* const* rowsIn, const std::int16_t* w, int nRuntime, std::uint8_t* out,
                          std::size_t bytes) {
    const int n = N > 0 ? N : nRuntime;
    constexpr int kPairs = N > 0 ? (N + 1) / 2 : 1;
    const std::uint8_t* rows[N > 0 ? N : 1];
    __m128i wv[kPairs];
    if constexpr (N > 0) {
        for (int t = 0; t < N; ++t) rows[t] = rowsIn[t];
        for (int p = 0; p < kPairs; ++p)
            wv[p] = _mm_set1_epi32(static_cast<int>(PackPair(w[2 * p], 2 * p + 1 < N ? w[2 * p + 1] : std::int16_t{0})));
    }
    const __m128i round = _mm_set1_epi32(kRound);
    std::size_t k = 0;
    for (; k + 16 <= bytes; k += 16) {
        __m128i acc0 = round, acc1 = round, acc2 = round, acc3 = round;
        if constexpr (N > 0) {
            for (int p = 0; p < N / 2; ++p)
                WeighRows(Load16(rows[2 * p] + k), Load16(rows[2 * p + 1] + k), wv[p], acc0, acc1, acc2, acc3);
            if constexpr (N % 2 == 1)
                WeighRows(Load16(rows[N - 1] + k), _mm_setzero_si128(), wv[N / 2], acc0, acc1, acc2, acc3);
        } else {
            int t = 0;
            for (; t + 2 <= n; t += 2)
                WeighRows(Load16(rowsIn[t] + k), Load16(rowsIn[t + 1] + k),
                          _mm_set1_epi32(static_cast<int>(PackPair(w[t], w[t + 1]))), acc0, acc1, acc2, acc3);
            if (t < n)
                WeighRows(Load16(rowsIn[t] + k), _mm_setzero_si128(),
                          _mm_set1_epi32(static_cast<int>(PackPair(w[t], 0))), acc0, acc1, acc2, acc3);
        }
        acc0 = _mm_srai_epi32(acc0, kShift);
        acc1 = _mm_srai_epi32(acc1, kShift);
        acc2 = _mm_srai_epi32(acc2, kShift);
        acc3 = _mm_srai_epi32(acc3, kShift);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc0, acc1), _mm_packs_epi32(acc2, acc3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), packed);
    }
    return k;
}
#endif

// One destination row from several source rows (vertical pass), on bytes:
// out[k] = sum(rows[t][k] * w[t]) >> 14, for k < bytes.
void BlendRows(const std::uint8_t* const* rows, const std::int16_t* w, int n, std::uint8_t* out,
               std::size_t bytes) {
    std::size_t k = 0;
#ifdef ORVANE_RESAMPLE_SSE2
    switch (n) {
        case 2: k = BlendRowsSse2<2>(rows, w, n, out, bytes); break;
        case 3: k = BlendRowsSse2<3>(rows, w, n, out, bytes); break;
        case 4: k = BlendRowsSse2<4>(rows, w, n, out, bytes); break;
        case 5: k = BlendRowsSse2<5>(rows, w, n, out, bytes); break;
        default: k = BlendRowsSse2<0>(rows, w, n, out, bytes); break;
    }
#endif
    for (; k < bytes; ++k) {
        int acc = kRound;
        for (int t = 0; t < n; ++t) acc += rows[t][k] * w[t];
        out[k] = static_cast<std::uint8_t>(acc >> kShift);
    }
}

// The horizontal taps in the form the pixel kernel wants: every destination
// pixel reads the same even number of neighbouring source pixels (zero
// weights fill the gaps, the window slides left at the right edge), and the
// weights come in pairs packed as two 16-bit lanes, one multiply-add each.
struct PairTaps {
    std::vector<int> start;
    std::vector<std::uint32_t> pairs;  // dst * count, low half for the even tap
#ifdef ORVANE_RESAMPLE_SSE2
    std::vector<__m128i> vectors;      // the same pairs, broadcast for the multiply-add
#endif
    int count = 0;                     // pairs per destination pixel
    bool readsPastEnd = false;         // an odd-width source needs one pixel of padding
};

PairTaps MakePairTaps(const Taps& t, int src) {
    PairTaps p;
    int taps = (t.stride + 1) & ~1;
    if (taps > src) {
        // A span can cover the whole source: read it all, plus one zero-weight
        // pixel of padding when its width is odd.
        taps = (src + 1) & ~1;
        p.readsPastEnd = taps > src;
    }
    const int dst = static_cast<int>(t.start.size());
    p.count = taps / 2;
    p.start.resize(dst);
    p.pairs.assign(static_cast<std::size_t>(dst) * p.count, 0);
    std::vector<std::int16_t> w(taps);
    for (int i = 0; i < dst; ++i) {
        const int first = std::max(0, std::min(t.start[i], src - taps));
        std::fill(w.begin(), w.end(), std::int16_t{0});
        for (int k = 0; k < t.count[i]; ++k) w[t.start[i] - first + k] = t.weights[static_cast<std::size_t>(i) * t.stride + k];
        p.start[i] = first;
        for (int k = 0; k < p.count; ++k) p.pairs[static_cast<std::size_t>(i) * p.count + k] = PackPair(w[2 * k], w[2 * k + 1]);
    }
#ifdef ORVANE_RESAMPLE_SSE2
    p.vectors.resize(p.pairs.size());
    for (std::size_t k = 0; k < p.pairs.size(); ++k) p.vectors[k] = _mm_set1_epi32(static_cast<int>(p.pairs[k]));
#endif
    return p;
}

#ifdef ORVANE_RESAMPLE_SSE2
// Two neighbouring pixels, channels interleaved (b0 b1 g0 g1 r0 r1 a0 a1)
// and weighed by one multiply-add into four 32-bit channel sums.
inline __m128i WeighPair(const std::uint32_t* p, const __m128i& weights) {
    const __m128i two = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    const __m128i mixed = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));
    return _mm_madd_epi16(mixed, weights);
}

template <int N>
inline __m128i SumPairs(const std::uint32_t* p, const __m128i* pairs, int n) {
    __m128i acc = _mm_set1_epi32(kRound);
    if constexpr (N > 0) {
        for (int k = 0; k < N; ++k) acc = _mm_add_epi32(acc, WeighPair(p + 2 * k, pairs[k]));
    } else {
        for (int k = 0; k < n; ++k) acc = _mm_add_epi32(acc, WeighPair(p + 2 * k, pairs[k]));
    }
    return _mm_srai_epi32(acc, kShift);
}

// N > 0: that many pairs, unrolled; N == 0: any number.
template <int N>
void BlendPixelsSse2(const std::uint32_t* row, const PairTaps& taps, std::uint32_t* out, int width) {
    const int n = taps.count;
    const __m128i* pairs = taps.vectors.data();
    const int* start = taps.start.data();
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        const __m128i a = SumPairs<N>(row + start[x], pairs + static_cast<std::size_t>(x) * n, n);
        const __m128i b = SumPairs<N>(row + start[x + 1], pairs + static_cast<std::size_t>(x + 1) * n, n);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), packed);
    }
    if (x < width) {
        const __m128i a = SumPairs<N>(row + start[x], pairs + static_cast<std::size_t>(x) * n, n);
        out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(a, a), a)));
    }
}
#endif

// One destination row from one source row (horizontal pass), on pixels.
void BlendPixels(const std::uint32_t* row, const PairTaps& taps, std::uint32_t* out, int width) {
#ifdef ORVANE_RESAMPLE_SSE2
    switch (taps.count) {
        case 1: return BlendPixelsSse2<1>(row, taps, out, width);
        case 2: return BlendPixelsSse2<2>(row, taps, out, width);
        case 3: return BlendPixelsSse2<3>(row, taps, out, width);
        case 4: return BlendPixelsSse2<4>(row, taps, out, width);
        default: return BlendPixelsSse2<0>(row, taps, out, width);
    }
#else
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = row + taps.start[x];
        const std::uint32_t* pairs = &taps.pairs[static_cast<std::size_t>(x) * taps.count];
        std::uint32_t c[4] = {kRound, kRound, kRound, kRound};
        for (int k = 0; k < 2 * taps.count; ++k) {
            const std::uint32_t v = p[k];
            const std::uint32_t wt = (k & 1) ? pairs[k / 2] >> 16 : pairs[k / 2] & 0xFFFF;
            for (int ch = 0; ch < 4; ++ch) c[ch] += ((v >> (8 * ch)) & 0xFF) * wt;
        }
        out[x] = (c[0] >> kShift) | ((c[1] >> kShift) << 8) | ((c[2] >> kShift) << 16) | ((c[3] >> kShift) << 24);
    }
#endif
}

}  // namespace

// A source without pixels gives opaque black of the requested size, so a
// caller that needs a picture of that size always gets one.
Image32 Resample(const Image32& source, int width, int height) {
    if (width <= 0 || height <= 0) return Image32();
    if (source.empty()) return Image32(width, height);
    if (source.width == width && source.height == height) return source;
    if (!PictureSizeAcceptable(width, height)) throw Error("Image trop grande");
    // Every pixel is written below; a zeroed vector is the cheapest start
    // (a memset, where a fill with opaque black is a loop).
    Image32 out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));

    const bool sameWidth = source.width == width;
    const bool oneColumn = source.width == 1;
    const PairTaps hTaps = sameWidth || oneColumn ? PairTaps() : MakePairTaps(MakeTaps(source.width, width), source.width);
    const Taps vTaps = MakeTaps(source.height, height);
    const std::size_t rowBytes = static_cast<std::size_t>(source.width) * 4;

    // Rows first (the heavy pass, on contiguous bytes), then columns on the
    // one blended row: a single row of scratch memory, no per-pixel work
    // outside the two kernels.
    std::vector<std::uint32_t> blended(static_cast<std::size_t>(source.width) + 1, 0);
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
        if (hTaps.readsPastEnd && line != blended.data()) {
            std::memcpy(blended.data(), line, rowBytes);
            line = blended.data();
        }
        std::uint32_t* dst = &out.pixels[static_cast<std::size_t>(y) * width];
        if (sameWidth)
            std::memcpy(dst, line, rowBytes);
        else if (oneColumn)
            std::fill(dst, dst + width, line[0]);
        else
            BlendPixels(line, hTaps, dst, width);
    }
    return out;
}

}  // namespace orvane
