#include "core/text_lines.h"

#include <gtest/gtest.h>

using orvane::SplitLines;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

TEST(TextLines, EveryLineEndKindSplits) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    // LF CR is two ends, not one reversed pair.
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(TextLines, TextEdges) {
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
    EXPECT_EQ(SplitLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitLines("seule"), (Lines{"seule"}));
    EXPECT_EQ(SplitLines("fin\r"), (Lines{"fin"}));
}

TEST(TextLines, OtherControlCharactersAndBytesStayInTheLine) {
    EXPECT_EQ(SplitLines("a\0b\fc\td\r\ne"s), (Lines{"a\0b\fc\td"s, "e"}));
    // UTF-8 line and paragraph separators, and ANSI bytes, are plain text.
    EXPECT_EQ(SplitLines("x\xE2\x80\xA8y\r\n\xE9t\xE9"), (Lines{"x\xE2\x80\xA8y", "\xE9t\xE9"}));
}
