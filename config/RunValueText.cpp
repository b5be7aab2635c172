#include "config/RunValueText.h"

std::string PathInfoFromCommandLine(std::string_view commandLine) {
    std::string text;
    text.reserve(commandLine.size());
    for (char c : commandLine)
        if (c != '"') text += c;
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string RunValueData(std::string_view pathInfo) {
    if (pathInfo.find(' ') == std::string_view::npos) return std::string(pathInfo);
    return '"' + std::string(pathInfo) + '"';
}

std::string WithoutSurroundingQuotes(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return std::string(value.substr(1, value.size() - 2));
    return std::string(value);
}
