// Texts of the About page. Plain C++: no Windows headers.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char ProgramVersionText[] = "Brontel Vask v2.1";

// "Scanner SDK v<version>", built in a 32-character buffer as the page
// always has: a longer line would be cut, never overrun.
constexpr size_t SdkVersionBufferSize = 32;
std::string SdkVersionLine(int32_t version);
