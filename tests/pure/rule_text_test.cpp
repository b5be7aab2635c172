#include <gtest/gtest.h>

#include "delivery/RuleText.h"

namespace {

using CK = RuleCondition::Kind;
using AK = RuleAction::Kind;

ShapingSettings Parsed(std::string_view text) {
    const RuleText parsed = ParseRuleText(text);
    for (const RuleTextError& e : parsed.errors) ADD_FAILURE() << RuleTextErrorText(e);
    return parsed.settings;
}

}  // namespace

TEST(ParseRuleText, ReadsSettingsAndRulesWithTheirTexts) {
    const ShapingSettings s = Parsed(R"(# site rules
ENCODING utf-8)" "\r" R"(
control gs key ctrl tab
control DEL text "\x1D\"\\"

if begins "01" then gs1-parentheses and continue  # GS1 first
If Length 8..14 Then strip-end 1;add-after key TAB
if pattern "^(\d+)-(\d+)$" then replace-pattern "$2$1"
always skip
)");
    EXPECT_EQ(s.encoding, TextEncoding::Utf8);
    EXPECT_EQ(s.controls.For(0x1D), (ControlChoice{ControlChoice::Kind::Key, {}, 0x09, true}));
    EXPECT_EQ(s.controls.For(0x7F), (ControlChoice{ControlChoice::Kind::Text, "\x1D\"\\"}));
    ASSERT_EQ(s.rules.size(), 4u);
    EXPECT_EQ(s.rules[0].condition.kind, CK::BeginsWith);
    EXPECT_EQ(s.rules[0].condition.text, "01");
    ASSERT_EQ(s.rules[0].actions.size(), 1u);
    EXPECT_EQ(s.rules[0].actions[0].kind, AK::Gs1Parentheses);
    EXPECT_TRUE(s.rules[0].andContinue);
    EXPECT_EQ(s.rules[1].condition, (RuleCondition{CK::Length, {}, 8, 14}));
    EXPECT_EQ(s.rules[1].actions, (std::vector<RuleAction>{{AK::StripEnd, 1}, {AK::AddAfter, 0, {}, {}, 0x09}}));
    // The one text of replace-pattern replaces what the condition's pattern matches.
    EXPECT_EQ(s.rules[2].actions[0], (RuleAction{AK::ReplacePattern, 0, "^(\\d+)-(\\d+)$", "$2$1"}));
    EXPECT_EQ(s.rules[3].condition.kind, CK::Always);
    ASSERT_EQ(s.rules[3].actions.size(), 1u);
    EXPECT_EQ(s.rules[3].actions[0].kind, AK::Skip);
    EXPECT_FALSE(s.rules[3].andContinue);
}

