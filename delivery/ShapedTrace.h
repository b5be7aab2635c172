// A barcode's bytes become what is typed between the prefix and the
// suffixes: the strip setting cuts, then the shaping settings shape
// (BarcodeRules.h). And the text the formatted trace and the rules' preview
// show for it. Plain C++: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/FormatSettings.h"
#include "delivery/BarcodeRules.h"

// The strip setting's cut, then `shaper` (none: every byte typed as it is).
ShapedBarcode ShapeBarcode(const uint8_t* bytes, size_t length, int strip, const BarcodeShaper* shaper);

// What the records keep of a barcode typed as `units`: their trace text
// when the rules changed what the strip setting alone would type, else empty.
std::string ChangedTypedText(const uint8_t* bytes, size_t length, int strip, const TypedUnits& units);

// The prefix, the units and the two suffixes in the trace's notation, UTF-8
// (TypedUnitsTraceText). A prefix or suffix character, one character of the
// ANSI code page as the Format page stores it, is decoded by `ansi`.
std::string ShapedTraceText(const TypedUnits& units, const FormatSettings& format, const AnsiCodePage& ansi);

// What the trace and the preview say of a barcode a rule skipped: "<skipped
// by rule 2>" (rules counted from 1).
std::string SkippedTraceText(size_t rule);
