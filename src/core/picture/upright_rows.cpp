#include "core/picture/upright_rows.h"

#include <algorithm>

#include "core/error.h"
#include "core/picture/exif.h"

namespace orvane {

UprightRows::UprightRows(Image32& upright, int storedWidth, int storedHeight, int orientation,
                         std::size_t spareWords)
    : out_(upright), storedWidth_(storedWidth), storedHeight_(storedHeight),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : kOrientationUpright) {
    if (storedWidth <= 0 || storedHeight <= 0 || !PictureSizeAcceptable(storedWidth, storedHeight))
        throw Error("Image trop grande");
    const bool swap = OrientationSwapsAxes(orientation_);
    out_.width = swap ? storedHeight : storedWidth;
    out_.height = swap ? storedWidth : storedHeight;
    const std::size_t total = static_cast<std::size_t>(storedWidth) * static_cast<std::size_t>(storedHeight);
    out_.pixels.clear();
    out_.pixels.reserve(total + spareWords);
    if (orientation_ <= 2) {
        // About 256 KB at a time: small enough that the writer is the first
        // to touch the pages, large enough that growing costs nothing.
        growRows_ = std::max<std::size_t>(1, (256u << 10) / (static_cast<std::size_t>(storedWidth) * 4));
    } else {
        // The rows land from the bottom up or become columns: the whole
        // picture must exist from the start.
        out_.pixels.resize(total);
    }
    if (swap) block_.assign(static_cast<std::size_t>(kBlockRows) * storedWidth, 0);
}

std::uint32_t* UprightRows::Row(int y) {
    const std::size_t w = static_cast<std::size_t>(storedWidth_);
    switch (orientation_) {
        case 1:
        case 2: {
            const std::size_t need = (static_cast<std::size_t>(y) + 1) * w;
            if (out_.pixels.size() < need) {
                const std::size_t rows = std::min<std::size_t>(y + growRows_, storedHeight_);
                out_.pixels.resize(rows * w);  // inside the reserved capacity: no move
            }
            return &out_.pixels[static_cast<std::size_t>(y) * w];
        }
        case 3:
        case 4:
            return &out_.pixels[static_cast<std::size_t>(storedHeight_ - 1 - y) * w];
        default:
            return &block_[static_cast<std::size_t>(y % kBlockRows) * w];
    }
}

void UprightRows::Done(int y) {
    if (orientation_ == 2 || orientation_ == 3) {
        std::uint32_t* row = Row(y);
        std::reverse(row, row + storedWidth_);
    } else if (orientation_ >= 5) {
        const int inBlock = y % kBlockRows;
        if (inBlock == kBlockRows - 1 || y == storedHeight_ - 1) FlushBlock(y - inBlock, inBlock + 1);
    }
}

// Stored row sy becomes upright column sy (5, 8) or storedHeight - 1 - sy
// (6, 7); stored column sx becomes upright row sx (5, 6) or
// storedWidth - 1 - sx (7, 8). A block of rows thus lands as a band of
// `count` neighbouring columns, written a short run per upright row.
void UprightRows::FlushBlock(int first, int count) {
    const std::size_t uprightWidth = static_cast<std::size_t>(storedHeight_);
    const bool columnsAscend = orientation_ == 5 || orientation_ == 8;
    const bool rowsAscend = orientation_ == 5 || orientation_ == 6;
    const int firstColumn = columnsAscend ? first : storedHeight_ - 1 - first;
    const std::uint32_t* block = block_.data();
    for (int sx = 0; sx < storedWidth_; ++sx) {
        const int row = rowsAscend ? sx : storedWidth_ - 1 - sx;
        std::uint32_t* dst = &out_.pixels[static_cast<std::size_t>(row) * uprightWidth + firstColumn];
        const std::uint32_t* src = block + sx;
        if (columnsAscend) {
            for (int k = 0; k < count; ++k) dst[k] = src[static_cast<std::size_t>(k) * storedWidth_];
        } else {
            for (int k = 0; k < count; ++k) dst[-k] = src[static_cast<std::size_t>(k) * storedWidth_];
        }
    }
}

}  // namespace orvane
