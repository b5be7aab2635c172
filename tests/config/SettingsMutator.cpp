#include "tests/config/SettingsMutator.h"

#include <cctype>
#include <utility>
#include <vector>

namespace configtest {

namespace {

bool NameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

// Where the start tags of the file begin ("<" and a letter or underscore).
std::vector<size_t> StartTags(const std::string& file) {
    std::vector<size_t> tags;
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == '<' && NameStart(file[i + 1])) tags.push_back(i);
    return tags;
}

// The element that starts at the tag at `at`, up to its end tag (the first
// of its name) or its "/>"; false when none can be found.
bool ElementAt(const std::string& file, size_t at, size_t& end) {
    size_t nameEnd = file.find_first_of(" \t\r\n/>", at + 1);
    if (nameEnd == std::string::npos) return false;
    const std::string name = file.substr(at + 1, nameEnd - at - 1);
    size_t close = file.find('>', nameEnd);
    if (close == std::string::npos) return false;
    if (file[close - 1] == '/') {
        end = close + 1;
        return true;
    }
    size_t endTag = file.find("</" + name + ">", close);
    if (endTag == std::string::npos) return false;
    end = endTag + name.size() + 3;
    return true;
}

// The code points of UTF-8 text; a byte that starts no valid sequence is
// taken as the Latin-1 character of that value.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        int length = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 1;
        if (b < 0x80) length = 1;
        uint32_t point = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool valid = length == 1 || i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            point = (point << 6) | (c & 0x3F);
        }
        if (!valid) {
            points.push_back(b);
            ++i;
        } else {
            points.push_back(point);
            i += length;
        }
    }
    return points;
}

void PutUnit(std::string& out, uint32_t unit, int unitBytes, bool bigEndian) {
    for (int k = 0; k < unitBytes; ++k) {
        const int shift = bigEndian ? 8 * (unitBytes - 1 - k) : 8 * k;
        out += static_cast<char>((unit >> shift) & 0xFF);
    }
}

const char* const SectionNames[] = {"Admin", "Bob", "Cy", "Zantrovix", "strip", "_x0020_", "Ann_x0020_Lee"};

}  // namespace

std::string Utf8To(const std::string& utf8, int unitBytes, bool bigEndian) {
    std::string out;
    for (uint32_t point : CodePoints(utf8)) {
        if (unitBytes == 2 && point >= 0x10000) {
            point -= 0x10000;
            PutUnit(out, 0xD800 + (point >> 10), 2, bigEndian);
            PutUnit(out, 0xDC00 + (point & 0x3FF), 2, bigEndian);
        } else {
            PutUnit(out, point, unitBytes, bigEndian);
        }
    }
    return out;
}

std::string SettingsMutator::Mutate(const std::string& file, std::string& description) {
    using Step = std::string (SettingsMutator::*)(std::string, std::string&);
    static constexpr Step Structural[] = {
        &SettingsMutator::FlipBytes,     &SettingsMutator::CutElement,   &SettingsMutator::DuplicateElement,
        &SettingsMutator::NestElement,   &SettingsMutator::NestDeeply,   &SettingsMutator::Truncate,
        &SettingsMutator::RenameElement, &SettingsMutator::InsertMarkup, &SettingsMutator::ChangeDeclaration,
    };
    std::string result = file;
    const size_t steps = 1 + Below(3);
    for (size_t i = 0; i < steps; ++i) result = (this->*Structural[Below(std::size(Structural))])(result, description);
    if (result == file) result = FlipBytes(result, description);  // no step found what it looks for
    // The encoding last, so the steps above still see the markup; a flipped
    // byte sometimes follows it.
    if (Below(3) == 0) {
        result = ChangeEncoding(result, description);
        if (Below(3) == 0) result = FlipBytes(result, description);
    }
    return result;
}

