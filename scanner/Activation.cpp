#include "scanner/Activation.h"

#include <memory>
#include <mutex>

#include "config/Application.h"
#include "config/Registry.h"
#include "delivery/PollingThread.h"
#include "delivery/Typist.h"
#include "scanner/ScannerState.h"
#include "scanner/SdkMissing.h"
#include "scanner/ScannerTexts.h"
#include "sdk/VantuSdk.h"
#include "win/EventLog.h"

win::WorkerThread RetryWorker;
static_assert(RetryReportTarget::is_always_lock_free);

namespace {

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

// Held by an activation from its last look at whether it is still wanted
// until it has stored its handle and started polling, and by a stop of the
// retry while it clears the flag: an attempt that a stop overtook never
// stores its handle, starts polling or writes the status.
std::mutex ActivationCommit;

// Each start and each stop of the retry takes a new generation; a report
// carries the one it was made in, and the page shows only the current one's.
std::atomic<uint32_t> RetryGeneration{0};

// An activation that nobody wants any more (a stopped retry's late attempt).
bool Unwanted(const std::atomic<int32_t>* wanted) { return wanted && wanted->load() == 0; }

void CloseQuietly(vantu::Handle opened) {
    if (opened) (void)vantu::VantuClose(opened);
}

// Closes a handle that no thread uses (any polling thread on it has ended).
// A handle that the SDK would not close is still open: it goes back into
// Scanner, and the next deactivation tries again.
vantu::Result CloseUnusedConnection(vantu::Handle handle) {
    const vantu::Result result = vantu::VantuClose(handle);
    if (result != 0) {
        Scanner.AdoptConnectionIfNone(handle);
    }
    return result;
}

// The handle that this activation opened, which no polling thread uses yet.
bool FailActivation(vantu::Result code, vantu::Handle opened) {
    Scanner.ForgetConnection(opened);
    if (opened) (void)CloseUnusedConnection(opened);
    const std::string message =
        StatusUnlessSdkMissing(scannertext::ActivationFailureMessage(code, RetryWorker.ShouldRun()));
    Scanner.MarkNotConnected(message, true);
    return false;
}

// Only posted: the page may be busy, and a thread that waited for it could
// hold up whoever waits for this thread.
void Report(const RetryReportTarget& reportTo, RetryReport report, uint32_t generation) {
    if (HWND page = reportTo.load())
        (void)::PostMessageA(page, RetryReportMessage, static_cast<WPARAM>(report), static_cast<LPARAM>(generation));
}

void RunRetries(const RetryReportTarget& reportTo, uint32_t generation) {
    Scanner.SetStatusText(StatusUnlessSdkMissing(scannertext::ScannerNotConnected));
    Scanner.SetPending(ConnectionState::NothingPending);
    Report(reportTo, RetryReport::Started, generation);
    win::ReportProgramEvent(VASK_EVENT_STARTUP_ACTIVATION_RETRYING, {App.Settings.Get().DeviceInfo});
    // The flag is read before every attempt: once it is cleared no attempt
    // starts, and one under way discards its result.
    while (RetryWorker.ShouldRun()) {
        if (ActivateStoredConnectionWhile(RetryWorker.RunFlag(), ActivationCause::Program)) {
            Scanner.SetStatusText(scannertext::ScannerConnected);
            Scanner.SetPending(ConnectionState::NothingPending);
            Report(reportTo, RetryReport::Succeeded, generation);
            RetryWorker.RequestStop();
            PauseRetry(AfterSuccessPauseMs);
        } else if (RetryWorker.ShouldRun()) {
            Report(reportTo, RetryReport::AttemptFailed, generation);
            Scanner.SetStatusText(StatusUnlessSdkMissing(scannertext::ScannerNotConnected));
        }
        PauseRetry(RetryPauseMs);
    }
}

struct RetryStart {
    const RetryReportTarget* reportTo;
    uint32_t generation;
};

}  // namespace

bool ActivateStoredConnection(ActivationCause cause) { return ActivateStoredConnectionWhile(nullptr, cause); }

