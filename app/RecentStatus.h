// The Recent Barcodes window's status line, which its commands and the Type
// Again flow write to, and the counts they write in it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "res/resource.h"

inline void SetRecentStatus(HWND dialog, const std::string& text) {
    ::SetDlgItemTextA(dialog, IDC_RECENT_STATUS, text.c_str());
}

// "1 barcode", "3 barcodes".
inline std::string Plural(size_t n, const char* one) {
    return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}
