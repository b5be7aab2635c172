#include <gtest/gtest.h>

#include "delivery/Gs1.h"

namespace {

std::vector<std::pair<std::string, std::string>> Fields(std::string_view text) {
    const Gs1Parse parse = ParseGs1(text);
    EXPECT_TRUE(parse.Parsed()) << parse.error << " at " << parse.errorAt;
    std::vector<std::pair<std::string, std::string>> fields;
    for (const Gs1Field& f : parse.fields) fields.emplace_back(f.identifier, f.data);
    return fields;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(ParseGs1, VariableFieldsEndAtAGroupSeparatorOrAtTheEnd) {
    const std::string_view text = "0109501101020917" "10ABC123\x1D" "2112345";
    EXPECT_EQ(Fields(text), (Pairs{{"01", "09501101020917"}, {"10", "ABC123"}, {"21", "12345"}}));
    EXPECT_EQ(Gs1WithParentheses(text), "(01)09501101020917(10)ABC123(21)12345");
    EXPECT_EQ(Fields("10ABC\x1D"), (Pairs{{"10", "ABC"}}));  // a separator at the very end
}

TEST(ParseGs1, FixedLengthFieldsEndAtTheirLengthWithOrWithoutASeparator) {
    EXPECT_EQ(Fields("00123456789012345678" "0109501101020917" "17261231" "2001" "3103001250"
                     "4101234567890123" "11250101"),
              (Pairs{{"00", "123456789012345678"}, {"01", "09501101020917"}, {"17", "261231"}, {"20", "01"},
                     {"3103", "001250"}, {"410", "1234567890123"}, {"11", "250101"}}));
    EXPECT_EQ(Fields("0109501101020917\x1D" "15261231"), (Pairs{{"01", "09501101020917"}, {"15", "261231"}}));
    // A variable field after a compound one: digits first, then GS1 characters.
    EXPECT_EQ(Fields("7030276AB-1\x1D" "8003012345678901234XY"),
              (Pairs{{"7030", "276AB-1"}, {"8003", "012345678901234XY"}}));
}

TEST(ParseGs1, SaysWhereAndWhyItStops) {
    struct Case {
        std::string text;
        size_t at;
        std::string error;
    } cases[] = {
        {"", 0, "no application identifier"},
        {"010950110102091", 15, "(01) wants 14 characters"},          // cut short at the end
        {"01095011\x1D" "0102091710A", 8, "(01) wants 14 characters"},  // a separator inside a fixed field
        {"10" + std::string(21, 'A'), 22, "(10) holds at most 20 characters"},
        {"0109501101020917" "04123", 16, "no known application identifier here"},
        {"0109501101020917" "1" , 16, "no known application identifier here"},
        {"01095011010209A7", 14, "(01) does not take this character"},
        {"10AB C", 4, "(10) does not take this character"},
        {"10ABC\x1D\x1D" "21X", 6, "no known application identifier here"},
        {"70302A6X", 5, "(7030) does not take this character"},
    };
    for (const Case& c : cases) {
        const Gs1Parse parse = ParseGs1(c.text);
        EXPECT_EQ(parse.error, c.error) << ::testing::PrintToString(c.text);
        EXPECT_EQ(parse.errorAt, c.at) << ::testing::PrintToString(c.text);
    }
    EXPECT_EQ(Gs1WithParentheses("10AB C"), std::nullopt);
}
