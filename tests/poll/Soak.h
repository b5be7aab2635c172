// Random barcodes delivered end to end into the keystroke receiver, checked
// for loss, duplication, reordering and change. The CI test runs a few
// hundred; bench/run-soak.sh runs the full count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace polltest {

// Lengths 1 to 250; printable bytes, control bytes (0x00 to 0x1F, 0x7F) and
// bytes 0x80 to 0xFF. The same seed gives the same barcodes.
std::vector<std::string> RandomBarcodes(size_t count, uint32_t seed);

struct SoakOptions {
    size_t count = 200;
    uint32_t seed = 20261207;
    size_t chunk = 100;          // barcodes scanned at once
    bool progress = false;       // a line per chunk on standard output
};

struct SoakResult {
    bool ok = false;
    size_t delivered = 0;        // barcodes checked and found exact
    size_t characters = 0;
    double seconds = 0;          // from the first scan to the last check
    std::string failure;         // what went wrong, when not ok
};

// Needs a simulated scanner (PrepareSimulatedScanner); starts its own
// receiver and polling thread.
SoakResult RunSoak(const SoakOptions& options);

}  // namespace polltest
