// How fast the program types, for programs that drop keys when they come
// too fast (a browser on a slow machine, a remote desktop, a terminal): a
// delay between two keys of a barcode and a delay after each barcode. Both
// 0 by default: as fast as the window reads them.
#pragma once

#include <algorithm>
#include <cstdint>

struct TypingPace {
    static constexpr uint32_t MaxKeyDelayMs = 200;
    static constexpr uint32_t MaxBarcodeDelayMs = 2000;

    uint32_t keyDelayMs = 0;      // between two keys of one barcode
    uint32_t barcodeDelayMs = 0;  // after the last key of a barcode

    // A pace within its limits, whatever was stored.
    static TypingPace Within(uint32_t keyDelayMs, uint32_t barcodeDelayMs) {
        return {std::min(keyDelayMs, MaxKeyDelayMs), std::min(barcodeDelayMs, MaxBarcodeDelayMs)};
    }
};
