#include "tests/poll/Soak.h"

#include <cstdio>
#include <random>

#include "tests/poll/PollHarness.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"

namespace polltest {
namespace {

constexpr DWORD StallMs = 20000;  // no new character for this long: something was lost

uint8_t RandomByte(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 9), printable(0x20, 0x7E), control(0, 0x20), high(0x80, 0xFF);
    const int k = kind(rng);
    if (k < 5) return static_cast<uint8_t>(printable(rng));
    if (k < 7) {
        const int c = control(rng);
        return static_cast<uint8_t>(c == 0x20 ? 0x7F : c);
    }
    return static_cast<uint8_t>(high(rng));
}

std::wstring Expected(const std::vector<std::string>& barcodes, size_t first, size_t end) {
    std::wstring text;
    for (size_t i = first; i < end; ++i) text += AsTyped(barcodes[i]) + L"\r";
    return text;
}

// Which barcode of the chunk holds position `at` of its expected text.
size_t BarcodeAt(const std::vector<std::string>& barcodes, size_t first, size_t at) {
    size_t i = first;
    for (size_t end = 0; i < barcodes.size(); ++i) {
        end += barcodes[i].size() + 1;
        if (at < end) break;
    }
    return i;
}

std::string Difference(const std::vector<std::string>& barcodes, size_t first, const std::wstring& expected,
                       const std::wstring& arrived) {
    size_t at = 0;
    while (at < expected.size() && at < arrived.size() && expected[at] == arrived[at]) ++at;
    char text[200];
    std::snprintf(text, sizeof text,
                  "barcode %zu differs at character %zu of its chunk: expected %zu characters, %zu arrived "
                  "(expected U+%04X, got U+%04X)",
                  BarcodeAt(barcodes, first, at), at, expected.size(), arrived.size(),
                  at < expected.size() ? unsigned(expected[at]) : 0u,
                  at < arrived.size() ? unsigned(arrived[at]) : 0u);
    return text;
}

// Waits until at least `size` characters have arrived, as long as they keep coming.
std::wstring AwaitCharacters(testsupport::KeyReceiver& receiver, size_t size) {
    std::wstring text = receiver.Text();
    DWORD lastGrowth = ::GetTickCount();
    size_t seen = text.size();
    while (text.size() < size && ::GetTickCount() - lastGrowth < StallMs) {
        ::Sleep(20);
        text = receiver.Text();
        if (text.size() != seen) {
            seen = text.size();
            lastGrowth = ::GetTickCount();
        }
    }
    (void)receiver.WaitForQuiet(150, 2000);  // late duplicates would show now
    return receiver.Text();
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

std::vector<std::string> RandomBarcodes(size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> length(1, 250);
    std::vector<std::string> barcodes(count);
    for (std::string& b : barcodes) {
        b.resize(length(rng));
        for (char& c : b) c = static_cast<char>(RandomByte(rng));
    }
    return barcodes;
}

SoakResult RunSoak(const SoakOptions& options) {
    SoakResult result;
    const std::vector<std::string> barcodes = RandomBarcodes(options.count, options.seed);
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready()) return result.failure = "the keystroke receiver did not start", result;
    ScannerConnection connection;
    if (!connection.StartPolling()) return result.failure = "the scanner connection did not open", result;

    LARGE_INTEGER start, now;
    ::QueryPerformanceCounter(&start);
    for (size_t first = 0; first < barcodes.size(); first += options.chunk) {
        const size_t end = std::min(barcodes.size(), first + options.chunk);
        if (!receiver.HasFocus() && !receiver.Focus())
            return result.failure = "the receiver lost the keyboard focus", result;
        const std::vector<std::string> chunk(barcodes.begin() + first, barcodes.begin() + end);
        if (auto scanned = Scan(chunk); !scanned) return result.failure = scanned.message(), result;
        const std::wstring expected = Expected(barcodes, first, end);
        const std::wstring arrived = AwaitCharacters(receiver, expected.size());
        if (arrived != expected) return result.failure = Difference(barcodes, first, expected, arrived), result;
        receiver.Clear();
        result.delivered = end;
        result.characters += expected.size();
        ::QueryPerformanceCounter(&now);
        result.seconds = Seconds(start, now);
        if (options.progress) {
            std::printf("  %zu of %zu barcodes exact, %zu characters, %.1f s\n", end, barcodes.size(),
                        result.characters, result.seconds);
            std::fflush(stdout);
        }
    }
    const auto delivered = Delivered();
    if (!delivered || *delivered != barcodes.size())
        return result.failure = "the scanner did not hand over every barcode exactly once", result;
    if (!connection.StopPolling()) return result.failure = "the polling thread did not end", result;
    if (auto clean = testsupport::sim::NoBreaches(); !clean) return result.failure = clean.message(), result;
    result.ok = true;
    return result;
}

}  // namespace polltest
