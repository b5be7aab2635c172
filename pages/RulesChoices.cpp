#include "pages/RulesChoices.h"

#include <iterator>

#include "delivery/SampleText.h"
#include "delivery/ShapedTrace.h"

namespace {

struct EncodingItem {
    const char* text;
    TextEncoding encoding;
};

constexpr EncodingItem Encodings[] = {
    {"As today", TextEncoding::AsToday},
    {"System ANSI code page", TextEncoding::Ansi},
    {"UTF-8", TextEncoding::Utf8},
    {"Automatic", TextEncoding::Automatic},
};

struct SeparatorItem {
    const char* text;
    ControlChoice choice;
};

const std::vector<SeparatorItem>& Separators() {
    static const std::vector<SeparatorItem> items = {
        {"As today", {}},
        {"Tab", {ControlChoice::Kind::Key, {}, FindKeyName("TAB")->virtualKey, false}},
        {"Enter", {ControlChoice::Kind::Key, {}, FindKeyName("ENTER")->virtualKey, false}},
        {"The text |", {ControlChoice::Kind::Text, "|"}},
        {"Nothing", {ControlChoice::Kind::Nothing}},
    };
    return items;
}

}  // namespace

std::vector<std::string> EncodingItems() {
    std::vector<std::string> items;
    for (const EncodingItem& item : Encodings) items.emplace_back(item.text);
    return items;
}

TextEncoding EncodingOfItem(int index) {
    return index >= 0 && index < static_cast<int>(std::size(Encodings)) ? Encodings[index].encoding
                                                                        : TextEncoding::AsToday;
}

int EncodingItemIndex(TextEncoding encoding) {
    for (size_t i = 0; i < std::size(Encodings); ++i)
        if (Encodings[i].encoding == encoding) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> SeparatorItems() {
    std::vector<std::string> items;
    for (const SeparatorItem& item : Separators()) items.emplace_back(item.text);
    return items;
}

ControlChoice SeparatorOfItem(int index) {
    return index >= 0 && index < static_cast<int>(Separators().size()) ? Separators()[index].choice
                                                                       : ControlChoice{};
}

int SeparatorItemIndex(const ControlChoice& choice) {
    for (size_t i = 0; i < Separators().size(); ++i)
        if (Separators()[i].choice == choice) return static_cast<int>(i);
    return -1;
}

std::string RulesStatusText(const RuleText& parsed) {
    if (!parsed.errors.empty()) {
        std::string text = RuleTextErrorText(parsed.errors.front());
        if (parsed.errors.size() > 1) text += " (" + std::to_string(parsed.errors.size()) + " lines have errors)";
        return text;
    }
    if (parsed.settings == ShapingSettings{}) return "No rules: every barcode is typed as it is.";
    return "The rules are fine.";
}

std::unique_ptr<const BarcodeShaper> PreviewShaper(const ShapingSettings& settings, const AnsiCodePage& ansi) {
    if (settings == ShapingSettings{}) return nullptr;
    return std::make_unique<const BarcodeShaper>(settings, ansi);
}

std::string RulesPreviewText(std::string_view sampleText, const BarcodeShaper* shaper, const FormatSettings& format,
                             const AnsiCodePage& ansi) {
    if (sampleText.empty()) return {};
    const SampleBytes sample = ParseSampleText(sampleText);
    if (!sample.error.empty()) return "The sample has an error at " + sample.error;
    const auto* bytes = reinterpret_cast<const uint8_t*>(sample.bytes.data());
    const ShapedBarcode shaped = ShapeBarcode(bytes, sample.bytes.size(), format.strip, shaper);
    if (shaped.skipped) return SkippedTraceText(shaped.skippedBy.value_or(0));
    return ShapedTraceText(shaped.units, format, ansi);
}