TEST(ParseRuleText, ReportsEachBadLineWithItsLineAndColumn) {
    struct Case {
        std::string text;
        size_t line, column;
        std::string message;
    } cases[] = {
        {"if begins 01 then skip", 1, 11, "expected a text in double quotes, found 01"},
        {"if begins \"01 then skip", 1, 11, "a text without its closing quote"},
        {"\n  if starts \"x\" then skip", 2, 6,
         "expected a condition (begins, ends, contains, length, pattern, gs1), found starts"},
        {"if length 14..8 then skip", 1, 11, "the range 14..8 runs backwards"},
        {"if length 10000 then skip", 1, 11, "expected a length N or N..M, from 0 to 9999, found 10000"},
        {"always strip-end x", 1, 18, "expected a number from 0 to 9999, found x"},
        {"if contains \"\\q\" then skip", 1, 14, "unknown escape \\q (a backslash is \\\\)"},
        {"if contains \"\\x1\" then skip", 1, 14, "\\x wants two hex digits"},
        {"if contains \"\" then skip", 1, 13, "an empty text here does nothing"},
        {"if pattern \"(\\d+\" then skip", 1, 12, "the pattern has a ( without its ), or a ) without its ("},
        {"if gs1 skip", 1, 8, "expected then, found skip"},
        {"if gs1 then skip more", 1, 18, "expected ; between actions or the end of the line, found more"},
        {"if gs1 then skip and", 1, 21, "expected continue, found the end of the line"},
        {"always skip;", 1, 13,
         "expected an action (strip-start, strip-end, replace, replace-pattern, add-before, add-after, "
         "gs1-parentheses, skip), found the end of the line"},
        {"always add-after key HOME", 1, 22,
         "expected a key name (ENTER, TAB, SPACE, LEFT, RIGHT, UP, DOWN), found HOME"},
        {"always replace \"a\" by \"b\"", 1, 20, "expected with, found by"},
        {"if gs1 then replace-pattern \"x\"", 1, 13, "replace-pattern without \"with\" needs a pattern condition"},
        {"control TAB nothing", 1, 9, "expected the name of a control byte (NUL .. US, DEL), found TAB"},
        {"control HT enter", 1, 12, "expected as-today, nothing, text or key, found enter"},
        {"encoding latin-1", 1, 10, "expected an encoding (as-today, ansi, utf-8, automatic), found latin-1"},
        {"then skip", 1, 1, "expected if, always, encoding or control, found then"},
        {"always add-after \"\xC3\xA4\xC3\xB6\" x", 1, 23,  // columns count characters
         "expected ; between actions or the end of the line, found x"},
        {"always add-after \"" + std::string(257, 'a') + "\"", 1, 18, "a text holds at most 256 bytes"},
    };
    for (const Case& c : cases) {
        const RuleText parsed = ParseRuleText(c.text);
        ASSERT_EQ(parsed.errors.size(), 1u) << c.text;
        EXPECT_EQ(parsed.errors[0], (RuleTextError{c.line, c.column, c.message})) << c.text;
        EXPECT_TRUE(parsed.settings.rules.empty()) << c.text;
    }
    // Every bad line is reported; the good ones are kept.
    const RuleText mixed = ParseRuleText("always skip\nbad\nif gs1 then skip\nworse");
    EXPECT_EQ(mixed.settings.rules.size(), 2u);
    ASSERT_EQ(mixed.errors.size(), 2u);
    EXPECT_EQ(mixed.errors[1].line, 4u);
    EXPECT_EQ(RuleTextErrorText(mixed.errors[0]),
              "line 2, column 1: expected if, always, encoding or control, found bad");
    std::string many;
    for (size_t i = 0; i <= MaxRules; ++i) many += "always skip\n";
    const RuleText tooMany = ParseRuleText(many);
    EXPECT_EQ(tooMany.settings.rules.size(), MaxRules);
    ASSERT_EQ(tooMany.errors.size(), 1u);
    EXPECT_EQ(tooMany.errors[0], (RuleTextError{MaxRules + 1, 1, "at most 100 rules"}));
}

TEST(PrintRuleText, WritesWhatParsesBackToTheSameSettings) {
    const std::string text = R"(encoding ansi
control NUL nothing
control HT key ENTER
control GS text "\x1D\t\"\\"
control DEL key ctrl LEFT
if begins "\xFF\xC3é" then strip-start 2; strip-end 0 and continue
if ends "\r\n" then replace "\\" with ""
if contains "x" then add-before key ctrl SPACE; add-after "\x7F"
if length 7 then skip
if length 0..9999 then add-before "a"; add-after key DOWN
if pattern "\d\.\\t\\x41\\\"\\\\" then replace-pattern "\\\\" with "$1"
if gs1 then gs1-parentheses
always skip
)";
    const ShapingSettings settings = Parsed(text);
    ASSERT_EQ(settings.rules.size(), 8u);
    EXPECT_EQ(settings.rules[0].condition.text, "\xFF\xC3\xC3\xA9");
    // In a pattern a backslash before a character that is no escape stays.
    EXPECT_EQ(settings.rules[5].condition.text, R"(\d\.\t\x41\"\\)");
    EXPECT_EQ(PrintRuleText(settings), text);
    EXPECT_EQ(Parsed(PrintRuleText(settings)), settings);
    EXPECT_EQ(PrintRuleText(ShapingSettings{}), "");
}
