#include "core/wallpaper/picture_chooser.h"

#include <gtest/gtest.h>

#include <set>

namespace orvane {
namespace {

const auto kAll = [](std::size_t) { return true; };

TEST(PictureChooser, InOrderEachScreenTakesTheNextThatCanBeRead) {
    NextPictureRules r{5, 1, false, 0, 1};
    EXPECT_EQ(ChooseNextPictures(r, kAll).indexes, std::vector<std::size_t>{2});
    const auto skipThree = [](std::size_t i) { return i != 2 && i != 3; };
    const NextPictures one = ChooseNextPictures(r, skipThree);
    EXPECT_EQ(one.indexes, std::vector<std::size_t>{4});
    EXPECT_EQ(one.number, 4);
    // Three screens from the end of the list: 4, 0, 1; Number on the last.
    r.number = 3;
    r.screens = 3;
    const NextPictures three = ChooseNextPictures(r, kAll);
    EXPECT_EQ(three.indexes, (std::vector<std::size_t>{4, 0, 1}));
    EXPECT_EQ(three.number, 1);
    // More screens than entries that can be read: they repeat.
    EXPECT_EQ(ChooseNextPictures(r, [](std::size_t i) { return i == 3; }).indexes,
              (std::vector<std::size_t>{3, 3, 3}));
    // None: nothing chosen, Number kept.
    const NextPictures none = ChooseNextPictures(r, [](std::size_t) { return false; });
    EXPECT_TRUE(none.indexes.empty());
    EXPECT_EQ(none.number, 3);
}

TEST(PictureChooser, AtRandomEachScreenDrawsItsOwnDifferentPicture) {
    // One screen: the draw the program always made.
    EXPECT_EQ(ChooseNextPictures({10, 0, true, 1000, 1}, kAll).indexes, std::vector<std::size_t>{3});
    for (std::uint32_t seed : {0u, 1000u, 86399999u}) {
        const NextPictures p = ChooseNextPictures({4, 0, true, seed, 4}, kAll);
        EXPECT_EQ(std::set<std::size_t>(p.indexes.begin(), p.indexes.end()).size(), 4u) << seed;
        EXPECT_EQ(p.number, static_cast<std::int32_t>(p.indexes.back()));
    }
    // A draw that cannot be read passes to the next entry that can.
    EXPECT_EQ(ChooseNextPictures({10, 0, true, 1000, 1}, [](std::size_t i) { return i > 5; }).indexes,
              std::vector<std::size_t>{6});
}

TEST(PictureChooser, VolumeRootOfDrivesSharesAndLongPaths) {
    EXPECT_EQ(VolumeRoot("E:\\photos\\a.jpg"), "E:\\");
    EXPECT_EQ(VolumeRoot("\\\\nas\\images\\été\\a.jpg"), "\\\\nas\\images\\");
    EXPECT_EQ(VolumeRoot("\\\\?\\E:\\a.jpg"), "\\\\?\\E:\\");
    EXPECT_EQ(VolumeRoot("\\\\?\\UNC\\nas\\images\\a.jpg"), "\\\\?\\UNC\\nas\\images\\");
    EXPECT_EQ(VolumeRoot("a.jpg"), "");
    EXPECT_EQ(VolumeRoot("\\\\nas"), "");
}

}  // namespace
}  // namespace orvane