bool ActivateStoredConnectionWhile(const std::atomic<int32_t>* wanted, ActivationCause cause) {
    vantu::Handle opened = 0;
    vantu::Result result = vantu::VantuConnectionOpen(&opened, vantu::ConnectionName, SdkRegistryRoot);
    if (result == 0 && App.Settings.Get().ActivatedScannerMode == SerialMode)
        result = vantu::VantuSetBarCodeIDMode(opened, 0);

    const std::lock_guard<std::mutex> commit(ActivationCommit);
    // A late attempt of a stopped retry: its handle is closed, nothing shows.
    if (Unwanted(wanted)) {
        CloseQuietly(opened);
        return false;
    }
    // A handle that a failed open left behind is closed too, once.
    if (result != 0) return FailActivation(result, opened);
    Scanner.StoreConnection(opened);
    const std::string message = scannertext::ActivationSuccessMessage(RetryWorker.ShouldRun());
    // A new activation: the rest of a barcode that began in another window
    // and paused is typed nowhere (it is listed as partly typed).
    SoleTypist.GiveUpStartedBarcode();
    // An earlier polling thread that never ended would leave this scanner
    // open with nobody fetching its barcodes: that is no activation.
    if (!StartPollingThread(opened, cause)) return FailActivation(PollingNotStarted, opened);
    // From here on only the polling thread calls the SDK with this handle; it
    // asks for the download and waits for it, so no download of any length
    // holds up the caller.
    Scanner.MarkActivated(message);
    win::ReportProgramEvent(VASK_EVENT_SCANNER_ACTIVATED, {App.Settings.Get().DeviceInfo});
    return true;
}

std::string DeactivateScanner() {
    const bool pollingEnded = StopPollingThread(PollingThreadStopWaitMs);
    const vantu::Handle handle = Scanner.TakeConnection();
    if (!handle) return scannertext::DeactivationMessage(false, 0);
    // A thread still inside an SDK call closes the handle itself as it ends.
    if (!pollingEnded && HandCloseToPollingThread(handle)) return scannertext::DeactivationMessage(true, 0);
    return scannertext::DeactivationMessage(true, CloseUnusedConnection(handle));
}

void ClearStoredBarcodes() {
    // Never beside the polling thread's calls on the same handle.
    if (!StopPollingThread(PollingThreadStopWaitMs)) return;
    (void)vantu::VantuSDKClearStoredBarcodes(Scanner.Connection());
}

DWORD WINAPI ActivationRetryThread(LPVOID start) {
    const std::unique_ptr<RetryStart> owned(static_cast<RetryStart*>(start));
    try {
        RunRetries(*owned->reportTo, owned->generation);
    } catch (...) {
        // Nothing may leave a thread routine; the retry simply ends.
    }
    return 0;
}

bool StartActivationRetry(const RetryReportTarget& reportTo) {
    if (!StopActivationRetry(PollingThreadStopWaitMs)) return false;
    (void)::ResetEvent(RetryWakeEvent());
    auto start = std::make_unique<RetryStart>(RetryStart{&reportTo, ++RetryGeneration});
    if (!RetryWorker.Start(ActivationRetryThread, start.get())) return false;
    (void)start.release();  // the thread owns it now
    return true;
}

bool StopActivationRetry(DWORD maxWaitMs) {
    {
        const std::lock_guard<std::mutex> commit(ActivationCommit);
        RetryWorker.RequestStop();
        ++RetryGeneration;
    }
    (void)::SetEvent(RetryWakeEvent());
    if (!RetryWorker.Join(maxWaitMs)) return false;
    RetryWorker.reset();
    return true;
}

bool IsCurrentRetryReport(LPARAM generation) {
    return static_cast<uint32_t>(generation) == RetryGeneration.load();
}

bool StopPollingThread(DWORD maxWaitMs) {
    return PollingWorker.Stop(maxWaitMs);
}

bool StopScannerForShutdown() {
    // A retry attempt still inside an SDK call never stores its handle once
    // stopped (it closes it itself), so Scanner's is closed beside it.
    const bool retryEnded = StopActivationRetry(PollingThreadStopWaitMs);
    const bool pollingEnded = StopPollingThread(ShutdownThreadWaitMs);
    (void)DeactivateScanner();
    return retryEnded && pollingEnded;
}

bool WaitForPollingThreadEnd(DWORD maxWaitMs) {
    return PollingWorker.Join(maxWaitMs);
}
