// Entry point of Brontel Vask: one instance per session, the hidden main
// window with its tray icon, the settings, the optional start-up activation
// and sheet, then the message loop until the main window is destroyed.
//
// Threads: everything here runs on the main thread, which owns every window.
// A failed start-up activation starts the activation retry thread; a
// successful one starts the polling thread. Both are stopped by the main
// window's shutdown (MainWindow.cpp). The close-request watch waits on a
// thread of its own and is joined when the message loop has ended.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/CloseRequestWatch.h"
#include "app/CommandLine.h"
#include "app/CommandLineRequests.h"
#include "app/MainWindow.h"
#include "app/SettingsSheet.h"
#include "app/Shell.h"
#include "app/ShellRules.h"
#include "config/Application.h"
#include "config/FileAccess.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/SettingsFile.h"
#include "config/Startup.h"
#include "config/UserOptions.h"
#include "res/resource.h"
#include "pages/ConnectionsPage.h"
#include "scanner/Activation.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerWorker.h"
#include "sdk/VantuSdk.h"
#include "win/ListControls.h"
#include "win/ProgramFile.h"
#include "win/EventLog.h"
#include "win/WinText.h"
#include "VaskVersion.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/BarcodeRecords.h"
#include "delivery/OwnWindows.h"
#include "delivery/PollingThread.h"
#include "delivery/ScannerLink.h"

namespace {

constexpr char InstanceMutexName[] = "VaskSW";
// The events still queued at the end (the last: the program ended) are
// written within this, or not at all.
constexpr DWORD EventsFlushMs = 2000;

// A second start hands over to the running instance: its main window is
// asked, as by a double click on the tray icon, to bring its sheet forward
// or to open one. The message is sent, so this process ends only after the
// running instance has handled it: after a sheet it opened has closed, or at
// once if a key on its way to another program made it put the sheet off.
void HandOverToRunningInstance() {
    if (HWND running = ::FindWindowA(WindowClassName, WindowTitle)) {
        // The running instance brings its window forward itself, when no key
        // is on its way to another program; it may, as the user started us.
        DWORD runningProcess = 0;
        ::GetWindowThreadProcessId(running, &runningProcess);
        (void)::AllowSetForegroundWindow(runningProcess);
        ::SendMessageA(running, TrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    } else if (HWND sheet = ::FindWindowA(nullptr, SheetCaption)) {
        ::SetForegroundWindow(sheet);
    }
}

// Activates the stored scanner on the scanner worker, with a hidden
// Connections dialog as the first page to report to; a failure leaves the
// retry thread trying in the background.
void ActivateStoredScanner() {
    HWND dialog = ::CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CONNECTIONS), nullptr,
                                       ConnectionsPageProc, 0);
    HWND list = ::GetDlgItem(dialog, IDC_SCANNER_LIST);
    win::ListBox(list).Clear();
    if (shell::HasStoredScanner(App.Settings.Get().DeviceInfo)) {
        ShowStoredDevice(list);
        win::ListBox(list).Select(0);
        ActivateStoredScannerAtStartup();
    }
}

// The arguments after the program's own name.
std::vector<std::string> Arguments() {
    int count = 0;
    const win::UniqueLocal owned(::CommandLineToArgvW(::GetCommandLineW(), &count));
    const auto* words = static_cast<LPWSTR*>(owned.get());
    std::vector<std::string> arguments;
    for (int i = 1; words && i < count; ++i) arguments.push_back(win::WideToUtf8(words[i]));
    return arguments;
}

// Bad arguments change nothing: a box says what was wrong (none under /quiet).
int RefuseArguments(const cmdline::Parsed& line) {
    if (!line.quiet) {
        const std::wstring text = win::Utf8ToWide(cmdline::BadArgumentsText(line.error));
        ::MessageBoxW(nullptr, text.c_str(), L"Brontel Vask", MB_OK | MB_ICONERROR);
    }
    return cmdline::BadArguments;
}

