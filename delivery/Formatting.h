// The token vocabulary of the prefix and suffix settings, and the stripping
// rule. Plain C++: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr uint8_t VkCapsLock = 0x14;
constexpr uint16_t CtrlModifier = 2;

struct NamedToken {
    std::string_view name;      // as stored in the settings, e.g. "<ENTER>"
    uint8_t virtualKey;         // the key it presses; 0 for "None"
    std::string_view trace;     // e.g. "<Enter>"
    std::string_view ctrlTrace; // e.g. "<Ctrl Enter>"
};

// "None", "<ENTER>", "<TAB>", "<SPACE>", "<LEFT>", "<RIGHT>", "<UP>", "<DOWN>",
// in the order the Format page lists them.
inline constexpr NamedToken TokenTable[] = {
    {"None", 0, "", "<Ctrl>"},
    {"<ENTER>", 0x0D, "<Enter>", "<Ctrl Enter>"},
    {"<TAB>", 0x09, "<Tab>", "<Ctrl Tab>"},
    {"<SPACE>", 0x20, "<Space>", "<Ctrl Space>"},
    {"<LEFT>", 0x25, "<Left>", "<Ctrl Left>"},
    {"<RIGHT>", 0x27, "<Right>", "<Ctrl Right>"},
    {"<UP>", 0x26, "<Up>", "<Ctrl Up>"},
    {"<DOWN>", 0x28, "<Down>", "<Ctrl Down>"},
};

// The table entry whose name equals token exactly (case counts), if any.
const NamedToken* FindNamedToken(std::string_view token);

// Tells whether a byte of the system ANSI code page starts a double-byte
// character (single-byte code pages have no such bytes).
using LeadByteTest = bool (*)(unsigned char byte);

// The bytes of the one character that a custom token stands for: its first
// character, two bytes when the first is a lead byte followed by a trail
// byte, else one. The empty token stands for its terminating NUL.
std::string_view TokenCharacter(std::string_view token, LeadByteTest isLeadByte);

// Trace text of a prefix or suffix token.
std::string TokenDisplayText(std::string_view token, int ctrl);

// The part of a barcode that is typed after cutting `strip` leading bytes:
// [first, first + count). Both values are read as signed 16-bit numbers.
struct ByteRange {
    size_t first = 0;
    size_t count = 0;
};
ByteRange StrippedRange(size_t length, int strip);
