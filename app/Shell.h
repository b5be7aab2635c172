// Process-wide values of the application shell, all owned by the main thread:
// the module, the hidden main window and the single-instance mutex.
#pragma once

#include <windows.h>

#include "delivery/DeliveryRule.h"
#include "win/Scoped.h"

extern HINSTANCE ModuleInstance;
extern HWND MainWindow;
// Held from start-up; released by the main window's shutdown. The handle
// itself is left to the end of the process.
extern win::UniqueHandle InstanceMutex;

// The main window's class name (string 109, "Brontel Vask") and title
// (string 103, "BrontelVask"), loaded at start-up.
extern char WindowClassName[100];
extern char WindowTitle[100];


// The sheet's caption, which the polling thread and a second instance look for.
inline constexpr const char* SheetCaption = SettingsWindowTitle;
