// vask-installer-driver.exe: the Windows side of the installer test
// (installer_test.sh), run in the test's own Wine prefix.
//   first-start FOLDER OUT   starts FOLDER\VaskSW.exe in FOLDER (no settings
//                            file there yet), copies the settings file that
//                            its start wrote to OUT, ends it
//   deliver SCANNER BARCODE  starts the program from the Start-menu shortcut's
//                            target and folder, checks the About page against
//                            the program's version record, finds and
//                            activates SCANNER, scans BARCODE with the
//                            installed vask-sim.exe into the keystroke
//                            receiver, exits through the tray menu
//   user-save NAME           in the current folder, saves settings as the
//                            non-administrator NAME (the program's own code)
//   about                    waits for a running VaskSW.exe's sheet and
//                            checks its About page against the version
//                            record of the shortcut's target
//   wait-exit                finds the running VaskSW.exe, prints
//                            "watching", waits up to 60 s for it to end and
//                            prints its exit code; 0 when that code is 0
// Prints what it saw; exit code 0 when everything held.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/Application.h"
#include "config/Identity.h"
#include "config/SettingsFile.h"
#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/Process.h"
#include "tests/support/UiDriver.h"
#include "win/Scoped.h"

namespace {

using namespace testsupport;

constexpr int ProgramVersionId = IDC_PROGRAM_VERSION, FindButton = IDC_FIND_SCANNERS, ActivateButton = IDC_ACTIVATE,
              StatusLine = IDC_STATUS_LINE;

int Fail(const std::string& what) {
    std::printf("FAILED: %s\n", what.c_str());
    return 1;
}

void Say(const std::string& what) {
    std::printf("%s\n", what.c_str());
    std::fflush(stdout);
}

struct Shortcut {
    std::string file, target, folder;
};

// "Brontel Vask.lnk" in the machine's Start menu, or the user's (where
// Wine puts a per-machine shortcut).
Shortcut FindStartMenuShortcut() {
    Shortcut found;
    ::CoInitialize(nullptr);
    for (int where : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        char folder[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathA(nullptr, where, nullptr, 0, folder))) continue;
        const std::string file = std::string(folder) + "\\Brontel Vask.lnk";
        if (::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        IShellLinkA* link = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link))))
            break;
        IPersistFile* persist = nullptr;
        std::wstring wide(file.begin(), file.end());
        char target[MAX_PATH] = {}, workingFolder[MAX_PATH] = {};
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
            SUCCEEDED(persist->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
            SUCCEEDED(link->GetWorkingDirectory(workingFolder, MAX_PATH)))
            found = {file, target, workingFolder};
        if (persist) persist->Release();
        link->Release();
        break;
    }
    ::CoUninitialize();
    return found;
}

// "Brontel Vask v<major>.<minor>" from the file's product version.
std::string ExpectedAboutLine(const std::string& exe) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoA(exe.c_str(), 0, size, block.data()) ||
        !::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return "(no version record)";
    return "Brontel Vask v" + std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwProductVersionMS));
}

bool AboutMatches(const Sheet& sheet, const std::string& exe) {
    const std::string about = sheet.ItemText(ProgramVersionId);
    Say("about: " + about);
    return about == ExpectedAboutLine(exe);
}

int FirstStart(const std::string& folder, const std::string& out) {
    VaskApp app(folder + "\\VaskSW.exe", folder);
    if (!app.Start()) return Fail("VaskSW.exe did not start in " + folder);
    // The sheet opens after the settings are loaded (and, with no file, written).
    if (!Sheet::WaitFor(20000)) return Fail("no settings sheet");
    const bool copied = ::CopyFileA((folder + "\\ConfigSettings.xml").c_str(), out.c_str(), FALSE) != 0;
    app.process().Kill();  // not its own exit: that would save the file again
    return copied ? 0 : Fail("no settings file in " + folder);
}

int Deliver(const std::string& scanner, const std::string& barcode) {
    const Shortcut shortcut = FindStartMenuShortcut();
    if (shortcut.target.empty()) return Fail("no readable Start-menu shortcut \"Brontel Vask\"");
    Say("shortcut: " + shortcut.file);
    Say("target: " + shortcut.target);
    Say("folder: " + shortcut.folder);
    VaskApp app(shortcut.target, shortcut.folder);
    if (!app.Start()) return Fail("the shortcut's program did not start");
    Sheet sheet = Sheet::WaitFor(20000);
    if (!sheet) return Fail("no settings sheet");
    if (!AboutMatches(sheet, shortcut.target)) return Fail("About page and version record disagree");

    sheet.SelectPage(1);
    ClickCommand(sheet.Item(FindButton));
    ClickCommand(sheet.Item(ActivateButton));
    Say("status: " + sheet.ItemText(StatusLine));
    PostClick(sheet.CloseButton());  // leaving the sheet saves the settings
    if (!Sheet::WaitGone()) return Fail("the sheet did not close");

    KeyReceiver receiver;
    if (!receiver.Ready() || !receiver.Focus()) return Fail("keystroke receiver not ready");
    const RunResult scan = RunProgram(shortcut.folder + "\\vask-sim.exe", {"scan", scanner, barcode});
    if (scan.exitCode != 0) return Fail("vask-sim scan: " + scan.output);
    const std::wstring expected = std::wstring(barcode.begin(), barcode.end()) + L"\r";
    const bool arrived = receiver.WaitForText(expected, 30000);
    Say(arrived ? "barcode arrived" : "barcode did not arrive");
    const DWORD code = app.ExitThroughTray(30000);
    Say("exit code " + std::to_string(code));
    return arrived && code == 0 ? 0 : 1;
}

int UserSave(const std::string& name) {
    identity_test_seam::OverrideAdministrator(0);
    identity_test_seam::OverrideLogonName(name);
    SettingsRecord record;
    record.DeviceInfo = "scanner of " + name;
    record.strip = static_cast<int>(name.size());
    WriteSettingsFile(record);
    return 0;
}

int About() {
    const Shortcut shortcut = FindStartMenuShortcut();
    Sheet sheet = Sheet::WaitFor(30000);
    if (shortcut.target.empty() || !sheet) return Fail("no shortcut or no running program's sheet");
    return AboutMatches(sheet, shortcut.target) ? 0 : Fail("About page and version record disagree");
}

int WaitExit() {
    HWND main = VaskApp::FindMainWindow();
    DWORD processId = 0;
    if (main) ::GetWindowThreadProcessId(main, &processId);
    win::UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return Fail("no running VaskSW.exe");
    Say("watching");
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return Fail("VaskSW.exe still runs");
    DWORD code = 1;
    (void)::GetExitCodeProcess(process.get(), &code);
    Say("exit code " + std::to_string(code));
    return code == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "first-start") return FirstStart(args[1], args[2]);
        if (args.size() == 3 && args[0] == "deliver") return Deliver(args[1], args[2]);
        if (args.size() == 2 && args[0] == "user-save") return UserSave(args[1]);
        if (args.size() == 1 && args[0] == "about") return About();
        if (args.size() == 1 && args[0] == "wait-exit") return WaitExit();
    } catch (...) {
        return Fail("exception");
    }
    std::fprintf(stderr, "usage: see the source\n");
    return 2;
}
