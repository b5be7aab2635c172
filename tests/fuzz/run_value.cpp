// The start-with-Windows value as the registry holds it, which any program of
// the user may have written, and the program's own file name (PathInfo).
// Input: a byte parting the input into a stored value and a file name.
#include <memory>

#include "config/RunValueText.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// A path as the system names a program's file: no double quote (no file name
// holds one) and no blank at either end.
std::string AsProgramPath(std::string_view text) {
    std::string path;
    for (char c : text)
        if (c != '"') path += c;
    const size_t first = path.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return path.substr(first, path.find_last_not_of(' ') - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t part = std::min<size_t>(data[0], size - 1);
    // Each text in a heap block of exactly its size: a read past it is caught.
    auto valueBytes = std::make_unique<char[]>(part);
    auto nameBytes = std::make_unique<char[]>(size - 1 - part);
    std::memcpy(valueBytes.get(), data + 1, part);
    std::memcpy(nameBytes.get(), data + 1 + part, size - 1 - part);
    const std::string_view value(valueBytes.get(), part), fileName(nameBytes.get(), size - 1 - part);

    // A stored value counts as PathInfo unquoted or in one pair of quotes, and
    // in no other form.
    const std::string unquoted = WithoutSurroundingQuotes(value);
    FUZZ_CHECK(unquoted == value || "\"" + unquoted + "\"" == value, "%s read as %s",
               fuzz::Printable(value).c_str(), fuzz::Printable(unquoted).c_str());

    // The value written for the program's path reads back as it.
    const std::string pathInfo = AsProgramPath(fileName);
    const std::string written = RunValueData(pathInfo);
    FUZZ_CHECK(WithoutSurroundingQuotes(written) == pathInfo, "%s written as %s", fuzz::Printable(pathInfo).c_str(),
               fuzz::Printable(written).c_str());
    // A path with a blank is quoted, so the system cannot split it there.
    FUZZ_CHECK(pathInfo.find(' ') == std::string::npos || (written.front() == '"' && written.back() == '"'),
               "%s written unquoted", fuzz::Printable(pathInfo).c_str());
    return 0;
}
