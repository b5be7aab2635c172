// The steps of the program's shutdown, which the main window takes once, in
// this order (MainWindow.cpp). User-interface thread.
#pragma once

#include <windows.h>

// How long the shutdown waits, after the save, for the threads to stop: a
// logoff must be answered within Windows' 5 s, whatever an SDK call does.
inline constexpr DWORD ShutdownBoundMs = 1500;

// Saves the settings record and, when the program starts with Windows, the
// Run value naming this program's file.
void SaveSettingsNow();

// Closes the sheet and Recent Barcodes; a window a barcode's typing waits
// for comes back in front to take the rest.
void CloseOwnWindows();

// Tells every thread to end and waits at most ShutdownBoundMs in all.
void StopThreads();
