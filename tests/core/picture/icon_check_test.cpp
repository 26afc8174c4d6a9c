// The icon directory check on icon files built here: every entry must
// describe an image inside the file, and the image chosen is the one
// Windows shows for an icon loaded at its own size.
#include <gtest/gtest.h>

#include "support/byte_writer.h"

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/picture/icon_check.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_bytes::Put16;
using test_bytes::Put32;

struct Entry {
    int width, height;  // 256 is written as 0
    int bits;
    int colours = 0;
};

// A directory of `entries`, each with an image of 40 + 4 * index bytes
// after the directory.
Bytes Icon(const std::vector<Entry>& entries) {
    const std::size_t count = entries.size();
    Bytes b(6 + 16 * count, 0);
    Put16(b, 2, 1), Put16(b, 4, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t e = 6 + 16 * i, bytes = 40 + 4 * i;
        b[e] = static_cast<std::uint8_t>(entries[i].width & 0xFF);
        b[e + 1] = static_cast<std::uint8_t>(entries[i].height & 0xFF);
        b[e + 2] = static_cast<std::uint8_t>(entries[i].colours & 0xFF);
        Put16(b, e + 4, 1), Put16(b, e + 6, entries[i].bits);
        Put32(b, e + 8, static_cast<std::uint32_t>(bytes)), Put32(b, e + 12, static_cast<std::uint32_t>(b.size()));
        b.resize(b.size() + bytes, static_cast<std::uint8_t>(i));
    }
    return b;
}

IconImage Checked(const Bytes& b) { return CheckIcon(ByteReader(b.data(), b.size()), "x.ico"); }

std::string IconError(const Bytes& b) {
    try {
        Checked(b);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(IconCheck, ChoosesTheFirstSizeInItsDeepestColours) {
    const Bytes single = Icon({{16, 16, 32}});
    const IconImage one = Checked(single);
    EXPECT_EQ(one.index, 0u);
    EXPECT_EQ(one.offset, 22u);
    EXPECT_EQ(one.bytes, 40u);
    EXPECT_EQ(one.width, 16);
    EXPECT_EQ(one.height, 16);

    // The first entry's size decides; deeper images of other sizes do not count.
    const IconImage deepest = Checked(Icon({{32, 32, 4}, {16, 16, 32}, {32, 32, 8}, {32, 32, 32}, {32, 32, 24}}));
    EXPECT_EQ(deepest.index, 3u);
    EXPECT_EQ(deepest.width, 32);
    EXPECT_EQ(deepest.bytes, 40u + 4 * 3);
    // Of equal depths, the first.
    EXPECT_EQ(Checked(Icon({{48, 48, 8}, {48, 48, 8}})).index, 0u);
    // Width and height both count: 32 x 64 is not 32 x 32.
    EXPECT_EQ(Checked(Icon({{32, 32, 4}, {32, 64, 32}})).index, 0u);
    // 0 stands for 256.
    const IconImage large = Checked(Icon({{256, 256, 32}}));
    EXPECT_EQ(large.width, 256);
    EXPECT_EQ(large.height, 256);
    // Old files give the colour count and leave the depth 0: 16 colours is
    // 4 bits, deeper than 1 bit and shallower than 8; 0 colours is 256.
    EXPECT_EQ(Checked(Icon({{32, 32, 1}, {32, 32, 0, 16}})).index, 1u);
    EXPECT_EQ(Checked(Icon({{32, 32, 0, 16}, {32, 32, 8}})).index, 1u);
    EXPECT_EQ(Checked(Icon({{32, 32, 4}, {32, 32, 0, 0}})).index, 1u);
}

TEST(IconCheck, RefusesDirectoriesThatDoNotDescribeTheFile) {
    const Bytes good = Icon({{16, 16, 32}, {32, 32, 32}});
    ASSERT_EQ(IconError(good), "");
    const std::string notIcon = "Le fichier x.ico n'est pas une icône";
    const std::string damaged = "Icône incorrecte ou tronquée : x.ico";
    auto with16 = [&](std::size_t at, std::uint32_t v) {
        Bytes b = good;
        Put16(b, at, v);
        return IconError(b);
    };
    auto with32 = [&](std::size_t at, std::uint32_t v) {
        Bytes b = good;
        Put32(b, at, v);
        return IconError(b);
    };
    EXPECT_EQ(IconError({}), notIcon);
    EXPECT_EQ(IconError(Bytes(good.begin(), good.begin() + 5)), notIcon);
    EXPECT_EQ(with16(0, 1), notIcon);  // reserved
    EXPECT_EQ(with16(2, 2), notIcon);  // a cursor
    EXPECT_EQ(with16(4, 0), damaged);  // no image
    EXPECT_EQ(with16(4, 0xFFFF), damaged);  // entries past the end
    // The second entry: image size, then offset.
    constexpr std::size_t kSecond = 6 + 16;
    EXPECT_EQ(with32(kSecond + 8, 39), damaged);  // smaller than a bitmap header
    EXPECT_EQ(with32(kSecond + 8, 45), damaged);  // one byte past the end
    EXPECT_EQ(with32(kSecond + 8, 0xFFFFFFFFu), damaged);
    EXPECT_EQ(with32(kSecond + 12, 20), damaged);  // inside the directory
    EXPECT_EQ(with32(kSecond + 12, 0xFFFFFFF0u), damaged);  // offset + size wraps 32 bits
    EXPECT_EQ(with32(kSecond + 12, static_cast<std::uint32_t>(good.size())), damaged);
    // Cut short anywhere.
    for (std::size_t n = 0; n < good.size(); ++n)
        ASSERT_NE(IconError(Bytes(good.begin(), good.begin() + n)), "") << n;
}

}  // namespace
}  // namespace orvane
