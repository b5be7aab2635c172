// A second process for the configuration tests.
//   hold <file> <ms>   opens the file without sharing, prints "held", waits
//   sdkroot            prints whether the current user's SDK key was there
//                      before the program asked for it, then asks as the
//                      entry point does and prints "hkcu" when the root is
//                      HKEY_CURRENT_USER (the key copy is checked by the test
//                      in the registry)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/Application.h"
#include "config/Registry.h"

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
        HANDLE file = ::CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 2;
        std::printf("held\n");
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(std::atoi(argv[3])));
        ::CloseHandle(file);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "sdkroot") == 0) {
        HKEY existing = nullptr;
        const bool before = ::RegOpenKeyExA(HKEY_CURRENT_USER, SdkKeyPath, 0, KEY_READ, &existing) == ERROR_SUCCESS;
        if (before) ::RegCloseKey(existing);
        std::printf("before=%s\n", before ? "present" : "absent");
        const HKEY root = EnsureSdkRegistryKey();
        std::printf("%s mode=%d\n", root == HKEY_CURRENT_USER && SdkRegistryRoot == root ? "hkcu" : "other",
                    App.Settings.Get().mode);
        return 0;
    }
    return 1;
}
