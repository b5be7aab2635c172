#include "delivery/BoundedPattern.h"

#include <cstdint>
#include <iterator>

namespace {

// Thrown out of the matcher when a search used up its budget, and out of a
// replacement whose text grew past its limit.
struct GaveUp {};
struct TooLong {};

std::uintptr_t StackPosition() {
#if defined(__GNUC__) || defined(__clang__)
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#else
    volatile char here = 0;
    return reinterpret_cast<std::uintptr_t>(&here);
#endif
}

struct Budget {
    size_t stepsLeft = PatternStepBudget;
    std::uintptr_t stackBase = StackPosition();

    void Spend() {
        if (stepsLeft == 0) throw GaveUp{};
        --stepsLeft;
        // The stack grows down on every platform the program runs on.
        const std::uintptr_t here = StackPosition();
        if (here < stackBase && stackBase - here > PatternStackBudget) throw GaveUp{};
    }
};

// A text iterator that spends one step of its budget on each move, read and
// comparison: the matcher does one of these at least every few states it
// visits. A default-made one (inside match results) spends nothing.
class CountingIterator {
public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, Budget* budget) : at_(at), budget_(budget) {}

    reference operator*() const { return Spend(), *at_; }
    CountingIterator& operator++() { return Spend(), ++at_, *this; }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    CountingIterator& operator--() { return Spend(), --at_, *this; }
    CountingIterator operator--(int) {
        CountingIterator before = *this;
        --*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return Spend(), at_ == other.at_; }

private:
    void Spend() const {
        if (budget_) budget_->Spend();
    }
    const char* at_ = nullptr;
    Budget* budget_ = nullptr;
};

// Appends to a string, up to a limit.
class LimitedAppender {
public:
    using iterator_category = std::output_iterator_tag;
    using value_type = void;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = void;

    LimitedAppender(std::string& out, size_t limit) : out_(&out), limit_(limit) {}
    LimitedAppender& operator=(char c) {
        if (out_->size() >= limit_) throw TooLong{};
        out_->push_back(c);
        return *this;
    }
    LimitedAppender& operator*() { return *this; }
    LimitedAppender& operator++() { return *this; }
    LimitedAppender& operator++(int) { return *this; }

private:
    std::string* out_;
    size_t limit_;
};

const char* Problem(std::regex_constants::error_type code) {
    namespace rc = std::regex_constants;
    if (code == rc::error_escape) return "a backslash escape it does not know";
    if (code == rc::error_backref) return "a back reference to a group it does not have";
    if (code == rc::error_brack) return "a [ without its ]";
    if (code == rc::error_paren) return "a ( without its ), or a ) without its (";
    if (code == rc::error_brace) return "a { without its }";
    if (code == rc::error_badbrace) return "a count in { } it cannot read";
    if (code == rc::error_range) return "a range in [ ] that runs backwards";
    if (code == rc::error_badrepeat) return "*, +, ? or { } with nothing before it";
    if (code == rc::error_collate || code == rc::error_ctype) return "a character class it does not know";
    return "too complex";  // error_space, error_complexity, error_stack
}

size_t DigitsAt(std::string_view text, size_t at) {
    size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return end - at;
}

// True when a back reference (\12) or a count in braces ({2,12}) has more
// than four digits: the library reads such numbers into an int without a
// check, and a long one overflows inside it.
bool HasLongNumber(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            if (DigitsAt(pattern, i + 1) > 4) return true;
            ++i;  // the escaped character
        } else if (pattern[i] == '{') {
            const size_t low = DigitsAt(pattern, i + 1);
            const size_t comma = i + 1 + low;
            if (low > 4 || (comma < pattern.size() && pattern[comma] == ',' && DigitsAt(pattern, comma + 1) > 4))
                return true;
        }
    }
    return false;
}

}  // namespace

std::optional<BoundedPattern> BoundedPattern::Compile(std::string_view pattern, std::string* problem) {
    auto refuse = [&](std::string why) -> std::optional<BoundedPattern> {
        if (problem) *problem = std::move(why);
        return std::nullopt;
    };
    if (pattern.size() > MaxPatternBytes)
        return refuse("longer than " + std::to_string(MaxPatternBytes) + " characters");
    if (HasLongNumber(pattern)) return refuse("a back reference or a count above 9999");
    try {
        return BoundedPattern(std::make_shared<const std::regex>(pattern.begin(), pattern.end(),
                                                                 std::regex_constants::ECMAScript));
    } catch (const std::regex_error& error) {
        return refuse(Problem(error.code()));
    }
}

BoundedPattern::Outcome BoundedPattern::Search(std::string_view text) const {
    Budget budget;
    const CountingIterator first(text.data(), &budget), last(text.data() + text.size(), &budget);
    try {
        return std::regex_search(first, last, *regex_) ? Outcome::Match : Outcome::NoMatch;
    } catch (const GaveUp&) {
        return Outcome::GaveUp;
    } catch (const std::regex_error&) {  // error_complexity or error_stack from the matcher itself
        return Outcome::GaveUp;
    }
}

BoundedPattern::Outcome BoundedPattern::Replace(std::string_view text, std::string_view format, size_t maxBytes,
                                                std::string& out) const {
    Budget budget;
    const CountingIterator first(text.data(), &budget), last(text.data() + text.size(), &budget);
    std::string replaced;
    try {
        if (!std::regex_search(first, last, *regex_)) {
            out.assign(text);
            return Outcome::NoMatch;
        }
        std::regex_replace(LimitedAppender(replaced, maxBytes), first, last, *regex_, std::string(format));
        out = std::move(replaced);
        return Outcome::Match;
    } catch (const GaveUp&) {
        return Outcome::GaveUp;
    } catch (const TooLong&) {
        return Outcome::TooLong;
    } catch (const std::regex_error&) {
        return Outcome::GaveUp;
    }
}
