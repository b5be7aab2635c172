// What the program knows of its scanner beyond the settings: the open SDK
// connection, the start-up outcome the Connections page has still to show,
// the status line's text and colour, whether a scanner is activated, and the
// last search's scanners.
//
// Threads: the scanner worker and the activation retry thread write it,
// through the operations below (the connection handle alone is handed over
// with atomic exchanges, in scanner/Activation.cpp); the pages read it when
// they next show: hence the atomics and the guarded text. The search
// results are written by the scanner worker while the page waits for it.
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

    // The program writes the fields above only through these.

    // The status line's lasting text and colour.
    void SetStatus(const std::string& text, bool isError) {
        StatusIsError = isError;
        ConnectionStatusText.Set(text);
    }
    void SetStatusText(const std::string& text) { ConnectionStatusText.Set(text); }
    void SetStatusIsError(bool isError) { StatusIsError = isError; }
    // An activated scanner is polled from now on, the status says so.
    void MarkActivated(const std::string& message) {
        SetStatus(message, false);
        ScannerConnected = true;
    }
    // No scanner is polled any longer; the status says why.
    void MarkNotConnected(const std::string& message, bool isError) {
        SetStatus(message, isError);
        ScannerConnected = false;
    }
    void MarkNotPolled() { ScannerConnected = false; }
    // The start-up outcome the Connections page has still to show.
    void SetPending(ConnectionState state) { State = state; }

    // The last search's scanners.
    void ForgetFound() {
        for (std::string& name : FoundDeviceNames) name.clear();
        SelectedDevice = 0;
    }
    void KeepFoundRecord(size_t slot, const FoundDeviceRecord& record) { FoundDevices[slot] = record; }
    void NameFound(size_t slot, const std::string& entry) { FoundDeviceNames[slot] = entry; }
    void MarkScannersFound() { ScannersFound = true; }
    void SelectFound(int slot) { SelectedDevice = slot; }
};

static_assert(std::atomic<ConnectionState>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The program's one scanner.
extern ScannerState Scanner;
