// Commands of the main window that bring a window of ours forward (the
// tray's Open, About, Recent Barcodes and Exit, a click on the icon), put
// off while a key is on its way to another program and tried again on a
// timer of the main window, in the order they came: the interface never
// waits for a key, which another program's keyboard hook may hold for
// seconds. User-interface thread only.
#pragma once

#include <windows.h>

// The main window's timer that tries the put-off commands again; its
// WM_TIMER calls RetryPutOffCommands.
inline constexpr UINT_PTR RetryPutOffTimer = 1;

// Whether the command (the main window's message) may bring our window
// forward now: no key is on its way, and no command that came before it is
// still put off. Otherwise it is put off and false.
bool OwnWindowMayComeNow(UINT message, WPARAM wParam, LPARAM lParam);

// Sends the put-off commands to the main window again, oldest first, until
// one is put off again.
void RetryPutOffCommands();

// The shutdown: nothing put off comes any more.
void ForgetPutOffCommands();
