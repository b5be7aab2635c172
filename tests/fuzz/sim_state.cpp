// The simulator's state file, which every process that uses the simulator
// reads and any of them may have left half written: any bytes are either
// parsed into a state whose cursors are in order, or reported as damaged with
// a reason; a parsed state is written back as a file that reads as the same
// state, and the calls the simulator's exports make on it throw nothing.
#include <exception>

#include "sdksim/SimState.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using namespace sdksim;

bool CursorsInOrder(const SimScanner& s) {
    return s.delivered <= s.ready && s.ready <= s.stored && s.deliveredBytes <= s.readyBytes &&
           s.readyBytes <= s.storedBytes;
}

// What the exports do with a state between reading and writing it.
void UseState(SimState& state) {
    (void)SerialScannersInRange(state, INT32_MIN, INT32_MAX);
    (void)BluetoothScanners(state);
    for (SimScanner& s : state.scanners) {
        const FoundDeviceRecord record = RecordOf(s);
        (void)ScannerForConnection(state, record, SerialConnectionMode);
        (void)ScannerForConnection(state, record, BluetoothConnectionMode);
        const ScannerStatus status = StatusOf(s);
        const std::optional<ScannerStatus> reread = ParseStatusLine(FormatStatusLine(status));
        FUZZ_CHECK(reread && reread->name == s.name && reread->stored == s.stored && reread->ready == s.ready &&
                       reread->delivered == s.delivered,
                   "the status line %s does not read back", FormatStatusLine(status).c_str());
        (void)QueryCount(s);
        if (s.Waiting() > 0) MarkDelivered(s, 0);
        StoreScanned(s, {std::string("1")}, state.IsOpen(s.id));
        StartDownload(s);
        (void)QueryCount(s);
        DiscardReady(s);
        FUZZ_CHECK(CursorsInOrder(s), "scanner %s: cursors out of order after a scan, download and fetch",
                   s.name.c_str());
    }
    (void)BreachLines(state.breaches);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        Parsed<SimState> parsed = DecodeState(text);
        if (!parsed) {
            FUZZ_CHECK(!parsed.error.empty(), "damaged without a reason");
            return 0;
        }
        SimState& state = *parsed.value;
        for (const SimScanner& s : state.scanners)
            FUZZ_CHECK(CursorsInOrder(s) && IsValidScannerName(s.name), "scanner %s read with cursors out of order",
                       fuzz::Printable(s.name).c_str());
        const std::string written = EncodeState(state);
        Parsed<SimState> reread = DecodeState(written);
        FUZZ_CHECK(reread, "the state written back is damaged: %s\n%s", reread.error.c_str(),
                   fuzz::Printable(written).c_str());
        FUZZ_CHECK(EncodeState(*reread.value) == written, "the state written back reads as another one");
        UseState(state);
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, "exception %s", e.what());
    }
    return 0;
}
