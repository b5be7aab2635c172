#include "delivery/TextEncoding.h"

namespace {

bool IsControl(uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

// A decoded character worth typing as itself: a Unicode scalar value that is
// no control character (those come only from their own bytes).
bool IsTypableCodePoint(char32_t c) {
    return c >= 0x20 && c != 0x7F && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

TextCharacter AsByte(std::string_view rest) { return {1, TypedUnit::Byte(static_cast<uint8_t>(rest[0]))}; }

TextCharacter ReadAnsi(std::string_view rest, const AnsiCodePage& ansi) {
    const auto first = static_cast<uint8_t>(rest[0]);
    if (first < 0x80 || ansi.decode == nullptr) return AsByte(rest);
    const bool pair = ansi.isLeadByte != nullptr && ansi.isLeadByte(first) && rest.size() >= 2 &&
                      !IsControl(static_cast<uint8_t>(rest[1]));
    const size_t length = pair ? 2 : 1;
    const std::optional<char32_t> decoded = ansi.decode(rest.substr(0, length));
    if (decoded && IsTypableCodePoint(*decoded)) return {length, TypedUnit::Character(*decoded)};
    return AsByte(rest);
}

}  // namespace

Utf8Sequence ReadUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    const auto lead = static_cast<uint8_t>(bytes[0]);
    if (lead < 0x80) return {1, lead};
    size_t length = 0;
    char32_t codePoint = 0, lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, lowest = 0x10000;
    } else {
        return {};  // a continuation byte, C0/C1 (always overlong) or F5..FF
    }
    if (bytes.size() < length) return {};
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(bytes[i]);
        if ((next & 0xC0) != 0x80) return {};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return {};
    return {length, codePoint};
}

bool HoldsMultiByteUtf8(std::string_view bytes) {
    bool multiByte = false;
    while (!bytes.empty()) {
        const Utf8Sequence sequence = ReadUtf8(bytes);
        if (sequence.length == 0) return false;
        multiByte = multiByte || sequence.length > 1;
        bytes.remove_prefix(sequence.length);
    }
    return multiByte;
}

TextEncoding ResolveEncoding(TextEncoding encoding, std::string_view text) {
    if (encoding != TextEncoding::Automatic) return encoding;
    return HoldsMultiByteUtf8(text) ? TextEncoding::Utf8 : TextEncoding::AsToday;
}

TextCharacter ReadCharacter(std::string_view rest, TextEncoding resolved, const AnsiCodePage& ansi) {
    switch (resolved) {
    case TextEncoding::Ansi:
        return ReadAnsi(rest, ansi);
    case TextEncoding::Utf8: {
        const Utf8Sequence sequence = ReadUtf8(rest);
        if (sequence.length > 1) return {sequence.length, TypedUnit::Character(sequence.codePoint)};
        return AsByte(rest);
    }
    default:
        return AsByte(rest);
    }
}

size_t CharacterCount(std::string_view text, TextEncoding resolved, const AnsiCodePage& ansi) {
    if (resolved == TextEncoding::AsToday) return text.size();
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++count) at += ReadCharacter(text.substr(at), resolved, ansi).length;
    return count;
}

size_t CharacterOffset(std::string_view text, size_t index, TextEncoding resolved, const AnsiCodePage& ansi) {
    if (resolved == TextEncoding::AsToday) return index < text.size() ? index : text.size();
    size_t at = 0;
    for (size_t i = 0; i < index && at < text.size(); ++i) at += ReadCharacter(text.substr(at), resolved, ansi).length;
    return at;
}

void AppendTextUnits(std::string_view text, TextEncoding encoding, const AnsiCodePage& ansi, TypedUnits& out) {
    const TextEncoding resolved = ResolveEncoding(encoding, text);
    for (size_t at = 0; at < text.size();) {
        const TextCharacter character = ReadCharacter(text.substr(at), resolved, ansi);
        out.push_back(character.unit);
        at += character.length;
    }
}
