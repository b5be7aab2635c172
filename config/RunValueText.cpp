#include "config/RunValueText.h"

std::string RunValueData(std::string_view pathInfo) {
    if (pathInfo.find(' ') == std::string_view::npos) return std::string(pathInfo);
    return '"' + std::string(pathInfo) + '"';
}

std::string WithoutSurroundingQuotes(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return std::string(value.substr(1, value.size() - 2));
    return std::string(value);
}
