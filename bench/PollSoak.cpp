// vask-soak: random barcodes (lengths 1 to 250, control bytes, bytes 0x80 to
// 0xFF) from the simulated scanner through the polling thread into the
// keystroke receiver; fails on the first lost, duplicated, reordered or
// changed character.   vask-soak.exe [COUNT [SEED]]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "config/Application.h"
#include "tests/poll/PollHarness.h"
#include "tests/poll/Soak.h"

int main(int argc, char** argv) {
    polltest::SoakOptions options;
    options.count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    if (argc > 2) options.seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    options.progress = true;
    if (!polltest::PrepareSimulatedScanner()) return std::printf("the simulated scanner could not be prepared\n"), 1;
    App.SetFormat(FormatSettings{});
    std::printf("soak: %zu random barcodes, seed %u, %zu per scan\n", options.count, options.seed, options.chunk);
    std::fflush(stdout);
    const polltest::SoakResult r = polltest::RunSoak(options);
    if (!r.ok) {
        std::printf("soak FAILED after %zu exact barcodes: %s\n", r.delivered, r.failure.c_str());
        return 1;
    }
    std::printf("soak passed: %zu barcodes, %zu characters, none lost, duplicated, reordered or changed; "
                "%.1f s (%.0f barcodes/s, %.0f characters/s)\n",
                r.delivered, r.characters, r.seconds, r.delivered / r.seconds, r.characters / r.seconds);
    return 0;
}