int RunMessageLoop(HACCEL accelerators) {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 0;
        if (!::TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

int RunProgram(HINSTANCE instance) {
    const cmdline::Parsed line = cmdline::Parse(Arguments());
    if (!line.error.empty()) return RefuseArguments(line);
    // Before any library is loaded by name: only the system folder is searched.
    win::KeepLibrarySearchInSystemFolder();
    // Every instance settles the SDK's registry key before anything else.
    (void)EnsureSdkRegistryKey();
    (void)UseProgramFolderAsCurrentDirectory();
    InstanceMutex.reset(::CreateMutexA(nullptr, TRUE, InstanceMutexName));
    const bool anotherInstanceRuns = ::GetLastError() == ERROR_ALREADY_EXISTS;
    ::LoadStringA(instance, IDS_APP_TITLE, WindowTitle, sizeof WindowTitle);
    ::LoadStringA(instance, IDS_WINDOW_CLASS, WindowClassName, sizeof WindowClassName);
    if (anotherInstanceRuns) {
        if (line.command == cmdline::Command::Logon) return cmdline::Ended;
        if (line.command != cmdline::Command::None)
            return SendCommandToRunningCopy(line.command, WindowClassName, WindowTitle);
        HandOverToRunningInstance();
        return 0;
    }
    // Only /pause (typing nothing until resumed) and /logon start a copy.
    if (line.command == cmdline::Command::Pause)
        Link.Paused = true;
    else if (line.command != cmdline::Command::None && line.command != cmdline::Command::Logon)
        return cmdline::NotRunning;

    // Provides "RichEdit20A" for the Trace page; without it that page cannot
    // be created and the sheet does not open, but the tray still works.
    (void)win::LoadSystemLibrary(L"Riched20.dll");
    (void)RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance)) return 0;
    win::ReportProgramEvent(VASK_EVENT_STARTED, {VASK_VERSION_TEXT});
    if (const std::vector<std::string> policies = PoliciesInForce(); !policies.empty()) {
        std::string names;
        for (const std::string& name : policies) names += (names.empty() ? "" : ", ") + name;
        win::ReportProgramEvent(VASK_EVENT_POLICY_IN_FORCE, {names});
    }
    // The installer's removal asks every running copy to close, in any session.
    const CloseRequestWatch closeRequests(MainWindow);
    // Our windows come forward only between two keys typed into another program.
    const OwnWindowWatch ownWindows;
    // The SDK is loaded on the scanner worker, never here; the tray shows
    // when it is missing.
    (void)ScannerCommands.Post([] { (void)vantu::SdkLoaded(); });
    HACCEL accelerators = ::LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_ACCELERATORS));

    (void)App.WithSettings(LoadSettingsAtStartup);
    (void)GrantFileAccess(SettingsFileName, LocalUsersSid, ModifyAccess);
    Scanner.SetStatusText(" ");
    // Before any activation's barcodes: what an earlier run left untyped.
    (void)ScannerCommands.Post([] { records::OfferWhatEarlierRunsLeft(); });

    if (App.Settings.Get().Activate) {
        ActivateStoredScanner();
        if (!App.Settings.Get().Minimize) ShowSettingsSheet();
    }
    // A sheet shown above may have changed both settings.
    const SettingsRecord settings = App.Settings.Get();
    if (!settings.Activate && !settings.Minimize) ShowSettingsSheet();
    const int exitCode = RunMessageLoop(accelerators);
    // The scanner worker's close, or a polling thread's that outlived the
    // shutdown's wait, still comes: give them that chance before the process goes.
    (void)ScannerCommands.Join(ShutdownThreadWaitMs);
    (void)WaitForPollingThreadEnd(ShutdownThreadWaitMs);
    win::ReportProgramEvent(VASK_EVENT_ENDED, {VASK_VERSION_TEXT});
    win::FlushEvents(EventsFlushMs);
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        return RunProgram(instance);
    } catch (...) {
        return 0;
    }
}
