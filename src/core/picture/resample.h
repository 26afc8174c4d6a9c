#pragma once
// High-quality resizing of 32-bit pictures, shared by the wallpaper
// composition and the preview display: area averaging when shrinking,
// bilinear interpolation when enlarging (per axis).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/picture/image.h"

namespace orvane {

// The whole picture at once. A source without pixels gives opaque black of
// the requested size; a size of zero or less gives an empty picture; a size
// past PictureSizeAcceptable throws Error.
Image32 Resample(const Image32& source, int width, int height);

// The part of Resample(source, fullWidth, fullHeight) from (x, y), width x
// height, clipped to that whole: the same pixels, made without the rest (a
// picture filling a screen is scaled past it and cropped; the whole it is
// cropped from may be far too large to hold). A clip with nothing left
// gives an empty picture; a source without pixels opaque black; a region
// past PictureSizeAcceptable throws Error.
Image32 ResampleRegion(const Image32& source, int fullWidth, int fullHeight, int x, int y, int width, int height);

// The same resampling one destination row at a time, for sources that arrive
// row by row (a decoder) and never exist whole. Destination row y is made
// from source rows FirstSourceRow(y) to EndSourceRow(y) - 1 only; both grow
// with y, and no row reads more than MaxSourceRows() source rows, so a
// caller can drop source rows as soon as FirstSourceRow passes them. Rows
// made here are identical to Resample's.
class RowResampler {
public:
    // All sizes positive and acceptable to PictureSizeAcceptable, else Error.
    RowResampler(int sourceWidth, int sourceHeight, int width, int height);
    ~RowResampler();
    RowResampler(RowResampler&&) noexcept;
    RowResampler& operator=(RowResampler&&) noexcept;

    int SourceWidth() const;
    int SourceHeight() const;
    int Width() const;
    int Height() const;
    int FirstSourceRow(int y) const;
    int EndSourceRow(int y) const;
    int MaxSourceRows() const;
    std::size_t ScratchPixels() const;

    // Writes destination row y (Width() pixels) to `out`. `rows[k]` is source
    // row FirstSourceRow(y) + k (SourceWidth() pixels each); `scratch` holds
    // ScratchPixels() pixels of the caller's. Safe to call from several
    // threads at once with different scratch and output rows.
    void MakeRow(int y, const std::uint32_t* const* rows, std::uint32_t* out, std::uint32_t* scratch) const;

private:
    struct Plan;
    std::unique_ptr<Plan> plan_;
};

}  // namespace orvane
