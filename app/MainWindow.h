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
// Fills the 488-byte tray icon record for owner and icon, hands it to the shell.
BOOL NotifyTrayIcon(HWND owner, UINT iconId, DWORD operation);
void RemoveTrayIcon();
// Shows the tray menu at point; 0 when the menu resource is missing.
BOOL ShowTrayMenu(HWND window, POINT point);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Brings the open sheet forward, or opens one (modal) when none is open.
void OpenOrRaiseSheet();

// Asks "Do you really wish to exit the program?" (No is the default button):
// true on Yes. False also when the question cannot show now (the shutdown
// has begun, it is up already, or it is put off until a key on its way to
// another program has gone; then it comes by itself, as the tray's Exit).
bool AskToExit();
// Asks as above and, on Yes, destroys the main window, which shuts the
// program down.
void AskAndExit();
// The shutdown after a Yes that AskToExit returned.
void ExitAfterYes();
