#include "pages/AboutText.h"

#include <cstdio>

std::string SdkVersionLine(int32_t version) {
    char line[SdkVersionBufferSize] = {};
    std::snprintf(line, sizeof line, "%s v%d", "Scanner SDK", static_cast<int>(version));
    return line;
}
