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

}  // namespace

SettingsBytesVerdict CheckSettingsBytes(std::string_view bytes) {
    if (bytes.size() > MaxSettingsFileBytes) return SettingsBytesVerdict::TooLarge;
    if (HoldsDocumentType(bytes)) return SettingsBytesVerdict::HasDocumentType;
    return SettingsBytesVerdict::Acceptable;
}
