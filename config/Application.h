// The program's settings while it runs: the settings file's record, as one
// value, and RunAtStartup, which the registry's Run value stands for. Runtime
// state lives with its owners: the scanner's (and the SDK connection) in
// scanner/ScannerState.h, the trace's in delivery/TraceState.h, the sheet's in
// pages/PageProtocol.h and app/Shell.h.
//
// Plain C++: no windows.h.
#pragma once

#include <utility>

#include "config/FormatSettings.h"
#include "config/Guarded.h"
#include "config/SettingsRecord.h"

class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The settings file's record. Threads: only the user-interface thread
    // writes it (pages, load, save, discovery). The polling thread reads the
    // format part for every barcode (Format) and the activation retry thread
    // reads ActivatedScannerMode for every attempt; the lock gives each reader
    // a whole, consistent copy while a page replaces a text beside it.
    Guarded<SettingsRecord> Settings;

    // Start with Windows. Kept in the registry's Run value, not in the file;
    // user-interface thread only.
    int RunAtStartup = 0;

    // The format settings as one consistent copy.
    FormatSettings Format() const {
        return Settings.Read([](const SettingsRecord& record) { return static_cast<FormatSettings>(record); });
    }
    void SetFormat(const FormatSettings& format) {
        Settings.Update([&format](SettingsRecord& record) { static_cast<FormatSettings&>(record) = format; });
    }

    // Runs operation(SettingsRecord&, int& runAtStartup), the form of the load
    // and save entries (Startup.h, Registry.h), on a copy of the settings and
    // keeps what it leaves there. The copy is safe because the user-interface
    // thread, which calls this, is the record's only writer; the lock is not
    // held across the file and registry work, so readers never wait for it.
    template <typename Operation>
    auto WithSettings(Operation operation) {
        SettingsRecord record = Settings.Get();
        auto result = operation(record, RunAtStartup);
        Settings.Set(std::move(record));
        return result;
    }
};

// The single instance.
extern Application App;
