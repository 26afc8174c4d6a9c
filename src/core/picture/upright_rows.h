#pragma once
// Builds the upright picture from the rows of a picture as it is stored,
// handed over one by one from the top, so that a decoder can turn a photo
// (Exif orientation, see exif.h) while it decodes, without a second picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/picture/image.h"

namespace orvane {

class UprightRows {
public:
    // `upright` becomes the upright picture of a stored picture of
    // storedWidth x storedHeight (positive, acceptable sizes) with
    // `orientation` (1 to 8; anything else is taken as 1). Its memory is
    // reserved with `spareWords` more pixels of capacity than it needs.
    UprightRows(Image32& upright, int storedWidth, int storedHeight, int orientation, std::size_t spareWords = 0);
    UprightRows(const UprightRows&) = delete;
    UprightRows& operator=(const UprightRows&) = delete;

    // Where stored row y (storedWidth pixels) is to be written. Rows are
    // asked for in order, each once, and each followed by Done(y) once
    // written. Until the last row is done, `upright.pixels` may be shorter
    // than the picture: in orientations 1 and 2 the rows are added as they
    // come, so that the picture's pages are first touched by the writer.
    std::uint32_t* Row(int y);
    void Done(int y);

private:
    static constexpr int kBlockRows = 16;
    void FlushBlock(int first, int count);

    Image32& out_;
    int storedWidth_, storedHeight_, orientation_;
    std::size_t growRows_ = 0;
    std::vector<std::uint32_t> block_;  // orientations 5 to 8: rows waiting to become columns
};

}  // namespace orvane
