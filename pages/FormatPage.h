// The Format page of the settings sheet.
#pragma once

#include <windows.h>

INT_PTR CALLBACK FormatPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
