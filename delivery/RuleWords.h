// The words of the rule text (RuleText.h), shared by its reader and writer.
#pragma once

#include <string_view>
#include <utility>

#include "delivery/BarcodeRules.h"
#include "delivery/TraceText.h"

namespace rulewords {

inline constexpr std::pair<TextEncoding, std::string_view> Encodings[] = {
    {TextEncoding::AsToday, "as-today"},
    {TextEncoding::Ansi, "ansi"},
    {TextEncoding::Utf8, "utf-8"},
    {TextEncoding::Automatic, "automatic"},
};

inline constexpr std::pair<RuleCondition::Kind, std::string_view> Conditions[] = {
    {RuleCondition::Kind::BeginsWith, "begins"}, {RuleCondition::Kind::EndsWith, "ends"},
    {RuleCondition::Kind::Contains, "contains"}, {RuleCondition::Kind::Length, "length"},
    {RuleCondition::Kind::Pattern, "pattern"},   {RuleCondition::Kind::Gs1, "gs1"},
};

inline constexpr std::pair<RuleAction::Kind, std::string_view> Actions[] = {
    {RuleAction::Kind::StripStart, "strip-start"},
    {RuleAction::Kind::StripEnd, "strip-end"},
    {RuleAction::Kind::Replace, "replace"},
    {RuleAction::Kind::ReplacePattern, "replace-pattern"},
    {RuleAction::Kind::AddBefore, "add-before"},
    {RuleAction::Kind::AddAfter, "add-after"},
    {RuleAction::Kind::Gs1Parentheses, "gs1-parentheses"},
    {RuleAction::Kind::Skip, "skip"},
};

template <typename Kind, size_t N>
std::string_view WordOf(const std::pair<Kind, std::string_view> (&words)[N], Kind kind) {
    for (const auto& [each, word] : words)
        if (each == kind) return word;
    return {};
}

// "GS" for 0x1D: the Trace page's name without its brackets.
inline std::string_view ControlWord(uint8_t byte) {
    const std::string_view name = ControlCharName(byte);
    return name.empty() ? name : name.substr(1, name.size() - 2);
}

}  // namespace rulewords
