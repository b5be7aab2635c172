#include "scanner/Activation.h"

#include "config/Application.h"
#include "config/Registry.h"
#include "delivery/PollingThread.h"
#include "res/resource.h"
#include "scanner/Discovery.h"
#include "scanner/ScannerTexts.h"
#include "scanner/VantuSdk.h"

win::UniqueHandle ActivationThread;
std::atomic<HWND> ConnectionsWindow{nullptr};
static_assert(std::atomic<HWND>::is_always_lock_free);

namespace {

constexpr DWORD DeviceSettleMs = 200;
constexpr DWORD RetryPauseMs = 100;
constexpr DWORD AfterSuccessPauseMs = 40;
// Not an SDK code: reported as "Unable to activate Brontel Vask."
constexpr vantu::Result PollingNotStarted = ERROR_BUSY;

// Wakes the retry thread's pauses when it is told to stop. Manual reset:
// it stays set until the next retry thread is started.
HANDLE RetryWakeEvent() {
    static const win::UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return event.get();
}

void PauseRetry(DWORD ms) { (void)::WaitForSingleObject(RetryWakeEvent(), ms); }

// Closes a handle that no thread uses (any polling thread on it has ended).
// A handle that the SDK would not close is still open: it goes back into
// App, and the next deactivation tries again.
vantu::Result CloseUnusedConnection(vantu::Handle handle) {
    const vantu::Result result = vantu::VantuClose(handle);
    if (result != 0) {
        vantu::Handle none = 0;
        (void)App.Connection.compare_exchange_strong(none, handle);
    }
    return result;
}

// The handle that this activation opened, which no polling thread uses yet.
int FailActivation(HWND statusLine, vantu::Result code, vantu::Handle opened) {
    vantu::Handle mine = opened;
    (void)App.Connection.compare_exchange_strong(mine, 0);
    if (opened) (void)CloseUnusedConnection(opened);
    const std::string message = scannertext::ActivationFailureMessage(code, App.ActivationThreadRun != 0);
    App.StatusIsError = 1;
    App.ConnectionStatusText.Set(message);
    App.ScannerConnected = 0;
    ShowText(message, statusLine, ReplaceText);
    return 0;
}

void StoreParentRect(HWND page) {
    RECT r{};
    HWND sheet = ::GetParent(page);
    if (sheet && ::GetWindowRect(sheet, &r)) App.StoreSheetRect(r);
}

void ShowRetryStarted(Application& app) {
    HWND page = ConnectionsWindow;
    app.ConnectionStatusText.Set(scannertext::ScannerNotConnected);
    StoreParentRect(page);
    ShowText(scannertext::ScannerNotConnected, ::GetDlgItem(page, IDC_STATUS_LINE), ReplaceText);
    ::SetDlgItemTextA(page, IDC_ACTIVATE, scannertext::ActivateCaption);
    app.ConnectionState = 0;
}

void ShowRetrySucceeded(Application& app) {
    HWND page = ConnectionsWindow;
    HWND list = ::GetDlgItem(page, IDC_SCANNER_LIST);
    HWND activate = ::GetDlgItem(page, IDC_ACTIVATE);
    HWND status = ::GetDlgItem(page, IDC_STATUS_LINE);
    HWND find = ::GetDlgItem(page, IDC_FIND_SCANNERS);
    app.ConnectionStatusText.Set(scannertext::ScannerConnected);
    StoreParentRect(page);
    ShowText(scannertext::ScannerConnected, status, ReplaceText);
    ::SendMessageA(list, LB_SETCURSEL, 0, 0);
    ::SetWindowTextA(activate, scannertext::DeactivateCaption);
    ::EnableWindow(activate, TRUE);
    ::EnableWindow(find, FALSE);
    ::EnableWindow(list, FALSE);
    app.ConnectionState = 0;
    StoreParentRect(page);
}

void RunRetries(Application& app) {
    ShowRetryStarted(app);
    // The flag is read before every attempt: once it is cleared no attempt starts.
    while (app.ActivationThreadRun) {
        if (ActivateScanner(ConnectionsWindow)) {
            ShowRetrySucceeded(app);
            app.ActivationThreadRun = 0;
            PauseRetry(AfterSuccessPauseMs);
        } else {
            app.ConnectionStatusText.Set(scannertext::ScannerNotConnected);
        }
        PauseRetry(RetryPauseMs);
    }
}

}  // namespace

