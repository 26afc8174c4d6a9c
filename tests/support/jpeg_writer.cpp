#include "support/jpeg_writer.h"

#include <algorithm>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <cstdlib>
#include <stdexcept>

extern "C" {
#include <jpeglib.h>
}

namespace test_jpeg {
namespace {

// Encodes rows that `fill` writes in libjpeg's layout for `space`.
Bytes Encode(int width, int height, int components, J_COLOR_SPACE space, const JpegOptions& options,
             const std::function<void(int y, std::uint8_t* row)>& fill) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * components);
    while (c.next_scanline < c.image_height) {
        fill(static_cast<int>(c.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    Bytes result(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
}

}  // namespace

Bytes EncodeJpeg(int width, int height, const std::function<std::uint32_t(int x, int y)>& rgb, JpegOptions options) {
    return Encode(width, height, 3, JCS_RGB, options, [&](int y, std::uint8_t* row) {
        for (int x = 0; x < width; ++x, row += 3) {
            const std::uint32_t p = rgb(x, y);
            row[0] = static_cast<std::uint8_t>(p >> 16);
            row[1] = static_cast<std::uint8_t>(p >> 8);
            row[2] = static_cast<std::uint8_t>(p);
        }
    });
}

Bytes EncodeJpegSamples(int width, int height, int components, const std::vector<std::uint8_t>& samples,
                        JpegOptions options) {
    const J_COLOR_SPACE space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    const std::size_t stride = static_cast<std::size_t>(width) * components;
    if ((components != 1 && components != 3 && components != 4) || samples.size() < stride * height)
        throw std::invalid_argument("EncodeJpegSamples: samples do not match the picture");
    return Encode(width, height, components, space, options, [&](int y, std::uint8_t* row) {
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(stride * y), stride, row);
    });
}

Bytes WithExifOrientation(const Bytes& jpeg, int orientation) {
    const Bytes exif = {0xFF, 0xE1, 0, 34,                             // APP1, length 34
                        'E', 'x', 'i', 'f', 0, 0,                      // Exif header
                        'M', 'M', 0, 42, 0, 0, 0, 8,                   // TIFF header (big-endian), IFD0 at 8
                        0, 1,                                          // one entry
                        0x01, 0x12, 0, 3, 0, 0, 0, 1,                  // orientation, SHORT, count 1
                        0, static_cast<std::uint8_t>(orientation), 0, 0,
                        0, 0, 0, 0};                                   // no next IFD
    Bytes f = jpeg;
    f.insert(f.begin() + 2, exif.begin(), exif.end());
    return f;
}

Bytes CutWithEndMarker(const Bytes& jpeg, double fraction) {
    Bytes f(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(jpeg.size()) * fraction));
    f.push_back(0xFF);
    f.push_back(0xD9);
    return f;
}

}  // namespace test_jpeg
