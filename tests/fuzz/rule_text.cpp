// The rule text comes from the user, or from a settings file edited by hand.
// Any text reads without a crash; each error names a place on its line (and
// is UTF-8 when the text is); the settings read back from what PrintRuleText
// writes are the same, without errors, and print the same text again.
//
// Input: the rule text.
#include <algorithm>

#include "delivery/RuleText.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The length of each line, as ParseRuleText splits them.
std::vector<size_t> LineLengths(std::string_view text) {
    std::vector<size_t> lengths;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lengths.push_back(end - start);
        start = end + 1;
    }
    return lengths;
}

bool ValidUtf8(std::string_view text) {
    for (size_t length; !text.empty(); text.remove_prefix(length))
        if ((length = ReadUtf8(text).length) == 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RuleText parsed = ParseRuleText(text);
    const std::vector<size_t> lines = LineLengths(text);
    for (const RuleTextError& error : parsed.errors) {
        FUZZ_CHECK(error.line >= 1 && error.line <= lines.size(), "error on line %zu of %zu", error.line, lines.size());
        FUZZ_CHECK(error.column >= 1 && error.column <= lines[error.line - 1] + 1, "column %zu on a line of %zu bytes",
                   error.column, lines[error.line - 1]);
        FUZZ_CHECK(!error.message.empty(), "an error without a message on line %zu", error.line);
        FUZZ_CHECK(!ValidUtf8(text) || ValidUtf8(error.message), "the message %s cuts a character",
                   fuzz::Printable(error.message).c_str());
    }
    FUZZ_CHECK(parsed.settings.rules.size() <= MaxRules, "%zu rules", parsed.settings.rules.size());

    const std::string printed = PrintRuleText(parsed.settings);
    const RuleText reread = ParseRuleText(printed);
    FUZZ_CHECK(reread.errors.empty(), "the printed text %s does not read: %s", fuzz::Printable(printed).c_str(),
               RuleTextErrorText(reread.errors.front()).c_str());
    FUZZ_CHECK(reread.settings == parsed.settings, "the printed text %s reads as other settings",
               fuzz::Printable(printed).c_str());
    const std::string again = PrintRuleText(reread.settings);
    FUZZ_CHECK(again == printed, "printed %s, then %s", fuzz::Printable(printed).c_str(),
               fuzz::Printable(again).c_str());
    return 0;
}
