// vask-demo-driver.exe SCANNER [--screenshots DIR]: a short scripted demo of
// Brontel Vask. It starts VaskSW.exe, finds and activates the simulated
// scanner SCANNER on the Connections page, opens Wine's notepad, scans sample
// barcodes with vask-sim, prints what arrived in notepad, saves pictures of
// the sheet and of notepad (BMP) into DIR, and ends everything it started.
// Exit code 0 when every barcode arrived.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/UiDriver.h"

namespace {

using namespace testsupport;

const char* const Samples[] = {"4006381333931", "ABC-12345", "9780201379624"};
constexpr int FindButton = 1053, ActivateButton = 1045, StatusLine = 1056, ScannerList = 1044;

void Say(const std::string& text) {
    std::printf("[demo] %s\n", text.c_str());
    std::fflush(stdout);
}

void Picture(const std::string& dir, HWND window, const std::string& name) {
    if (dir.empty() || !window) return;
    ClickTitleBar(window);
    ::Sleep(400);
    if (SaveBmp(CaptureWindow(window), dir + "\\" + name + ".bmp")) Say("picture: " + name);
}

bool RunSim(const std::vector<std::string>& args) {
    RunResult r = RunProgram(BinPath("vask-sim.exe"), args);
    return r.exitCode == 0;
}

// Wine's notepad; its text is the "Edit" child's.
struct Notepad {
    ChildProcess process;
    HWND window = nullptr;
    HWND edit = nullptr;

    bool Start() {
        process = ChildProcess("C:\\windows\\notepad.exe", {});
        const DWORD pid = process.id();
        WaitUntil([&] {
            for (HWND w : VisibleTopWindows("Notepad")) {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(w, &owner);
                if (owner == pid) window = w;
            }
            return window != nullptr;
        }, 15000);
        if (!window) return false;
        edit = ::FindWindowExA(window, nullptr, "Edit", nullptr);
        ::SetForegroundWindow(window);
        return edit && WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000);
    }
    std::string Text() const { return WindowTextOf(edit); }
};

int RunDemo(const std::string& scanner, const std::string& pictures) {
    VaskApp::WriteSettings(VaskSettings{});
    VaskApp app;
    Say("starting VaskSW.exe");
    if (!app.Start()) return Say("VaskSW.exe did not start"), 1;
    Sheet sheet = Sheet::WaitFor();
    if (!sheet) return Say("the settings sheet did not open"), 1;
    sheet.MoveTo(60, 40);
    Picture(pictures, sheet.window(), "demo-about");

    Say("Connections page: Find Scanners");
    sheet.SelectPage(1);
    // Each command's status line once it has ended, not as it runs.
    if (!ClickCommand(sheet.Item(FindButton), 30000)) Say("  Find Scanners did not end within 30 s");
    Say("  status: " + sheet.ItemText(StatusLine));
    for (const std::string& entry : ListEntries(sheet.Item(ScannerList))) Say("  found:  " + entry);
    Say("Activate");
    if (!ClickCommand(sheet.Item(ActivateButton), 30000)) Say("  Activate did not end within 30 s");
    Say("  status: " + sheet.ItemText(StatusLine));
    Picture(pictures, sheet.window(), "demo-connections");
    PostClick(sheet.CloseButton());
    Sheet::WaitGone();

    Notepad notepad;
    Say("opening notepad and scanning sample barcodes into it");
    if (!notepad.Start()) return Say("notepad did not start"), 1;
    std::vector<std::string> scan{"scan", scanner};
    std::string expected;
    for (const char* s : Samples) {
        scan.push_back(s);
        expected += std::string(s) + "\r\n";
    }
    if (!RunSim(scan)) return Say("vask-sim scan failed"), 1;
    const bool arrived = WaitUntil([&] { return notepad.Text() == expected; }, 20000);
    Say("notepad now holds:");
    std::printf("%s", notepad.Text().c_str());
    Picture(pictures, notepad.window, "demo-notepad");

    Say("exiting VaskSW.exe through its tray menu");
    const DWORD code = app.ExitThroughTray();
    Say("VaskSW.exe ended with code " + std::to_string(code));
    notepad.process.Kill();  // it would ask whether to save the text
    Say(arrived ? "every barcode arrived" : "some barcodes did not arrive");
    return arrived && code == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vask-demo-driver SCANNER [--screenshots DIR]\n");
        return 2;
    }
    std::string pictures;
    if (argc >= 4 && std::string(argv[2]) == "--screenshots") {
        pictures = argv[3];
        ::CreateDirectoryA(pictures.c_str(), nullptr);
    }
    try {
        return RunDemo(argv[1], pictures);
    } catch (...) {
        return 1;
    }
}
