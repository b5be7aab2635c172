// What the settings file's bytes must look like before the XML component
// parses them. The program writes no document type declaration, and one in
// the file could make the parser expand entities without end or reach for
// external files; a file far larger than any settings file is refused too.
//
// Plain C++: no windows.h.
#pragma once

#include <cstddef>
#include <string_view>

// Far above a file with thousands of users' sections.
inline constexpr size_t MaxSettingsFileBytes = 16u * 1024 * 1024;

// The settings file nests three deep (root, section, setting); a document
// nested far deeper is no settings file and could exhaust the parser. The
// DOM gets the same bound as its MaxElementDepth.
inline constexpr int MaxSettingsElementDepth = 16;

enum class SettingsBytesVerdict {
    Acceptable,
    TooLarge,
    HasDocumentType,  // "<!DOCTYPE" in any letter case, also in UTF-16 or UTF-32
    TooDeep,          // elements open inside each other beyond MaxSettingsElementDepth
};

SettingsBytesVerdict CheckSettingsBytes(std::string_view bytes);
