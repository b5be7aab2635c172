// What the polling-thread tests and benchmarks share: a private simulated
// scanner driven through vask-sim, the scanner connection opened through the
// SDK as activation opens it with the polling thread running in this process,
// and a stand-in for the settings window ("Brontel Vask" whose first child is
// the page on display, holding a "RichEdit20A" trace) on its own thread.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/VantuSdkAbi.h"
#include "win/Scoped.h"
#include "delivery/PollingThread.h"

namespace polltest {

constexpr char ScannerName[] = "S1";

// Points this process, and the vask-sim runs it starts, at a simulator folder
// of its own, empties it and adds the serial scanner S1.
::testing::AssertionResult PrepareSimulatedScanner();

// Stores barcodes (any bytes) on S1, all in one vask-sim run.
::testing::AssertionResult Scan(const std::vector<std::string>& barcodes);
// How many barcodes S1 has handed over so far; nullopt when vask-sim failed.
std::optional<uint64_t> Delivered();

// A barcode's bytes as the keystroke receiver sees them: U+0000..U+00FF.
std::wstring AsTyped(const std::string& bytes);

// The connection "Brontel Vask" to S1, created and opened through the SDK,
// with the download of stored barcodes finished; closes it when it goes.
class ScannerConnection {
public:
    ScannerConnection();
    ~ScannerConnection();
    ScannerConnection(const ScannerConnection&) = delete;
    ScannerConnection& operator=(const ScannerConnection&) = delete;

    bool Opened() const { return handle_ != 0; }
    vantu::Handle Handle() const { return handle_; }
    // StartPollingThread on the handle.
    bool StartPolling();
    // Clears the run flag and waits for the thread; true when it ended.
    bool StopPolling();

private:
    vantu::Handle handle_ = 0;
};

// A top-level window titled "Brontel Vask" owned by a thread of its own that
// runs a message loop, as the settings sheet is owned by the user-interface
// thread. Its only child stands for the page on display.
class StandInSettingsWindow {
public:
    explicit StandInSettingsWindow(const char* pageTitle);
    ~StandInSettingsWindow();
    StandInSettingsWindow(const StandInSettingsWindow&) = delete;
    StandInSettingsWindow& operator=(const StandInSettingsWindow&) = delete;

    bool Ready() const { return window_ != nullptr && trace_ != nullptr; }
    HWND Window() const { return window_; }
    HWND Trace() const { return trace_; }
    void ShowPage(const char* pageTitle);
    // Brings it to the foreground; true once it is the foreground window.
    bool BringToFront(DWORD timeoutMs = 5000);
    std::string TraceText() const;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();

    win::UniqueHandle ready_;
    std::string firstPage_;
    win::UniqueHandle thread_;
    HWND window_ = nullptr;
    HWND page_ = nullptr;
    HWND trace_ = nullptr;
};

}  // namespace polltest
