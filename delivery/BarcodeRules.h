// Shaping a barcode before it is typed: rules, the text encoding of its
// bytes and a choice for each control byte. Plain C++: no Windows headers.
//
// The format settings keep their meaning and their place around this:
//  1. the strip setting cuts the barcode's first bytes, as ever;
//  2. the rules, in their order: the first whose condition holds applies its
//     actions, and the others are not looked at, unless it says "and
//     continue". Conditions and text actions see the barcode as the rules
//     before have left it. Texts compare and replace as bytes; lengths and
//     strip counts are in characters of the text encoding (a UTF-8 sequence
//     or a double-byte character is one);
//  3. the barcode's bytes become units by the text encoding, and each control
//     byte among them by its choice;
//  4. what the rules added goes around it: each "add before" in front of
//     everything added so far, each "add after" behind it. Added texts are
//     typed in the text encoding, their control bytes as today;
//  5. the prefix in front of all that and the two suffixes after it.
// With no rules, no control choices and the encoding "as today", every byte
// is typed as today.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/BoundedPattern.h"
#include "delivery/TextEncoding.h"
#include "delivery/TypedUnits.h"

// Rules never make a barcode longer than this: an action that would is
// left undone. (A scanner's barcode is at most 256 bytes.)
constexpr size_t MaxShapedBytes = 1024;

// What a control byte (0x00..0x1F, 0x7F) of the barcode is typed as.
struct ControlChoice {
    enum class Kind : uint8_t { AsToday, Nothing, Text, Key };
    Kind kind = Kind::AsToday;
    std::string text;        // Text: typed in the text encoding, its control bytes as today
    uint8_t virtualKey = 0;  // Key: a TokenTable key
    bool ctrl = false;       // Key: pressed with Ctrl
    bool operator==(const ControlChoice&) const = default;
};

bool IsControlByte(uint8_t byte);

// A choice for each control byte; every other byte is typed by the encoding.
class ControlChoices {
public:
    const ControlChoice& For(uint8_t byte) const;
    void Set(uint8_t byte, ControlChoice choice);  // ignored for a byte that is no control byte
    bool operator==(const ControlChoices&) const = default;

private:
    static size_t Slot(uint8_t byte) { return byte == 0x7F ? 32 : byte; }
    std::array<ControlChoice, 33> choices_;
};

// The GS1 preset: the group separator (0x1D) that ends a GS1 barcode's
// variable-length fields, typed as `choice`.
void SetGs1Separator(ControlChoices& choices, ControlChoice choice);

struct RuleCondition {
    enum class Kind : uint8_t { Always, BeginsWith, EndsWith, Contains, Length, Pattern, Gs1 };
    Kind kind = Kind::Always;
    std::string text;  // BeginsWith, EndsWith, Contains: the text; Pattern: the pattern
    size_t minLength = 0, maxLength = 0;  // Length, in characters, both included
    bool operator==(const RuleCondition&) const = default;
};

struct RuleAction {
    enum class Kind : uint8_t {
        StripStart, StripEnd, Replace, ReplacePattern, AddBefore, AddAfter, Gs1Parentheses, Skip
    };
    Kind kind = Kind::Skip;
    size_t count = 0;        // StripStart, StripEnd: characters
    std::string find;        // Replace: the text; ReplacePattern: the pattern
    std::string text;        // Replace, ReplacePattern: what replaces it; AddBefore, AddAfter: the text
    uint8_t virtualKey = 0;  // AddBefore, AddAfter: a TokenTable key instead of the text
    bool ctrl = false;       // the key pressed with Ctrl
    bool operator==(const RuleAction&) const = default;
};

struct BarcodeRule {
    RuleCondition condition;
    std::vector<RuleAction> actions;
    bool andContinue = false;  // later rules are looked at too
    bool operator==(const BarcodeRule&) const = default;
};

struct ShapingSettings {
    TextEncoding encoding = TextEncoding::AsToday;
    ControlChoices controls;
    std::vector<BarcodeRule> rules;
    bool operator==(const ShapingSettings&) const = default;
};

struct ShapedBarcode {
    bool skipped = false;             // a rule said skip: nothing is typed
    std::optional<size_t> skippedBy;  // the index of that rule
    TypedUnits units;                 // what is typed between the prefix and the suffixes
    std::vector<size_t> appliedRules; // the indexes of the rules whose actions applied
    bool patternGaveUp = false;       // a pattern ran out of its budget (BoundedPattern.h)
};

// The settings with their patterns compiled once; Shape may be called from
// any thread. A pattern that does not compile matches nothing and replaces
// nothing (the rule text refuses such a pattern before it gets here).
class BarcodeShaper {
public:
    explicit BarcodeShaper(ShapingSettings settings, AnsiCodePage ansi = {});
    ShapedBarcode Shape(std::string_view barcode) const;

private:
    struct Compiled {
        std::optional<BoundedPattern> condition;
        std::vector<std::optional<BoundedPattern>> actions;
    };
    struct Work;
    bool Holds(size_t rule, const std::string& text, Work& work) const;
    bool Apply(const RuleAction& action, const std::optional<BoundedPattern>& pattern, Work& work) const;
    void Type(const Work& work, TypedUnits& units) const;

    ShapingSettings settings_;
    AnsiCodePage ansi_;
    std::vector<Compiled> compiled_;
};
