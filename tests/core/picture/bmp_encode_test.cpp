#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/picture/bmp_file.h"
#include "core/error.h"

namespace orvane {
namespace {

Image32 Random(int w, int h, unsigned seed) {
    Image32 img(w, h);
    std::mt19937 rng(seed);
    for (auto& p : img.pixels) p = rng();
    return img;
}

// In place or not, the bytes are EncodeBmp's: sizes with odd and even row
// counts (the middle row of an odd count stays where it is), rows of every
// padding at 16 and 24 bits, and depths the encoder writes as 24 bits.
TEST(BmpInPlace, SameBytesAsEncodeBmp) {
    const int sizes[][2] = {{1, 1}, {3, 2}, {5, 5}, {4, 4}, {17, 3}, {2, 9}, {6, 1}};
    for (const auto& s : sizes)
        for (int bits : {32, 24, 16, 8})
            for (bool spare : {false, true}) {
                Image32 img = Random(s[0], s[1], static_cast<unsigned>(s[0] * 31 + s[1]));
                const std::vector<std::uint8_t> expected = EncodeBmp(img, bits);
                if (spare) img.pixels.reserve(img.pixels.size() + kBmpInPlaceSpareWords);
                const BmpFileBytes file = EncodeBmpInPlace(std::move(img), bits);
                ASSERT_EQ(std::vector<std::uint8_t>(file.data(), file.data() + file.size()), expected)
                    << s[0] << "x" << s[1] << " at " << bits << (spare ? " with" : " without") << " spare room";
                EXPECT_TRUE(img.empty());
            }
}

TEST(BmpInPlace, ThirtyTwoBitsUseThePicturesOwnMemory) {
    Image32 img = Random(640, 3, 5);
    img.pixels.reserve(img.pixels.size() + kBmpInPlaceSpareWords);
    const auto* before = reinterpret_cast<const std::uint8_t*>(img.pixels.data());
    const BmpFileBytes file = EncodeBmpInPlace(std::move(img), 32);
    EXPECT_EQ(file.data(), before + 2);
}

TEST(BmpInPlace, RefusesEmptyAndIncompletePictures) {
    EXPECT_THROW(EncodeBmpInPlace(Image32(), 32), Error);
    Image32 short_ = Random(4, 4, 1);
    short_.pixels.pop_back();
    EXPECT_THROW(EncodeBmpInPlace(std::move(short_), 32), Error);
}

}  // namespace
}  // namespace orvane
