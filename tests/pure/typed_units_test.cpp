#include <gtest/gtest.h>

#include "delivery/TypedUnits.h"

using U = TypedUnit;

TEST(TypedUnitsTraceText, WritesUnitsAsTheTracePageDoesInUtf8) {
    EXPECT_EQ(TypedUnitsTraceText({U::Byte('1'), U::Byte(0x1D), U::Byte(0x7F), U::Byte(0x00), U::Byte(0xE9)}),
              "1<GS><DEL><NUL>\xC3\xA9");
    EXPECT_EQ(TypedUnitsTraceText({U::Character(0x3042), U::Character(0x1F600), U::Character(0x09),
                                   U::Character(0xD800), U::Character(0x110000)}),
              "\xE3\x81\x82\xF0\x9F\x98\x80<HT>\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(TypedUnitsTraceText({U::Key(0x09, false), U::Key(0x0D, true), U::Key(0x41, false), U::Key(0x41, true)}),
              "<Tab><Ctrl Enter><Key 0x41><Ctrl Key 0x41>");
    EXPECT_EQ(TypedUnitsTraceText({}), "");
}

TEST(KeyNames, NameTheTableKeysWithoutBracketsInAnyCase) {
    ASSERT_NE(FindKeyName("tab"), nullptr);
    EXPECT_EQ(FindKeyName("tab")->virtualKey, 0x09);
    EXPECT_EQ(FindKeyName("Down")->virtualKey, 0x28);
    EXPECT_EQ(FindKeyName("None"), nullptr);
    EXPECT_EQ(FindKeyName("<TAB>"), nullptr);
    EXPECT_EQ(FindKeyName("TA"), nullptr);
    EXPECT_EQ(KeyName(0x0D), "ENTER");
    EXPECT_EQ(KeyName(0), "");
    EXPECT_EQ(KeyName(0x41), "");
}
