#include "core/picture/bmp_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "core/picture/byte_reader.h"
#include "core/error.h"

namespace orvane {
namespace {

// Compression codes of the bitmap headers.
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

// Header sizes: core (and OS/2 1.x), info, the two Adobe variants of the
// info header with masks, OS/2 2.x, v4 and v5.
constexpr std::uint32_t kCoreHeader = 12, kInfoHeader = 40, kInfoV2Header = 52, kInfoV3Header = 56,
                        kOs2Header = 64, kV4Header = 108, kV5Header = 124;
constexpr std::size_t kFileHeader = 14;

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

[[noreturn]] void Corrupt(const char* detail) {
    throw Error(FormatMessage1("Fichier bitmap incorrect : %s", detail));
}
[[noreturn]] void Truncated() { throw Error("Fichier bitmap tronqué"); }

// 8-bit channel to 5 bits, rounded to the nearest level.
const std::array<std::uint8_t, 256>& FiveBitTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int v = 0; v < 256; ++v) t[v] = static_cast<std::uint8_t>((v * 31 + 127) / 255);
        return t;
    }();
    return table;
}

bool Contiguous(std::uint32_t mask) {
    if (mask == 0) return true;
    while (!(mask & 1)) mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

// Walks an RLE8/RLE4 stream: every code must have its operands inside the
// data. Runs that leave the picture are clipped by the decoder, as Windows
// does, so only the stream's own integrity is checked here.
void CheckRle(const ByteReader& stream, bool rle4) {
    const std::uint64_t size = stream.size();
    std::uint64_t i = 0;
    while (i + 2 <= size) {
        const std::uint32_t count = stream.U8(i), code = stream.U8(i + 1);
        i += 2;
        if (count != 0) continue;  // encoded run
        if (code == 0) continue;   // end of line
        if (code == 1) return;     // end of bitmap
        if (code == 2) {           // delta
            if (i + 2 > size) Truncated();
            i += 2;
            continue;
        }
        // Absolute run of `code` pixels, padded to a 16-bit boundary.
        std::uint64_t bytes = rle4 ? (code + 1) / 2 : code;
        bytes = (bytes + 1) & ~std::uint64_t{1};
        if (i + bytes > size) Truncated();
        i += bytes;
    }
}

}  // namespace

