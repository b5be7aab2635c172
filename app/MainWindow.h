// The hidden main window: owner of the tray icon, target of the tray menu's
// commands and of a second instance's request, and the place of the shutdown.
#pragma once

#include <windows.h>

#include "res/Messages.h"


// Registers the main window class; the result is ignored by start-up.
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Stores ModuleInstance, creates MainWindow and adds the tray icon. Non-zero
// only if both the window and the icon exist.
BOOL CreateMainWindow(HINSTANCE instance);
// Shows the tray menu at point; 0 when the menu resource is missing.
BOOL ShowTrayMenu(HWND window, POINT point);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Brings the open sheet forward, or opens one (modal) when none is open.
void OpenOrRaiseSheet();
