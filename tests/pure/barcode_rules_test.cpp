#include <gtest/gtest.h>

#include "delivery/BarcodeRules.h"
#include "delivery/ShapedTrace.h"

namespace {

using U = TypedUnit;
using CK = RuleCondition::Kind;
using AK = RuleAction::Kind;
constexpr uint8_t Tab = 0x09, Enter = 0x0D;

RuleCondition When(CK kind, std::string text = {}) { return {kind, std::move(text), 0, 0}; }
RuleCondition Length(size_t low, size_t high) { return {CK::Length, {}, low, high}; }
RuleAction Do(AK kind, std::string find = {}, std::string text = {}) {
    return {kind, 0, std::move(find), std::move(text)};
}
RuleAction Strip(AK kind, size_t count) { return {kind, count, {}, {}}; }
RuleAction AddKey(AK kind, uint8_t key, bool ctrl) { return {kind, 0, {}, {}, key, ctrl}; }
RuleAction Add(AK kind, std::string text) { return Do(kind, {}, std::move(text)); }

ShapingSettings Rules(std::vector<BarcodeRule> rules, TextEncoding encoding = TextEncoding::AsToday) {
    ShapingSettings settings;
    settings.rules = std::move(rules);
    settings.encoding = encoding;
    return settings;
}

std::string Typed(const ShapingSettings& settings, std::string_view barcode) {
    const ShapedBarcode shaped = BarcodeShaper(settings).Shape(barcode);
    return shaped.skipped ? "(skipped)" : TypedUnitsTraceText(shaped.units);
}

}  // namespace

TEST(BarcodeShaper, WithoutRulesOrChoicesEveryByteIsTypedAsToday) {
    std::string every;
    for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
    const ShapedBarcode shaped = BarcodeShaper(ShapingSettings{}).Shape(every);
    ASSERT_EQ(shaped.units.size(), 256u);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(shaped.units[b], U::Byte(static_cast<uint8_t>(b))) << b;
    EXPECT_FALSE(shaped.skipped);
    EXPECT_TRUE(BarcodeShaper(ShapingSettings{}).Shape("").units.empty());
}

TEST(BarcodeShaper, TheFirstRuleThatHoldsAppliesUnlessItContinues) {
    std::vector<BarcodeRule> rules = {
        {When(CK::BeginsWith, "A"), {Add(AK::AddAfter, "1")}, false},
        {When(CK::BeginsWith, "AB"), {Add(AK::AddAfter, "2")}, false},
        {When(CK::Always), {Add(AK::AddAfter, "3")}, false},
    };
    EXPECT_EQ(Typed(Rules(rules), "ABC"), "ABC1");
    EXPECT_EQ(Typed(Rules(rules), "XYZ"), "XYZ3");
    rules[0].andContinue = true;
    EXPECT_EQ(Typed(Rules(rules), "ABC"), "ABC12");
    EXPECT_EQ(BarcodeShaper(Rules(rules)).Shape("ABC").appliedRules, (std::vector<size_t>{0, 1}));
}

TEST(BarcodeShaper, EachConditionLooksAtTheBarcodeAsTheRulesBeforeLeftIt) {
    struct Case {
        RuleCondition condition;
        std::string barcode;
        bool holds;
    } cases[] = {
        {When(CK::EndsWith, "\x1D"), "12\x1D", true},   {When(CK::EndsWith, "2"), "12\x1D", false},
        {When(CK::Contains, "-"), "1-2", true},         {When(CK::Contains, "--"), "1-2", false},
        {Length(3, 3), "\xC3\xA4\xC3\xB6\xC3\xBC", true},  // three characters in UTF-8
        {Length(4, 6), "\xC3\xA4\xC3\xB6\xC3\xBC", false}, {Length(0, 0), "", true},
        {When(CK::Pattern, "^\\d{3}-\\d+$"), "123-4", true}, {When(CK::Pattern, "^\\d{3}-\\d+$"), "12-34", false},
        {When(CK::Pattern, "B"), "ABC", true},  // anywhere
        {When(CK::Gs1), "0109501101020917" "10AB", true}, {When(CK::Gs1), "0109501101020917" "99", false},
    };
    for (const Case& c : cases) {
        const auto settings = Rules({{c.condition, {Do(AK::Skip)}, false}}, TextEncoding::Utf8);
        EXPECT_EQ(BarcodeShaper(settings).Shape(c.barcode).skipped, c.holds) << ::testing::PrintToString(c.barcode);
    }
    // A condition sees what an earlier rule that continues made of the barcode.
    const auto chained = Rules({{When(CK::Always), {Strip(AK::StripStart, 2)}, true},
                                {When(CK::BeginsWith, "01"), {Do(AK::Skip)}, false}});
    EXPECT_TRUE(BarcodeShaper(chained).Shape("]C01234").skipped);
}

