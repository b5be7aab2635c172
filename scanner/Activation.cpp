#include "scanner/Activation.h"

#include "config/Application.h"
#include "config/Registry.h"
#include "delivery/PollingThread.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"

win::UniqueHandle ActivationThread;
std::atomic<HWND> ConnectionsWindow{nullptr};
static_assert(std::atomic<HWND>::is_always_lock_free);

namespace {

constexpr DWORD DeviceSettleMs = 200;
constexpr DWORD TransferPollMs = 250;
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

// Closes the connection once: the handle is taken out of App before the SDK
// sees it, so nobody can close or use it again. A handle that the SDK would
// not close is still open: it goes back, and the next deactivation tries again.
vantu::Result CloseConnection(bool* wasOpen = nullptr) {
    const vantu::Handle handle = App.Connection.exchange(0);
    if (wasOpen) *wasOpen = handle != 0;
    if (!handle) return 0;
    const vantu::Result result = vantu::VantuClose(handle);
    if (result != 0) {
        vantu::Handle none = 0;
        (void)App.Connection.compare_exchange_strong(none, handle);
    }
    return result;
}

bool FailActivation(vantu::Result code) {
    (void)CloseConnection();
    const std::string message = scannertext::ActivationFailureMessage(code, App.ActivationThreadRun != 0);
    Scanner.StatusIsError = 1;
    Scanner.ConnectionStatusText.Set(message);
    Scanner.ScannerConnected = 0;
    return false;
}

// The download has reached the host once the count query stops answering
// "transfer in progress". The handle is read afresh: a closed one is 0 and
// is answered without the SDK.
void WaitForDownload() {
    int16_t count = 0;
    while (vantu::VantuGetBarCodeCount(App.Connection, &count) == vantu::TransferInProgress) {
        ::Sleep(TransferPollMs);
        count = 0;
    }
}

// Only posted: the page may be busy, and a thread that waited for it could
// hold up whoever waits for this thread.
void Report(RetryReport report) {
    if (HWND page = ConnectionsWindow.load())
        (void)::PostMessageA(page, RetryReportMessage, static_cast<WPARAM>(report), 0);
}

void RunRetries(Application& app) {
    Scanner.ConnectionStatusText.Set(scannertext::ScannerNotConnected);
    Scanner.State = ConnectionState::NothingPending;
    Report(RetryReport::Started);
    // The flag is read before every attempt: once it is cleared no attempt starts.
    while (app.ActivationThreadRun) {
        if (ActivateStoredConnection()) {
            Scanner.ConnectionStatusText.Set(scannertext::ScannerConnected);
            Scanner.State = ConnectionState::NothingPending;
            Report(RetryReport::Succeeded);
            app.ActivationThreadRun = 0;
            PauseRetry(AfterSuccessPauseMs);
        } else {
            Report(RetryReport::AttemptFailed);
            Scanner.ConnectionStatusText.Set(scannertext::ScannerNotConnected);
        }
        PauseRetry(RetryPauseMs);
    }
}

}  // namespace

bool ActivateStoredConnection() {
    vantu::Handle opened = 0;
    vantu::Result result = vantu::VantuConnectionOpen(&opened, vantu::ConnectionName, SdkRegistryRoot);
    if (result != 0) {
        // A handle that a failed open left behind is closed too, once.
        if (opened) (void)vantu::VantuClose(opened);
        return FailActivation(result);
    }
    App.Connection = opened;
    if (App.ActivatedScannerMode == SerialMode) {
        result = vantu::VantuSetBarCodeIDMode(opened, 0);
        if (result != 0) return FailActivation(result);
    }
    ::Sleep(DeviceSettleMs);

    const std::string message = scannertext::ActivationSuccessMessage(App.ActivationThreadRun != 0);
    // An earlier polling thread that never ended would leave this scanner
    // open with nobody fetching its barcodes: that is no activation.
    if (!StartPollingThread()) return FailActivation(PollingNotStarted);
    Scanner.StatusIsError = 0;
    Scanner.ConnectionStatusText.Set(message);
    Scanner.ScannerConnected = 1;

    (void)vantu::VantuRequestDownload(opened);
    WaitForDownload();
    return true;
}

std::string DeactivateScanner() {
    bool wasOpen = false;
    const vantu::Result result = CloseConnection(&wasOpen);
    return scannertext::DeactivationMessage(wasOpen, result);
}

void ClearStoredBarcodes() {
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
    // A thread still running may be inside the SDK with the handle: closing
    // it then is worse than leaving it to the end of the process.
    if (!retryEnded || !pollingEnded) return false;
    (void)DeactivateScanner();
    return true;
}
