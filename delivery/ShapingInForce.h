// The shaping settings in force: the text under "BarcodeRules" (the
// policy's, else the user's; UserOptions.h) parsed and compiled, once for
// each change of the text. Lines with errors are left out.
#pragma once

#include <memory>

#include "delivery/BarcodeRules.h"

// The system ANSI code page, for the text encoding "ansi" and for decoding
// prefix and suffix characters.
AnsiCodePage SystemAnsiCodePage();

// The shaper in force now, shared by whoever shapes with it; none while the
// settings are the defaults (every byte typed as it is). Any thread.
std::shared_ptr<const BarcodeShaper> ShaperInForce();

// The shaper of a profile's rules text (UTF-8), compiled once for each text
// while the profiles stay as they are. Any thread.
std::shared_ptr<const BarcodeShaper> ShaperOfRules(const std::string& text);
