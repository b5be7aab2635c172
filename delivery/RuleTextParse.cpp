// Reads the rule text (grammar in RuleText.h), line by line.
#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "delivery/RuleText.h"
#include "delivery/RuleTokens.h"
#include "delivery/RuleWords.h"

namespace {

using namespace ruletext;

class LineParser {
public:
    explicit LineParser(std::string_view line) : tokens_(Tokens(line)) {}

    bool AtEnd() const { return tokens_[next_].kind == Token::Kind::End; }
    const Token& Peek() const { return tokens_[next_]; }
    bool PeekWord(std::string_view word) const {
        return Peek().kind == Token::Kind::Word && SameWord(Peek().source, word);
    }
    bool TakeWord(std::string_view word) { return PeekWord(word) ? (++next_, true) : false; }
    void Advance() { ++next_; }

    [[noreturn]] void Fail(std::string message) const { throw LineError{Peek().offset, std::move(message)}; }

    void ExpectWord(std::string_view word) {
        if (!TakeWord(word)) Fail("expected " + std::string(word) + Found());
    }

    template <typename Kind, size_t N>
    Kind ExpectOneOf(const std::pair<Kind, std::string_view> (&words)[N], std::string_view what) {
        for (const auto& [kind, word] : words)
            if (TakeWord(word)) return kind;
        std::string all;
        for (const auto& [kind, word] : words) all += (all.empty() ? "" : ", ") + std::string(word);
        Fail("expected " + std::string(what) + " (" + all + ")" + Found());
    }

    size_t ExpectNumber() {
        const std::string_view word = Peek().kind == Token::Kind::Word ? Peek().source : std::string_view{};
        const std::optional<size_t> number = Number(word);
        if (!number) Fail("expected a number from 0 to " + std::to_string(MaxRuleNumber) + Found());
        ++next_;
        return *number;
    }

    // N or N..M, as one word.
    std::pair<size_t, size_t> ExpectRange() {
        const std::string_view word = Peek().kind == Token::Kind::Word ? Peek().source : std::string_view{};
        const size_t dots = word.find("..");
        const std::optional<size_t> low = Number(word.substr(0, dots));
        const std::optional<size_t> high = dots == std::string_view::npos ? low : Number(word.substr(dots + 2));
        if (!low || !high) Fail("expected a length N or N..M, from 0 to " + std::to_string(MaxRuleNumber) + Found());
        if (*high < *low) Fail("the range " + std::string(word) + " runs backwards");
        ++next_;
        return {*low, *high};
    }

    // A quoted text, its escapes read; in a pattern other backslashes stay.
    std::string ExpectText(bool pattern, bool mayBeEmpty) {
        if (Peek().kind != Token::Kind::Text) Fail(std::string("expected a ") + (pattern ? "pattern" : "text") +
                                                    " in double quotes" + Found());
        const Token& token = Peek();
        std::string value;
        const std::string_view inside = token.source.substr(1, token.source.size() - 2);
        for (size_t i = 0; i < inside.size(); ++i) {
            if (inside[i] != '\\') {
                value += inside[i];
                continue;
            }
            const char e = inside[++i];  // a text never ends in a lone backslash
            const size_t at = token.offset + 1 + i - 1;
            if (e == '\\' || e == '"') {
                value += e;
            } else if (e == 't' || e == 'r' || e == 'n') {
                value += e == 't' ? '\t' : e == 'r' ? '\r' : '\n';
            } else if (e == 'x') {
                const int high = i + 1 < inside.size() ? HexValue(inside[i + 1]) : -1;
                const int low = i + 2 < inside.size() ? HexValue(inside[i + 2]) : -1;
                if (high < 0 || low < 0) throw LineError{at, "\\x wants two hex digits"};
                value += static_cast<char>(high * 16 + low);
                i += 2;
            } else if (pattern) {
                value += '\\';
                value += e;
            } else {
                const size_t length = std::max<size_t>(1, ReadUtf8(inside.substr(i)).length);  // é whole
                const std::string_view escaped = inside.substr(i, length);
                throw LineError{at, "unknown escape \\" + std::string(escaped) + " (a backslash is \\\\)"};
            }
        }
        if (value.size() > MaxRuleTextBytes)
            Fail("a text holds at most " + std::to_string(MaxRuleTextBytes) + " bytes");
        if (value.empty() && !mayBeEmpty) Fail("an empty text here does nothing");
        if (std::string problem; pattern && !BoundedPattern::Compile(value, &problem))
            Fail("the pattern has " + problem);
        ++next_;
        return value;
    }

    // key [ctrl] KEYNAME, after the word "key".
    std::pair<uint8_t, bool> ExpectKey() {
        const bool ctrl = TakeWord("ctrl");
        const NamedToken* key = Peek().kind == Token::Kind::Word ? FindKeyName(Peek().source) : nullptr;
        if (!key) Fail("expected a key name (ENTER, TAB, SPACE, LEFT, RIGHT, UP, DOWN)" + Found());
        ++next_;
        return {key->virtualKey, ctrl};
    }

    std::string Found() const {
        switch (Peek().kind) {
        case Token::Kind::End:
            return ", found the end of the line";
        case Token::Kind::Semicolon:
            return ", found ;";
        default: {
            // At most 40 bytes of it, cut where a UTF-8 character begins.
            const std::string_view found = Peek().source;
            size_t cut = std::min<size_t>(found.size(), 40);
            while (cut > 0 && cut < found.size() && (static_cast<uint8_t>(found[cut]) & 0xC0) == 0x80) --cut;
            return ", found " + std::string(found.substr(0, cut));
        }
        }
    }

