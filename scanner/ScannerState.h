// What the program knows of its scanner beyond the settings: the open SDK
// connection, the start-up outcome the Connections page has still to show,
// the status line's text and colour, whether a scanner is activated, and the
// last search's scanners.
//
// Threads: owned by the user-interface thread. The activation retry thread
// also opens and closes the connection (Connection) and writes State,
// ConnectionStatusText, StatusIsError and ScannerConnected, which the page
// reads when it next shows: hence the atomics and the guarded text. The
// search results are touched by the user-interface thread only.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "config/Guarded.h"
#include "scanner/ConnectionState.h"
#include "sdk/FoundDeviceRecord.h"

constexpr int MaxFoundDevices = 8;

struct ScannerState {
    // The SDK handle of the open connection; 0 = none open. Activation (on the
    // user-interface or the retry thread) stores it, deactivation takes it with
    // an exchange, so only one of them closes it; the polling thread gets its
    // own copy when it starts and never reads this.
    std::atomic<uint32_t> Connection{0};
    std::atomic<ConnectionState> State{ConnectionState::NothingPending};
    Guarded<std::string> ConnectionStatusText;
    std::atomic<bool> StatusIsError{false};     // the status line is drawn red
    std::atomic<bool> ScannerConnected{false};  // an activated scanner is being polled

    std::array<std::string, MaxFoundDevices> FoundDeviceNames{};  // the list's entries by slot
    std::array<FoundDeviceRecord, MaxFoundDevices> FoundDevices{};
    int SelectedDevice = 0;
    bool ScannersFound = false;  // the last search found any: their records may be configured
};

static_assert(std::atomic<ConnectionState>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The program's one scanner.
extern ScannerState Scanner;
