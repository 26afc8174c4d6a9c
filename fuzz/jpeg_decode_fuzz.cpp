// libFuzzer target: the JPEG decoding paths and the Exif orientation. Any
// input either decodes into a consistent opaque picture or is refused with
// the program's Error; the library never ends the process. The decode to a
// size agrees with today's full decode + Resample, and a file that decodes
// also decodes to a size. Every input also goes through the Exif parser as
// it is, and every JPEG input a second time with an orientation block put
// in front, so that the turning code runs on every seed (the generated
// seeds carry no orientation).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/error.h"
#include "core/picture/exif.h"
#include "core/picture/jpeg_decoder.h"
#include "core/picture/resample.h"
#include "fuzz_support.h"

namespace {

// Frame sizes announced by SOFn markers; pictures the program would accept
// but whose decoding would only spend the fuzzer's time on memory traffic
// are skipped (the size refusal itself is covered by the unit tests).
bool Oversized(const std::uint8_t* d, std::size_t n) {
    for (std::size_t i = 0; i + 8 < n; ++i) {
        if (d[i] != 0xFF) continue;
        const std::uint8_t m = d[i + 1];
        if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
        const std::uint32_t h = (d[i + 5] << 8) | d[i + 6], w = (d[i + 7] << 8) | d[i + 8];
        if (static_cast<std::uint64_t>(w) * h > (1u << 20)) return true;
    }
    return false;
}

void CheckPicture(const orvane::Image32& img, int w, int h) {
    FUZZ_CHECK(img.width == w && img.height == h);
    FUZZ_CHECK(img.pixels.size() == static_cast<std::size_t>(w) * h);
    for (std::uint32_t p : img.pixels) FUZZ_CHECK((p >> 24) == 0xFF);
}

int MaxDifference(const orvane::Image32& a, const orvane::Image32& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int c = 0; c < 32; c += 8) {
            const int d = std::abs(static_cast<int>((a.pixels[i] >> c) & 0xFF) - static_cast<int>((b.pixels[i] >> c) & 0xFF));
            if (d > worst) worst = d;
        }
    return worst;
}

// Where a photo viewer shows stored pixel (x, y): the oracle for the turned
// pictures, written from the eight cases rather than from the decoder's code.
orvane::Image32 Turned(const orvane::Image32& stored, int o) {
    const int w = stored.width, h = stored.height;
    orvane::Image32 out(o >= 5 ? h : w, o >= 5 ? w : h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int ux = x, uy = y;
            switch (o) {
                case 2: ux = w - 1 - x; break;
                case 3: ux = w - 1 - x, uy = h - 1 - y; break;
                case 4: uy = h - 1 - y; break;
                case 5: ux = y, uy = x; break;
                case 6: ux = h - 1 - y, uy = x; break;
                case 7: ux = h - 1 - y, uy = w - 1 - x; break;
                case 8: ux = y, uy = w - 1 - x; break;
                default: break;
            }
            out.at(ux, uy) = stored.at(x, y);
        }
    return out;
}

// Decodes every way; the picture DecodeJpeg made, or an empty one when the
// input is refused.
orvane::Image32 DecodeAllWays(const std::uint8_t* data, std::size_t size, std::uint32_t salt) {
    orvane::Image32 img;
    orvane::JpegInfo info;
    try {
        img = orvane::DecodeJpeg(data, size);
        info = orvane::ReadJpegInfo(data, size);
    } catch (const orvane::Error&) {
        return {};
    }
    CheckPicture(img, info.width, info.height);
    FUZZ_CHECK(info.orientation == orvane::JpegOrientation(data, size));
    FUZZ_CHECK(orvane::DecodeJpegTopLeftPixel(data, size) == img.at(0, 0));

    // A target past half the picture in width: no DCT scaling, so the
    // streamed rows are Resample's (turned after resampling instead of
    // before: within a level).
    const int tw = img.width / 2 + 1 + static_cast<int>(salt % 7), th = 1 + static_cast<int>(salt % 61);
    const orvane::Image32 exact = orvane::DecodeJpegToSize(data, size, tw, th);
    CheckPicture(exact, tw, th);
    FUZZ_CHECK(MaxDifference(exact, orvane::Resample(img, tw, th)) <= (info.orientation == 1 ? 0 : 1));

    // A small target, DCT-scaled, on both thread settings.
    const int sw = 1 + static_cast<int>(salt % 13), sh = 1 + static_cast<int>((salt >> 4) % 11);
    const orvane::Image32 one = orvane::DecodeJpegToSize(data, size, sw, sh, orvane::DecodeThreads::One);
    CheckPicture(one, sw, sh);
    const orvane::Image32 two = orvane::DecodeJpegToSize(data, size, sw, sh, orvane::DecodeThreads::Two);
    FUZZ_CHECK(one.pixels == two.pixels);
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The parsers alone on raw bytes, as an APP1 payload and as a file.
    const int raw = orvane::ExifOrientation(data, size);
    FUZZ_CHECK(raw >= 1 && raw <= 8);
    const int inFile = orvane::JpegOrientation(data, size);
    FUZZ_CHECK(inFile >= 1 && inFile <= 8);

    if (Oversized(data, size)) return 0;
    const std::uint32_t salt = static_cast<std::uint32_t>(size) * 2654435761u;
    const orvane::Image32 img = DecodeAllWays(data, size, salt);
    if (img.empty() || size < 2 || data[0] != 0xFF || data[1] != 0xD8) return 0;

    // The same file with an orientation block in front of its own.
    const int o = 1 + static_cast<int>(salt >> 29);
    const std::uint8_t exif[] = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                 0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<std::uint8_t>(o), 0, 0, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> turnedFile(data, data + 2);
    turnedFile.insert(turnedFile.end(), exif, exif + sizeof exif);
    turnedFile.insert(turnedFile.end(), data + 2, data + size);
    const orvane::Image32 turned = DecodeAllWays(turnedFile.data(), turnedFile.size(), salt >> 3);
    FUZZ_CHECK(!turned.empty());
    if (inFile == 1) FUZZ_CHECK(turned.pixels == Turned(img, o).pixels);
    return 0;
}
