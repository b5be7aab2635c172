// Texts of the About page. Plain C++: no Windows headers.
#pragma once

#include <cstdint>
#include <string>

// "Brontel Vask v<major>.<minor>", from the product version in the program's
// version record.
std::string ProgramVersionLine(unsigned major, unsigned minor);

// "Scanner SDK v<version>", built in a 32-character buffer as the page
// always has: a longer line would be cut, never overrun.
constexpr size_t SdkVersionBufferSize = 32;
std::string SdkVersionLine(int32_t version);
