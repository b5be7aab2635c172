// A rule's pattern: an ECMAScript regular expression (std::regex) that cannot
// run away. Plain C++.
//
// std::regex backtracks, so a pattern such as (a*)*b takes exponential time,
// and its matcher recurses once or more per character read. Three limits
// keep one search or replacement short on a barcode of at most a few
// hundred bytes, whatever the pattern:
//  - a pattern is at most MaxPatternBytes long, with no back reference or
//    count above 9999, and one the library finds too complex to build is
//    refused like any that does not compile;
//  - the matcher reads the text through an iterator that counts its steps:
//    past PatternStepBudget the search gives up;
//  - the same iterator watches the stack: deeper than PatternStackBudget
//    below where the search began, it gives up.
// A pattern that gives up matches nothing and replaces nothing, and says so.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

constexpr size_t MaxPatternBytes = 256;
constexpr size_t PatternStepBudget = 1'000'000;
constexpr size_t PatternStackBudget = 512 * 1024;  // a quarter of a thread's stack on Windows

class BoundedPattern {
public:
    // The pattern compiled, or nullopt with the reason in *problem.
    static std::optional<BoundedPattern> Compile(std::string_view pattern, std::string* problem = nullptr);

    enum class Outcome { Match, NoMatch, GaveUp, TooLong };
    // Whether the pattern matches anywhere in `text` (anchor it with ^ and $
    // to match the whole): Match, NoMatch or GaveUp.
    Outcome Search(std::string_view text) const;

    // Replaces every match in `text` by `format`, in which $1..$99 stand for
    // the groups, $& for the match, $` and $' for the text before and after
    // it and $$ for a dollar sign. Match: `out` holds the new text; NoMatch:
    // `out` holds `text`; GaveUp, or TooLong when the new text would pass
    // `maxBytes`: `out` is left as it was.
    Outcome Replace(std::string_view text, std::string_view format, size_t maxBytes, std::string& out) const;

private:
    explicit BoundedPattern(std::shared_ptr<const std::regex> regex) : regex_(std::move(regex)) {}
    std::shared_ptr<const std::regex> regex_;  // shared by copies: read only
};
