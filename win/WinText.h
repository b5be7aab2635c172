// Narrow (ANSI code page) and wide text helpers over the Win32 calls.
#pragma once

#include <windows.h>
#include <string>

namespace win {

std::string WindowText(HWND window);                   // whole text of any window
std::wstring AnsiToWide(const std::string& text);      // system ANSI code page
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring WindowTextWide(HWND window);              // whole text, with the Unicode calls
bool IsAnsiLeadByte(unsigned char byte);               // a lead byte of the system ANSI code page

}  // namespace win
