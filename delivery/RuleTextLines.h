// One-click changes to the rule text (RuleText.h) that keep the user's other
// lines as they are: the `encoding` line and a `control NAME ...` line set,
// replaced or taken out. Plain C++: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "delivery/BarcodeRules.h"

// The text with its encoding line saying `encoding`: the first encoding line
// is replaced where it stands (a new one goes first), any further ones are
// taken out; as-today, the default, takes every encoding line out. Lines
// are apart by LF.
std::string WithEncodingLine(std::string_view text, TextEncoding encoding);

// The same for the control line of one control byte (0x1D: `control GS
// ...`); a new one goes after the encoding and control lines at the top,
// else first; as-today takes it out.
std::string WithControlLine(std::string_view text, uint8_t byte, const ControlChoice& choice);
