// How a barcode's bytes become the characters that are typed. Plain C++: the
// system ANSI code page comes in as two callbacks (the platform's), so the
// rest is tested natively.
//
//  - AsToday: each byte its own character (U+0000..U+00FF), as the program
//    always typed them. The default.
//  - Ansi: the system ANSI code page; a lead byte and its trail byte make one
//    character. A lead byte is never paired with a control byte, so a
//    control byte keeps its own choice (ControlChoices).
//  - Utf8: each valid multi-byte sequence one character.
//  - Automatic: Utf8 for a text that is valid UTF-8 and holds at least one
//    multi-byte sequence, AsToday for any other.
// Bytes below 0x80 are bytes typed as today in every encoding, and a byte
// that does not decode (a stray UTF-8 byte, a code page byte without a
// character) is typed as today: nothing is ever dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "delivery/Formatting.h"
#include "delivery/TypedUnits.h"

enum class TextEncoding : uint8_t { AsToday, Ansi, Utf8, Automatic };

// One character of the ANSI code page (one byte, or a lead byte and a trail
// byte) as its code point; nullopt when the code page has none for it.
using AnsiDecoder = std::optional<char32_t> (*)(std::string_view character);

// The system ANSI code page. Without a decoder its bytes are typed as today;
// without a lead-byte test it has no double-byte characters.
struct AnsiCodePage {
    LeadByteTest isLeadByte = nullptr;
    AnsiDecoder decode = nullptr;
};

// The valid UTF-8 sequence at the front of `bytes`: its length and code
// point. Length 0 when none starts there: an empty text, a continuation
// byte, an overlong form, a surrogate, a code point above U+10FFFF or a
// sequence cut short.
struct Utf8Sequence {
    size_t length = 0;
    char32_t codePoint = 0;
};
Utf8Sequence ReadUtf8(std::string_view bytes);

// True when `bytes` is valid UTF-8 holding at least one multi-byte sequence.
bool HoldsMultiByteUtf8(std::string_view bytes);

// The encoding that reads `text`: Automatic made Utf8 or AsToday.
TextEncoding ResolveEncoding(TextEncoding encoding, std::string_view text);

// The character at the front of `rest` (not empty) in a resolved encoding:
// how many bytes it takes and the unit that types it.
struct TextCharacter {
    size_t length = 1;
    TypedUnit unit;
};
TextCharacter ReadCharacter(std::string_view rest, TextEncoding resolved, const AnsiCodePage& ansi);

// How many characters `text` holds in a resolved encoding.
size_t CharacterCount(std::string_view text, TextEncoding resolved, const AnsiCodePage& ansi);

// The byte offset of character `index` of `text` in a resolved encoding; the
// text's size when it holds no more than `index` characters.
size_t CharacterOffset(std::string_view text, size_t index, TextEncoding resolved, const AnsiCodePage& ansi);

// Appends the units that type `text`, its encoding resolved for it alone.
void AppendTextUnits(std::string_view text, TextEncoding encoding, const AnsiCodePage& ansi, TypedUnits& out);
