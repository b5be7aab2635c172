// Barcodes of any bytes go through settings of any shape. Shaping never
// crashes; what it types is bounded by the barcode and what the settings
// add; a skipped barcode types nothing; the trace text of the units holds no
// control character; and the settings that change nothing type every byte
// as today.
//
// Input: encoding byte; a count of control choices, each: control byte,
// kind, text (length byte and bytes), key, Ctrl; a count of rules, each:
// condition kind, text, two length bytes, "and continue", a count of
// actions, each: kind, count, find text, text, key, Ctrl; then the barcode.
#include <algorithm>
#include <iterator>

#include "delivery/BarcodeRules.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// A double-byte code page: lead bytes 0x81..0x9F and 0xE0..0xFC; every pair
// and every byte 0xA1..0xDF is a character, 0x80 and 0xA0 are none.
bool Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
std::optional<char32_t> Decode(std::string_view c) {
    const auto first = static_cast<uint8_t>(c[0]);
    if (c.size() == 2) return 0x4E00 + ((first << 8 | static_cast<uint8_t>(c[1])) % 0x5000);
    if (first >= 0xA1 && first <= 0xDF) return 0xFF61 + (first - 0xA1);
    return std::nullopt;
}

// Patterns cost up to a budget each; a few per input keep the fuzzer fast.
constexpr int MaxPatterns = 3;

uint8_t Key(fuzz::Input& in) { return TokenTable[in.Byte() % std::size(TokenTable)].virtualKey; }

ShapingSettings ReadSettings(fuzz::Input& in, size_t& addedBound, size_t& choiceBound) {
    ShapingSettings settings;
    settings.encoding = static_cast<TextEncoding>(in.Byte() % 4);
    for (int n = in.Byte() % 9; n > 0; --n) {
        const uint8_t which = in.Byte() % 33;
        ControlChoice choice;
        choice.kind = static_cast<ControlChoice::Kind>(in.Byte() % 4);
        choice.text = in.Text(16);
        choice.virtualKey = Key(in);
        choice.ctrl = in.Byte() & 1;
        settings.controls.Set(which == 32 ? 0x7F : which, choice);
    }
    int patterns = 0;
    for (int n = in.Byte() % 11; n > 0; --n) {
        BarcodeRule rule;
        rule.condition.kind = static_cast<RuleCondition::Kind>(in.Byte() % 7);
        if (rule.condition.kind == RuleCondition::Kind::Pattern && ++patterns > MaxPatterns)
            rule.condition.kind = RuleCondition::Kind::Contains;
        rule.condition.text = in.Text(32);
        rule.condition.minLength = in.Byte();
        rule.condition.maxLength = rule.condition.minLength + in.Byte();
        rule.andContinue = in.Byte() & 1;
        for (int a = in.Byte() % 5; a > 0; --a) {
            RuleAction action;
            action.kind = static_cast<RuleAction::Kind>(in.Byte() % 8);
            if (action.kind == RuleAction::Kind::ReplacePattern && ++patterns > MaxPatterns)
                action.kind = RuleAction::Kind::Replace;
            action.count = in.Byte();
            action.find = in.Text(32);
            action.text = in.Text(32);
            action.virtualKey = Key(in);
            action.ctrl = in.Byte() & 1;
            if (action.kind == RuleAction::Kind::AddBefore || action.kind == RuleAction::Kind::AddAfter)
                addedBound += std::max<size_t>(1, action.text.size());
            rule.actions.push_back(std::move(action));
        }
        settings.rules.push_back(std::move(rule));
    }
    choiceBound = 1;
    for (unsigned b = 0; b < 0x80; ++b) choiceBound = std::max(choiceBound, settings.controls.For(b).text.size());
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    size_t addedBound = 0, choiceBound = 1;
    const ShapingSettings settings = ReadSettings(in, addedBound, choiceBound);
    const std::string barcode = in.Fixed(MaxShapedBytes + 64);

    const ShapedBarcode shaped = BarcodeShaper(settings, {Lead, Decode}).Shape(barcode);
    const size_t bound = std::max(barcode.size(), MaxShapedBytes) * choiceBound + addedBound;
    FUZZ_CHECK(shaped.units.size() <= bound, "%zu bytes typed as %zu units, more than %zu", barcode.size(),
               shaped.units.size(), bound);
    const bool skipHolds = shaped.units.empty() && shaped.skippedBy && *shaped.skippedBy < settings.rules.size();
    FUZZ_CHECK(!shaped.skipped || skipHolds,
               "skipped by rule %zu of %zu with %zu units", shaped.skippedBy.value_or(999), settings.rules.size(),
               shaped.units.size());
    for (size_t rule : shaped.appliedRules) FUZZ_CHECK(rule < settings.rules.size(), "applied rule %zu", rule);
    const std::string trace = TypedUnitsTraceText(shaped.units);
    FUZZ_CHECK(std::none_of(trace.begin(), trace.end(), [](char c) { return (c >= 0 && c < 0x20) || c == 0x7F; }),
               "the trace %s holds a control character", fuzz::Printable(trace).c_str());

    const ShapedBarcode same = BarcodeShaper(ShapingSettings{}).Shape(barcode);
    FUZZ_CHECK(same.units.size() == barcode.size() && !same.skipped, "%zu bytes typed as %zu units", barcode.size(),
               same.units.size());
    for (size_t i = 0; i < barcode.size(); ++i)
        FUZZ_CHECK(same.units[i] == TypedUnit::Byte(static_cast<uint8_t>(barcode[i])),
                   "byte %zu 0x%02X is not typed as today", i, static_cast<uint8_t>(barcode[i]));
    return 0;
}
