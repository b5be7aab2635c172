// Writes shaping settings as rule text (grammar in RuleText.h).
#include <cstdio>

#include "delivery/RuleText.h"
#include "delivery/RuleWords.h"

namespace {

bool PrintsAsItself(unsigned char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; }

void AppendHex(std::string& out, unsigned char c) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", c);
    out += escape;
}

// A text in quotes, so that the reader gets its bytes back: valid UTF-8 as
// it is, other bytes above 0x7E and control bytes as \xHH. In a pattern a
// backslash that the reader keeps for the pattern (one before a character
// that is no escape of the rule text) is written bare, "\d" and not "\\d".
std::string Quoted(std::string_view text, bool pattern) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            const bool bare = pattern && i + 1 < text.size() &&
                              PrintsAsItself(static_cast<unsigned char>(text[i + 1])) &&
                              std::string_view("trnx").find(text[i + 1]) == std::string_view::npos;
            out += bare ? "\\" : "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\t' || c == '\r' || c == '\n') {
            out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        } else if (c >= 0x80) {
            const Utf8Sequence sequence = ReadUtf8(text.substr(i));
            if (sequence.length > 1) {
                out += text.substr(i, sequence.length);
                i += sequence.length - 1;
            } else {
                AppendHex(out, c);
            }
        } else if (PrintsAsItself(c)) {
            out += static_cast<char>(c);
        } else {
            AppendHex(out, c);
        }
    }
    return out + "\"";
}

std::string Key(uint8_t virtualKey, bool ctrl) {
    return std::string("key ") + (ctrl ? "ctrl " : "") + std::string(KeyName(virtualKey));
}

std::string Condition(const RuleCondition& condition) {
    std::string out(rulewords::WordOf(rulewords::Conditions, condition.kind));
    switch (condition.kind) {
    case RuleCondition::Kind::Length:
        out += " " + std::to_string(condition.minLength);
        if (condition.maxLength != condition.minLength) out += ".." + std::to_string(condition.maxLength);
        break;
    case RuleCondition::Kind::Gs1:
    case RuleCondition::Kind::Always:
        break;
    default:
        out += " " + Quoted(condition.text, condition.kind == RuleCondition::Kind::Pattern);
    }
    return out;
}

std::string Action(const RuleAction& action) {
    std::string out(rulewords::WordOf(rulewords::Actions, action.kind));
    switch (action.kind) {
    case RuleAction::Kind::StripStart:
    case RuleAction::Kind::StripEnd:
        return out + " " + std::to_string(action.count);
    case RuleAction::Kind::Replace:
    case RuleAction::Kind::ReplacePattern:
        return out + " " + Quoted(action.find, action.kind == RuleAction::Kind::ReplacePattern) + " with " +
               Quoted(action.text, false);
    case RuleAction::Kind::AddBefore:
    case RuleAction::Kind::AddAfter:
        return out + " " + (action.virtualKey != 0 ? Key(action.virtualKey, action.ctrl) : Quoted(action.text, false));
    default:
        return out;
    }
}

std::string Choice(const ControlChoice& choice) {
    switch (choice.kind) {
    case ControlChoice::Kind::Nothing:
        return "nothing";
    case ControlChoice::Kind::Text:
        return "text " + Quoted(choice.text, false);
    case ControlChoice::Kind::Key:
        return Key(choice.virtualKey, choice.ctrl);
    default:
        return "as-today";
    }
}

}  // namespace

std::string PrintRuleText(const ShapingSettings& settings) {
    std::string text;
    if (settings.encoding != TextEncoding::AsToday)
        text += "encoding " + std::string(rulewords::WordOf(rulewords::Encodings, settings.encoding)) + "\n";
    for (unsigned b = 0; b < 0x80; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        const ControlChoice& choice = settings.controls.For(byte);
        if (IsControlByte(byte) && choice.kind != ControlChoice::Kind::AsToday)
            text += "control " + std::string(rulewords::ControlWord(byte)) + " " + Choice(choice) + "\n";
    }
    for (const BarcodeRule& rule : settings.rules) {
        const bool always = rule.condition.kind == RuleCondition::Kind::Always;
        text += always ? "always " : "if " + Condition(rule.condition) + " then ";
        for (size_t i = 0; i < rule.actions.size(); ++i) text += (i ? "; " : "") + Action(rule.actions[i]);
        text += rule.andContinue ? " and continue\n" : "\n";
    }
    return text;
}
