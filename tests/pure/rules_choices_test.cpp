#include <gtest/gtest.h>

#include "delivery/RuleText.h"
#include "pages/RulesChoices.h"

namespace {

std::string Preview(std::string_view rules, std::string_view sample, const FormatSettings& format = {}) {
    const RuleText parsed = ParseRuleText(rules);
    const auto shaper = PreviewShaper(parsed.settings, {});
    return RulesPreviewText(sample, shaper.get(), format, {});
}

}  // namespace

TEST(RulesChoices, EachComboItemStandsForOneSettingAndBack) {
    ASSERT_EQ(EncodingItems().size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(EncodingItemIndex(EncodingOfItem(i)), i);
    EXPECT_EQ(EncodingOfItem(2), TextEncoding::Utf8);
    ASSERT_EQ(SeparatorItems().size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(SeparatorItemIndex(SeparatorOfItem(i)), i);
    EXPECT_EQ(SeparatorItemIndex(ParseRuleText("control GS key ENTER").settings.controls.For(0x1D)), 2);
    EXPECT_EQ(SeparatorItemIndex({ControlChoice::Kind::Text, "#"}), -1) << "no item: none selected";
}

TEST(RulesChoices, TheStatusNamesTheFirstErrorOrSaysTheRulesAreFine) {
    EXPECT_EQ(RulesStatusText(ParseRuleText("if begins \"01\" then skip")), "The rules are fine.");
    EXPECT_EQ(RulesStatusText(ParseRuleText("")), "No rules: every barcode is typed as it is.");
    const RuleText wrong = ParseRuleText("encoding utf-8\nif begins 01 then skip\nalways nonsense\n");
    EXPECT_EQ(RulesStatusText(wrong), RuleTextErrorText(wrong.errors[0]) + " (2 lines have errors)");
    EXPECT_EQ(wrong.errors[0].line, 2u);
}

TEST(RulesChoices, ThePreviewShapesTheSampleWithTheFormatSettingsAround) {
    FormatSettings format;
    format.strip = 1;
    format.PrefixChar = "#";
    format.SuffixFirstChar = "<TAB>";
    EXPECT_EQ(Preview("", "X0101\\x1D17", format), "#0101<GS>17<Tab>");
    EXPECT_EQ(Preview("control GS key ENTER\nif begins \"01\" then strip-start 2", "X0101\\x1D17", format),
              "#01<Enter>17<Tab>");
    EXPECT_EQ(Preview("if ends \"9\" then skip\nif contains \"TEST\" then skip", "TEST", {}), "<skipped by rule 2>");
    EXPECT_EQ(Preview("", "A\\x4"), "The sample has an error at column 2: \\x wants two hex digits");
    EXPECT_EQ(Preview("always skip", ""), "");
}
