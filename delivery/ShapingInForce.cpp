#include "delivery/ShapingInForce.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "config/UserOptions.h"
#include "delivery/RuleText.h"
#include "win/WinText.h"

namespace {

std::optional<char32_t> DecodeAnsi(std::string_view character) {
    wchar_t wide[2] = {};
    const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, character.data(),
                                        static_cast<int>(character.size()), wide, 2);
    if (n != 1) return std::nullopt;
    return static_cast<char32_t>(wide[0]);
}

// The last text read and what it made, so that an unchanged text is not
// parsed and compiled again for every barcode.
struct CompiledText {
    std::mutex lock;
    std::string text;
    std::shared_ptr<const BarcodeShaper> shaper;
    bool made = false;
};

CompiledText& LastCompiled() {
    static CompiledText last;
    return last;
}

std::shared_ptr<const BarcodeShaper> Compile(const std::string& text) {
    ShapingSettings settings = ParseRuleText(text).settings;
    if (settings == ShapingSettings{}) return nullptr;
    return std::make_shared<const BarcodeShaper>(std::move(settings), SystemAnsiCodePage());
}

}  // namespace

AnsiCodePage SystemAnsiCodePage() { return {win::IsAnsiLeadByte, DecodeAnsi}; }

std::shared_ptr<const BarcodeShaper> ShaperInForce() {
    UserText stored = ReadUserText(BarcodeRulesValue);
    CompiledText& last = LastCompiled();
    const std::lock_guard<std::mutex> hold(last.lock);
    if (last.made && stored.text == last.text) return last.shaper;
    last.shaper = Compile(stored.text);
    last.text = std::move(stored.text);
    last.made = true;
    return last.shaper;
}

std::shared_ptr<const BarcodeShaper> ShaperOfRules(const std::string& text) {
    // The profiles' texts, a handful; a text no profile has any more is
    // forgotten once more than this many are kept.
    constexpr size_t MostKept = 32;
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const BarcodeShaper>> compiled;
    const std::lock_guard<std::mutex> hold(lock);
    if (const auto found = compiled.find(text); found != compiled.end()) return found->second;
    if (compiled.size() >= MostKept) compiled.clear();
    return compiled[text] = Compile(text);
}