int ActivateScanner(HWND dialog) {
    HWND statusLine = ::GetDlgItem(dialog, IDC_STATUS_LINE);

    vantu::Handle opened = 0;
    vantu::Result result = vantu::VantuConnectionOpen(&opened, vantu::ConnectionName, SdkRegistryRoot);
    // A handle that a failed open left behind is closed too, once.
    if (result != 0) return FailActivation(statusLine, result, opened);
    App.Connection = opened;
    if (App.ActivatedScannerMode == SerialMode) {
        result = vantu::VantuSetBarCodeIDMode(opened, 0);
        if (result != 0) return FailActivation(statusLine, result, opened);
    }
    ::Sleep(DeviceSettleMs);

    const std::string message = scannertext::ActivationSuccessMessage(App.ActivationThreadRun != 0);
    // An earlier polling thread that never ended would leave this scanner
    // open with nobody fetching its barcodes: that is no activation.
    if (!StartPollingThread(opened)) return FailActivation(statusLine, PollingNotStarted, opened);
    // From here on only the polling thread calls the SDK with this handle; it
    // asks for the download and waits for it, so no download of any length
    // holds up the caller.
    App.StatusIsError = 0;
    App.ConnectionStatusText.Set(message);
    App.ScannerConnected = 1;
    return 1;
}

std::string DeactivateScanner() {
    const bool pollingEnded = StopPollingThread(PollingThreadStopWaitMs);
    const vantu::Handle handle = App.Connection.exchange(0);
    if (!handle) return scannertext::DeactivationMessage(false, 0);
    // A thread still inside an SDK call closes the handle itself as it ends.
    if (!pollingEnded && HandCloseToPollingThread(handle)) return scannertext::DeactivationMessage(true, 0);
    return scannertext::DeactivationMessage(true, CloseUnusedConnection(handle));
}

void ClearStoredBarcodes() {
    // Never beside the polling thread's calls on the same handle.
    if (!StopPollingThread(PollingThreadStopWaitMs)) return;
    (void)vantu::VantuSDKClearStoredBarcodes(App.Connection);
}

DWORD WINAPI ActivationRetryThread(LPVOID application) {
    try {
        RunRetries(*static_cast<Application*>(application));
    } catch (...) {
        // Nothing may leave a thread routine; the retry simply ends.
    }
    return 0;
}

bool StartActivationRetry() {
    if (!StopActivationRetry(INFINITE)) return false;
    (void)::ResetEvent(RetryWakeEvent());
    App.ActivationThreadRun = 1;
    DWORD id = 0;
    ActivationThread.reset(::CreateThread(nullptr, 0, ActivationRetryThread, &App, 0, &id));
    if (!ActivationThread) {
        App.ActivationThreadRun = 0;
        return false;
    }
    App.ActivationThreadId = id;
    return true;
}

bool StopActivationRetry(DWORD maxWaitMs) {
    App.ActivationThreadRun = 0;
    (void)::SetEvent(RetryWakeEvent());
    if (!ActivationThread) return true;
    if (!WaitForThreadEnd(ActivationThread.get(), maxWaitMs)) return false;
    ActivationThread.reset();
    App.ActivationThreadId = 0;
    return true;
}

bool StopPollingThread(DWORD maxWaitMs) {
    App.PollingThreadRun = 0;
    if (!App.PollingThread) return true;
    return WaitForThreadEnd(App.PollingThread.get(), maxWaitMs);
}

bool StopScannerForShutdown() {
    const bool retryEnded = StopActivationRetry(ShutdownThreadWaitMs);
    const bool pollingEnded = StopPollingThread(ShutdownThreadWaitMs);
    // A retry attempt still running may be opening a handle of its own:
    // closing App's beside it is left to the end of the process.
    if (!retryEnded) return false;
    (void)DeactivateScanner();
    return pollingEnded;
}

bool WaitForPollingThreadEnd(DWORD maxWaitMs) {
    return !App.PollingThread || WaitForThreadEnd(App.PollingThread.get(), maxWaitMs);
}
