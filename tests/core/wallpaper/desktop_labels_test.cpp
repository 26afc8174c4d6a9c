#include <gtest/gtest.h>

#include "core/wallpaper/desktop_labels.h"
#include "core/picture/image.h"

namespace orvane {

TEST(DesktopLabels, RecolourOnlyWhenTheShellPutAnOpaqueBackgroundBack) {
    const std::uint32_t black = ComplementColour(0xFFFFFFFFu);
    EXPECT_EQ(black, 0u);
    EXPECT_FALSE(LabelsNeedRecolour(kClrNone, black));  // already transparent
    EXPECT_TRUE(LabelsNeedRecolour(0x00FFFFFFu, black));
    EXPECT_FALSE(LabelsNeedRecolour(0x00A9CBEDu, ComplementColour(0x00123456u)));  // equals C: left alone
    EXPECT_TRUE(LabelsNeedRecolour(0u, 0x00FFFFFFu));
}

TEST(DesktopLabels, ViewTypeBitsOnlyAreReplaced) {
    EXPECT_EQ(StyleWithViewType(0x56000003u, 0), 0x56000000u);
    EXPECT_EQ(StyleWithViewType(0x56000001u, 2), 0x56000002u);
    EXPECT_EQ(StyleWithViewType(0xFFFFFFFFu, 2), 0xFFFFFFFEu);
}

}  // namespace orvane
