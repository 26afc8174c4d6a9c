#include "core/picture/resample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/error.h"
#include "core/picture/bmp_file.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORVANE_RESAMPLE_SSE2 1
#endif

namespace orvane {
namespace {

// Weights are fractions of 65536. In the vector kernels each term is
// (sample << 8) * weight >> 16, kept in a 16-bit lane: eight lanes per
// multiply and no widening. Each term truncates by less than 1/256 of a
// level, so a result gathers at most n/256 of a level below the exact sum;
// rounding with a bias of at least n - 1 (and below 256) gives the exact
// colour back for uniform areas. Past kMaxVectorTaps taps, which only huge
// reductions need, an exact 32-bit path is used instead.
constexpr std::uint32_t kOne = 1u << 16;
constexpr int kMaxVectorTaps = 255;

std::uint32_t Bias(int taps) { return static_cast<std::uint32_t>(std::max(128, taps - 1)); }

// For each destination index along one axis: the first source index, the
// number of source indexes that contribute, and their weights as exact
// integers over a common total (the span of a destination pixel in 1/D
// units when shrinking, kOne when interpolating). The vector kernels use
// the same weights rounded to 16-bit multipliers that sum to exactly kOne.
struct Taps {
    std::vector<int> start;
    std::vector<int> count;
    std::vector<std::uint32_t> raw;   // dst * stride
    std::vector<std::uint16_t> mult;  // dst * stride
    std::uint32_t total = kOne;
    int stride = 0;
};

// Multipliers from cumulative sums, so that rounding errors do not add up:
// each is within one unit of exact and together they make kOne (a single
// whole weight becomes 65535, which the bias makes up for).
void MakeMultipliers(Taps& t) {
    t.mult.assign(t.raw.size(), 0);
    for (std::size_t i = 0; i < t.start.size(); ++i) {
        const std::uint32_t* r = &t.raw[i * t.stride];
        std::uint16_t* m = &t.mult[i * t.stride];
        std::uint64_t cum = 0, before = 0;
        for (int k = 0; k < t.count[i]; ++k) {
            cum += r[k];
            const std::uint64_t now = (cum * kOne + t.total / 2) / t.total;
            m[k] = static_cast<std::uint16_t>(std::min<std::uint64_t>(now - before, 0xFFFF));
            before = now;
        }
    }
}

// Shrinking: destination pixel i covers the source span [i*S/D, (i+1)*S/D);
// each source pixel weighs by the part of it inside that span. Positions are
// kept in units of 1/D of a source pixel so the spans are exact integers.
// Only destination indexes from..from + n - 1 are planned (entry 0 is
// index `from`): a region of a huge destination needs no plan of the rest.
Taps AreaTaps(int src, int dst, int from, int n) {
    Taps t;
    const std::int64_t S = src, D = dst;
    t.stride = static_cast<int>((S + D - 1) / D) + 1;
    t.total = static_cast<std::uint32_t>(S);
    t.start.resize(n);
    t.count.resize(n);
    t.raw.assign(static_cast<std::size_t>(n) * t.stride, 0);
    for (int i = 0; i < n; ++i) {
        const std::int64_t lo = (from + i) * S, hi = (from + i + 1) * S;  // in 1/D units
        const int first = static_cast<int>(lo / D);
        const int last = static_cast<int>(std::min<std::int64_t>((hi - 1) / D, S - 1));
        std::uint32_t* w = &t.raw[static_cast<std::size_t>(i) * t.stride];
        for (int j = first; j <= last; ++j) {
            const std::int64_t a = std::max<std::int64_t>(lo, j * D);
            const std::int64_t b = std::min<std::int64_t>(hi, (j + 1) * D);
            w[j - first] = static_cast<std::uint32_t>(b - a);
        }
        t.start[i] = first;
        t.count[i] = last - first + 1;
    }
    MakeMultipliers(t);
    return t;
}

// Enlarging (or keeping the size): pixel centres are aligned, destination
// centre (i + 0.5) * S / D - 0.5 is interpolated between its two source
// neighbours, clamped at the edges.
Taps LinearTaps(int src, int dst, int from, int n) {
    Taps t;
    t.stride = 2;
    t.start.resize(n);
    t.count.resize(n);
    t.raw.assign(static_cast<std::size_t>(n) * 2, 0);
    const std::int64_t S = src, D = dst;
    for (int i = 0; i < n; ++i) {
        const std::int64_t num = (2 * (from + std::int64_t{i}) + 1) * S - D, den = 2 * D;  // source position = num / den
        std::uint32_t* w = &t.raw[static_cast<std::size_t>(i) * 2];
        if (num <= 0) {
            t.start[i] = 0, t.count[i] = 1, w[0] = kOne;
            continue;
        }
        const std::int64_t j = num / den;
        const std::uint32_t frac = static_cast<std::uint32_t>(((num - j * den) * kOne + den / 2) / den);
        if (j >= S - 1 || frac == kOne) {
            t.start[i] = static_cast<int>(std::min<std::int64_t>(frac == kOne ? j + 1 : j, S - 1));
            t.count[i] = 1, w[0] = kOne;
        } else if (frac == 0) {
            t.start[i] = static_cast<int>(j), t.count[i] = 1, w[0] = kOne;
        } else {
            t.start[i] = static_cast<int>(j), t.count[i] = 2;
            w[0] = kOne - frac;
            w[1] = frac;
        }
    }
    MakeMultipliers(t);
    return t;
}

Taps MakeTaps(int src, int dst, int from, int n) {
    return dst < src ? AreaTaps(src, dst, from, n) : LinearTaps(src, dst, from, n);
}
Taps MakeTaps(int src, int dst) { return MakeTaps(src, dst, 0, dst); }

// ---- vertical pass: several source rows into one row, on bytes ---------------

#ifdef ORVANE_RESAMPLE_SSE2
inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// N > 0: exactly N rows, unrolled with the weights kept in registers;
// N == 0: any number of rows (up to kMaxVectorTaps). Returns the bytes done.
template <int N>
std::size_t BlendRowsSse2(const std::uint8_t* const* rowsIn, const std::uint16_t* w, int nRuntime,
                          std::uint8_t* out, std::size_t bytes) {
    const int n = N > 0 ? N : nRuntime;
    const std::uint8_t* rows[N > 0 ? N : 1];
    __m128i wv[N > 0 ? N : 1];
    if constexpr (N > 0) {
        for (int t = 0; t < N; ++t) rows[t] = rowsIn[t], wv[t] = _mm_set1_epi16(static_cast<short>(w[t]));
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(static_cast<short>(Bias(n)));
    std::size_t k = 0;
    for (; k + 16 <= bytes; k += 16) {
        __m128i lo = zero, hi = zero;
        for (int t = 0; t < n; ++t) {
            const __m128i a = Load16((N > 0 ? rows[t] : rowsIn[t]) + k);
            const __m128i m = N > 0 ? wv[t] : _mm_set1_epi16(static_cast<short>(w[t]));
            lo = _mm_add_epi16(lo, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, a), m));
            hi = _mm_add_epi16(hi, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, a), m));
        }
        lo = _mm_srli_epi16(_mm_add_epi16(lo, bias), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, bias), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(lo, hi));
    }
    return k;
}
#endif

