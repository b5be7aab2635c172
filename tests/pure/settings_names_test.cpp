#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "config/XmlNames.h"

using namespace settingsnames;

TEST(SectionName, ValidNamesStayExactlyAsTheyAre) {
    for (std::u16string name : {u"Ann", u"ann-lee", u"ann.lee", u"_x", u"x_x", u"J\u00FCrgen", u"\u4E2D\u6587",
                                u"a\u00B7b", u"and", u"admin", u"xmlUser", u"a\U00010400b", u"A1"}) {
        EXPECT_TRUE(IsValidElementName(name));
        EXPECT_EQ(EncodeSectionName(name), name);
    }
}

TEST(SectionName, InvalidCharactersBecomeHexEscapes) {
    EXPECT_EQ(EncodeSectionName(u"Ann Lee"), u"Ann_x0020_Lee");
    EXPECT_EQ(EncodeSectionName(u"1st"), u"_x0031_st");           // a digit cannot start a name
    EXPECT_EQ(EncodeSectionName(u"-a"), u"_x002D_a");
    EXPECT_EQ(EncodeSectionName(u"a:b"), u"a_x003A_b");           // a colon would make a prefixed name
    EXPECT_EQ(EncodeSectionName(u"a$b&c"), u"a_x0024_b_x0026_c");
    EXPECT_EQ(EncodeSectionName(u"a\xD800"), u"a_xD800_");        // a lone surrogate
    EXPECT_EQ(EncodeSectionName(u" "), u"_x0020_");
}

TEST(SectionName, AnEncodedNameEscapesItsOwnEscapeMarker) {
    // Without this, "a b_x0020_" and "a_x0020_b " could not be told apart.
    EXPECT_EQ(EncodeSectionName(u"a b_x"), u"a_x0020_b_x005F_x");
    EXPECT_EQ(DecodeSectionName(u"a_x0020_b_x005F_x"), u"a b_x");
}

TEST(SectionName, NamesOfTheDocumentItselfAreEncoded) {
    // "//strip" would find the Admin section's strip element first.
    EXPECT_TRUE(IsReservedName(u"strip"));
    EXPECT_TRUE(IsReservedName(u"Zantrovix"));
    EXPECT_FALSE(IsReservedName(u"Strip"));
    EXPECT_EQ(EncodeSectionName(u"strip"), u"_x0073_trip");
    EXPECT_EQ(EncodeSectionName(u"Zantrovix"), u"_x005A_antrovix");
    EXPECT_EQ(EncodeSectionName(u"TopPosition"), u"_x0054_opPosition");
    EXPECT_EQ(DecodeSectionName(u"_x0073_trip"), u"strip");
    // A standard user called Admin must not share the administrators' section.
    EXPECT_EQ(EncodeSectionName(u"Admin"), u"_x0041_dmin");
    EXPECT_EQ(DecodeSectionName(u"_x0041_dmin"), u"Admin");
}

TEST(SectionName, EmptyLogonNameGivesNoSection) {
    EXPECT_EQ(EncodeSectionName(u""), u"");
    EXPECT_FALSE(IsValidElementName(u""));
}

TEST(SectionName, KeptNamesThatLookEncodedDecodeToThemselves) {
    // "_x0041_" decodes to "A", which would not have been encoded.
    EXPECT_EQ(DecodeSectionName(u"_x0041_"), u"_x0041_");
    EXPECT_EQ(DecodeSectionName(u"Ann"), u"Ann");
    EXPECT_EQ(DecodeSectionName(u"_x00zz_"), u"_x00zz_");
}

TEST(SectionName, PatternSelectsByTheEncodedName) {
    EXPECT_EQ(SectionPattern(EncodeSectionName(u"Ann Lee")), u"//Ann_x0020_Lee");
    EXPECT_EQ(SectionPattern(u"Admin"), u"//Admin");
}

// Random names over an alphabet that favours the troublesome characters.
TEST(SectionName, RandomNamesEncodeToValidDistinctReversibleNames) {
    const std::u16string alphabet = u"aZ_x0F9 :-.\u00B7\u00E9\u4E2D\xD801\xDC00&<'\"\x01/";
    std::mt19937 random(20261207);
    std::map<std::u16string, std::u16string> inputOf;
    for (int round = 0; round < 20000; ++round) {
        std::u16string name;
        size_t length = random() % 9;
        for (size_t i = 0; i < length; ++i) name += alphabet[random() % alphabet.size()];
        std::u16string encoded = EncodeSectionName(name);
        if (name.empty()) {
            EXPECT_TRUE(encoded.empty());
            continue;
        }
        ASSERT_TRUE(IsValidElementName(encoded)) << round;
        ASSERT_FALSE(IsReservedName(encoded)) << round;
        bool kept = encoded == name;
        if (!kept || name.find(u"_x") == std::u16string::npos) {
            ASSERT_EQ(DecodeSectionName(encoded), name) << round;
        }
        if (!kept) {
            auto [it, inserted] = inputOf.emplace(encoded, name);
            ASSERT_TRUE(inserted || it->second == name) << "two names share one section";
        }
    }
    EXPECT_GT(inputOf.size(), 1000u);
}

TEST(DocumentText, CharactersXmlCannotHoldAreLeftOut) {
    EXPECT_EQ(WithoutForbiddenCharacters(u"a\x01" u"b\x1F" u"c"), u"abc");
    EXPECT_EQ(WithoutForbiddenCharacters(u"tab\tline\nret\r"), u"tab\tline\nret\r");
    EXPECT_EQ(WithoutForbiddenCharacters(u"x\xFFFE\xFFFFy"), u"xy");
    EXPECT_EQ(WithoutForbiddenCharacters(u"\xD801\xDC00|\xD801|\xDC00"), u"\xD801\xDC00||");
    EXPECT_EQ(WithoutForbiddenCharacters(u"&<>\u00E9"), u"&<>\u00E9");
}
