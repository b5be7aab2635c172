// The request to close that reaches every running copy in every session: the
// installer's removal, run by SYSTEM or an administrator in any session, sets
// a named event in the Global\ namespace. A copy that sees it posts WM_CLOSE
// to its main window, the request the tray menu's Exit answers after its
// question, so the usual ordered shutdown runs (settings saved, exit code 0).
//
// Threads: CloseRequestWatch owns one thread that waits on that event and on
// its own stop event; its destructor sets the stop event and joins the thread.
#pragma once

#include <windows.h>

#include "win/Scoped.h"

inline constexpr char CloseRequestEventName[] = "Global\\BrontelVaskCloseRequest";

// Who may do what with the event: SYSTEM and the administrators everything
// (set it), everybody else only wait on it, the creating user included (the
// Owner Rights entry takes the owner's implicit right to change the list).
inline constexpr char CloseRequestEventAccess[] =
    "D:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x100000;;;WD)(A;;0x100000;;;S-1-3-4)";

class CloseRequestWatch {
public:
    // Opens (or creates) the event and starts waiting; a copy that cannot
    // open it runs on without the watch and is ended by force on removal.
    explicit CloseRequestWatch(HWND mainWindow);
    ~CloseRequestWatch();
    CloseRequestWatch(const CloseRequestWatch&) = delete;
    CloseRequestWatch& operator=(const CloseRequestWatch&) = delete;

private:
    static DWORD WINAPI Run(void* self);

    HWND window_;
    win::UniqueHandle request_;
    win::UniqueHandle stop_;
    win::UniqueHandle thread_;
};