TEST(BarcodeShaper, TextActionsChangeTheBarcodeInCharactersOfTheEncoding) {
    const std::string umlauts = "\xC3\x84" "BCD" "\xC3\x89";  // ÄBCDÉ
    const auto strip = std::vector<RuleAction>{Strip(AK::StripStart, 1), Strip(AK::StripEnd, 1)};
    EXPECT_EQ(Typed(Rules({{When(CK::Always), strip, false}}, TextEncoding::Automatic), umlauts), "BCD");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), strip, false}}), umlauts), "\xC2\x84" "BCD\xC3\x83");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), {Strip(AK::StripEnd, 99)}, false}}), "abc"), "");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), {Do(AK::Replace, "-", "--")}, false}}), "a-b-c"), "a--b--c");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), {Do(AK::ReplacePattern, "^(\\d+)-(\\d+)$", "$2$1")}, false}}), "123-45"),
              "45123");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), {Do(AK::Gs1Parentheses)}, false}}), "0109501101020917\x1D" "10A"),
              "(01)09501101020917(10)A");
    EXPECT_EQ(Typed(Rules({{When(CK::Always), {Do(AK::Gs1Parentheses)}, false}}), "10A\x1D" "99"), "10A<GS>99");
}

TEST(BarcodeShaper, AdditionsGoAroundTheBarcodeInTheOrderGiven) {
    const auto settings = Rules({
        {When(CK::Always), {Add(AK::AddBefore, "X"), AddKey(AK::AddAfter, Tab, false)}, true},
        {When(CK::Always),
         {AddKey(AK::AddBefore, Enter, true), Add(AK::AddAfter, "Y\t"), Strip(AK::StripStart, 1)},
         false},
    });
    // Stripping takes from the barcode only; a tab in an added text is typed as today.
    EXPECT_EQ(Typed(settings, "123"), "<Ctrl Enter>X23<Tab>Y<HT>");
}

TEST(BarcodeShaper, SkipEndsTheBarcodeAndNamesTheRule) {
    const auto settings = Rules({{When(CK::Contains, "TEST"), {Add(AK::AddAfter, "!"), Do(AK::Skip)}, true},
                                 {When(CK::Always), {Add(AK::AddAfter, "?")}, false}});
    const ShapedBarcode shaped = BarcodeShaper(settings).Shape("A TEST");
    EXPECT_TRUE(shaped.skipped);
    EXPECT_EQ(shaped.skippedBy, 0u);
    EXPECT_TRUE(shaped.units.empty());
    EXPECT_EQ(Typed(settings, "A"), "A?");
}

TEST(BarcodeShaper, ABarcodeNeverGrowsPastTheBound) {
    const std::string barcode(256, 'a');
    for (const RuleAction& grow : {Do(AK::Replace, "a", "aaaaa"), Do(AK::ReplacePattern, "a", "$&$&$&$&$&")}) {
        const ShapedBarcode shaped = BarcodeShaper(Rules({{When(CK::Always), {grow}, false}})).Shape(barcode);
        EXPECT_EQ(shaped.units.size(), 256u);  // left undone
    }
    const auto fits = Rules({{When(CK::Always), {Do(AK::Replace, "a", "aaaa")}, false}});
    EXPECT_EQ(BarcodeShaper(fits).Shape(barcode).units.size(), MaxShapedBytes);
}

TEST(BarcodeShaper, APatternThatRunsAwayMatchesNothingAndSaysSo) {
    const auto settings = Rules({{When(CK::Pattern, "(a*)*b"), {Do(AK::Skip)}, false},
                                 {When(CK::Always), {Do(AK::ReplacePattern, "(a|aa)*c", "x")}, false}});
    const ShapedBarcode shaped = BarcodeShaper(settings).Shape(std::string(64, 'a'));
    EXPECT_FALSE(shaped.skipped);
    EXPECT_TRUE(shaped.patternGaveUp);
    EXPECT_EQ(shaped.units.size(), 64u);
    EXPECT_FALSE(BarcodeShaper(settings).Shape("aab").patternGaveUp);
}

