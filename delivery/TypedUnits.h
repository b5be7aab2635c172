// What a shaped barcode is typed as, one unit after another, and how the
// Trace page writes those units. Plain C++: no Windows headers.
//
// A unit is one of three things the typist can send:
//  - a byte typed as today: the character U+0000..U+00FF of that value, as
//    TypeBarcodeBytes sends each byte of a barcode;
//  - a Unicode character (a code point, U+0080 and up when it comes from a
//    text encoding);
//  - a named key of TokenTable (its virtual key), with or without Ctrl.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/Formatting.h"

struct TypedUnit {
    enum class Kind : uint8_t { Byte, Character, Key };
    Kind kind = Kind::Byte;
    bool ctrl = false;   // a key pressed with Ctrl (keys only)
    char32_t value = 0;  // the byte, the code point or the virtual key

    static constexpr TypedUnit Byte(uint8_t byte) { return {Kind::Byte, false, byte}; }
    static constexpr TypedUnit Character(char32_t codePoint) { return {Kind::Character, false, codePoint}; }
    static constexpr TypedUnit Key(uint8_t virtualKey, bool ctrl) { return {Kind::Key, ctrl, virtualKey}; }
    bool operator==(const TypedUnit&) const = default;
};
using TypedUnits = std::vector<TypedUnit>;

// The TokenTable key called `name` without its angle brackets, in any case
// ("TAB", "enter"); nullptr for "None" and every other word.
const NamedToken* FindKeyName(std::string_view name);

// The rule text's name of a TokenTable key ("TAB" for VK_TAB); empty for a
// virtual key the table does not hold.
std::string_view KeyName(uint8_t virtualKey);

// The units in the Trace page's formatted notation, as UTF-8 (a character
// beyond U+00FF has no place in the page's ANSI text): control bytes by
// their names as RawDisplayText writes them ("<GS>", "<CR>"), any other byte
// as the character U+0000..U+00FF it types, characters as themselves (one
// that is no Unicode scalar value as U+FFFD), keys by their trace names
// ("<Tab>", "<Ctrl Enter>"; a key outside TokenTable as "<Key 0x41>").
std::string TypedUnitsTraceText(const TypedUnits& units);
