#pragma once
// JPEG decoding through libjpeg(-turbo). The library's errors never end the
// process: they become Error("Erreur JPEG #<message number>"), and so do its
// warnings that mean part of the picture is missing or made up (a file cut
// short and closed by an end marker, damaged scan data). A file whose
// frame is past PictureSizeAcceptable is refused with "Image trop grande
// (W x H pixels)" before any pixel is decoded, and a progressive file of more
// than 1000 scans with "Fichier JPEG trop complexe (plus de 1000 passes)".
//
// Every picture comes out upright: the Exif orientation (exif.h) is applied
// while decoding, so its width, height and top-left pixel are those a photo
// viewer shows. A missing or damaged Exif block leaves the picture as stored.
// Pixels are 0xAARRGGBB with the top byte 255.
#include <cstddef>
#include <cstdint>

#include "core/picture/image.h"

namespace orvane {

// The whole picture at its own size (centred and tiled wallpapers, the
// current picture).
Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size);

// The picture resampled to exactly width x height, as Resample would make it
// from DecodeJpeg's picture, but without ever holding the picture at its own
// size: it is decoded at the smallest of 1/8, 1/4, 1/2 and 1 that still
// leaves the area-average resampler a factor of 2 to shrink in both
// directions (the DCT does the rest of the shrinking), and its rows go to
// the resampler as they come, on a second thread where there is one. A width or height of zero or less
// gives an empty picture (without decoding); one past PictureSizeAcceptable
// throws Error.
Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height);

struct JpegInfo {
    int width = 0;        // upright, after the orientation
    int height = 0;
    int orientation = 1;  // as in exif.h
};

// The headers only, no pixel decoded; the same errors as DecodeJpeg for a
// damaged or oversized frame.
JpegInfo ReadJpegInfo(const std::uint8_t* data, std::size_t size);

// The upright picture's top-left pixel (the colour of the desktop labels and
// of the preview's handle), from the one stored row that holds it: the
// first for orientations 1, 2, 5 and 8, the last for the others (reached by
// skipping, which spares all but the entropy decoding). Rows after it are
// not read, so a file damaged past that row still gives its pixel. The
// same errors as DecodeJpeg for what it reads.
std::uint32_t DecodeJpegTopLeftPixel(const std::uint8_t* data, std::size_t size);

// The decodes above with the second thread forced on or off, for tests and
// the benchmark; Automatic is what the functions above do.
enum class DecodeThreads { Automatic, One, Two };
Image32 DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodeThreads threads);
Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height, DecodeThreads threads);

// DecodeJpegToSize with `spareWords` pixels of capacity past the picture's
// (the others keep kBmpInPlaceSpareWords): room to grow it into a larger
// bitmap where it lies, without a second one.
Image32 DecodeJpegToSize(const std::uint8_t* data, std::size_t size, int width, int height, DecodeThreads threads,
                         std::size_t spareWords);

}  // namespace orvane