// out[k] = the weighted sum of rows[t][k], for k < bytes, for destination
// row `y` of the taps.
void BlendRows(const std::uint8_t* const* rows, const Taps& taps, int y, std::uint8_t* out, std::size_t bytes) {
    const int n = taps.count[y];
    const std::size_t at = static_cast<std::size_t>(y) * taps.stride;
    std::size_t k = 0;
#ifdef ORVANE_RESAMPLE_SSE2
    const std::uint16_t* m = &taps.mult[at];
    switch (n) {
        case 2: k = BlendRowsSse2<2>(rows, m, n, out, bytes); break;
        case 3: k = BlendRowsSse2<3>(rows, m, n, out, bytes); break;
        case 4: k = BlendRowsSse2<4>(rows, m, n, out, bytes); break;
        case 5: k = BlendRowsSse2<5>(rows, m, n, out, bytes); break;
        default:
            if (n <= kMaxVectorTaps) k = BlendRowsSse2<0>(rows, m, n, out, bytes);
            break;
    }
#endif
    // The rest exactly, in 64 bits: a huge reduction has a huge total.
    const std::uint32_t* w = &taps.raw[at];
    for (; k < bytes; ++k) {
        std::uint64_t acc = taps.total / 2;
        for (int t = 0; t < n; ++t) acc += static_cast<std::uint64_t>(rows[t][k]) * w[t];
        out[k] = static_cast<std::uint8_t>(acc / taps.total);
    }
}

// ---- horizontal pass: one row of pixels into a narrower or wider one -----------

