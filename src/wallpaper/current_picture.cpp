#include "wallpaper/current_picture.h"

#include <utility>

#include "core/error.h"
#include "wallpaper/picture_file.h"

namespace orvane {

bool CurrentPicture::Load(const std::wstring& path) {
    hasImage_ = true;
    if (NothingAtPath(path)) return false;
    Image32 decoded = DecodePictureFile(path);  // on error image 0 stays as it was
    image_ = std::move(decoded);
    return true;
}

std::uint32_t CurrentPicture::TopLeftPixel() const {
    if (!HasPicture()) throw Error("Aucune image n'est chargée");
    return image_.at(0, 0);
}

void CurrentPicture::Set(Image32 image) {
    hasImage_ = true;
    image_ = std::move(image);
}

}  // namespace orvane
