#pragma once
// The current picture: the picture file loaded last, decoded into a plain
// 32-bit bitmap of its own size (the preview's image list `PreviewImages1`).
// The decoding itself is in picture_file.h.
#include <cstdint>
#include <string>

#include "core/image.h"

namespace orvane {

class CurrentPicture {
public:
    // Steps 1 to 4 of loading: image 0 exists from the first call on; a
    // missing file changes nothing and returns false; a decoding error
    // propagates and keeps the previous picture. True when image 0 changed.
    bool Load(const std::wstring& path);

    bool HasImage() const { return hasImage_; }  // image 0 exists (maybe empty)
    bool HasPicture() const { return hasImage_ && !image_.empty(); }
    const Image32& Image() const { return image_; }
    // Pixel (0, 0) as 0xAARRGGBB; throws when there is no picture.
    std::uint32_t TopLeftPixel() const;

    // For tests and callers that already hold pixels.
    void Set(Image32 image);

private:
    bool hasImage_ = false;
    Image32 image_;
};

}  // namespace orvane
