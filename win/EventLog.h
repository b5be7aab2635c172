// Events in the Application log under the source "Brontel Vask", with texts
// from the program's own message table (Events.h has the ids; the level is in
// each id's severity bits). The package registers the source with this
// program as its message file. No event is written per barcode.
//
// Threads: any thread reports; one writer thread of its own writes, since the
// log is another process's service, and the user-interface thread never waits
// for one. Started by the first report; FlushEvents at the end of the program
// writes what is queued.
//
// For tests, VASK_EVENT_FILE names a file that also gets each event as one
// UTF-8 line: "<id>\t<level>\t<text as the event viewer shows it>".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Events.h"

namespace win {

inline constexpr wchar_t EventSourceName[] = L"Brontel Vask";

// Queues the event with its inserts (%1, %2, ... of its text; UTF-8).
void ReportProgramEvent(DWORD id, std::vector<std::string> inserts = {});

// Writes what is queued, waiting at most ms, and ends the writer.
void FlushEvents(DWORD ms);

// The event's text from the program's message table, with its inserts.
std::wstring EventText(DWORD id, const std::vector<std::wstring>& inserts);

}  // namespace win