// The horizontal taps in the form the pixel kernel wants: every destination
// pixel reads the same even number of neighbouring source pixels (zero
// weights fill the gaps, the window slides left at the right edge), and each
// pair of weights is laid out against a pair of pixels' channels.
struct PairTaps {
    std::vector<int> start;
    std::vector<std::uint32_t> weights;  // dst * 2 * count, exact, over `total`
    std::uint32_t total = kOne;
    int count = 0;                       // pairs per destination pixel
    bool readsPastEnd = false;           // an odd-width source needs one pixel of padding
    struct alignas(16) Lanes {
        std::uint16_t v[8];
    };
    std::vector<Lanes> vectors;          // per pair: w0 four times, then w1 four times (vector kernel)
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
    p.total = t.total;
    p.start.resize(dst);
    p.weights.assign(static_cast<std::size_t>(dst) * taps, 0);
    std::vector<std::uint16_t> mult(static_cast<std::size_t>(dst) * taps, 0);
    for (int i = 0; i < dst; ++i) {
        const int first = std::max(0, std::min(t.start[i], src - taps));
        const std::size_t from = static_cast<std::size_t>(i) * t.stride, to = static_cast<std::size_t>(i) * taps;
        for (int k = 0; k < t.count[i]; ++k) {
            p.weights[to + t.start[i] - first + k] = t.raw[from + k];
            mult[to + t.start[i] - first + k] = t.mult[from + k];
        }
        p.start[i] = first;
    }
#ifdef ORVANE_RESAMPLE_SSE2
    if (taps <= kMaxVectorTaps) {
        p.vectors.resize(mult.size() / 2);
        for (std::size_t k = 0; k < p.vectors.size(); ++k)
            for (int lane = 0; lane < 8; ++lane) p.vectors[k].v[lane] = mult[2 * k + lane / 4];
    }
#endif
    return p;
}

#ifdef ORVANE_RESAMPLE_SSE2
// The weighted channels of one destination pixel, still split in two halves
// (even taps in the low four lanes, odd taps in the high four).
template <int N>
inline __m128i PixelTerms(const std::uint32_t* p, const __m128i* w, int n) {
    const __m128i zero = _mm_setzero_si128();
    const int pairs = N > 0 ? N : n;
    __m128i acc = zero;
    int k = 0;
    for (; k + 2 <= pairs; k += 2) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * k));
        acc = _mm_add_epi16(acc, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, four), w[k]));
        acc = _mm_add_epi16(acc, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, four), w[k + 1]));
    }
    if (k < pairs) {
        const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 2 * k));
        acc = _mm_add_epi16(acc, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, two), w[k]));
    }
    return acc;
}

template <int N>
void BlendPixelsSse2(const std::uint32_t* row, const PairTaps& taps, std::uint32_t* out, int width) {
    const int n = taps.count;
    const __m128i* w = reinterpret_cast<const __m128i*>(taps.vectors.data());
    const int* start = taps.start.data();
    const __m128i bias = _mm_set1_epi16(static_cast<short>(Bias(2 * n)));
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        const __m128i a = PixelTerms<N>(row + start[x], w + static_cast<std::size_t>(x) * n, n);
        const __m128i b = PixelTerms<N>(row + start[x + 1], w + static_cast<std::size_t>(x + 1) * n, n);
        // Both halves of both pixels summed: pixel x in the low lanes, x + 1 in the high.
        __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
        sum = _mm_srli_epi16(_mm_add_epi16(sum, bias), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(sum, sum));
    }
    if (x < width) {
        const __m128i a = PixelTerms<N>(row + start[x], w + static_cast<std::size_t>(x) * n, n);
        __m128i sum = _mm_add_epi16(a, _mm_unpackhi_epi64(a, a));
        sum = _mm_srli_epi16(_mm_add_epi16(sum, bias), 8);
        out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
    }
}
#endif

