// Placeholder until the decoders land (owned by the picture work).
#include "wallpaper/current_picture.h"

#include "core/error.h"

namespace orvane {

Image32 DecodePictureFile(const std::wstring&) { throw Error("Décodeur indisponible"); }

bool CurrentPicture::Load(const std::wstring&) {
    hasImage_ = true;
    return false;
}

std::uint32_t CurrentPicture::TopLeftPixel() const {
    if (!HasPicture()) throw Error("Pas d'image");
    return image_.at(0, 0);
}

void CurrentPicture::Set(Image32 image) {
    hasImage_ = true;
    image_ = std::move(image);
}

}  // namespace orvane
