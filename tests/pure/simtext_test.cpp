#include <gtest/gtest.h>

#include "sdksim/SimText.h"

using namespace sdksim;

TEST(SimBarcodeEscapes, ResolveEveryKnownEscape) {
    EXPECT_EQ(*UnescapeBarcode("A\\r\\n\\tB\\\\C").value, "A\r\n\tB\\C");
    EXPECT_EQ(*UnescapeBarcode("\\x00\\xff\\x4A").value, std::string("\0\xff" "J", 3));
    EXPECT_EQ(*UnescapeBarcode("plain 123").value, "plain 123");
    EXPECT_EQ(*UnescapeBarcode("").value, "");
}

TEST(SimBarcodeEscapes, RejectUnknownOrCutEscapes) {
    for (const char* bad : {"\\q", "abc\\", "\\x", "\\x4", "\\xg0", "\\X41"}) {
        auto parsed = UnescapeBarcode(bad);
        EXPECT_FALSE(parsed) << bad;
        EXPECT_FALSE(parsed.error.empty()) << bad;
    }
}

TEST(SimBarcodeEscapes, EscapeIsTheInverseForAnyBytes) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string escaped = EscapeBarcode(all);
    for (char c : escaped) EXPECT_TRUE(c >= 0x20 && c <= 0x7E);
    EXPECT_EQ(*UnescapeBarcode(escaped).value, all);
}

TEST(SimHexBytes, PairsOfDigitsInEitherCase) {
    EXPECT_EQ(*ParseHexBytes("0d0A41ff").value, std::string("\r\nA\xff"));
    EXPECT_FALSE(ParseHexBytes(""));
    EXPECT_FALSE(ParseHexBytes("abc"));
    EXPECT_FALSE(ParseHexBytes("0g"));
    EXPECT_FALSE(ParseHexBytes("0x41"));
}

TEST(SimResultCodes, DecimalOrHexadecimalWithin32Bits) {
    EXPECT_EQ(*ParseResultCode("2").value, 2u);
    EXPECT_EQ(*ParseResultCode("0x20010019").value, 0x20010019u);
    EXPECT_EQ(*ParseResultCode("0XFFFFFFFF").value, 0xFFFFFFFFu);
    EXPECT_EQ(*ParseResultCode("4294967295").value, 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "4294967296", "0x100000000", "-1", "12a", "0x2001001G"})
        EXPECT_FALSE(ParseResultCode(bad)) << bad;
    EXPECT_EQ(FormatResultCode(0x20010019), "0x20010019");
    EXPECT_EQ(FormatResultCode(2), "2");
}

TEST(SimNumbers, CountsAndSignedValues) {
    EXPECT_EQ(*ParseCount("7", 10).value, 7u);
    EXPECT_FALSE(ParseCount("11", 10));
    EXPECT_FALSE(ParseCount("-1", 10));
    EXPECT_EQ(*ParseSigned("-2147483648").value, INT32_MIN);
    EXPECT_EQ(*ParseSigned("2147483647").value, INT32_MAX);
    EXPECT_FALSE(ParseSigned("2147483648"));
    EXPECT_FALSE(ParseSigned("-"));
}

TEST(SimPortNumber, TheNumberThatEndsThePortName) {
    EXPECT_EQ(PortNumber("COM3"), 3);
    EXPECT_EQ(PortNumber("com3"), 3);
    EXPECT_EQ(PortNumber("\\\\.\\COM3"), 3);
    EXPECT_EQ(PortNumber("\\\\.\\COM12"), 12);
    EXPECT_EQ(PortNumber("COM03"), 3);
    EXPECT_EQ(PortNumber("COM"), std::nullopt);
    EXPECT_EQ(PortNumber("COM3x"), std::nullopt);
    EXPECT_EQ(PortNumber(""), std::nullopt);
    EXPECT_EQ(PortNumber("COM99999999999"), std::nullopt);
}

TEST(SimBluetoothAddress, SixBytesByteZeroFirst) {
    auto a = ParseBluetoothAddress("00:1a:7D:da:71:13");
    ASSERT_TRUE(a);
    EXPECT_EQ((*a.value)[0], 0x00);
    EXPECT_EQ((*a.value)[1], 0x1a);
    EXPECT_EQ((*a.value)[2], 0x7d);
    EXPECT_EQ((*a.value)[5], 0x13);
    EXPECT_EQ(FormatBluetoothAddress(*a.value), "00:1a:7d:da:71:13");
    for (const char* bad : {"00:1a:7d:da:71", "00:1a:7d:da:71:13:00", "001a7dda7113", "00-1a-7d-da-71-13",
                            "0g:1a:7d:da:71:13"})
        EXPECT_FALSE(ParseBluetoothAddress(bad)) << bad;
}

TEST(SimScannerNames, PrintableWithoutBlanksAndNotTheStar) {
    EXPECT_TRUE(IsValidScannerName("scanner-1"));
    EXPECT_TRUE(IsValidScannerName(std::string(64, 'a')));
    EXPECT_FALSE(IsValidScannerName(std::string(65, 'a')));
    EXPECT_FALSE(IsValidScannerName(""));
    EXPECT_FALSE(IsValidScannerName("*"));
    EXPECT_FALSE(IsValidScannerName("two words"));
    EXPECT_FALSE(IsValidScannerName("tab\there"));
}

TEST(SimPercentEncoding, RoundTripsAnyBytesIntoOneToken) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string encoded = PercentEncode(all);
    EXPECT_EQ(encoded.find_first_of(" =\n\r\t"), std::string::npos);
    EXPECT_EQ(PercentDecode(encoded), all);
    EXPECT_EQ(PercentEncode("\\\\.\\COM3"), "\\\\.\\COM3");
    EXPECT_EQ(PercentDecode("%4"), std::nullopt);
    EXPECT_EQ(PercentDecode("%zz"), std::nullopt);
    EXPECT_EQ(PercentDecode("a%"), std::nullopt);
}
