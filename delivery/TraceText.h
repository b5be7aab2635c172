// The text that the Trace page shows for one barcode: the raw bytes with
// control characters named, or what would be typed (prefix, stripped
// barcode, suffixes). Plain C++: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/FormatSettings.h"

// The Trace page's text box holds up to two million characters: some fifty
// thousand barcodes, a long day of scanning. (The rich edit control's own
// default, 32,767, fills within hours, and then it refuses further text.)
constexpr size_t TraceTextLimit = 2'000'000;

// How many of the oldest characters of a trace of `length` characters must
// go before `added` more fit under `limit`: none while they fit, else enough
// to make room and an eighth of the limit more, so that a full trace is cut
// once in a while rather than at every barcode. Never more than the whole.
size_t TraceCharsToDrop(size_t length, size_t added, size_t limit);

// "<NUL>" .. "<US>" for bytes 0 to 31, "<DEL>" for 127; empty for any other byte.
std::string_view ControlCharName(uint8_t byte);

// Each byte in order, replaced by its control-character name when it has one.
// The whole barcode is shown, however long it is. This is also the trace text
// of a barcode in raw mode ("&Scanner"): no stripping, no prefix or suffix.
std::string RawDisplayText(const uint8_t* bytes, size_t count);

// Trace text of one barcode in formatted mode ("&Vask"): prefix token, the
// barcode without its first `strip` bytes, first and second suffix tokens.
std::string FormattedTraceText(const uint8_t* bytes, size_t length, const FormatSettings& format);
