// The words, quoted texts and semicolons of one line of the rule text
// (grammar in RuleText.h), with where each begins. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruletext {

struct Token {
    enum class Kind : uint8_t { Word, Text, Semicolon, End };
    Kind kind = Kind::End;
    std::string_view source;  // a text with its quotes
    size_t offset = 0;        // in the line
};

// A line's first error: where and what. Thrown by Tokens and the line's parser.
struct LineError {
    size_t offset;
    std::string message;
};

// Whether two words are the same, ignoring the case of ASCII letters.
bool SameWord(std::string_view a, std::string_view b);

// The value of a hexadecimal digit, or -1.
int HexValue(char c);

// The line's tokens up to a # outside a text, ending with an End token.
// Throws LineError for a text without its closing quote.
std::vector<Token> Tokens(std::string_view line);

}  // namespace ruletext