std::string SettingsMutator::FlipBytes(std::string file, std::string& description) {
    if (file.empty()) return file;
    static constexpr char Special[] = {'<', '>', '&', '"', '\'', '/', '\0', '\x80', '\xFF', '=', '?', '!', ';'};
    const size_t count = 1 + Below(3);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = Below(file.size());
        if (Below(2) == 0)
            file[at] = static_cast<char>(file[at] ^ (1 << Below(8)));
        else
            file[at] = Special[Below(sizeof Special)];
    }
    description += " flip" + std::to_string(count);
    return file;
}

bool SettingsMutator::PickElement(const std::string& file, const std::vector<size_t>& tags, size_t least, size_t& at,
                                  size_t& end) {
    if (tags.size() < least) return false;
    at = tags[Below(tags.size())];
    return ElementAt(file, at, end);
}

std::string SettingsMutator::CutElement(std::string file, std::string& description) {
    const std::vector<size_t> tags = StartTags(file);
    size_t at = 0, end = 0;
    if (!PickElement(file, tags, 1, at, end)) return file;
    // The whole element, or only its start or end tag.
    switch (Below(3)) {
    case 0: file.erase(at, end - at); description += " cut"; break;
    case 1: file.erase(at, file.find('>', at) + 1 - at); description += " cut-start-tag"; break;
    default: {
        const size_t endTag = file.rfind("</", end - 1);
        if (endTag != std::string::npos && endTag > at) file.erase(endTag, end - endTag);
        description += " cut-end-tag";
    }
    }
    return file;
}

std::string SettingsMutator::DuplicateElement(std::string file, std::string& description) {
    const std::vector<size_t> tags = StartTags(file);
    size_t at = 0, end = 0;
    if (!PickElement(file, tags, 1, at, end)) return file;
    const std::string element = file.substr(at, end - at);
    // Right after itself, or before another start tag.
    const size_t where = Below(2) == 0 ? end : tags[Below(tags.size())];
    file.insert(where, element);
    description += " duplicate";
    return file;
}

std::string SettingsMutator::NestElement(std::string file, std::string& description) {
    const std::vector<size_t> tags = StartTags(file);
    size_t at = 0, end = 0;
    if (!PickElement(file, tags, 2, at, end)) return file;
    const std::string element = file.substr(at, end - at);
    // Moved (or copied) into another element, right after that one's start tag.
    const size_t host = tags[Below(tags.size())];
    const size_t inside = file.find('>', host);
    if (inside == std::string::npos || (inside >= at && inside < end)) return file;
    const bool move = Below(2) == 0;
    if (move && inside > at) {
        file.insert(inside + 1, element);
        file.erase(at, end - at);
    } else {
        if (move) file.erase(at, end - at);
        file.insert(inside + 1, element);
    }
    description += move ? " nest-moved" : " nest-copied";
    return file;
}

std::string SettingsMutator::NestDeeply(std::string file, std::string& description) {
    const std::vector<size_t> tags = StartTags(file);
    size_t at = 0, end = 0;
    if (!PickElement(file, tags, 1, at, end)) return file;
    // Around the bound of 16 levels, and far beyond it.
    const size_t levels = Below(4) == 0 ? 100 + Below(2000) : 1 + Below(20);
    std::string name = Below(2) == 0 ? "d" : SectionNames[Below(std::size(SectionNames))];
    std::string open, close;
    for (size_t i = 0; i < levels; ++i) {
        open += "<" + name + ">";
        close += "</" + name + ">";
    }
    file.insert(end, close);
    file.insert(at, open);
    description += " nest-deep" + std::to_string(levels);
    return file;
}

std::string SettingsMutator::Truncate(std::string file, std::string& description) {
    if (file.empty()) return file;
    file.resize(Below(file.size()));
    description += " truncate";
    return file;
}

