// Times LoadSettings and SaveSettings on a settings file that holds the Admin
// section and 100 users' sections, as one of those users, and prints the
// median, fastest and slowest of repeated runs.
//   settings_bench [--runs N] [--users N]
// Runs in a scratch folder under the temporary folder, removed at the end.
#include "bench/Clock.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/Identity.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/SettingsFile.h"
#include "config/Startup.h"

namespace {

void Report(const char* what, std::vector<double> times, int users, size_t fileBytes) {
    std::sort(times.begin(), times.end());
    std::printf("%s, Admin + %d user sections (%zu bytes): median %.2f ms, min %.2f ms, max %.2f ms, %zu runs\n",
                what, users, fileBytes, times[times.size() / 2], times.front(), times.back(), times.size());
}

std::string UserName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "User%03d", i);
    return name;
}

size_t FileBytes() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(SettingsFileName, GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 31;
    int users = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--users") == 0) users = std::max(1, std::atoi(argv[i + 1]));
    }
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "vask-settings-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    if (!::SetCurrentDirectoryA(folder.c_str())) return 1;

    // The file as the program itself builds it: the Admin section, then one
    // section per user, each appended by that user's first save.
    SettingsRecord record;
    int runAtStartup = 0;
    identity_test_seam::OverrideAdministrator(1);
    CreateSettingsFile(record);
    identity_test_seam::OverrideAdministrator(0);
    for (int i = 0; i < users; ++i) {
        identity_test_seam::OverrideLogonName(UserName(i));
        record.DeviceInfo = "COM" + std::to_string(i % 16 + 1) + " Vantu scanner " + UserName(i);
        SaveSettingsFile(record, runAtStartup);
    }
    identity_test_seam::OverrideLogonName(UserName(users / 2));

    std::vector<double> loads, saves;
    for (int run = 0; run < runs; ++run) {
        double start = MillisecondsNow();
        int loaded = LoadSettingsAtStartup(record, runAtStartup);
        loads.push_back(MillisecondsNow() - start);
        if (loaded != 1) {
            std::printf("LoadSettingsAtStartup failed\n");
            return 1;
        }
        record.LeftPosition = 100 + run;  // each save changes the file
        start = MillisecondsNow();
        (void)SaveSettings(record, runAtStartup);
        saves.push_back(MillisecondsNow() - start);
    }
    Report("LoadSettings", loads, users, FileBytes());
    Report("SaveSettings", saves, users, FileBytes());

    ::SetCurrentDirectoryA(temp);
    ::DeleteFileA((folder + "\\" + SettingsFileName).c_str());
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
