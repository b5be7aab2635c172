#include "delivery/BarcodeRules.h"

#include <algorithm>

#include "delivery/Gs1.h"

namespace {

constexpr uint8_t GroupSeparator = 0x1D;

std::optional<BoundedPattern> CompileIf(bool wanted, const std::string& pattern) {
    return wanted ? BoundedPattern::Compile(pattern) : std::nullopt;
}

std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& with) {
    if (find.empty()) return text;
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text.find(find, from)) != std::string::npos; from = at + find.size()) {
        out.append(text, from, at - from);
        out += with;
        if (out.size() > std::max(MaxShapedBytes, text.size())) return text;  // too long: left undone
    }
    out.append(text, from, std::string::npos);
    return out;
}

// The units of one addition or one control choice's text or key.
void AppendAdded(const std::string& text, uint8_t virtualKey, bool ctrl, TextEncoding encoding,
                 const AnsiCodePage& ansi, TypedUnits& units) {
    if (virtualKey != 0)
        units.push_back(TypedUnit::Key(virtualKey, ctrl));
    else
        AppendTextUnits(text, encoding, ansi, units);
}

}  // namespace

bool IsControlByte(uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

const ControlChoice& ControlChoices::For(uint8_t byte) const {
    static const ControlChoice asToday;
    return IsControlByte(byte) ? choices_[Slot(byte)] : asToday;
}

void ControlChoices::Set(uint8_t byte, ControlChoice choice) {
    if (IsControlByte(byte)) choices_[Slot(byte)] = std::move(choice);
}

void SetGs1Separator(ControlChoices& choices, ControlChoice choice) { choices.Set(GroupSeparator, std::move(choice)); }

// One barcode on its way through the rules.
struct BarcodeShaper::Work {
    std::string text;
    std::vector<const RuleAction*> before, after;  // additions, in the order they are typed
    bool patternGaveUp = false;
};

BarcodeShaper::BarcodeShaper(ShapingSettings settings, AnsiCodePage ansi)
    : settings_(std::move(settings)), ansi_(ansi) {
    for (const BarcodeRule& rule : settings_.rules) {
        Compiled compiled;
        compiled.condition = CompileIf(rule.condition.kind == RuleCondition::Kind::Pattern, rule.condition.text);
        for (const RuleAction& action : rule.actions)
            compiled.actions.push_back(CompileIf(action.kind == RuleAction::Kind::ReplacePattern, action.find));
        compiled_.push_back(std::move(compiled));
    }
}

bool BarcodeShaper::Holds(size_t rule, const std::string& text, Work& work) const {
    const RuleCondition& condition = settings_.rules[rule].condition;
    switch (condition.kind) {
    case RuleCondition::Kind::Always:
        return true;
    case RuleCondition::Kind::BeginsWith:
        return text.starts_with(condition.text);
    case RuleCondition::Kind::EndsWith:
        return text.ends_with(condition.text);
    case RuleCondition::Kind::Contains:
        return text.find(condition.text) != std::string::npos;
    case RuleCondition::Kind::Length: {
        const TextEncoding resolved = ResolveEncoding(settings_.encoding, text);
        const size_t length = CharacterCount(text, resolved, ansi_);
        return length >= condition.minLength && length <= condition.maxLength;
    }
    case RuleCondition::Kind::Pattern: {
        const std::optional<BoundedPattern>& pattern = compiled_[rule].condition;
        const BoundedPattern::Outcome outcome = pattern ? pattern->Search(text) : BoundedPattern::Outcome::NoMatch;
        work.patternGaveUp = work.patternGaveUp || outcome == BoundedPattern::Outcome::GaveUp;
        return outcome == BoundedPattern::Outcome::Match;
    }
    case RuleCondition::Kind::Gs1:
        return ParseGs1(text).Parsed();
    }
    return false;
}

// Applies one action; false for Skip.
bool BarcodeShaper::Apply(const RuleAction& action, const std::optional<BoundedPattern>& pattern, Work& work) const {
    std::string& text = work.text;
    std::optional<std::string> changed;
    switch (action.kind) {
    case RuleAction::Kind::StripStart:
        text.erase(0, CharacterOffset(text, action.count, ResolveEncoding(settings_.encoding, text), ansi_));
        break;
    case RuleAction::Kind::StripEnd: {
        const TextEncoding resolved = ResolveEncoding(settings_.encoding, text);
        const size_t length = CharacterCount(text, resolved, ansi_);
        text.resize(CharacterOffset(text, length > action.count ? length - action.count : 0, resolved, ansi_));
        break;
    }
    case RuleAction::Kind::Replace:
        changed = ReplaceAll(text, action.find, action.text);
        break;
    case RuleAction::Kind::ReplacePattern:
        if (pattern) {
            std::string replaced;
            const auto outcome = pattern->Replace(text, action.text, std::max(MaxShapedBytes, text.size()), replaced);
            if (outcome == BoundedPattern::Outcome::Match) changed = std::move(replaced);
            work.patternGaveUp = work.patternGaveUp || outcome == BoundedPattern::Outcome::GaveUp;
        }
        break;
    case RuleAction::Kind::AddBefore:
        work.before.insert(work.before.begin(), &action);
        break;
    case RuleAction::Kind::AddAfter:
        work.after.push_back(&action);
        break;
    case RuleAction::Kind::Gs1Parentheses:
        changed = Gs1WithParentheses(text);
        break;
    case RuleAction::Kind::Skip:
        return false;
    }
    // A change that would make the barcode longer than the bound is left undone.
    if (changed && (changed->size() <= MaxShapedBytes || changed->size() <= text.size())) text = std::move(*changed);
    return true;
}

void BarcodeShaper::Type(const Work& work, TypedUnits& units) const {
    for (const RuleAction* added : work.before)
        AppendAdded(added->text, added->virtualKey, added->ctrl, settings_.encoding, ansi_, units);
    const std::string_view text = work.text;
    const TextEncoding resolved = ResolveEncoding(settings_.encoding, text);
    for (size_t at = 0; at < text.size();) {
        const TextCharacter character = ReadCharacter(text.substr(at), resolved, ansi_);
        at += character.length;
        const auto byte = static_cast<uint8_t>(character.unit.value);
        if (character.unit.kind != TypedUnit::Kind::Byte || !IsControlByte(byte)) {
            units.push_back(character.unit);
            continue;
        }
        const ControlChoice& choice = settings_.controls.For(byte);
        switch (choice.kind) {
        case ControlChoice::Kind::AsToday:
            units.push_back(character.unit);
            break;
        case ControlChoice::Kind::Nothing:
            break;
        case ControlChoice::Kind::Text:
            AppendTextUnits(choice.text, settings_.encoding, ansi_, units);
            break;
        case ControlChoice::Kind::Key:
            if (choice.virtualKey != 0) units.push_back(TypedUnit::Key(choice.virtualKey, choice.ctrl));
            break;
        }
    }
    for (const RuleAction* added : work.after)
        AppendAdded(added->text, added->virtualKey, added->ctrl, settings_.encoding, ansi_, units);
}

ShapedBarcode BarcodeShaper::Shape(std::string_view barcode) const {
    ShapedBarcode shaped;
    Work work{std::string(barcode), {}, {}, false};
    for (size_t i = 0; i < settings_.rules.size(); ++i) {
        if (!Holds(i, work.text, work)) continue;
        shaped.appliedRules.push_back(i);
        const BarcodeRule& rule = settings_.rules[i];
        for (size_t a = 0; a < rule.actions.size(); ++a) {
            if (!Apply(rule.actions[a], compiled_[i].actions[a], work)) {
                shaped.skipped = true;
                shaped.skippedBy = i;
                shaped.patternGaveUp = work.patternGaveUp;
                return shaped;
            }
        }
        if (!rule.andContinue) break;
    }
    shaped.patternGaveUp = work.patternGaveUp;
    Type(work, shaped.units);
    return shaped;
}
