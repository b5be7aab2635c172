// GS1 element strings, as a scanner sends a GS1-128, GS1 DataMatrix or GS1 QR
// Code barcode: application identifiers (AIs) of 2 to 4 digits, each
// followed by its data field; a variable-length field ends at a group
// separator (0x1D, which stands for FNC1) or at the end. Plain C++.
//
// The AIs and their field formats are GS1's published list. A fixed-length
// field ends at its length, whether or not a group separator follows it (one
// that does is skipped). Fields are checked against their character sets:
// digits, GS1's 82 characters (file-safe printable ASCII), its 39 (CPID) or
// its 64 (base64url).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr char Gs1GroupSeparator = '\x1D';

struct Gs1Field {
    std::string_view identifier;  // "01", "3103", "7030"
    std::string_view data;        // without a group separator
    bool operator==(const Gs1Field&) const = default;
};

struct Gs1Parse {
    std::vector<Gs1Field> fields;  // views into the parsed text
    std::string error;             // empty when the whole text parsed
    size_t errorAt = 0;            // byte offset of the error
    bool Parsed() const { return error.empty(); }
};

// Reads a whole element string: at least one field, nothing left over.
Gs1Parse ParseGs1(std::string_view elementString);

// The element string with each AI in parentheses and no group separators
// ("(01)09501101020917(10)ABC123"); nullopt when it does not parse.
std::optional<std::string> Gs1WithParentheses(std::string_view elementString);
