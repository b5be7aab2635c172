// Where the program starts with Windows: the current user's Run key and the
// program's value there. Written by the program, removed by the installer's
// actions at uninstall: both take the names from here.
#pragma once

inline constexpr char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char RunValueName[] = "Brontel Vask";
