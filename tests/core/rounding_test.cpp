#include <gtest/gtest.h>

#include "core/error.h"
#include "core/picture/image.h"
#include "core/rounding.h"

namespace orvane {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(1e12), INT32_MAX);
}

TEST(Messages, FirstPlaceholderIsReplaced) {
    EXPECT_EQ(FormatMessage1("Type de données incorrect pour '%s'", "CalL"), "Type de données incorrect pour 'CalL'");
    EXPECT_EQ(FormatMessage1("Erreur JPEG #%d", 42), "Erreur JPEG #42");
}

TEST(Colours, ComplementOfTopLeftPixel) {
    EXPECT_EQ(ComplementColour(0xFFFFFFFFu), 0u);
    EXPECT_EQ(ComplementColour(0xFF000000u), 0x00FFFFFFu);
    // pixel R 0x12, G 0x34, B 0x56 -> red 0xED, green 0xCB, blue 0xA9
    EXPECT_EQ(ComplementColour(0xFF123456u), 0x00A9CBEDu);
}

TEST(PictureSize, AbsurdDimensionsAreRefused) {
    EXPECT_TRUE(PictureSizeAcceptable(16000, 16000));
    EXPECT_FALSE(PictureSizeAcceptable(65535, 65535));
    EXPECT_FALSE(PictureSizeAcceptable(-1, 10));
    EXPECT_THROW(Image32(70000, 70000), Error);
}

}  // namespace orvane
