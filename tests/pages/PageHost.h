// A modeless property sheet in the test process holding the real About,
// Options, Trace and Format pages with their real templates, so a test can
// drive the page procedures with window messages, as the controls would.
#pragma once

#include <windows.h>

#include "win/Scoped.h"

namespace pagetest {

// Tabs of the host sheet (not the program's page indices).
enum HostTab : int { AboutTab = 0, OptionsTab = 1, TraceTab = 2, FormatTab = 3 };

class PageHost {
public:
    explicit PageHost(HostTab first);
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    HWND sheet() const { return sheet_; }
    HWND page() const;                 // the page on display
    HWND item(int id) const { return ::GetDlgItem(page(), id); }
    HWND Show(HostTab tab);            // switches tabs; returns the page
    bool SaveEnabled() const;          // "Apply" (the program's "S&ave Settings")
    void Pump() const;                 // handles what is waiting in the queue

private:
    win::UniqueLibrary richEdit_;
    HWND sheet_ = nullptr;
};

}  // namespace pagetest
