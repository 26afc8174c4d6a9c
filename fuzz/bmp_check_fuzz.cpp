// libFuzzer target: the native part of the bitmap path. Whatever CheckBmp
// accepts must be decodable without reading outside the file: a reference
// reader with bounds-checked access decodes it, and the result survives a
// round trip through EncodeBmp and CheckBmp, and a resampling.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"
#include "core/picture/resample.h"
#include "fuzz_support.h"

namespace {

struct Reader {
    const std::uint8_t* d;
    std::size_t n;
    std::uint32_t U8(std::uint64_t at) const {
        FUZZ_CHECK(at < n);  // CheckBmp let through a file that ends too early
        return d[at];
    }
    std::uint32_t U16(std::uint64_t at) const { return U8(at) | (U8(at + 1) << 8); }
    std::uint32_t U32(std::uint64_t at) const { return U16(at) | (U16(at + 2) << 16); }
};

std::uint32_t Scale(std::uint32_t v, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const std::uint32_t max = mask >> shift;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>((v & mask) >> shift) * 255 + max / 2) / max);
}

// Decodes an accepted bitmap the plain way; every byte goes through Reader.
orvane::Image32 Decode(const Reader& r, const orvane::BmpInfo& info) {
    const std::uint32_t headerSize = r.U32(14);
    const bool core = headerSize == 12;
    const std::uint32_t offBits = r.U32(10);
    const int bits = info.bitsPerPixel;
    const std::uint64_t tableStart = 14 + headerSize + ((info.compression == 3 && headerSize == 40) ? 12 : 0);
    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (info.compression == 3) {
        for (int i = 0; i < 3; ++i) masks[i] = r.U32(14 + 40 + 4 * i);  // after or inside the info header
    }
    std::vector<std::uint32_t> palette;
    if (bits <= 8) {
        std::uint32_t colours = core ? 0 : r.U32(14 + 32);
        if (colours == 0) colours = 1u << bits;
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint64_t at = tableStart + i * (core ? 3 : 4);
            FUZZ_CHECK(at + (core ? 3 : 4) <= offBits);  // palette overlaps the pixels
            palette.push_back(0xFF000000u | (r.U8(at + 2) << 16) | (r.U8(at + 1) << 8) | r.U8(at));
        }
    }
    auto colour = [&](std::uint32_t index) { return index < palette.size() ? palette[index] : 0xFF000000u; };

    orvane::Image32 img(info.width, info.height);
    const int w = info.width, h = info.height;
    auto rowOf = [&](int stored) { return info.topDown ? stored : h - 1 - stored; };
    if (info.compression == 1 || info.compression == 2) {
        const bool rle4 = info.compression == 2;
        const std::uint64_t end = offBits + static_cast<std::uint64_t>(r.U32(14 + 20));
        std::uint64_t at = offBits;
        int x = 0, y = 0;
        auto put = [&](std::uint32_t index) {
            if (x < w && y < h) img.at(x, rowOf(y)) = colour(index);
            ++x;
        };
        while (at + 2 <= end && y < h) {
            const std::uint32_t count = r.U8(at), code = r.U8(at + 1);
            at += 2;
            if (count) {
                for (std::uint32_t i = 0; i < count; ++i) put(rle4 ? ((i & 1) ? code & 15 : code >> 4) : code);
            } else if (code == 0) {
                x = 0, ++y;
            } else if (code == 1) {
                break;
            } else if (code == 2) {
                x += r.U8(at), y += r.U8(at + 1);
                at += 2;
            } else {
                for (std::uint32_t i = 0; i < code; ++i) {
                    const std::uint32_t b = r.U8(at + (rle4 ? i / 2 : i));
                    put(rle4 ? ((i & 1) ? b & 15 : b >> 4) : b);
                }
                at += ((rle4 ? (code + 1) / 2 : code) + 1) & ~1u;
            }
        }
        return img;
    }
    const std::uint64_t stride = (static_cast<std::uint64_t>(w) * bits + 31) / 32 * 4;
    for (int sy = 0; sy < h; ++sy) {
        const std::uint64_t row = offBits + stride * sy;
        for (int x = 0; x < w; ++x) {
            std::uint32_t p;
            switch (bits) {
                case 1: case 4: case 8: {
                    const std::uint64_t bit = static_cast<std::uint64_t>(x) * bits;
                    p = colour((r.U8(row + bit / 8) >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
                    break;
                }
                case 16: case 32: {
                    const std::uint32_t v = bits == 16 ? r.U16(row + 2 * x) : r.U32(row + 4 * x);
                    p = 0xFF000000u | (Scale(v, masks[0]) << 16) | (Scale(v, masks[1]) << 8) | Scale(v, masks[2]);
                    break;
                }
                default:
                    p = 0xFF000000u | (r.U8(row + 3 * x + 2) << 16) | (r.U8(row + 3 * x + 1) << 8) | r.U8(row + 3 * x);
            }
            img.at(x, rowOf(sy)) = p;
        }
        // The row's padding is part of the data the file must hold.
        r.U8(row + stride - 1);
    }
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvane::BmpInfo info;
    try {
        info = orvane::CheckBmp(data, size);
    } catch (const orvane::Error&) {
        return 0;
    }
    FUZZ_CHECK(info.width > 0 && info.height > 0);
    FUZZ_CHECK(orvane::PictureSizeAcceptable(info.width, info.height));
    // What the platform decoder relies on: the info header whole after the
    // file header, the pixels after it and inside the file.
    FUZZ_CHECK(info.headerSize >= 12 && info.headerSize == (data[14] | (data[15] << 8) | (data[16] << 16) |
                                                            (static_cast<std::uint32_t>(data[17]) << 24)));
    FUZZ_CHECK(info.pixelOffset >= 14 + std::uint64_t{info.headerSize} && info.pixelOffset <= size);
    // A 1-bit file of a few kilobytes may announce a large picture; past this
    // size only the bounds of the last row are of interest.
    const Reader reader{data, size};
    if (static_cast<std::uint64_t>(info.width) * info.height > (1u << 20)) {
        if (info.compression == 0 || info.compression == 3) {
            const std::uint64_t stride = (static_cast<std::uint64_t>(info.width) * info.bitsPerPixel + 31) / 32 * 4;
            reader.U8(reader.U32(10) + stride * info.height - 1);
        }
        return 0;
    }
    const orvane::Image32 img = Decode(reader, info);

    for (int bits : {24, 32}) {
        const std::vector<std::uint8_t> file = orvane::EncodeBmp(img, bits);
        const orvane::BmpInfo again = orvane::CheckBmp(file.data(), file.size());
        FUZZ_CHECK(again.width == img.width && again.height == img.height && !again.topDown);
        const orvane::Image32 back = Decode(Reader{file.data(), file.size()}, again);
        FUZZ_CHECK(back.pixels == img.pixels);
    }
    const int w = 1 + (size % 53), h = 1 + ((size / 7) % 41);
    fuzz::CheckResampled(img, orvane::Resample(img, w, h), w, h);
    return 0;
}
