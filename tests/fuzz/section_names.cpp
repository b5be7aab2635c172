// Logon names as the system gives them become element names of the settings
// file. Input: a mode byte, then two names. Mode even: the names are bytes of
// a single-byte code page (each byte one UTF-16 unit, as code page 1252 gives
// them outside 0x80..0x9F); odd: the names are raw UTF-16 units, lone
// surrogates included.
#include "config/XmlNames.h"

#include "config/SettingsRecord.h"

#include "tests/fuzz/FuzzSupport.h"

namespace {

using settingsnames::DecodeSectionName;
using settingsnames::EncodeSectionName;

std::u16string NameOf(std::string_view bytes, bool wide) {
    std::u16string name;
    if (!wide) {
        for (unsigned char c : bytes) name += static_cast<char16_t>(c);
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            name += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return name;
}

std::string Shown(std::u16string_view name) {
    std::string out;
    for (char16_t u : name) {
        char unit[8];
        std::snprintf(unit, sizeof unit, u >= 0x20 && u < 0x7F ? "%c" : "<%04X>", static_cast<unsigned>(u));
        out += unit;
    }
    return out;
}

// The document's own element names: the root and the 19 settings.
bool IsDocumentName(std::u16string_view name) {
    if (name == u"Zantrovix") return true;
    for (const SettingsElement& element : SettingsElements())
        if (name == std::u16string(element.name, element.name + std::strlen(element.name))) return true;
    return false;
}

void CheckName(const std::u16string& name) {
    const std::u16string encoded = EncodeSectionName(name);
    if (name.empty()) {
        FUZZ_CHECK(encoded.empty(), "an empty logon name gives the section %s", Shown(encoded).c_str());
        return;
    }
    FUZZ_CHECK(settingsnames::IsValidElementName(encoded), "%s encodes as %s", Shown(name).c_str(),
               Shown(encoded).c_str());
    FUZZ_CHECK(encoded != u"Admin" && !IsDocumentName(encoded), "%s encodes as %s", Shown(name).c_str(),
               Shown(encoded).c_str());
    const std::u16string decoded = DecodeSectionName(encoded);
    FUZZ_CHECK(decoded == name, "%s encodes as %s, which decodes as %s", Shown(name).c_str(),
               Shown(encoded).c_str(), Shown(decoded).c_str());
}

void CheckDistinct(const std::u16string& a, const std::u16string& b) {
    if (a == b || a.empty() || b.empty()) return;
    FUZZ_CHECK(EncodeSectionName(a) != EncodeSectionName(b), "%s and %s both encode as %s",
               Shown(a).c_str(), Shown(b).c_str(), Shown(EncodeSectionName(a)).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool wide = in.Byte() & 1;
    const std::u16string first = NameOf(in.Text(), wide);
    const std::u16string second = NameOf(in.Rest(), wide);
    CheckName(first);
    CheckName(second);
    CheckDistinct(first, second);
    // The names most likely to collide with a name: its own encoding, and
    // what its escapes would stand for.
    CheckDistinct(first, EncodeSectionName(first));
    CheckDistinct(first, DecodeSectionName(first));
    CheckName(DecodeSectionName(first));
    return 0;
}