TEST(BoundedPattern, GivesUpBeforeItsRecursionOverflowsTheStack) {
    const auto pattern = BoundedPattern::Compile("^(a|b)*$");
    ASSERT_TRUE(pattern);
    EXPECT_EQ(pattern->Search("abba"), BoundedPattern::Outcome::Match);
    // Some three steps a character: the budget is far off, the stack is not.
    EXPECT_EQ(pattern->Search(std::string(20000, 'a')), BoundedPattern::Outcome::GaveUp);
    std::string problem;
    EXPECT_FALSE(BoundedPattern::Compile("((a{100}){100}){100}", &problem));
    EXPECT_EQ(problem, "too complex");
    EXPECT_FALSE(BoundedPattern::Compile(std::string(MaxPatternBytes + 1, 'a')));
    // Numbers the library would overflow on are refused before it reads them.
    for (const char* longNumber : {"(a)\\444444444444444444444", "a{1,99999999999999999999}", "a{12345}"}) {
        EXPECT_FALSE(BoundedPattern::Compile(longNumber, &problem)) << longNumber;
        EXPECT_EQ(problem, "a back reference or a count above 9999");
    }
    EXPECT_TRUE(BoundedPattern::Compile("(a)\\1{2,9999}\\{12345 0123456789"));
}

TEST(BarcodeShaper, ControlBytesAreTypedByTheirChoices) {
    ShapingSettings settings;
    settings.encoding = TextEncoding::Utf8;
    settings.controls.Set('\t', {ControlChoice::Kind::Key, {}, Tab, false});
    settings.controls.Set('\r', {ControlChoice::Kind::Nothing});
    settings.controls.Set(0x7F, {ControlChoice::Kind::Text, "\xC3\xA9\x1D"});  // in the encoding; its GS as today
    SetGs1Separator(settings.controls, {ControlChoice::Kind::Key, {}, Enter, true});
    settings.controls.Set('A', {ControlChoice::Kind::Nothing});  // no control byte: no choice
    settings.rules = {{When(CK::Always), {Add(AK::AddAfter, "\r")}, false}};
    const ShapedBarcode shaped = BarcodeShaper(settings).Shape("A\tB\x1D" "C\rD\x7F\n");
    EXPECT_EQ(shaped.units, (TypedUnits{U::Byte('A'), U::Key(Tab, false), U::Byte('B'), U::Key(Enter, true),
                                        U::Byte('C'), U::Byte('D'), U::Character(0xE9), U::Byte(0x1D),
                                        U::Byte('\n'), U::Byte('\r')}));
}

// The strip setting cuts before the rules look; what the trace shows wraps
// the shaped units in the prefix and suffixes, a custom prefix decoded from
// the ANSI code page.
TEST(ShapeBarcode, TheStripCutsFirstAndTheTraceWrapsTheUnitsInPrefixAndSuffixes) {
    const BarcodeShaper shaper(Rules({{When(CK::BeginsWith, "AB"), {Add(AK::AddAfter, "!")}, false}}));
    const std::string barcode = "XXAB\x1D";
    const auto bytes = reinterpret_cast<const uint8_t*>(barcode.data());
    EXPECT_EQ(TypedUnitsTraceText(ShapeBarcode(bytes, barcode.size(), 2, &shaper).units), "AB<GS>!");
    EXPECT_EQ(TypedUnitsTraceText(ShapeBarcode(bytes, barcode.size(), 3, &shaper).units), "B<GS>");
    EXPECT_EQ(ShapeBarcode(bytes, barcode.size(), 0, nullptr).units.size(), barcode.size());
    // The records keep the typed text only where the rules changed it.
    EXPECT_EQ(ChangedTypedText(bytes, barcode.size(), 3, ShapeBarcode(bytes, barcode.size(), 3, &shaper).units), "");
    EXPECT_EQ(ChangedTypedText(bytes, barcode.size(), 2, ShapeBarcode(bytes, barcode.size(), 2, &shaper).units),
              "AB<GS>!");

    FormatSettings format;
    format.PrefixChar = "\xE9";  // é in the ANSI code page
    format.SuffixSecondChar = "<TAB>";
    format.SuffixSecondCharCtrl = 1;
    const AnsiCodePage latin1{nullptr, [](std::string_view c) -> std::optional<char32_t> {
                                  return static_cast<unsigned char>(c.front());
                              }};
    EXPECT_EQ(ShapedTraceText({U::Byte('1')}, format, latin1), "\xC3\xA9" "1<Enter><Ctrl Tab>");
    EXPECT_EQ(SkippedTraceText(0), "<skipped by rule 1>");
}
