#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "delivery/TraceText.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Raw(const std::vector<uint8_t>& b) { return RawDisplayText(b.data(), b.size()); }
std::string Formatted(const std::vector<uint8_t>& b, const FormatSettings& f) {
    return FormattedTraceText(b.data(), b.size(), f);
}

}  // namespace

TEST(ControlCharName, NamesEveryControlByteAndDeleteOnly) {
    const char* expected[32] = {"<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",
                                "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",
                                "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",
                                "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>"};
    for (int b = 0; b < 32; ++b) EXPECT_EQ(ControlCharName(static_cast<uint8_t>(b)), expected[b]) << b;
    EXPECT_EQ(ControlCharName(127), "<DEL>");
    for (int b = 32; b < 256; ++b) {
        if (b == 127) continue;
        EXPECT_TRUE(ControlCharName(static_cast<uint8_t>(b)).empty()) << b;
    }
}

TEST(RawDisplayText, NamesControlBytesInPlaceAndCopiesTheRest) {
    EXPECT_EQ(Raw(Bytes("12\t34\r")), "12<HT>34<CR>");
    EXPECT_EQ(Raw(Bytes(std::string("a\0b\x7f", 4))), "a<NUL>b<DEL>");
    EXPECT_EQ(Raw(Bytes("\n")), "<LF>");
    EXPECT_EQ(Raw({0x80, 0xE9, 0xFF, ' ', '~'}), "\x80\xE9\xFF ~");
    EXPECT_EQ(Raw({}), "");
}

TEST(RawDisplayText, ShowsBarcodesLongerThanAnyWorkingCopyWhole) {
    for (size_t length : {251u, 252u, 253u, 256u, 1000u}) {
        std::vector<uint8_t> barcode(length);
        for (size_t i = 0; i < length; ++i) barcode[i] = static_cast<uint8_t>('A' + i % 26);
        barcode.back() = '\r';
        const std::string text = Raw(barcode);
        ASSERT_EQ(text.size(), length - 1 + 4) << length;
        EXPECT_EQ(text.substr(0, 3), "ABC");
        EXPECT_EQ(text.substr(text.size() - 5), std::string(1, static_cast<char>('A' + (length - 2) % 26)) + "<CR>");
    }
}

TEST(FormattedTraceText, DefaultSettingsShowTheBarcodeThenEnter) {
    EXPECT_EQ(Formatted(Bytes("123"), FormatSettings{}), "123<Enter>");
}

TEST(FormattedTraceText, TokensAndCtrlFlagsInTheirOrder) {
    FormatSettings f;
    f.PrefixChar = "#";
    f.PrefixCharCtrl = 1;
    f.SuffixFirstChar = "<TAB>";
    f.SuffixSecondChar = "None";
    f.SuffixSecondCharCtrl = 1;
    EXPECT_EQ(Formatted(Bytes("ab\tc"), f), "<Ctrl #>ab<HT>c<Tab><Ctrl>");

    f.PrefixChar = "xyz";  // a custom token is shown whole
    f.PrefixCharCtrl = 0;
    f.SuffixFirstChar = "<Enter>";  // not a name: shown as itself
    EXPECT_EQ(Formatted(Bytes("1"), f), "xyz1<Enter><Ctrl>");
}

TEST(FormattedTraceText, StripCutsLeadingBytesOrLeavesOnlyTokens) {
    FormatSettings f;
    f.strip = 2;
    EXPECT_EQ(Formatted(Bytes("\x01\x02""AB"), f), "AB<Enter>");
    f.strip = 4;
    EXPECT_EQ(Formatted(Bytes("ABCD"), f), "<Enter>");
    f.strip = 9;
    f.PrefixChar = "<LEFT>";
    EXPECT_EQ(Formatted(Bytes("ABCD"), f), "<Left><Enter>");
}

TEST(FormattedTraceText, KeepsEveryByteOfALongBarcodeAfterTheStrip) {
    std::vector<uint8_t> barcode(300, 'x');
    barcode[1] = 0x1B;
    barcode[299] = 'z';
    FormatSettings f;
    f.strip = 1;
    const std::string text = Formatted(barcode, f);
    EXPECT_EQ(text, "<ESC>" + std::string(297, 'x') + "z<Enter>");
}