void BlendPixels(const std::uint32_t* row, const PairTaps& taps, std::uint32_t* out, int width) {
#ifdef ORVANE_RESAMPLE_SSE2
    if (!taps.vectors.empty()) {
        switch (taps.count) {
            case 1: return BlendPixelsSse2<1>(row, taps, out, width);
            case 2: return BlendPixelsSse2<2>(row, taps, out, width);
            case 3: return BlendPixelsSse2<3>(row, taps, out, width);
            case 4: return BlendPixelsSse2<4>(row, taps, out, width);
            default: return BlendPixelsSse2<0>(row, taps, out, width);
        }
    }
#endif
    // Exact, in 64 bits: without vectors this also serves huge reductions.
    const int n = 2 * taps.count;
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = row + taps.start[x];
        const std::uint32_t* w = &taps.weights[static_cast<std::size_t>(x) * n];
        std::uint64_t c[4] = {taps.total / 2, taps.total / 2, taps.total / 2, taps.total / 2};
        for (int k = 0; k < n; ++k)
            for (int ch = 0; ch < 4; ++ch) c[ch] += static_cast<std::uint64_t>((p[k] >> (8 * ch)) & 0xFF) * w[k];
        std::uint32_t v = 0;
        for (int ch = 0; ch < 4; ++ch) v |= static_cast<std::uint32_t>(c[ch] / taps.total) << (8 * ch);
        out[x] = v;
    }
}

}  // namespace

struct RowResampler::Plan {
    int sourceWidth = 0, sourceHeight = 0, width = 0, height = 0;
    bool sameWidth = false, oneColumn = false;
    PairTaps hTaps;
    Taps vTaps;
};

RowResampler::RowResampler(int sourceWidth, int sourceHeight, int width, int height) : plan_(std::make_unique<Plan>()) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 ||
        !PictureSizeAcceptable(sourceWidth, sourceHeight) || !PictureSizeAcceptable(width, height))
        throw Error("Image trop grande");
    Plan& p = *plan_;
    p.sourceWidth = sourceWidth, p.sourceHeight = sourceHeight, p.width = width, p.height = height;
    p.sameWidth = sourceWidth == width;
    p.oneColumn = sourceWidth == 1;
    if (!p.sameWidth && !p.oneColumn) p.hTaps = MakePairTaps(MakeTaps(sourceWidth, width), sourceWidth);
    p.vTaps = MakeTaps(sourceHeight, height);
}

RowResampler::~RowResampler() = default;
RowResampler::RowResampler(RowResampler&&) noexcept = default;
RowResampler& RowResampler::operator=(RowResampler&&) noexcept = default;

int RowResampler::SourceWidth() const { return plan_->sourceWidth; }
int RowResampler::SourceHeight() const { return plan_->sourceHeight; }
int RowResampler::Width() const { return plan_->width; }
int RowResampler::Height() const { return plan_->height; }
int RowResampler::FirstSourceRow(int y) const { return plan_->vTaps.start[y]; }
int RowResampler::EndSourceRow(int y) const { return plan_->vTaps.start[y] + plan_->vTaps.count[y]; }
int RowResampler::MaxSourceRows() const { return plan_->vTaps.stride; }
std::size_t RowResampler::ScratchPixels() const { return static_cast<std::size_t>(plan_->sourceWidth) + 1; }

// Rows first (the heavy pass, on contiguous bytes), then columns on the one
// blended row: a single row of scratch memory, no per-pixel work outside the
// two kernels.
void RowResampler::MakeRow(int y, const std::uint32_t* const* rows, std::uint32_t* out, std::uint32_t* scratch) const {
    const Plan& p = *plan_;
    const std::size_t rowBytes = static_cast<std::size_t>(p.sourceWidth) * 4;
    const int n = p.vTaps.count[y];
    const std::uint32_t* line;
    if (n == 1) {
        line = rows[0];
    } else {
        BlendRows(reinterpret_cast<const std::uint8_t* const*>(rows), p.vTaps, y,
                  reinterpret_cast<std::uint8_t*>(scratch), rowBytes);
        line = scratch;
    }
    if (p.hTaps.readsPastEnd && line != scratch) {
        std::memcpy(scratch, line, rowBytes);
        line = scratch;
    }
    if (p.sameWidth) {
        if (line != out) std::memcpy(out, line, rowBytes);
    } else if (p.oneColumn) {
        std::fill(out, out + p.width, line[0]);
    } else {
        if (p.hTaps.readsPastEnd) scratch[p.sourceWidth] = 0;  // the padding pixel has no weight
        BlendPixels(line, p.hTaps, out, p.width);
    }
}

