// The modal settings property sheet "Brontel Vask" with its five pages.
#pragma once

#include <windows.h>

// Builds and runs the sheet; returns when it has closed (and, after "&Exit",
// after the exit question).
void ShowSettingsSheet();
int CALLBACK SettingsSheetCallback(HWND sheet, UINT event, LPARAM lParam);

