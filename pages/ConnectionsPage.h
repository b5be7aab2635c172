// The Connections page (template 145): transport and port range, Find
// Scanners, the scanner list, Activate/Deactivate, and the status line drawn
// black or red. Start-up also creates a hidden instance of it.
//
// Threads: the page runs on the user-interface thread; the activation retry
// thread reaches the newest instance through ConnectionsWindow (Activation.h),
// which each new instance sets, and sends to its controls.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ConnectionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Drops every queued mouse and keyboard message of the calling thread; other
// messages stay queued.
void DiscardPendingInput();

// The status line's background colour.
constexpr COLORREF StatusLineBackground = RGB(255, 255, 240);
constexpr COLORREF StatusTextColour = RGB(0, 0, 0);
constexpr COLORREF StatusErrorColour = RGB(255, 0, 0);
