#include "config/SettingsBytes.h"

#include <cctype>

namespace {

constexpr std::string_view DocumentTypeOpening = "<!DOCTYPE";

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Scans the bytes with their NUL bytes left out: the ASCII characters of the
// declaration then look alike in UTF-8, UTF-16 and UTF-32 of either order.
bool HoldsDocumentType(std::string_view bytes) {
    size_t matched = 0;
    for (char c : bytes) {
        if (c == '\0') continue;
        if (Upper(c) == DocumentTypeOpening[matched]) {
            if (++matched == DocumentTypeOpening.size()) return true;
        } else {
            matched = c == '<' ? 1 : 0;
        }
    }
    return false;
}

bool StartsName(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) || c == '_' || c == ':' || u >= 0x80;
}

// Follows start tags ("<" and a name, up to ">", quoted attribute values
// skipped), end tags ("</" up to ">") and empty elements ("/>"), with NUL
// bytes left out as above. A comment, processing instruction or declaration
// is skipped up to its first ">": what follows then counts as text, which
// can only make the count too deep, never too shallow.
bool NestsTooDeep(std::string_view bytes) {
    enum class At { Text, Opening, StartTag, Quoted, EndTag, Other } at = At::Text;
    int depth = 0;
    char quote = '\0', last = '\0';
    for (char c : bytes) {
        if (c == '\0') continue;
        switch (at) {
        case At::Text:
            if (c == '<') at = At::Opening;
            break;
        case At::Opening:
            if (StartsName(c)) {
                if (++depth > MaxSettingsElementDepth) return true;
                at = At::StartTag;
            } else {
                at = c == '/' ? At::EndTag : At::Other;
            }
            break;
        case At::StartTag:
            if (c == '\'' || c == '"') {
                quote = c;
                at = At::Quoted;
            } else if (c == '>') {
                if (last == '/') --depth;
                at = At::Text;
            }
            break;
        case At::Quoted:
            if (c == quote) at = At::StartTag;
            break;
        case At::EndTag:
            if (c == '>') {
                --depth;
                at = At::Text;
            }
            break;
        case At::Other:
            if (c == '>') at = At::Text;
            break;
        }
        last = c;
    }
    return false;
}

}  // namespace

SettingsBytesVerdict CheckSettingsBytes(std::string_view bytes) {
    if (bytes.size() > MaxSettingsFileBytes) return SettingsBytesVerdict::TooLarge;
    if (HoldsDocumentType(bytes)) return SettingsBytesVerdict::HasDocumentType;
    if (NestsTooDeep(bytes)) return SettingsBytesVerdict::TooDeep;
    return SettingsBytesVerdict::Acceptable;
}
