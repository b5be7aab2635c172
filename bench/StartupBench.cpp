// vask-bench-startup.exe [--runs N]: how fast VaskSW.exe starts and how much
// memory it keeps. (vask-bench-startup.exe --settings sheet|tray only writes
// the settings file for a start with or without the sheet; startup.sh uses it
// to measure the memory from the Linux side.) Each run starts the program from a fresh default settings
// file and measures, from CreateProcess on:
//   - the time until its hidden main window exists (the tray icon is added
//     in the same step),
//   - the time until the settings sheet is shown with its first page;
// then, once the program waits for input, its memory as GetProcessMemoryInfo
// reports it (PROCESS_MEMORY_COUNTERS_EX: PrivateUsage and WorkingSetSize)
// with the sheet open, and in separate runs started with Minimize set, with
// only the tray icon. Wine 8 leaves PrivateUsage at 0; startup.sh then adds
// the resident private (anonymous) memory from /proc.
// Prints the median, minimum and maximum of each figure.
#include "bench/Clock.h"
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/UiDriver.h"

namespace {

using namespace testsupport;

HWND MainWindowOf(DWORD pid) {
    HWND main = VaskApp::FindMainWindow();
    DWORD owner = 0;
    if (main) ::GetWindowThreadProcessId(main, &owner);
    return owner == pid ? main : nullptr;
}

bool SheetShown() {
    HWND sheet = FindTopWindow(DialogClass, SheetCaption);
    return sheet && ::IsWindowVisible(sheet) && ::SendMessageA(sheet, 0x476 /* PSM_GETCURRENTPAGEHWND */, 0, 0);
}

struct Run {
    double toMainWindow = -1, toSheet = -1;
    size_t privateBytes = 0, workingSet = 0;
};

void ReadMemory(HANDLE process, Run& run) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return;
    run.privateBytes = counters.PrivateUsage;
    run.workingSet = counters.WorkingSetSize;
}

void WriteSettings(bool minimized) {
    VaskSettings settings;
    settings.Minimize = minimized ? 1 : 0;
    VaskApp::WriteSettings(settings);
}

Run OneRun(bool minimized) {
    VaskApp::EndRunningInstances();
    WriteSettings(minimized);
    Run run;
    const double start = MillisecondsNow();
    ChildProcess program(VaskApp::ExePath(), {}, BinDir());
    if (!program.started()) return run;
    const DWORD pid = program.id();
    HWND main = nullptr;
    while (MillisecondsNow() - start < 20000 && program.Running()) {
        if (!main && (main = MainWindowOf(pid))) run.toMainWindow = MillisecondsNow() - start;
        if (main && minimized) break;
        if (main && SheetShown()) {
            run.toSheet = MillisecondsNow() - start;
            break;
        }
        ::Sleep(1);
    }
    ::WaitForInputIdle(program.handle(), 10000);
    ::Sleep(500);  // let the first paint and the page's set-up finish
    ReadMemory(program.handle(), run);
    if (main) ::PostMessageA(main, WM_CLOSE, 0, 0);  // shuts down in order, without the question
    if (program.Wait(10000) == 0xFFFFFFFF) program.Kill();
    return run;
}

template <typename T>
void Report(const char* what, std::vector<T> values, const char* unit, double scale) {
    values.erase(std::remove_if(values.begin(), values.end(), [](T v) { return v <= 0; }), values.end());
    if (values.empty()) {
        std::printf("%-44s not reported (0)\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    const double median = values.size() % 2 ? static_cast<double>(values[values.size() / 2])
                                             : (static_cast<double>(values[values.size() / 2 - 1]) +
                                                static_cast<double>(values[values.size() / 2])) / 2;
    std::printf("%-44s median %8.1f %s  (min %.1f, max %.1f, %zu runs)\n", what, median / scale, unit,
                static_cast<double>(values.front()) / scale, static_cast<double>(values.back()) / scale,
                values.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--settings") == 0) {
        WriteSettings(std::strcmp(argv[2], "tray") == 0);
        return 0;
    }
    int runs = 11;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    std::vector<double> toMain, toSheet, toMainMinimized;
    std::vector<size_t> sheetMemory, trayMemory, sheetWorkingSet, trayWorkingSet;
    OneRun(false);  // warms the file cache and Wine's services; not counted
    for (int i = 0; i < runs; ++i) {
        Run withSheet = OneRun(false);
        toMain.push_back(withSheet.toMainWindow);
        toSheet.push_back(withSheet.toSheet);
        sheetMemory.push_back(withSheet.privateBytes);
        sheetWorkingSet.push_back(withSheet.workingSet);
        Run trayOnly = OneRun(true);
        toMainMinimized.push_back(trayOnly.toMainWindow);
        trayMemory.push_back(trayOnly.privateBytes);
        trayWorkingSet.push_back(trayOnly.workingSet);
    }
    VaskApp::RemoveSettingsFile();
    std::printf("VaskSW.exe start-up under Wine (launch = CreateProcess)\n");
    Report("launch -> main window and tray icon", toMain, "ms", 1);
    Report("launch -> main window (Minimize set)", toMainMinimized, "ms", 1);
    Report("launch -> settings sheet shown", toSheet, "ms", 1);
    Report("PrivateUsage, sheet open", sheetMemory, "KiB", 1024);
    Report("PrivateUsage, tray icon only", trayMemory, "KiB", 1024);
    Report("WorkingSetSize, sheet open", sheetWorkingSet, "KiB", 1024);
    Report("WorkingSetSize, tray icon only", trayWorkingSet, "KiB", 1024);
    return toSheet.empty() ? 1 : 0;
}
