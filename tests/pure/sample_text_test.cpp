#include <gtest/gtest.h>

#include "delivery/SampleText.h"

TEST(SampleText, EscapesBecomeTheirBytesAndCharactersTheirUtf8) {
    const SampleBytes sample = ParseSampleText("01\\x1d10AB\\t\\r\\n\\\\ \xC3\xA9");
    EXPECT_EQ(sample.error, "");
    EXPECT_EQ(sample.bytes, "01\x1D" "10AB\t\r\n\\ \xC3\xA9");
}

TEST(SampleText, ABadEscapeIsNamedWithItsColumn) {
    EXPECT_EQ(ParseSampleText("\xC3\xA9" "A\\x1").error, "column 3: \\x wants two hex digits");
    EXPECT_EQ(ParseSampleText("A\\q").error, "column 2: unknown escape \\q (a backslash is \\\\)");
    EXPECT_EQ(ParseSampleText("A\\").bytes, "");
    EXPECT_NE(ParseSampleText("A\\").error, "");
}

TEST(SampleText, ABarcodeIsWrittenWithEscapesAndReadsBackTheSame) {
    const std::string barcode = "01\x1D\\Caf\xE9\t\r\n\x7F\xC3\xA9\xC2\x85";
    const std::string text = SampleTextOf(barcode);
    // A lone Latin-1 byte and a C1 control as escapes, valid UTF-8 as the character.
    EXPECT_EQ(text, "01\\x1D\\\\Caf\\xE9\\t\\r\\n\\x7F\xC3\xA9\\xC2\\x85");
    EXPECT_EQ(ParseSampleText(text).bytes, barcode);
}
