// A second process for the configuration tests.
//   hold <file> <ms>   opens the file without sharing, prints "held", waits
//   sdkroot            prints "hkcu" when static initialisation settled
//                      SdkRegistryRoot to HKEY_CURRENT_USER (the key copy is
//                      checked by the test in the registry)
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
        std::printf("%s mode=%d\n", SdkRegistryRoot == HKEY_CURRENT_USER ? "hkcu" : "other", App.mode);
        return 0;
    }
    return 1;
}