std::string SettingsMutator::RenameElement(std::string file, std::string& description) {
    const std::vector<size_t> tags = StartTags(file);
    size_t at = 0, end = 0;
    if (!PickElement(file, tags, 1, at, end)) return file;
    const size_t nameEnd = file.find_first_of(" \t\r\n/>", at + 1);
    const std::string old = file.substr(at + 1, nameEnd - at - 1);
    const std::string name = SectionNames[Below(std::size(SectionNames))];
    // Both tags, so the file may stay well-formed.
    const size_t endTag = file.rfind("</" + old + ">", end);
    if (endTag != std::string::npos && endTag > at && endTag + old.size() + 3 == end)
        file.replace(endTag + 2, old.size(), name);
    file.replace(at + 1, old.size(), name);
    description += " rename-" + name;
    return file;
}

std::string SettingsMutator::InsertMarkup(std::string file, std::string& description) {
    static const char* const Pieces[] = {
        "<!--x-->", "<![CDATA[<Bob>]]>", "<?pi x?>", "&amp;", "&#0;", "&#xD800;", "&#x10FFFF;", "&undefined;",
        "<Bob a='1' a='2'/>", "\xEF\xBB\xBF", "\xC3\x28", "\xF4\x90\x80\x80", "<x:y/>", "<!DOCTYPE a>",
        "<?xml version='1.0'?>", "\r\n", "\xE2\x80\xA8", "<Zo\xC3\xAB>\xC3\xAB</Zo\xC3\xAB>", "</Zantrovix>",
    };
    if (file.empty()) return file;
    const size_t at = Below(file.size() + 1);
    const char* piece = Pieces[Below(std::size(Pieces))];
    file.insert(at, piece);
    description += " insert";
    return file;
}

std::string SettingsMutator::ChangeDeclaration(std::string file, std::string& description) {
    static const char* const Declarations[] = {
        "",
        "<?xml version=\"1.0\"?>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
        "<?xml version=\"1.0\" encoding=\"UTF-32\"?>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?>",
        "<?xml version=\"1.0\" encoding=\"\"?>",
        "<?xml version=\"1.1\"?>",
        "<?xml version=\"2.0\" standalone=\"maybe\"?>",
        "<?xml encoding=\"UTF-8\"?>",
    };
    const size_t chosen = Below(std::size(Declarations));
    size_t end = file.compare(0, 5, "<?xml") == 0 ? file.find("?>") : std::string::npos;
    if (end != std::string::npos)
        file.replace(0, end + 2, Declarations[chosen]);
    else
        file.insert(0, Declarations[chosen]);
    description += " declaration" + std::to_string(chosen);
    return file;
}

std::string SettingsMutator::ChangeEncoding(std::string file, std::string& description) {
    switch (Below(10)) {
    case 0: description += " utf16le-bom"; return "\xFF\xFE" + Utf8To(file, 2, false);
    case 1: description += " utf16le"; return Utf8To(file, 2, false);
    case 2: description += " utf16be-bom"; return "\xFE\xFF" + Utf8To(file, 2, true);
    case 3: description += " utf16be"; return Utf8To(file, 2, true);
    case 4: description += " utf8-bom"; return "\xEF\xBB\xBF" + file;
    case 5: description += " utf32le-bom"; return std::string("\xFF\xFE\0\0", 4) + Utf8To(file, 4, false);
    case 6: {
        // Latin-1 bytes under whatever declaration the file has.
        std::string latin;
        for (uint32_t point : CodePoints(file)) latin += static_cast<char>(point & 0xFF);
        description += " latin1";
        return latin;
    }
    case 7: description += " utf16le-bom-utf8-body"; return "\xFF\xFE" + file;
    default: {
        // A file that another tool wrote as UTF-16 and declared so: still a valid file.
        const bool bigEndian = Below(2) == 0;
        const size_t end = file.compare(0, 5, "<?xml") == 0 ? file.find("?>") : std::string::npos;
        if (end != std::string::npos) file.erase(0, end + 2);
        file.insert(0, "<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
        description += bigEndian ? " utf16be-declared" : " utf16le-declared";
        return (bigEndian ? "\xFE\xFF" : "\xFF\xFE") + Utf8To(file, 2, bigEndian);
    }
    }
}

}  // namespace configtest