// A source without pixels gives opaque black of the requested size, so a
// caller that needs a picture of that size always gets one.
Image32 Resample(const Image32& source, int width, int height) {
    if (width <= 0 || height <= 0) return Image32();
    if (source.empty()) return Image32(width, height);
    if (source.width == width && source.height == height) return source;
    if (!PictureSizeAcceptable(width, height)) throw Error("Image trop grande");
    const RowResampler resampler(source.width, source.height, width, height);
    // Every pixel is written below; a zeroed vector is the cheapest start
    // (a memset, where a fill with opaque black is a loop).
    Image32 out;
    out.width = width;
    out.height = height;
    // Room for a bitmap file's headers, should the picture become one.
    out.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) + kBmpInPlaceSpareWords);
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::vector<std::uint32_t> scratch(resampler.ScratchPixels(), 0);
    std::vector<const std::uint32_t*> rows(resampler.MaxSourceRows());
    for (int y = 0; y < height; ++y) {
        const int first = resampler.FirstSourceRow(y), end = resampler.EndSourceRow(y);
        for (int j = first; j < end; ++j) rows[j - first] = &source.pixels[static_cast<std::size_t>(j) * source.width];
        resampler.MakeRow(y, rows.data(), &out.pixels[static_cast<std::size_t>(y) * width], scratch.data());
    }
    return out;
}

namespace {

// The columns a region reads, widened so that the row pass splits them
// between its vector blocks and its exact tail where a whole row would: the
// two can differ by a level, and a region is Resample's pixels exactly.
struct ColumnSpan {
    int first = 0, end = 0;
};

ColumnSpan SpanFor(int lo, int hi, int sourceWidth, int minimum) {
    const int vectorEnd = sourceWidth & ~3;
    ColumnSpan span{lo & ~3, hi <= vectorEnd ? std::min(vectorEnd, (hi + 3) & ~3) : sourceWidth};
    // Narrower than one pixel's taps, the column pass would lay its window
    // out differently: the whole row then.
    if (span.end - span.first < minimum) span = ColumnSpan{0, sourceWidth};
    return span;
}

}  // namespace

Image32 ResampleRegion(const Image32& source, int fullWidth, int fullHeight, int x, int y, int width, int height) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + width, fullWidth));
    const int y1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{y} + height, fullHeight));
    if (x1 <= x0 || y1 <= y0) return Image32();
    const int w = x1 - x0, h = y1 - y0;
    if (!PictureSizeAcceptable(w, h)) throw Error("Image trop grande");
    if (source.empty()) return Image32(w, h);

    Image32 out;
    out.width = w;
    out.height = h;
    // A region is most often a wallpaper: room for its file's headers.
    out.pixels.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) + kBmpInPlaceSpareWords);
    out.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const Taps vTaps = MakeTaps(source.height, fullHeight, y0, h);
    const bool sameWidth = source.width == fullWidth, oneColumn = source.width == 1 && !sameWidth;
    ColumnSpan span{0, source.width};
    PairTaps hTaps;
    if (sameWidth) {
        span = SpanFor(x0, x1, source.width, 0);
    } else if (!oneColumn) {
        Taps t = MakeTaps(source.width, fullWidth, x0, w);
        span = SpanFor(t.start.front(), t.start.back() + t.count.back(), source.width, (t.stride + 1) & ~1);
        for (int& first : t.start) first -= span.first;
        hTaps = MakePairTaps(t, span.end - span.first);
    }
    const int spanWidth = span.end - span.first;
    const std::size_t spanBytes = static_cast<std::size_t>(spanWidth) * 4;
    std::vector<std::uint32_t> scratch(static_cast<std::size_t>(spanWidth) + 1, 0);
    std::vector<const std::uint32_t*> rows(vTaps.stride);
    for (int r = 0; r < h; ++r) {
        const int n = vTaps.count[r];
        for (int k = 0; k < n; ++k)
            rows[k] = &source.pixels[static_cast<std::size_t>(vTaps.start[r] + k) * source.width + span.first];
        const std::uint32_t* line = rows[0];
        if (n > 1) {
            BlendRows(reinterpret_cast<const std::uint8_t* const*>(rows.data()), vTaps, r,
                      reinterpret_cast<std::uint8_t*>(scratch.data()), spanBytes);
            line = scratch.data();
        }
        std::uint32_t* dst = &out.pixels[static_cast<std::size_t>(r) * w];
        if (sameWidth) {
            std::memcpy(dst, line + (x0 - span.first), static_cast<std::size_t>(w) * 4);
        } else if (oneColumn) {
            std::fill(dst, dst + w, line[0]);
        } else {
            if (hTaps.readsPastEnd) {
                if (line != scratch.data()) std::memcpy(scratch.data(), line, spanBytes);
                scratch[spanWidth] = 0;
                line = scratch.data();
            }
            BlendPixels(line, hTaps, dst, w);
        }
    }
    return out;
}

}  // namespace orvane
