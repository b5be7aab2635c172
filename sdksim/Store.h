// Where the scanner simulator keeps its state, shared by every process that
// loads the simulated SDK and by vask-sim: a folder (VASK_SIM_DIR, or
// "Zantrovix\VantuPlus SDK Simulator" under the common application data
// folder) holding state.txt and one append-only barcode log per scanner.
// One named mutex serialises every access, across threads and processes; the
// state file is replaced whole (written beside, then renamed), so a process
// that dies mid-call leaves the previous state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdksim/SimState.h"

namespace sdksim {

std::string StateFolder();

// Holds the simulator's mutex for its lifetime (waits at most timeoutMs).
class StateLock {
public:
    explicit StateLock(DWORD timeoutMs = 10000);
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    bool Held() const { return held_; }

private:
    bool held_ = false;
};

// Everything below expects the StateLock to be held.
// A missing state file gives the empty state.
Parsed<SimState> LoadState();
bool SaveState(const SimState& state);
// Writes the barcodes' log records at the scanner's storedBytes (cutting off
// anything a failed call may have left after it), each barcode `repeat`
// times in a row, in pieces of bounded size however many there are. The
// bytes written, or nullopt on failure.
std::optional<uint64_t> AppendBarcodes(const SimScanner& scanner, const std::vector<std::string>& barcodes,
                                       uint32_t repeat = 1);
// The barcode whose log record starts at offset.
std::optional<std::string> ReadBarcode(uint32_t scannerId, uint64_t offset);
void RemoveBarcodeLog(uint32_t scannerId);
void RemoveAllBarcodeLogs();

// Processes that own handles.
struct ProcessIdentity {
    uint32_t pid = 0;
    uint64_t start = 0;  // creation time, so a reused id is told apart
};
ProcessIdentity CurrentProcess();
bool OwnedByCurrentProcess(const SimHandle& handle);
// Drops the handles of processes that have ended; true when any was dropped.
// A process that ended with a handle open broke the contract: each is
// recorded as a breach unless `quietly`.
bool DropEndedHandles(SimState& state, bool quietly = false);
std::string EndedWithHandleOpen(const SimHandle& handle);

// Runs call(state, changed) with the lock held and the state loaded, and
// saves the state afterwards if call set changed. Returns call's result, or
// ResultStateUnavailable when the state cannot be read or written.
template <typename Call>
uint32_t WithState(Call&& call) {
    StateLock lock;
    if (!lock.Held()) return ResultStateUnavailable;
    auto loaded = LoadState();
    if (!loaded) return ResultStateUnavailable;
    bool changed = false;
    uint32_t result = call(*loaded.value, changed);
    if (changed && !SaveState(*loaded.value)) return ResultStateUnavailable;
    return result;
}

}  // namespace sdksim
