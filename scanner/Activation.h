// Opening and closing the scanner connection, and the background retry after
// a failed start-up activation.
//
// Threads: everything here makes SDK calls, so it runs on the scanner worker
// (ScannerWorker.h: page commands, start-up, shutdown) or on the
// ActivationRetryThread, never on the user-interface thread. The retry
// thread is started by StartActivationRetry and runs while RetryWorker's run
// flag is set; it is stopped only by StopActivationRetry (flag cleared, its pauses
// woken, then a bounded wait). It touches no window: it reports
// by posting RetryReportMessage to the window that its starter names, and the
// Connections page shows the report on its own thread. Nothing is ever
// terminated.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "delivery/ScannerLink.h"
#include "res/Messages.h"
#include "win/WorkerThread.h"

// The retry thread; started and stopped on the scanner worker only (the
// start-up activation starts it; the next page command or the shutdown's
// close stops it).
extern win::WorkerThread RetryWorker;

// Where the retry thread posts its reports: a window handle that its owner
// may replace while the retry runs (the Connections page keeps its newest
// instance there). The thread reads it afresh for every report; none: the
// report is dropped.
using RetryReportTarget = std::atomic<HWND>;

enum class RetryReport : WPARAM {
    Started = 0,        // the retry runs: "Scanner Not Connected", Activate offered
    AttemptFailed = 1,  // an attempt failed: the status line shows its text
    Succeeded = 2,      // activated: "Scanner Connected", Deactivate offered
};

// How long shutdown waits for each worker thread before it gives up.
constexpr DWORD ShutdownThreadWaitMs = 5000;
// How long a deactivation waits for the polling thread (it ends within one
// polling cycle once told to, unless an SDK call holds it up).
constexpr DWORD PollingThreadStopWaitMs = 300;

// Opens the stored connection and starts the polling thread, which asks for
// the scanner's download and waits for it on its own. False when it failed:
// the failure text is then Scanner's status text, drawn as an error. An
// activation the program made on its own (`cause`) pauses typing when a
// batch is waiting (Poller.h).
bool ActivateStoredConnection(ActivationCause cause = ActivationCause::User);
// The same, as long as *wanted is set: when it is cleared (the retry was
// stopped) before the handle is stored, the handle is closed and false
// comes back with nothing stored, started or written.
bool ActivateStoredConnectionWhile(const std::atomic<int32_t>* wanted, ActivationCause cause);

// Whether a retry report (its lParam) comes from the retry running now: a
// report made before a stop is never shown.
bool IsCurrentRetryReport(LPARAM generation);

// Stops the polling thread, then closes the connection and forgets its
// handle: "" when none was open, "Brontel Vask Deactivated", or "Failed to
// Deactive Scanner.". When the thread is still inside an SDK call after
// PollingThreadStopWaitMs, the thread closes the handle itself as that call
// returns, and the text is "Brontel Vask Deactivated".
std::string DeactivateScanner();

// Drops the barcodes the SDK holds for the open connection, once the polling
// thread has ended; nothing when it is still inside an SDK call.
void ClearStoredBarcodes();

// Thread routine; the parameter is the const RetryReportTarget* to report to.
DWORD WINAPI ActivationRetryThread(LPVOID reportTo);

// Stops a retry still running, then starts the retry
// thread in RetryWorker, reporting to reportTo, which must outlive the
// thread. False if the thread could not be started.
bool StartActivationRetry(const RetryReportTarget& reportTo);
// Asks RetryWorker to stop and waits up to maxWaitMs for the thread to end;
// true when no retry thread is left running. No new attempt starts; one in
// progress discards its result (its handle closed) when it returns.
bool StopActivationRetry(DWORD maxWaitMs);

// Asks PollingWorker to stop and waits up to maxWaitMs for the polling thread;
// true when it has ended (or none ran).
bool StopPollingThread(DWORD maxWaitMs);

// Shutdown's part: stop the retry thread, then deactivate (the polling thread
// stopped first). True when both threads ended within their waits; a polling
// thread that did not closes the connection itself (WaitForPollingThreadEnd),
// and a retry attempt that did not closes its own handle as it returns.
bool StopScannerForShutdown();

// Waits at most maxWaitMs for the polling thread; true once it has ended.
// The process waits for it before ending, so a close left to it is made.
bool WaitForPollingThreadEnd(DWORD maxWaitMs);
