#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "config/SettingsRecord.h"

TEST(SettingsElements, NineteenInFileOrder) {
    const char* expected[] = {"strip", "PrefixChar", "PrefixCharCtrl", "SuffixFirstChar", "SuffixFirstCharCtrl",
                              "SuffixSecondChar", "SuffixSecondCharCtrl", "Activate", "Minimize", "Name",
                              "Company", "PathInfo", "DeviceInfo", "mode", "ActivatedScannerMode", "FromPort",
                              "ToPort", "LeftPosition", "TopPosition"};
    ASSERT_EQ(SettingsElements().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_STREQ(SettingsElements()[i].name, expected[i]);
}

TEST(SettingsElements, TextsAndIntegersAreTheRightMembers) {
    std::set<std::string> texts;
    for (const SettingsElement& e : SettingsElements()) {
        EXPECT_NE(e.integer == nullptr, e.text == nullptr) << e.name;
        if (e.text) texts.insert(e.name);
    }
    EXPECT_EQ(texts, (std::set<std::string>{"PrefixChar", "SuffixFirstChar", "SuffixSecondChar", "Name", "Company",
                                            "PathInfo", "DeviceInfo"}));
}

// Distinct values in every member: each element must carry its own member.
TEST(SettingsElements, EveryElementCarriesItsOwnMemberThroughText) {
    SettingsRecord source;
    int n = 100;
    for (const SettingsElement& e : SettingsElements()) {
        if (e.integer) source.*e.integer = -(n++);
        else source.*e.text = std::string("text ") + e.name;
    }
    SettingsRecord copy;
    for (const SettingsElement& e : SettingsElements()) TakeElementText(copy, e, ElementText(source, e));
    EXPECT_EQ(copy, source);
    EXPECT_EQ(source.DeviceInfo, "text DeviceInfo");
    EXPECT_EQ(source.strip, -100);
    EXPECT_EQ(source.TopPosition, -111);  // the twelfth integer
}

TEST(SettingsRecord, DefaultsAreTheProgramsDefaults) {
    SettingsRecord r;
    EXPECT_EQ(r.strip, 0);
    EXPECT_EQ(r.PrefixChar, "None");
    EXPECT_EQ(r.SuffixFirstChar, "<ENTER>");
    EXPECT_EQ(r.SuffixSecondChar, "None");
    EXPECT_EQ(r.mode, 4);
    EXPECT_EQ(r.FromPort, 1);
    EXPECT_EQ(r.ToPort, 16);
    EXPECT_EQ(r.LeftPosition, 250);
    EXPECT_EQ(r.TopPosition, 200);
    EXPECT_EQ(r.DeviceInfo, " ");
    EXPECT_EQ(r.Name, " ");
    EXPECT_EQ(r.Company, " ");
    EXPECT_EQ(r.PathInfo, "");
}

TEST(IntegerText, DecimalWithMinusSignOnly) {
    EXPECT_EQ(FormatInteger(0), "0");
    EXPECT_EQ(FormatInteger(16), "16");
    EXPECT_EQ(FormatInteger(-12), "-12");
    EXPECT_EQ(FormatInteger(INT_MAX), "2147483647");
    EXPECT_EQ(FormatInteger(INT_MIN), "-2147483648");
}

TEST(IntegerText, ParsesSignedDecimalWithSurroundingWhitespace) {
    EXPECT_EQ(ParseInteger("250"), 250);
    EXPECT_EQ(ParseInteger(" -12 "), -12);
    EXPECT_EQ(ParseInteger("\n\t16\r\n"), 16);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("007"), 7);
    EXPECT_EQ(ParseInteger("2147483647"), INT_MAX);
    EXPECT_EQ(ParseInteger("-2147483648"), INT_MIN);
}

TEST(IntegerText, RejectsEverythingElse) {
    for (const char* bad : {"", "   ", "abc", "12abc", "1 2", "2147483648", "-2147483649", "0x10", "1e3", "1.5",
                            "+-1", "-", "+", "--1", "1,000", "\xEF\xBC\x91"}) {
        EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
    }
}

TEST(TakeElementText, UnparsableIntegerKeepsTheCurrentValue) {
    const SettingsElement& toPort = SettingsElements()[16];
    ASSERT_STREQ(toPort.name, "ToPort");
    SettingsRecord r;
    r.ToPort = 33;
    for (const char* bad : {"", "x", "99999999999"}) {
        TakeElementText(r, toPort, bad);
        EXPECT_EQ(r.ToPort, 33) << bad;
    }
    TakeElementText(r, toPort, " 8 ");
    EXPECT_EQ(r.ToPort, 8);
}

TEST(TakeElementText, TextElementTakesTheWholeTextAlsoEmpty) {
    const SettingsElement& deviceInfo = SettingsElements()[12];
    ASSERT_STREQ(deviceInfo.name, "DeviceInfo");
    SettingsRecord r;
    TakeElementText(r, deviceInfo, "  COM3 <A&B>  ");
    EXPECT_EQ(r.DeviceInfo, "  COM3 <A&B>  ");
    TakeElementText(r, deviceInfo, "");
    EXPECT_EQ(r.DeviceInfo, "");
}
