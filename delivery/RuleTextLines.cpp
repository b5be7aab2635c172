#include "delivery/RuleTextLines.h"

#include <functional>
#include <optional>
#include <vector>

#include "delivery/RuleText.h"
#include "delivery/RuleTokens.h"
#include "delivery/RuleWords.h"

namespace {

using ruletext::SameWord;
using ruletext::Token;

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The line's words, up to the first that is not one; none for a line the
// tokens cannot read (a text without its closing quote).
std::vector<std::string_view> LeadingWords(std::string_view line) {
    std::vector<std::string_view> words;
    try {
        for (const Token& token : ruletext::Tokens(line)) {
            if (token.kind != Token::Kind::Word) break;
            words.push_back(token.source);
        }
    } catch (const ruletext::LineError&) {
        words.clear();
    }
    return words;
}

bool IsEncodingLine(std::string_view line) {
    const std::vector<std::string_view> words = LeadingWords(line);
    return !words.empty() && SameWord(words[0], "encoding");
}

bool IsControlLine(std::string_view line) {
    const std::vector<std::string_view> words = LeadingWords(line);
    return !words.empty() && SameWord(words[0], "control");
}

bool IsControlLineOf(std::string_view line, uint8_t byte) {
    const std::vector<std::string_view> words = LeadingWords(line);
    return words.size() >= 2 && SameWord(words[0], "control") && SameWord(words[1], rulewords::ControlWord(byte));
}

bool IsBlankOrComment(std::string_view line) {
    try {
        return ruletext::Tokens(line).front().kind == Token::Kind::End;
    } catch (const ruletext::LineError&) {
        return false;
    }
}

// Puts `wanted` (a line without its LF, or nothing) in place of the first
// line that `matches`, drops the other such lines, and when none matched
// inserts it before line `insertAt(lines)`.
std::string Rewritten(std::string_view text, const std::function<bool(std::string_view)>& matches,
                      const std::optional<std::string>& wanted,
                      const std::function<size_t(const std::vector<std::string_view>&)>& insertAt) {
    const std::vector<std::string_view> lines = Lines(text);
    std::vector<std::string> out;
    bool placed = false;
    for (std::string_view line : lines) {
        if (!matches(line)) {
            out.emplace_back(line);
        } else if (!placed) {
            placed = true;
            if (wanted) out.push_back(*wanted);
        }
    }
    if (!placed && wanted) out.insert(out.begin() + static_cast<std::ptrdiff_t>(insertAt(lines)), *wanted);
    std::string result;
    for (const std::string& line : out) result += line + "\n";
    // A text whose last line has no LF keeps it so.
    if (!text.empty() && text.back() != '\n' && !result.empty()) result.pop_back();
    return result;
}

std::string PrintedLine(const ShapingSettings& settings) {
    std::string line = PrintRuleText(settings);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

}  // namespace

std::string WithEncodingLine(std::string_view text, TextEncoding encoding) {
    std::optional<std::string> wanted;
    if (encoding != TextEncoding::AsToday) {
        ShapingSettings settings;
        settings.encoding = encoding;
        wanted = PrintedLine(settings);
    }
    return Rewritten(text, IsEncodingLine, wanted, [](const std::vector<std::string_view>&) { return size_t{0}; });
}

std::string WithControlLine(std::string_view text, uint8_t byte, const ControlChoice& choice) {
    std::optional<std::string> wanted;
    if (choice.kind != ControlChoice::Kind::AsToday) {
        ShapingSettings settings;
        settings.controls.Set(byte, choice);
        wanted = PrintedLine(settings);
    }
    // After the last encoding or control line of the text's head (its lines
    // before the first rule), else first.
    auto afterTheHead = [](const std::vector<std::string_view>& lines) {
        size_t at = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (IsEncodingLine(lines[i]) || IsControlLine(lines[i])) at = i + 1;
            else if (!IsBlankOrComment(lines[i])) break;
        }
        return at;
    };
    return Rewritten(text, [byte](std::string_view line) { return IsControlLineOf(line, byte); }, wanted,
                     afterTheHead);
}
