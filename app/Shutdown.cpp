#include "app/Shutdown.h"

#include "app/RecentBarcodesWindow.h"
#include "config/Application.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "delivery/OwnWindows.h"
#include "delivery/PollingThread.h"
#include "delivery/Typist.h"
#include "delivery/WindowInFront.h"
#include "pages/PageProtocol.h"
#include "scanner/Activation.h"
#include "scanner/ScannerWorker.h"

void SaveSettingsNow() {
    (void)App.WithSettings([](SettingsRecord& settings, int& runAtStartup) {
        if (runAtStartup) (void)RecordProgramFile(settings);
        return SaveSettings(settings, runAtStartup);
    });
}

// Our windows go first: nothing of ours is in front to hold a barcode whose
// typing paused, and the user's window it waits for comes back to take the rest.
void CloseOwnWindows() {
    {
        const QuietActivations quiet;  // what comes forward as they close is not ours to hold keys for
        if (Sheet.Open && Sheet.Window && ::DestroyWindow(Sheet.Window)) Sheet.Open = false;
        CloseRecentBarcodes();
    }
    ForgetOwnWindowAnnouncement();
    const HWND awaited = SoleTypist.AwaitedWindow();
    if (awaited && CheckTypingTarget(awaited) == TypingTarget::Fine) ::SetForegroundWindow(awaited);
}

// Every thread is told at once; the waits together last at most
// ShutdownBoundMs. The scanner worker's last command stops the retry and
// polling threads and closes the scanner once nobody uses it; a polling
// thread still inside an SDK call closes it as it ends, and the process waits
// for that after the message loop (main.cpp).
void StopThreads() {
    const DWORD start = ::GetTickCount();
    PollingWorker.RequestStop();
    RetryWorker.RequestStop();
    ScannerCommands.End([] { (void)StopScannerForShutdown(); });
    (void)SoleTypist.FinishAndEnd(ShutdownBoundMs);
    const DWORD spent = ::GetTickCount() - start;
    (void)ScannerCommands.Join(spent < ShutdownBoundMs ? ShutdownBoundMs - spent : 0);
}
