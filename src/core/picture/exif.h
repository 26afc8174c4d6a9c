#pragma once
// The orientation a camera recorded for a photo (Exif tag 0x0112), found
// without trusting a single offset of the file. Anything missing, damaged or
// out of range reads as 1: a photo is shown as stored rather than refused.
#include <cstddef>
#include <cstdint>

namespace orvane {

// The eight values, named after the way the stored picture must be turned to
// stand upright: 1 as stored, 2 mirrored left-right, 3 half a turn, 4 mirrored
// top-bottom, 5 mirrored across the top-left-to-bottom-right diagonal, 6 a
// quarter turn clockwise, 7 mirrored across the other diagonal, 8 a quarter
// turn anticlockwise. 5 to 8 swap width and height.
constexpr int kOrientationUpright = 1;
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// The orientation in the payload of an APP1 segment (what follows its length
// field: "Exif\0\0", then the TIFF header and IFD0).
int ExifOrientation(const std::uint8_t* segment, std::size_t size);

// The orientation of a JPEG file: the first Exif APP1 segment before the
// first scan, read with ExifOrientation. Stops at the first byte that is not
// where a marker should be.
int JpegOrientation(const std::uint8_t* data, std::size_t size);

}  // namespace orvane
