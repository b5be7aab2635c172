#include <gtest/gtest.h>

#include <climits>

#include "pages/AboutText.h"

TEST(SdkVersionLine, NamesTheSdkAndItsVersionInDecimal) {
    EXPECT_EQ(SdkVersionLine(3), "Scanner SDK v3");
    EXPECT_EQ(SdkVersionLine(0), "Scanner SDK v0");      // no DLL: the binding answers 0
    EXPECT_EQ(SdkVersionLine(1007), "Scanner SDK v1007");
    EXPECT_EQ(SdkVersionLine(-2), "Scanner SDK v-2");
}

TEST(SdkVersionLine, FitsItsBufferForEveryNumber) {
    // "Scanner SDK v-2147483648" is 24 characters: the buffer never cuts it.
    EXPECT_EQ(SdkVersionLine(INT_MIN), "Scanner SDK v-2147483648");
    EXPECT_EQ(SdkVersionLine(INT_MAX), "Scanner SDK v2147483647");
}
