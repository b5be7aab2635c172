// vask-package-files.exe PROGRAM FOLDER: the two things the installer package
// takes from the program itself.
//   - FOLDER\ConfigSettings.xml: the settings file that an administrator's
//     first save of the default settings writes, made by the program's own
//     code, so the installed file cannot differ from what the program writes.
//   - the product version of PROGRAM's version record, printed as a.b.c.d.
// Exit code 0 when both are done; 1 otherwise (for instance when the user is
// no administrator: the file would then hold a user's section, not Admin).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/Identity.h"
#include "config/SettingsFile.h"

namespace {

bool PrintProductVersion(const char* program) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(program, &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoA(program, 0, size, block.data()) ||
        !::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
        return false;
    std::printf("%u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
    return true;
}

// The record holds the constructor's defaults: nothing has been loaded.
bool WriteDefaultAdminSettings(const char* folder) {
    if (!IsAdministrator()) {
        std::fprintf(stderr, "vask-package-files: run as an administrator\n");
        return false;
    }
    if (!::SetCurrentDirectoryA(folder)) return false;
    ::DeleteFileA(SettingsFileName);
    CreateSettingsFile(SettingsRecord{});  // the defaults
    return ::GetFileAttributesA(SettingsFileName) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vask-package-files PROGRAM FOLDER\n");
        return 2;
    }
    return PrintProductVersion(argv[1]) && WriteDefaultAdminSettings(argv[2]) ? 0 : 1;
}
