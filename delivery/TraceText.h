// The text that the Trace page shows for one barcode: the raw bytes with
// control characters named, or what would be typed (prefix, stripped
// barcode, suffixes). Plain C++: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "delivery/FormatSettings.h"

// "<NUL>" .. "<US>" for bytes 0 to 31, "<DEL>" for 127; empty for any other byte.
std::string_view ControlCharName(uint8_t byte);

// Each byte in order, replaced by its control-character name when it has one.
// The whole barcode is shown, however long it is. This is also the trace text
// of a barcode in raw mode ("&Scanner"): no stripping, no prefix or suffix.
std::string RawDisplayText(const uint8_t* bytes, size_t count);

// Trace text of one barcode in formatted mode ("&Vask"): prefix token, the
// barcode without its first `strip` bytes, first and second suffix tokens.
std::string FormattedTraceText(const uint8_t* bytes, size_t length, const FormatSettings& format);
