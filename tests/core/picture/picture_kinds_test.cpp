#include "core/picture/picture_kinds.h"

#include <gtest/gtest.h>

namespace orvane {

// Users know this filter text as it is, repeated JPEG extensions included.
TEST(PictureKinds, OpenDialogFilterKeepsItsText) {
    EXPECT_EQ(OpenDialogFilter(),
              "Tout (*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf"
              "|Bitmaps (*.bmp)|*.bmp|PCX (*.pcx)|*.pcx");
    EXPECT_EQ(DecoderForExtension("JPEG"), PictureDecoder::Jpeg);
    EXPECT_EQ(DecoderForExtension("pcx"), PictureDecoder::None);
}

}  // namespace orvane
