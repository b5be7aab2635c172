#include "pages/AboutText.h"

#include <cstdio>

std::string SdkVersionLine(int32_t version) {
    char line[SdkVersionBufferSize] = {};
    std::snprintf(line, sizeof line, "%s v%d", "Scanner SDK", static_cast<int>(version));
    return line;
}

std::string ProgramVersionLine(unsigned major, unsigned minor) {
    return "Brontel Vask v" + std::to_string(major) + "." + std::to_string(minor);
}
