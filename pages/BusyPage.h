// The Connections page while one of its commands runs on the scanner worker:
// no command usable, the wait cursor, and input meant for the sheet dropped,
// whichever message loop takes it out of the queue. One BusyPage lives from
// the click until the command's end comes back; its end undoes all of it,
// on every path. User-interface thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "win/Scoped.h"

class BusyPage {
public:
    // enableCommands(false) now, enableCommands(true) at the end.
    BusyPage(HWND page, std::function<void(bool)> enableCommands);
    ~BusyPage();
    BusyPage(const BusyPage&) = delete;
    BusyPage& operator=(const BusyPage&) = delete;

private:
    std::function<void(bool)> enableCommands_;
    win::UniqueHook dropInput_;
};

// Drops every queued mouse and keyboard message of the calling thread for
// top and the windows inside it; other messages stay queued, input for the
// thread's other windows (a tray menu, Recent Barcodes) too.
void DiscardPendingInput(HWND top);
