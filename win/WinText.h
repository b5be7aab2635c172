// Narrow (ANSI code page) and wide text helpers over the Win32 calls.
#pragma once

#include <windows.h>
#include <string>

namespace win {

std::string WindowText(HWND window);                   // whole text of any window
std::string DialogItemText(HWND dialog, int id);
std::wstring AnsiToWide(const std::string& text);      // system ANSI code page
std::string WideToAnsi(const std::wstring& text);

}  // namespace win
