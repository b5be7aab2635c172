// The Recent Barcodes window: the barcodes fetched in this run, newest first,
// with "Type Again", "Copy", "Clear", "Save As..." and "Open Scan Log Folder".
// A modeless dialog of the user-interface thread; the polling thread only
// posts it a notice when barcodes arrive (delivery/BarcodeHistory.h). Its
// list is RecentBarcodesList.h, Type Again TypeAgainFlow.h, what it hands to
// other programs RecentBarcodesExport.h.
#pragma once

#include <windows.h>

// Remembers the window that was in front as the tray menu opened: "Type
// Again" types into it.
void RememberWindowInFront(HWND window);

// Opens the window, or brings it forward when it is open already.
void ShowRecentBarcodes();

// Closes the window, if open (the shutdown).
void CloseRecentBarcodes();
