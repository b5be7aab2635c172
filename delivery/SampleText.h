// A barcode written as a line of text, as the Barcode Rules dialog's sample
// takes it: characters as their UTF-8 bytes, and escapes (a doubled
// backslash, \t, \r, \n and \xHH) for the bytes a keyboard cannot type.
// Plain C++: no Windows headers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct SampleBytes {
    std::string bytes;   // the barcode; empty when the text has an error
    std::string error;   // "column 4: ..." for the first bad escape, else empty
};

// The barcode a line of UTF-8 text stands for.
SampleBytes ParseSampleText(std::string_view utf8);

// The line of text for a barcode's bytes: valid UTF-8 characters as they are,
// a backslash doubled, tab, carriage return and line feed as \t \r \n, every
// other control byte and every byte that makes no UTF-8 character as \xHH.
// ParseSampleText of it gives the same bytes back.
std::string SampleTextOf(std::string_view bytes);