    bool TakeSemicolon() { return Peek().kind == Token::Kind::Semicolon ? (++next_, true) : false; }

private:
    static std::optional<size_t> Number(std::string_view word) {
        if (word.empty() || word.size() > 4) return std::nullopt;
        size_t value = 0;
        for (char c : word) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<size_t>(c - '0');
        }
        return value;
    }

    std::vector<Token> tokens_;
    size_t next_ = 0;
};

ControlChoice ParseChoice(LineParser& p) {
    ControlChoice choice;
    if (p.TakeWord("as-today")) return choice;
    if (p.TakeWord("nothing")) {
        choice.kind = ControlChoice::Kind::Nothing;
    } else if (p.TakeWord("text")) {
        choice.kind = ControlChoice::Kind::Text;
        choice.text = p.ExpectText(false, true);
    } else if (p.TakeWord("key")) {
        choice.kind = ControlChoice::Kind::Key;
        std::tie(choice.virtualKey, choice.ctrl) = p.ExpectKey();
    } else {
        p.Fail("expected as-today, nothing, text or key" + p.Found());
    }
    return choice;
}

RuleCondition ParseCondition(LineParser& p) {
    RuleCondition condition;
    condition.kind = p.ExpectOneOf(rulewords::Conditions, "a condition");
    using Kind = RuleCondition::Kind;
    if (condition.kind == Kind::BeginsWith || condition.kind == Kind::EndsWith || condition.kind == Kind::Contains)
        condition.text = p.ExpectText(false, false);
    else if (condition.kind == Kind::Pattern)
        condition.text = p.ExpectText(true, true);
    else if (condition.kind == Kind::Length)
        std::tie(condition.minLength, condition.maxLength) = p.ExpectRange();
    return condition;
}

RuleAction ParseAction(LineParser& p, const RuleCondition& condition) {
    RuleAction action;
    const size_t at = p.Peek().offset;
    action.kind = p.ExpectOneOf(rulewords::Actions, "an action");
    using Kind = RuleAction::Kind;
    switch (action.kind) {
    case Kind::StripStart:
    case Kind::StripEnd:
        action.count = p.ExpectNumber();
        break;
    case Kind::Replace:
        action.find = p.ExpectText(false, false);
        p.ExpectWord("with");
        action.text = p.ExpectText(false, true);
        break;
    case Kind::ReplacePattern:
        action.find = p.ExpectText(true, true);
        if (p.TakeWord("with")) {
            action.text = p.ExpectText(false, true);
        } else if (condition.kind == RuleCondition::Kind::Pattern) {
            action.text = std::move(action.find);  // the one text is the replacement for the condition's pattern
            action.find = condition.text;
        } else {
            throw LineError{at, "replace-pattern without \"with\" needs a pattern condition"};
        }
        break;
    case Kind::AddBefore:
    case Kind::AddAfter:
        if (p.TakeWord("key"))
            std::tie(action.virtualKey, action.ctrl) = p.ExpectKey();
        else
            action.text = p.ExpectText(false, false);
        break;
    default:
        break;
    }
    return action;
}

BarcodeRule ParseRule(LineParser& p, bool always) {
    BarcodeRule rule;
    if (!always) {
        rule.condition = ParseCondition(p);
        p.ExpectWord("then");
    }
    do {
        rule.actions.push_back(ParseAction(p, rule.condition));
    } while (p.TakeSemicolon());
    if (p.TakeWord("and")) {
        p.ExpectWord("continue");
        rule.andContinue = true;
    }
    if (!p.AtEnd()) p.Fail("expected ; between actions or the end of the line" + p.Found());
    return rule;
}

void ParseLine(std::string_view line, ShapingSettings& settings) {
    LineParser p(line);
    if (p.AtEnd()) return;
    if (p.TakeWord("encoding")) {
        const TextEncoding encoding = p.ExpectOneOf(rulewords::Encodings, "an encoding");
        if (!p.AtEnd()) p.Fail("expected the end of the line" + p.Found());
        settings.encoding = encoding;
    } else if (p.TakeWord("control")) {
        std::optional<uint8_t> byte;
        for (unsigned b = 0; b < 0x80 && !byte; ++b)
            if (IsControlByte(static_cast<uint8_t>(b)) && p.PeekWord(rulewords::ControlWord(static_cast<uint8_t>(b))))
                byte = static_cast<uint8_t>(b);
        if (!byte) p.Fail("expected the name of a control byte (NUL .. US, DEL)" + p.Found());
        p.Advance();
        ControlChoice choice = ParseChoice(p);
        if (!p.AtEnd()) p.Fail("expected the end of the line" + p.Found());
        settings.controls.Set(*byte, std::move(choice));
    } else if (p.PeekWord("if") || p.PeekWord("always")) {
        if (settings.rules.size() >= MaxRules) p.Fail("at most " + std::to_string(MaxRules) + " rules");
        const bool always = p.PeekWord("always");
        p.Advance();
        settings.rules.push_back(ParseRule(p, always));
    } else {
        p.Fail("expected if, always, encoding or control" + p.Found());
    }
}

// Column from 1, in characters: continuation bytes of UTF-8 do not count.
size_t Column(std::string_view line, size_t offset) {
    size_t column = 1;
    for (size_t i = 0; i < offset && i < line.size(); ++i) column += (static_cast<uint8_t>(line[i]) & 0xC0) != 0x80;
    return column;
}

}  // namespace

RuleText ParseRuleText(std::string_view text) {
    RuleText parsed;
    size_t number = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        ++number;
        try {
            ParseLine(line, parsed.settings);
        } catch (const LineError& error) {
            parsed.errors.push_back({number, Column(line, error.offset), error.message});
        }
        start = end + 1;
    }
    return parsed;
}

std::string RuleTextErrorText(const RuleTextError& error) {
    return "line " + std::to_string(error.line) + ", column " + std::to_string(error.column) + ": " + error.message;
}
