// The About page of the settings sheet.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
