// What the program knows of its scanner beyond the settings: the open SDK
// connection, the start-up outcome the Connections page has still to show,
// the status line's text and colour, whether a scanner is activated, and the
// last search's scanners.
//
// Threads: the scanner worker and the activation retry thread write it
// through the operations below, and so does the user-interface thread (a
// Connections page settling the start-up outcome it showed, the status line
// of a scanner lost or found again); the pages read it when they next show:
// hence the atomics and the guarded text. The search results are written by
// the scanner worker while the page waits for it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "config/Guarded.h"
#include "scanner/ConnectionState.h"
#include "sdk/FoundDeviceRecord.h"

constexpr int MaxFoundDevices = 8;

class ScannerState {
public:
    // The SDK handle of the open connection; 0 = none open. Activation (on the
    // scanner worker or the retry thread) stores it, deactivation takes it, so
    // only one of them closes it; the polling thread gets its own copy when it
    // starts and never reads this.
    uint32_t Connection() const { return connection_.load(); }
    void StoreConnection(uint32_t handle) { connection_ = handle; }
    // Records handle as the open connection unless another one is open.
    void AdoptConnectionIfNone(uint32_t handle) {
        uint32_t none = 0;
        (void)connection_.compare_exchange_strong(none, handle);
    }
    // Forgets handle if it is still the open connection.
    void ForgetConnection(uint32_t handle) { (void)connection_.compare_exchange_strong(handle, 0); }
    // Takes the open connection for closing: no other caller gets it too.
    uint32_t TakeConnection() { return connection_.exchange(0); }

    // The start-up outcome the Connections page has still to show.
    ConnectionState Pending() const { return pending_.load(); }
    void SetPending(ConnectionState state) { pending_ = state; }

    // The status line's lasting text and colour.
    std::string StatusText() const { return statusText_.Get(); }
    bool StatusIsError() const { return statusIsError_.load(); }
    void SetStatus(const std::string& text, bool isError) {
        statusIsError_ = isError;
        statusText_.Set(text);
    }
    void SetStatusText(const std::string& text) { statusText_.Set(text); }
    void SetStatusIsError(bool isError) { statusIsError_ = isError; }

    // Whether an activated scanner is being polled.
    bool Polled() const { return polled_.load(); }
    void MarkPolled() { polled_ = true; }
    void MarkNotPolled() { polled_ = false; }
    // An activated scanner is polled from now on, the status says so.
    void MarkActivated(const std::string& message) {
        SetStatus(message, false);
        MarkPolled();
    }
    // No scanner is polled any longer; the status says why.
    void MarkNotConnected(const std::string& message, bool isError) {
        SetStatus(message, isError);
        MarkNotPolled();
    }

    // The last search's scanners: the list's entries by slot, their records,
    // the chosen slot, and whether the search found any (their records may
    // then be configured).
    const std::array<std::string, MaxFoundDevices>& FoundNames() const { return foundNames_; }
    const FoundDeviceRecord& FoundRecord(size_t slot) const { return foundRecords_[slot]; }
    int SelectedSlot() const { return selectedSlot_; }
    bool ScannersFound() const { return scannersFound_; }
    void ForgetFound() {
        for (std::string& name : foundNames_) name.clear();
        selectedSlot_ = 0;
    }
    void KeepFoundRecord(size_t slot, const FoundDeviceRecord& record) { foundRecords_[slot] = record; }
    void NameFound(size_t slot, const std::string& entry) { foundNames_[slot] = entry; }
    void MarkScannersFound() { scannersFound_ = true; }
    void SelectFound(int slot) { selectedSlot_ = slot; }

private:
    friend struct ScannerStateTestAccess;  // tests start each case from a fresh state

    std::atomic<uint32_t> connection_{0};
    std::atomic<ConnectionState> pending_{ConnectionState::NothingPending};
    Guarded<std::string> statusText_;
    std::atomic<bool> statusIsError_{false};  // the status line is drawn red
    std::atomic<bool> polled_{false};

    std::array<std::string, MaxFoundDevices> foundNames_{};
    std::array<FoundDeviceRecord, MaxFoundDevices> foundRecords_{};
    int selectedSlot_ = 0;
    bool scannersFound_ = false;
};

static_assert(std::atomic<ConnectionState>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The program's one scanner.
extern ScannerState Scanner;
