#include "delivery/RuleTokens.h"

namespace ruletext {

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<Token> Tokens(std::string_view line) {
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < line.size()) {
        const char c = line[at];
        if (c == ' ' || c == '\t') {
            ++at;
        } else if (c == '#') {
            break;
        } else if (c == ';') {
            tokens.push_back({Token::Kind::Semicolon, line.substr(at, 1), at});
            ++at;
        } else if (c == '"') {
            size_t end = at + 1;
            while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
            if (end >= line.size()) throw LineError{at, "a text without its closing quote"};
            tokens.push_back({Token::Kind::Text, line.substr(at, end + 1 - at), at});
            at = end + 1;
        } else {
            size_t end = at;
            while (end < line.size() && std::string_view(" \t#;\"").find(line[end]) == std::string_view::npos) ++end;
            tokens.push_back({Token::Kind::Word, line.substr(at, end - at), at});
            at = end;
        }
    }
    tokens.push_back({Token::Kind::End, {}, line.size()});
    return tokens;
}

}  // namespace ruletext
