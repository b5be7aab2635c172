// The Connections page (template 145): transport and port range, Find
// Scanners, the scanner list, Activate/Deactivate, and the status line drawn
// black or red. Start-up also creates a hidden instance of it.
//
// Threads: the page runs on the user-interface thread and makes no SDK call:
// its commands run on the scanner worker (ScannerWorker.h), which hands back
// what the page shows by posting CommandUpdateMessage; the activation retry
// thread posts its reports (RetryReportMessage, Activation.h). Both go to the
// newest instance through ConnectionsWindow, which each new instance sets.
#pragma once

#include <windows.h>

#include "pages/BusyPage.h"
#include "pages/CommandUpdates.h"
#include "res/Messages.h"
#include "scanner/Activation.h"

INT_PTR CALLBACK ConnectionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// What the page shows for one of the retry thread's reports (generation: the
// report's lParam); a report of a stopped retry is dropped.
void ShowRetryReport(HWND page, RetryReport report, LPARAM generation);

// The polling thread's scanner was lost, or answers again: the status line
// says so (text, drawn red when isError), now on the newest page and when a
// page next shows. User-interface thread.
void ShowLinkChange(const char* text, bool isError);

// The status line's background colour.
constexpr COLORREF StatusLineBackground = RGB(255, 255, 240);
constexpr COLORREF StatusTextColour = RGB(0, 0, 0);
constexpr COLORREF StatusErrorColour = RGB(255, 0, 0);
