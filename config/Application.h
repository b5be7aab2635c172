// The program's one state object: the persisted settings record and the
// runtime state that the user-interface thread, the polling thread and the
// activation retry thread share (the scanner's own is scanner/ScannerState.h).
//
// Threads: every member that a worker thread reads or writes is a lock-free
// 32-bit std::atomic with the plain member's name and meaning (RawTrace,
// Connection, TraceWindow, the sheet rectangle); the workers' run flags are
// their owners' (PollingWorker, RetryWorker). The format
// settings cross threads behind Guarded<>, so a reader always gets a whole,
// consistent copy. Everything else belongs to the user-interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "config/Guarded.h"
#include "config/FormatSettings.h"
#include "win/Scoped.h"

constexpr int SerialMode = 4;
constexpr int BluetoothMode = 9;

class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // ---- persisted settings (settings file; RunAtStartup in the registry) ----
    std::atomic<int32_t> LeftPosition{250};   // sheet's left edge; also SheetRect.left
    std::atomic<int32_t> TopPosition{200};    // sheet's top edge; also SheetRect.top
    int ActivatedScannerMode = 0;
    std::string DeviceInfo = " ";
    Guarded<FormatSettings> Format;           // strip, PrefixChar, ... SuffixSecondCharCtrl
    int mode = SerialMode;
    int Activate = 0;
    int Minimize = 0;
    int RunAtStartup = 0;
    std::string Name = " ";
    std::string Company = " ";
    std::string PathInfo;
    int FromPort = 1;
    int ToPort = 16;

    // ---- runtime state ----
    int TraceSource = 0;
    std::atomic<int32_t> SheetRight{0};       // SheetRect is LeftPosition, TopPosition,
    std::atomic<int32_t> SheetBottom{0};      // SheetRight, SheetBottom
    std::atomic<HWND> TraceWindow{nullptr};
    std::atomic<uint32_t> Connection{0};      // SDK handle; 0 = none open
    std::atomic<int32_t> RawTrace{0};

    void StoreSheetRect(const RECT& r) {
        LeftPosition = r.left;
        TopPosition = r.top;
        SheetRight = r.right;
        SheetBottom = r.bottom;
    }
    // Stores where the sheet is now; nothing when there is no sheet.
    void RememberSheetRect(HWND sheet) {
        RECT r{};
        if (sheet && ::GetWindowRect(sheet, &r)) StoreSheetRect(r);
    }
};

static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<HWND>::is_always_lock_free);

// The single instance.
extern Application App;
