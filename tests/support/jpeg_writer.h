#pragma once
// JPEG files for the tests and the benchmark, written by libjpeg itself, so
// that the decoder meets what real encoders write.
#include <cstdint>
#include <functional>
#include <vector>

namespace test_jpeg {

using Bytes = std::vector<std::uint8_t>;

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
};

// A colour picture: `rgb(x, y)` gives pixel (x, y) as 0xRRGGBB. It is asked
// for row by row, top row first, each row left to right, so a generator
// with state (grain from a running seed) makes the same file every time.
Bytes EncodeJpeg(int width, int height, const std::function<std::uint32_t(int x, int y)>& rgb,
                 JpegOptions options = {});

// Samples as libjpeg takes them, rows top first: 1 byte a pixel (grey),
// 3 (R, G, B) or 4 (C, M, Y, K as given, with the Adobe marker that makes
// readers take them inverted, 0 for full ink).
Bytes EncodeJpegSamples(int width, int height, int components, const std::vector<std::uint8_t>& samples,
                        JpegOptions options = {});

// The file with an Exif block holding only `orientation` (1 to 8, as
// cameras write it) right after its start marker.
Bytes WithExifOrientation(const Bytes& jpeg, int orientation);

// The first `fraction` of the file closed by an end marker (FF D9): what a
// transfer that stopped leaves once a tool has "repaired" it. Cut inside
// the scan, it holds the whole frame header but only the top of the
// picture's data.
Bytes CutWithEndMarker(const Bytes& jpeg, double fraction);

}  // namespace test_jpeg
