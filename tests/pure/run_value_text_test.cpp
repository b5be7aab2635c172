#include <gtest/gtest.h>

#include "config/RunValueText.h"

TEST(RunValueData, APathWithABlankIsQuoted) {
    EXPECT_EQ(RunValueData("C:\\Program Files\\Brontel Vask\\VaskSW.exe"),
              "\"C:\\Program Files\\Brontel Vask\\VaskSW.exe\"");
    EXPECT_EQ(RunValueData("C:\\Vask\\VaskSW.exe"), "C:\\Vask\\VaskSW.exe");
    EXPECT_EQ(RunValueData(""), "");
}

TEST(RunValueData, StoredValueReadsBackAsPathInfo) {
    for (const char* path : {"C:\\Program Files\\Brontel Vask\\VaskSW.exe", "C:\\Vask\\VaskSW.exe", "a b"})
        EXPECT_EQ(WithoutSurroundingQuotes(RunValueData(path)), path);
}

TEST(WithoutSurroundingQuotes, OnlyOneEnclosingPair) {
    EXPECT_EQ(WithoutSurroundingQuotes("\"x y\""), "x y");
    EXPECT_EQ(WithoutSurroundingQuotes("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(WithoutSurroundingQuotes("\"\""), "");
    EXPECT_EQ(WithoutSurroundingQuotes("\""), "\"");
    EXPECT_EQ(WithoutSurroundingQuotes("\"x"), "\"x");
    EXPECT_EQ(WithoutSurroundingQuotes("x\""), "x\"");
    EXPECT_EQ(WithoutSurroundingQuotes("x y"), "x y");
}
