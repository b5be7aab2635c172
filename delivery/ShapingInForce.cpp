#include "delivery/ShapingInForce.h"

#include <windows.h>

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

}  // namespace

AnsiCodePage SystemAnsiCodePage() { return {win::IsAnsiLeadByte, DecodeAnsi}; }

std::shared_ptr<const BarcodeShaper> ShaperInForce() {
    UserText stored = ReadUserText(BarcodeRulesValue);
    CompiledText& last = LastCompiled();
    const std::lock_guard<std::mutex> hold(last.lock);
    if (last.made && stored.text == last.text) return last.shaper;
    ShapingSettings settings = ParseRuleText(stored.text).settings;
    last.shaper = settings == ShapingSettings{}
                      ? nullptr
                      : std::make_shared<const BarcodeShaper>(std::move(settings), SystemAnsiCodePage());
    last.text = std::move(stored.text);
    last.made = true;
    return last.shaper;
}
