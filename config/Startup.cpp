#include "config/Startup.h"

#include <windows.h>

#include <string>

#include "win/ProgramFile.h"

bool UseProgramFolderAsCurrentDirectory() {
    std::wstring folder = win::ProgramFolder();
    return !folder.empty() && ::SetCurrentDirectoryW(folder.c_str()) != 0;
}
