// The Trace page of the settings sheet.
#pragma once

#include <windows.h>

INT_PTR CALLBACK TracePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
