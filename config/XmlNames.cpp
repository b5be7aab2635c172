#include "config/XmlNames.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "config/SettingsRecord.h"

namespace settingsnames {
namespace {

constexpr char16_t Underscore = u'_';

struct Range {
    char32_t first;
    char32_t last;
};

// XML 1.0 fifth edition, NameStartChar without ':'.
constexpr std::array<Range, 15> NameStartRanges{{
    {U'A', U'Z'}, {U'_', U'_'}, {U'a', U'z'}, {0xC0, 0xD6}, {0xD8, 0xF6},
    {0xF8, 0x2FF}, {0x370, 0x37D}, {0x37F, 0x1FFF}, {0x200C, 0x200D}, {0x2070, 0x218F},
    {0x2C00, 0x2FEF}, {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF},
}};

// The characters that NameChar adds to NameStartChar.
constexpr std::array<Range, 6> NameOnlyRanges{{
    {U'-', U'-'}, {U'.', U'.'}, {U'0', U'9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040},
}};

template <size_t N>
bool InRanges(const std::array<Range, N>& ranges, char32_t c) {
    for (const Range& r : ranges)
        if (c >= r.first && c <= r.last) return true;
    return false;
}

bool IsNameStart(char32_t c) { return InRanges(NameStartRanges, c); }
bool IsNameChar(char32_t c) { return IsNameStart(c) || InRanges(NameOnlyRanges, c); }

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// One character of text at i: its code point and how many units it takes.
// A lone surrogate comes back as itself, which no name range contains.
struct Character {
    char32_t code;
    size_t units;
};

Character CharacterAt(std::u16string_view text, size_t i) {
    char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        char32_t code = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
        return {code, 2};
    }
    return {u, 1};
}

void AppendEscape(std::u16string& out, char16_t unit) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    out += u"_x";
    for (int shift = 12; shift >= 0; shift -= 4) out += char16_t(Hex[(unit >> shift) & 0xF]);
    out += Underscore;
}

std::optional<int> HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return std::nullopt;
}

// The unit that an escape _xHHHH_ at position i stands for, if there is one.
std::optional<char16_t> EscapeAt(std::u16string_view text, size_t i) {
    if (i + 7 > text.size() || text[i] != Underscore || text[i + 1] != u'x' || text[i + 6] != Underscore)
        return std::nullopt;
    char16_t unit = 0;
    for (size_t k = i + 2; k < i + 6; ++k) {
        std::optional<int> digit = HexValue(text[k]);
        if (!digit) return std::nullopt;
        unit = char16_t((unit << 4) | *digit);
    }
    return unit;
}

// Whether some _xHHHH_ in the text could be read as an escape.
bool HoldsEscape(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (EscapeAt(text, i)) return true;
    return false;
}

bool StartsEscapeMarker(std::u16string_view text, size_t i) {
    return text[i] == Underscore && i + 1 < text.size() && text[i + 1] == u'x';
}

std::u16string Encode(std::u16string_view name) {
    std::u16string out;
    out.reserve(name.size() * 2);
    for (size_t i = 0; i < name.size();) {
        Character c = CharacterAt(name, i);
        bool allowed = i == 0 ? IsNameStart(c.code) : IsNameChar(c.code);
        // A reserved name is valid throughout: escaping its first character
        // is what sets it apart.
        if (i == 0 && IsReservedName(name)) allowed = false;
        if (allowed && !StartsEscapeMarker(name, i)) {
            out.append(name.substr(i, c.units));
        } else {
            for (size_t k = 0; k < c.units; ++k) AppendEscape(out, name[i + k]);
        }
        i += c.units;
    }
    return out;
}

std::u16string Unescape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (std::optional<char16_t> unit = EscapeAt(text, i)) {
            out += *unit;
            i += 7;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

bool IsValidElementName(std::u16string_view text) {
    if (text.empty()) return false;
    for (size_t i = 0; i < text.size();) {
        Character c = CharacterAt(text, i);
        if (!(i == 0 ? IsNameStart(c.code) : IsNameChar(c.code))) return false;
        i += c.units;
    }
    return true;
}

bool IsReservedName(std::u16string_view text) {
    if (text == u"Zantrovix" || text == u"Admin") return true;
    for (const SettingsElement& element : SettingsElements()) {
        std::string_view name = element.name;
        if (text.size() == name.size() && std::equal(name.begin(), name.end(), text.begin()))
            return true;
    }
    return false;
}

std::u16string EncodeSectionName(std::u16string_view logonName) {
    if (IsValidElementName(logonName) && !IsReservedName(logonName) && !HoldsEscape(logonName))
        return std::u16string(logonName);
    return Encode(logonName);
}

std::u16string DecodeSectionName(std::u16string_view sectionName) {
    // A kept name can hold something that looks like an escape; it is an
    // encoding only when encoding its decoded form gives it back.
    std::u16string decoded = Unescape(sectionName);
    if (decoded != sectionName && EncodeSectionName(decoded) == sectionName) return decoded;
    return std::u16string(sectionName);
}

std::u16string SectionPattern(std::u16string_view sectionName) {
    return u"//" + std::u16string(sectionName);
}

}  // namespace settingsnames

namespace settingsnames {

std::u16string WithoutForbiddenCharacters(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += u;
            out += text[++i];
            continue;
        }
        bool allowed = u == u'\t' || u == u'\n' || u == u'\r' || (u >= 0x20 && u <= 0xD7FF) ||
                       (u >= 0xE000 && u <= 0xFFFD);
        if (allowed) out += u;
    }
    return out;
}

}  // namespace settingsnames
