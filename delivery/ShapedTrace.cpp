#include "delivery/ShapedTrace.h"

#include <string_view>

namespace {

// A custom prefix or suffix character as the unit it is typed as.
TypedUnit TokenUnit(std::string_view token, const AnsiCodePage& ansi) {
    const LeadByteTest lead = ansi.isLeadByte ? ansi.isLeadByte : [](unsigned char) { return false; };
    const std::string_view character = TokenCharacter(token, lead);
    const auto first = static_cast<uint8_t>(character.front());
    if (character.size() == 1 && first < 0x80) return TypedUnit::Byte(first);
    if (ansi.decode)
        if (const std::optional<char32_t> decoded = ansi.decode(character)) return TypedUnit::Character(*decoded);
    return TypedUnit::Byte(first);
}

std::string TokenTrace(const std::string& token, int ctrl, const AnsiCodePage& ansi) {
    if (FindNamedToken(token)) return TokenDisplayText(token, ctrl);
    const std::string character = TypedUnitsTraceText({TokenUnit(token, ansi)});
    return ctrl ? "<Ctrl " + character + ">" : character;
}

}  // namespace

ShapedBarcode ShapeBarcode(const uint8_t* bytes, size_t length, int strip, const BarcodeShaper* shaper) {
    const ByteRange kept = StrippedRange(length, strip);
    const std::string_view text(reinterpret_cast<const char*>(bytes) + kept.first, kept.count);
    if (shaper) return shaper->Shape(text);
    ShapedBarcode shaped;
    shaped.units.reserve(text.size());
    for (char byte : text) shaped.units.push_back(TypedUnit::Byte(static_cast<uint8_t>(byte)));
    return shaped;
}

std::string ChangedTypedText(const uint8_t* bytes, size_t length, int strip, const TypedUnits& units) {
    const ShapedBarcode plain = ShapeBarcode(bytes, length, strip, nullptr);
    return plain.units == units ? std::string() : TypedUnitsTraceText(units);
}

std::string ShapedTraceText(const TypedUnits& units, const FormatSettings& format, const AnsiCodePage& ansi) {
    std::string text = TokenTrace(format.PrefixChar, format.PrefixCharCtrl, ansi);
    text += TypedUnitsTraceText(units);
    text += TokenTrace(format.SuffixFirstChar, format.SuffixFirstCharCtrl, ansi);
    text += TokenTrace(format.SuffixSecondChar, format.SuffixSecondCharCtrl, ansi);
    return text;
}

std::string SkippedTraceText(size_t rule) { return "<skipped by rule " + std::to_string(rule + 1) + ">"; }
