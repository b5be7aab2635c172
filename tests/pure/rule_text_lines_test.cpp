#include <gtest/gtest.h>

#include "delivery/RuleText.h"
#include "delivery/RuleTextLines.h"

namespace {

const ControlChoice Tab{ControlChoice::Kind::Key, {}, 0x09, false};

}  // namespace

TEST(RuleTextLines, TheEncodingLineIsReplacedInPlaceAddedFirstOrTakenOut) {
    const std::string rules = "# site\nif begins \"01\" then skip\n";
    EXPECT_EQ(WithEncodingLine(rules, TextEncoding::Utf8), "encoding utf-8\n# site\nif begins \"01\" then skip\n");
    const std::string twice = "# site\nENCODING ansi # old\nif begins \"01\" then skip\nencoding automatic\n";
    EXPECT_EQ(WithEncodingLine(twice, TextEncoding::Utf8), "# site\nencoding utf-8\nif begins \"01\" then skip\n");
    EXPECT_EQ(WithEncodingLine(twice, TextEncoding::AsToday), "# site\nif begins \"01\" then skip\n");
    // A rule whose text holds the word stays.
    EXPECT_EQ(WithEncodingLine("if contains \"encoding\" then skip", TextEncoding::AsToday),
              "if contains \"encoding\" then skip");
}

TEST(RuleTextLines, TheSeparatorLineGoesAfterTheHeadAndOnlyItsOwnLineChanges) {
    const std::string rules = "encoding utf-8\ncontrol RS nothing\nif gs1 then gs1-parentheses";
    const std::string withTab = WithControlLine(rules, 0x1D, Tab);
    EXPECT_EQ(withTab, "encoding utf-8\ncontrol RS nothing\ncontrol GS key TAB\nif gs1 then gs1-parentheses");
    EXPECT_EQ(ParseRuleText(withTab).settings.controls.For(0x1D), Tab);
    EXPECT_EQ(WithControlLine(withTab, 0x1D, {ControlChoice::Kind::Text, "|"}),
              "encoding utf-8\ncontrol RS nothing\ncontrol GS text \"|\"\nif gs1 then gs1-parentheses");
    EXPECT_EQ(WithControlLine(withTab, 0x1D, {}), rules);
    EXPECT_EQ(WithControlLine("", 0x1D, Tab), "control GS key TAB\n");
}
