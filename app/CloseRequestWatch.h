// The request to close that reaches every running copy in every session: the
// installer's removal, run by SYSTEM or an administrator in any session, sets
// a named event in the Global\ namespace, one for each user whose copies run.
// A copy that sees it posts WM_CLOSE to its main window, the request the tray
// menu's Exit answers after its question, so the usual ordered shutdown runs
// (settings saved, exit code 0).
//
// Nobody else can forge it. The event of a user is made by the first copy of
// that user, or by SYSTEM or the administrators; whoever makes an object may
// set it through the handle that made it, whatever its access list says, so
// an event that exists already is trusted only when it is owned by the same
// user, SYSTEM or the administrators. A copy that finds one of another owner
// runs without the watch: nothing closes it but the installer's forced end.
//
// Threads: CloseRequestWatch owns one thread that waits on that event and on
// its own stop event; its destructor sets the stop event and joins the thread.
#pragma once

#include <windows.h>

#include "win/Scoped.h"

#include <string>

// The one event that copies of version 2.1 watch, for every user alike.
inline constexpr char CloseRequestEventName[] = "Global\\BrontelVaskCloseRequest";

// The event of the user with this SID: "Global\BrontelVaskCloseRequest-S-1-5-...".
inline std::string CloseRequestEventNameFor(const std::string& userSid) {
    return std::string(CloseRequestEventName) + "-" + userSid;
}

// Who may do what with the event: SYSTEM and the administrators everything
// (set it), everybody else only wait on it and read who owns it, the
// creating user included (the Owner Rights entry takes the owner's implicit
// right to change the list).
inline constexpr char CloseRequestEventAccess[] =
    "D:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120000;;;WD)(A;;0x120000;;;S-1-3-4)";

class CloseRequestWatch {
public:
    // Opens (or creates) this user's event and starts waiting; a copy that
    // cannot open it, or finds it made by another owner, runs on without the
    // watch and is ended by force on removal.
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
