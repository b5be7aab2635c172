#include <gtest/gtest.h>

#include "delivery/Formatting.h"

TEST(TokenDisplayText, NamedTokensUseTheirTraceNames) {
    EXPECT_EQ(TokenDisplayText("None", 0), "");
    EXPECT_EQ(TokenDisplayText("None", 1), "<Ctrl>");
    EXPECT_EQ(TokenDisplayText("<ENTER>", 0), "<Enter>");
    EXPECT_EQ(TokenDisplayText("<DOWN>", 1), "<Ctrl Down>");
}

TEST(TokenDisplayText, OtherStringsShowThemselvesWhole) {
    EXPECT_EQ(TokenDisplayText("#", 1), "<Ctrl #>");
    EXPECT_EQ(TokenDisplayText("abc", 0), "abc");
    EXPECT_EQ(TokenDisplayText("<Enter>", 0), "<Enter>");  // not a name: case counts
    EXPECT_EQ(TokenDisplayText("", 0), "");
    EXPECT_EQ(TokenDisplayText("", 1), "<Ctrl >");
}

TEST(StrippedRange, CutsLeadingBytesOrEverything) {
    EXPECT_EQ(StrippedRange(5, 0).count, 5u);
    EXPECT_EQ(StrippedRange(5, 3).first, 3u);
    EXPECT_EQ(StrippedRange(5, 3).count, 2u);
    EXPECT_EQ(StrippedRange(2, 2).count, 0u);
    EXPECT_EQ(StrippedRange(2, 5).count, 0u);
    EXPECT_EQ(StrippedRange(0, 0).count, 0u);
    EXPECT_EQ(StrippedRange(4, -1).count, 4u);
}
