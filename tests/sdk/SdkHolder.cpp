// sdk-holder HOLD_MS REPORT_FILE: a second process for the simulator's tests.
// It opens the stored connection "Brontel Vask" of the current user through
// the program's SDK binding, writes "<result> <handle>" into REPORT_FILE, and
// keeps the connection (never closing it) for HOLD_MS before it ends.
#include <cstdio>
#include <cstdlib>

#include "sdk/VantuSdk.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    DWORD holdMs = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    vantu::Handle handle = 0;
    vantu::Result result = vantu::VantuConnectionOpen(&handle, vantu::ConnectionName, HKEY_CURRENT_USER);
    if (FILE* report = std::fopen(argv[2], "w")) {
        std::fprintf(report, "%lu %lu\n", static_cast<unsigned long>(result), static_cast<unsigned long>(handle));
        std::fclose(report);
    }
    ::Sleep(holdMs);
    return result == 0 ? 0 : 1;
}
