#include "delivery/TypedUnits.h"

#include <cstdio>

#include "delivery/TraceText.h"

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "<TAB>" without its brackets.
std::string_view BareName(const NamedToken& token) { return token.name.substr(1, token.name.size() - 2); }

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsScalarValue(c)) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendKey(std::string& out, char32_t virtualKey, bool ctrl) {
    for (const NamedToken& token : TokenTable) {
        if (token.virtualKey != 0 && token.virtualKey == virtualKey) {
            out += ctrl ? token.ctrlTrace : token.trace;
            return;
        }
    }
    char text[24];
    std::snprintf(text, sizeof text, "<%sKey 0x%02X>", ctrl ? "Ctrl " : "", static_cast<unsigned>(virtualKey & 0xFF));
    out += text;
}

}  // namespace

const NamedToken* FindKeyName(std::string_view name) {
    for (const NamedToken& token : TokenTable) {
        if (token.virtualKey == 0) continue;
        const std::string_view bare = BareName(token);
        if (bare.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) same = AsciiUpper(name[i]) == bare[i];
        if (same) return &token;
    }
    return nullptr;
}

std::string_view KeyName(uint8_t virtualKey) {
    for (const NamedToken& token : TokenTable)
        if (token.virtualKey != 0 && token.virtualKey == virtualKey) return BareName(token);
    return {};
}

std::string TypedUnitsTraceText(const TypedUnits& units) {
    std::string text;
    text.reserve(units.size());
    for (const TypedUnit& unit : units) {
        if (unit.kind == TypedUnit::Kind::Key) {
            AppendKey(text, unit.value, unit.ctrl);
            continue;
        }
        const char32_t c = unit.kind == TypedUnit::Kind::Byte ? (unit.value & 0xFF) : unit.value;
        const std::string_view name = c < 0x80 ? ControlCharName(static_cast<uint8_t>(c)) : std::string_view{};
        if (name.empty())
            AppendUtf8(text, c);
        else
            text += name;
    }
    return text;
}
