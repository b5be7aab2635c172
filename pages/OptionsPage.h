// The Options page of the settings sheet.
#pragma once

#include <windows.h>

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
