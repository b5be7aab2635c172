#include "config/SettingsRecord.h"

#include <charconv>

namespace {

using R = SettingsRecord;

constexpr SettingsElement Integer(const char* name, int R::*member) { return {name, member, nullptr}; }
constexpr SettingsElement Text(const char* name, std::string R::*member) { return {name, nullptr, member}; }

constexpr std::array<SettingsElement, SettingsElementCount> Elements{{
    Integer("strip", &R::strip),
    Text("PrefixChar", &R::PrefixChar),
    Integer("PrefixCharCtrl", &R::PrefixCharCtrl),
    Text("SuffixFirstChar", &R::SuffixFirstChar),
    Integer("SuffixFirstCharCtrl", &R::SuffixFirstCharCtrl),
    Text("SuffixSecondChar", &R::SuffixSecondChar),
    Integer("SuffixSecondCharCtrl", &R::SuffixSecondCharCtrl),
    Integer("Activate", &R::Activate),
    Integer("Minimize", &R::Minimize),
    Text("Name", &R::Name),
    Text("Company", &R::Company),
    Text("PathInfo", &R::PathInfo),
    Text("DeviceInfo", &R::DeviceInfo),
    Integer("mode", &R::mode),
    Integer("ActivatedScannerMode", &R::ActivatedScannerMode),
    Integer("FromPort", &R::FromPort),
    Integer("ToPort", &R::ToPort),
    Integer("LeftPosition", &R::LeftPosition),
    Integer("TopPosition", &R::TopPosition),
}};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

const std::array<SettingsElement, SettingsElementCount>& SettingsElements() { return Elements; }

std::string FormatInteger(int32_t value) { return std::to_string(value); }

std::optional<int32_t> ParseInteger(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;  // "+-1"
    }
    if (text.empty()) return std::nullopt;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string ElementText(const SettingsRecord& record, const SettingsElement& element) {
    if (element.integer) return FormatInteger(record.*element.integer);
    return record.*element.text;
}

void TakeElementText(SettingsRecord& record, const SettingsElement& element, std::string_view text) {
    if (element.text) {
        record.*element.text = std::string(text);
    } else if (std::optional<int32_t> value = ParseInteger(text)) {
        record.*element.integer = *value;
    }
}

SettingsRecord KeepUserChanges(const SettingsRecord& startedWith, const SettingsRecord& current,
                               const SettingsRecord& stored) {
    SettingsRecord merged = stored;
    for (const SettingsElement& element : Elements) {
        if (element.integer) {
            if (current.*element.integer != startedWith.*element.integer)
                merged.*element.integer = current.*element.integer;
        } else if (current.*element.text != startedWith.*element.text) {
            merged.*element.text = current.*element.text;
        }
    }
    return merged;
}