namespace {

// BITMAPFILEHEADER and BITMAPINFOHEADER of a bottom-up picture, into the
// first kFileHeader + kInfoHeader bytes at `h`.
void PutHeaders(std::uint8_t* h, int width, int height, int bitsPerPixel, std::size_t imageBytes) {
    const std::size_t offset = kFileHeader + kInfoHeader;
    std::memset(h, 0, offset);
    h[0] = 'B', h[1] = 'M';
    Put32(h + 2, static_cast<std::uint32_t>(offset + imageBytes));
    Put32(h + 10, static_cast<std::uint32_t>(offset));
    std::uint8_t* info = h + kFileHeader;
    Put32(info, kInfoHeader);
    Put32(info + 4, static_cast<std::uint32_t>(width));
    Put32(info + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<std::uint32_t>(bitsPerPixel));
    Put32(info + 16, kBiRgb);
    Put32(info + 20, static_cast<std::uint32_t>(imageBytes));
    Put32(info + 24, 3780);  // 96 dpi
    Put32(info + 28, 3780);
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Image32& image, int bitsPerPixel) {
    if (image.empty()) throw Error("Impossible d'enregistrer une image vide");
    if (bitsPerPixel != 16 && bitsPerPixel != 32) bitsPerPixel = 24;
    const std::size_t width = static_cast<std::size_t>(image.width);
    const std::size_t stride = (width * bitsPerPixel + 31) / 32 * 4;
    const std::size_t imageBytes = stride * static_cast<std::size_t>(image.height);
    const std::size_t offset = kFileHeader + kInfoHeader;
    std::vector<std::uint8_t> file(offset, 0);
    PutHeaders(file.data(), image.width, image.height, bitsPerPixel, imageBytes);

    // Rows are appended rather than written into a zeroed buffer: a 4K
    // wallpaper is 33 MB, and touching it twice shows in every change.
    const auto& five = FiveBitTable();
    file.reserve(offset + imageBytes);
    file.resize(offset);
    std::vector<std::uint8_t> line(stride, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint32_t* src = &image.pixels[static_cast<std::size_t>(y) * width];
        std::uint8_t* dst = line.data();
        switch (bitsPerPixel) {
            case 32:
                if constexpr (std::endian::native == std::endian::little) {
                    // Image32's pixels already have the file's layout (B, G, R, reserved).
                    const auto* bytes = reinterpret_cast<const std::uint8_t*>(src);
                    file.insert(file.end(), bytes, bytes + stride);
                    continue;
                }
                for (std::size_t x = 0; x < width; ++x) Put32(dst + 4 * x, src[x]);
                break;
            case 24:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint32_t v = src[x];
                    dst[3 * x] = static_cast<std::uint8_t>(v);
                    dst[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    dst[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
                }
                break;
            default:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint32_t v = src[x];
                    const std::uint32_t b = five[v & 0xFF], g = five[(v >> 8) & 0xFF], r = five[(v >> 16) & 0xFF];
                    Put16(dst + 2 * x, (r << 10) | (g << 5) | b);
                }
                break;
        }
        file.insert(file.end(), line.begin(), line.end());
    }
    return file;
}

const std::uint8_t* BmpFileBytes::data() const {
    // Two bytes in, the 54 bytes of headers end on a pixel boundary.
    if (!words_.empty()) return reinterpret_cast<const std::uint8_t*>(words_.data()) + 2;
    return bytes_.data();
}

BmpFileBytes EncodeBmpInPlace(Image32&& image, int bitsPerPixel) {
    if (image.empty()) throw Error("Impossible d'enregistrer une image vide");
    BmpFileBytes file;
    if (bitsPerPixel != 32 || std::endian::native != std::endian::little) {
        // Narrower rows: a buffer of its own, smaller than the picture.
        file.bytes_ = EncodeBmp(image, bitsPerPixel);
        file.size_ = file.bytes_.size();
        image = Image32();
        return file;
    }
    static_assert((kFileHeader + kInfoHeader + 2) % 4 == 0 && (kFileHeader + kInfoHeader + 2) / 4 == kBmpInPlaceSpareWords);
    const int width = image.width, height = image.height;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t pixels = w * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> words = std::move(image.pixels);
    image = Image32();
    if (words.size() != pixels) throw Error("Impossible d'enregistrer une image incomplète");
    for (std::size_t top = 0, bottom = static_cast<std::size_t>(height) - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(words.begin() + top * w, words.begin() + (top + 1) * w, words.begin() + bottom * w);
    words.resize(pixels + kBmpInPlaceSpareWords);
    std::memmove(words.data() + kBmpInPlaceSpareWords, words.data(), pixels * 4);
    const std::size_t imageBytes = pixels * 4;
    PutHeaders(reinterpret_cast<std::uint8_t*>(words.data()) + 2, width, height, 32, imageBytes);
    file.words_ = std::move(words);
    file.size_ = kFileHeader + kInfoHeader + imageBytes;
    return file;
}

BmpInfo CheckBmp(const std::uint8_t* data, std::size_t size) {
    const ByteReader file(data, size);
    if (file.size() == 0) throw Error("Fichier bitmap vide");
    if (!file.Has(0, 2) || file.U8(0) != 'B' || file.U8(1) != 'M') throw Error("Ce fichier n'est pas un bitmap Windows");
    if (!file.Has(0, kFileHeader + 4)) Truncated();
    const std::uint32_t offBits = file.U32(10);
    const std::uint32_t headerSize = file.U32(kFileHeader);
    switch (headerSize) {
        case kCoreHeader: case kInfoHeader: case kInfoV2Header: case kInfoV3Header:
        case kOs2Header: case kV4Header: case kV5Header:
            break;
        default:
            throw Error(FormatMessage1("Fichier bitmap incorrect : en-tête de %d octets inconnu", headerSize));
    }
    if (!file.Has(kFileHeader, headerSize)) Truncated();
    const ByteReader h = file.Sub(kFileHeader, headerSize);

    BmpInfo info;
    std::int64_t width, height;
    std::uint32_t planes, clrUsed = 0, sizeImage = 0;
    std::size_t paletteEntry = 4;
    if (headerSize == kCoreHeader) {
        width = h.U16(4);
        height = h.U16(6);
        planes = h.U16(8);
        info.bitsPerPixel = h.U16(10);
        paletteEntry = 3;
        if (info.bitsPerPixel != 1 && info.bitsPerPixel != 4 && info.bitsPerPixel != 8 && info.bitsPerPixel != 24)
            throw Error(FormatMessage1("Format de bitmap non pris en charge (%d bits par pixel)", info.bitsPerPixel));
    } else {
        width = h.S32(4);
        height = h.S32(8);
        planes = h.U16(12);
        info.bitsPerPixel = h.U16(14);
        info.compression = h.U32(16);
        sizeImage = h.U32(20);
        clrUsed = h.U32(32);
        switch (info.bitsPerPixel) {
            case 1: case 4: case 8: case 16: case 24: case 32:
                break;
            default:
                throw Error(FormatMessage1("Format de bitmap non pris en charge (%d bits par pixel)", info.bitsPerPixel));
        }
    }
    if (planes != 1) Corrupt("nombre de plans différent de 1");
    if (width <= 0 || height == 0) Corrupt("dimensions nulles ou négatives");
    if (height < 0) {
        info.topDown = true;
        height = -height;
    }
    if (!PictureSizeAcceptable(width, height))
        throw Error(FormatMessage1("Image trop grande (%s pixels)",
                                   std::to_string(width) + " x " + std::to_string(height)));
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    info.headerSize = headerSize;
    info.pixelOffset = offBits;

    // Compression against depth. OS/2 2.x headers give codes 3 and 4 other
    // meanings (Huffman, RLE24) that Windows never decoded.
    const std::uint32_t c = info.compression;
    const bool rle = c == kBiRle8 || c == kBiRle4;
    if (c == kBiRle8 && info.bitsPerPixel != 8) Corrupt("compression RLE8 sur une image qui n'a pas 8 bits par pixel");
    if (c == kBiRle4 && info.bitsPerPixel != 4) Corrupt("compression RLE4 sur une image qui n'a pas 4 bits par pixel");
    if (c == kBiBitfields && (headerSize == kOs2Header || (info.bitsPerPixel != 16 && info.bitsPerPixel != 32)))
        Corrupt("masques de couleur sur une profondeur qui n'en admet pas");
    if (c != kBiRgb && !rle && c != kBiBitfields)
        throw Error(FormatMessage1("Compression de bitmap non prise en charge (%d)", c));
    if (rle && info.topDown) Corrupt("image compressée rangée de haut en bas");

    // Colour masks: after an info header, inside the larger headers.
    std::size_t tableStart = kFileHeader + headerSize;
    if (c == kBiBitfields) {
        std::uint64_t m = kFileHeader + 40;
        if (headerSize == kInfoHeader) {
            if (!file.Has(tableStart, 12)) Truncated();
            m = tableStart;
            tableStart += 12;
        }
        const std::uint32_t masks[3] = {file.U32(m), file.U32(m + 4), file.U32(m + 8)};
        const std::uint32_t limit = info.bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        if ((masks[0] | masks[1] | masks[2]) == 0) Corrupt("masques de couleur nuls");
        for (int i = 0; i < 3; ++i) {
            if ((masks[i] & ~limit) || !Contiguous(masks[i])) Corrupt("masques de couleur incorrects");
            for (int j = i + 1; j < 3; ++j)
                if (masks[i] & masks[j]) Corrupt("masques de couleur qui se chevauchent");
        }
    }

    // Palette.
    std::uint64_t colours = clrUsed;
    if (info.bitsPerPixel <= 8) {
        const std::uint32_t maxColours = 1u << info.bitsPerPixel;
        if (colours == 0) colours = maxColours;
        if (colours > maxColours) Corrupt("palette plus grande que la profondeur ne l'admet");
    }
    const std::uint64_t tableEnd = tableStart + colours * paletteEntry;
    if (tableEnd > size) Truncated();
    if (offBits < tableEnd) Corrupt("les pixels chevauchent les en-têtes");
    if (offBits > size) Truncated();

    // Pixel data.
    const std::uint64_t available = size - offBits;
    if (rle) {
        if (sizeImage == 0) Corrupt("taille des données compressées absente");
        if (sizeImage > available) Truncated();
        CheckRle(file.Sub(offBits, sizeImage), c == kBiRle4);
    } else {
        const std::uint64_t stride = (static_cast<std::uint64_t>(width) * info.bitsPerPixel + 31) / 32 * 4;
        if (stride * static_cast<std::uint64_t>(height) > available) Truncated();
    }
    return info;
}

Image32 CopyForBitmap(const Image32& picture) {
    Image32 copy;
    copy.width = picture.width;
    copy.height = picture.height;
    copy.pixels.reserve(picture.pixels.size() + kBmpInPlaceSpareWords);
    copy.pixels.assign(picture.pixels.begin(), picture.pixels.end());
    return copy;
}

}  // namespace orvane
