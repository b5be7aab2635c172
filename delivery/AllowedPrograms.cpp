#include "delivery/AllowedPrograms.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// Calls each(name) for the program each non-blank line names, until it returns true.
template <typename Each>
bool AnyLine(std::string_view lines, Each each) {
    for (size_t start = 0; start <= lines.size();) {
        const size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string_view name = ProgramFileName(Trimmed(lines.substr(start, end - start)));
        if (!name.empty() && each(name)) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string_view ProgramFileName(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool AnyProgramListed(std::string_view listLines) {
    return AnyLine(listLines, [](std::string_view) { return true; });
}

bool ProgramAllowed(std::string_view listLines, std::string_view program) {
    if (!AnyProgramListed(listLines)) return true;
    const std::string_view name = ProgramFileName(program);
    return !name.empty() && AnyLine(listLines, [name](std::string_view listed) { return SameName(listed, name); });
}

std::string BarredProgramText(std::string_view program) {
    const std::string_view name = ProgramFileName(program);
    if (name.empty()) return "the program in front (its name cannot be read) may not receive barcodes";
    return std::string(name) + " may not receive barcodes";
}
