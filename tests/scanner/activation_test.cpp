// Activation and deactivation against the simulated SDK: every failure row,
// the wait for the download, closing a handle once, the retry thread (its
// success after the scanner is plugged in, its safe end) and shutdown.
#include <gtest/gtest.h>

#include "config/Application.h"
#include "res/resource.h"
#include "scanner/Activation.h"
#include "scanner/ScannerState.h"
#include "pages/ConnectionsPage.h"
#include "pages/ScannerView.h"
#include "scanner/ScannerTexts.h"
#include "tests/scanner/ScannerFixture.h"
#include "tests/support/Process.h"
#include "delivery/PollingThread.h"

using namespace scannertest;

namespace {

class Activation : public ScannerTest {
protected:
    void SetUp() override {
        ScannerTest::SetUp();
        AddSerial("vx", "COM3", "VX-3");
        SearchAndConfigureSerial(1, 16, 0);
    }
};

// A second handle to a thread, to look at it after its owner let it go.
win::UniqueHandle Duplicate(HANDLE thread) {
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return win::UniqueHandle(copy);
}

bool Ended(HANDLE thread) { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

DWORD ExitCodeOf(HANDLE thread) {
    DWORD code = 0;
    ::GetExitCodeThread(thread, &code);
    return code;
}

}  // namespace

TEST_F(Activation, FailureTextsByOpenResult) {
    const struct {
        const char* fault;
        const char* text;
    } rows[] = {
        {"0x20010019", "Device is not connected."},
        {"0x20010044", "Device is not connected."},
        {"0x2001001A", "Port access denied."},
        {"0x20010099", "Unable to activate Brontel Vask."},
        {"2", "Please make sure that the Brontel Vask is connected."},
    };
    const HANDLE pollingBefore = PollingWorker.get();
    for (const auto& row : rows) {
        Sim({"fault", "vx", "open", row.fault});
        Scanner.MarkPolled();
        Scanner.SetStatusIsError(0);
        EXPECT_EQ(ActivateScanner(dialog_), 0) << row.fault;
        EXPECT_EQ(StatusText(dialog_), row.text) << row.fault;
        EXPECT_EQ(LastingStatus(), row.text) << row.fault;
        EXPECT_EQ(Scanner.StatusIsError(), 1) << row.fault;
        EXPECT_EQ(Scanner.Polled(), 0) << row.fault;
        EXPECT_EQ(Scanner.Connection(), 0u) << row.fault;
        EXPECT_EQ(PollingWorker.get(), pollingBefore) << "a failed activation started a thread";
    }
}

TEST_F(Activation, NoStoredConnectionAndUnpluggedScanner) {
    Sim({"unplug", "vx"});
    EXPECT_EQ(ActivateScanner(dialog_), 0);
    EXPECT_EQ(StatusText(dialog_), "Device is not connected.");

    Sim({"reset"});  // forgets the stored connection as well
    Sim({"window-threads", "allow"});
    EXPECT_EQ(ActivateScanner(dialog_), 0);
    EXPECT_EQ(StatusText(dialog_), "Please make sure that the Brontel Vask is connected.");
}

// The retry's failed attempts show the short text, whatever the failure.
TEST_F(Activation, RetryingShowsTheShortTexts) {
    for (const char* fault : {"0x20010019", "0x2001001A", "2", "0x20010099"}) {
        Sim({"fault", "vx", "open", fault});
        Scanner.SetStatusIsError(false);
        ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
        EXPECT_TRUE(PumpUntil([] { return Scanner.StatusIsError(); }, 10000)) << "an attempt failed: " << fault;
        EXPECT_EQ(LastingStatus(), "Scanner Not Connected") << fault;
        ASSERT_TRUE(StopActivationRetry(5000));
    }
    Sim({"clear-faults", "vx"});
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    EXPECT_TRUE(PumpUntil([] { return LastingStatus() == "Scanner Connected"; }, 10000)) << LastingStatus();
    EXPECT_TRUE(StopActivationRetry(5000));
}

TEST_F(Activation, SerialIdModeFailureIsReportedWithItsCode) {
    Sim({"fault", "vx", "idmode", "0x2001001A"});
    EXPECT_EQ(ActivateScanner(dialog_), 0);
    EXPECT_EQ(StatusText(dialog_), "Port access denied.");
    EXPECT_EQ(Scanner.Connection(), 0u);
    // The handle that was opened has been closed: the scanner opens again.
    Sim({"clear-faults", "vx"});
    EXPECT_EQ(ActivateScanner(dialog_), 1);
}

TEST_F(Activation, BluetoothSkipsTheIdMode) {
    AddBluetooth("bt", "Vantu", "00:11:22:33:44:55", 1);
    Sim({"fault", "bt", "idmode", "0x20010099"});
    SearchBluetooth(dialog_);
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, 0, 0);
    ConfigureConnection(dialog_, BluetoothMode);
    EXPECT_EQ(ActivateScanner(dialog_), 1);
}

TEST_F(Activation, SuccessStartsPollingWhichWaitsForTheDownloadItself) {
    Sim({"scan", "vx", "stored-before"});
    Sim({"transfer", "vx", "6"});
    Scanner.SetStatusIsError(1);
    ShowText("before", ::GetDlgItem(dialog_, IDC_STATUS_LINE), ReplaceText);
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    // The six "transfer in progress" answers come later, to the polling thread.
    EXPECT_EQ(SimCounter("vx", "ready"), 0) << "the download is still running";
    EXPECT_EQ(LastingStatus(), "Brontel Vask Activated, Scanner Connected");
    EXPECT_EQ(StatusText(dialog_), "before");  // the caller shows the text
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(Scanner.Polled(), 1);
    EXPECT_NE(Scanner.Connection(), 0u);
    ASSERT_TRUE(PollingWorker);
    EXPECT_TRUE(PumpUntil([] { return SimCounter("vx", "ready") == 1; }, 10000)) << "the thread finished the download";
    EXPECT_TRUE(StopPollingThread(3000));
}

TEST_F(Activation, AtMostOnePollingThread) {
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    const auto first = Duplicate(PollingWorker.get());
    EXPECT_FALSE(Ended(first.get()));
    // A second activation (after the page closed the connection) while the
    // flag stays set: the older thread has ended before the new one starts.
    EXPECT_EQ(DeactivateScanner(), "Brontel Vask Deactivated");
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    EXPECT_TRUE(Ended(first.get()));
    EXPECT_FALSE(Ended(PollingWorker.get()));
    EXPECT_TRUE(StopPollingThread(3000));
}

TEST_F(Activation, DeactivationClosesOnce) {
    EXPECT_EQ(DeactivateScanner(), "");  // nothing ever opened
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    EXPECT_EQ(DeactivateScanner(), "Brontel Vask Deactivated");
    EXPECT_EQ(Scanner.Connection(), 0u);
    EXPECT_EQ(DeactivateScanner(), "");  // the closed handle is not closed again
    // The scanner is free again: it was really closed.
    EXPECT_EQ(ActivateScanner(dialog_), 1);
}

TEST_F(Activation, FailedCloseKeepsTheHandleForAnotherTry) {
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    Sim({"fault", "vx", "close", "0x20010099"});
    EXPECT_EQ(DeactivateScanner(), "Failed to Deactive Scanner.");
    EXPECT_NE(Scanner.Connection(), 0u);
    Sim({"clear-faults", "vx"});
    EXPECT_EQ(DeactivateScanner(), "Brontel Vask Deactivated");
    EXPECT_EQ(DeactivateScanner(), "");
}

TEST_F(Activation, ClearStoredBarcodesDropsReadyOnes) {
    ClearStoredBarcodes();  // no connection: nothing reaches the SDK, nothing breaks
    ASSERT_EQ(ActivateScanner(dialog_), 1);  // polling flag clear: nothing is typed
    EXPECT_TRUE(StopPollingThread(3000));
    Sim({"scan", "vx", "111", "222"});  // ready at once on an open connection
    ASSERT_EQ(SimCounter("vx", "ready") - SimCounter("vx", "delivered"), 2);
    ClearStoredBarcodes();
    EXPECT_EQ(SimCounter("vx", "ready") - SimCounter("vx", "delivered"), 0);
}

TEST_F(Activation, RetryActivatesOncePluggedIn) {
    Sim({"unplug", "vx"});
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::EnableWindow(::GetDlgItem(dialog_, IDC_FIND_SCANNERS), TRUE);
    ::EnableWindow(::GetDlgItem(dialog_, IDC_SCANNER_LIST), TRUE);
    ASSERT_EQ(ActivateScanner(dialog_), 0);
    Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    EXPECT_NE(RetryWorker.Id(), 0u);

    Pump(1500);  // several failed attempts
    EXPECT_TRUE(RetryWorker.ShouldRun());
    EXPECT_EQ(StatusText(dialog_), "Scanner Not Connected");
    EXPECT_EQ(LastingStatus(), "Scanner Not Connected");
    EXPECT_EQ(Scanner.Pending(), ConnectionState::NothingPending);
    EXPECT_EQ(ItemText(dialog_, IDC_ACTIVATE), "Ac&tivate");
    EXPECT_EQ(Scanner.Polled(), 0);

    Sim({"plug", "vx"});
    ASSERT_TRUE(PumpUntil([] { return !RetryWorker.ShouldRun(); }, 10000));
    ASSERT_TRUE(PumpUntil([this] { return StatusText(dialog_) == "Scanner Connected"; }, 5000));
    EXPECT_EQ(LastingStatus(), "Scanner Connected");
    EXPECT_EQ(Scanner.Polled(), 1);
    EXPECT_EQ(Scanner.StatusIsError(), 0);
    EXPECT_EQ(ItemText(dialog_, IDC_ACTIVATE), "Deac&tivate");
    EXPECT_TRUE(ItemEnabled(dialog_, IDC_ACTIVATE));
    EXPECT_FALSE(ItemEnabled(dialog_, IDC_FIND_SCANNERS));
    EXPECT_FALSE(ItemEnabled(dialog_, IDC_SCANNER_LIST));
    EXPECT_EQ(ListSelection(dialog_), 0);
    EXPECT_NE(Scanner.Connection(), 0u);
    EXPECT_TRUE(PollingWorker);
    const auto thread = Duplicate(RetryWorker.get());
    EXPECT_TRUE(PumpUntil([&] { return Ended(thread.get()); }, 3000));
}

TEST_F(Activation, StoppingTheRetryWhileItSendsToTheDialogDoesNotDeadlock) {
    Sim({"unplug", "vx"});
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    const auto thread = Duplicate(RetryWorker.get());
    // No message handling here: the retry posts its texts, so stopping it
    // needs nothing from this thread.
    ::Sleep(300);  // the retry is under way
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(StopActivationRetry(5000));
    const DWORD took = ::GetTickCount() - start;
    EXPECT_LT(took, 2000u);
    EXPECT_TRUE(Ended(thread.get()));
    EXPECT_EQ(ExitCodeOf(thread.get()), 0u);  // it returned; nothing terminated it
    EXPECT_FALSE(RetryWorker);
    std::cout << "[ measured ] retry thread stopped in " << took << " ms\n";
}

TEST_F(Activation, RetryActivatesWhileTheDialogsThreadHandlesNoMessages) {
    // This thread owns the dialog and handles nothing while the retry runs: a
    // retry that waited for the dialog would never get to its attempt.
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    EXPECT_TRUE(testsupport::WaitUntil([] { return Scanner.Polled(); }, 10000));  // handles no messages
    EXPECT_EQ(StatusText(dialog_), "Activating, please wait...") << "a control changed off its thread";
    // Its reports wait in the queue and show the outcome once handled.
    EXPECT_TRUE(PumpUntil([this] { return StatusText(dialog_) == "Scanner Connected"; }, 5000));
    EXPECT_EQ(ItemText(dialog_, IDC_ACTIVATE), "Deac&tivate");
}

TEST_F(Activation, StoppedRetryStartsNoFurtherAttempt) {
    Sim({"unplug", "vx"});
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    Pump(400);
    ASSERT_TRUE(StopActivationRetry(INFINITE));
    Sim({"plug", "vx"});
    Pump(800);
    EXPECT_EQ(Scanner.Polled(), 0);
    EXPECT_EQ(Scanner.Connection(), 0u);
    EXPECT_EQ(StatusText(dialog_), "Scanner Not Connected");
}

TEST_F(Activation, StopWaitsOnlyForTheAttemptInProgress) {
    // The next attempt succeeds and then waits for a 2.5 s download.
    Sim({"unplug", "vx"});
    Sim({"transfer", "vx", "10"});
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    Pump(300);
    Sim({"plug", "vx"});
    ASSERT_TRUE(PumpUntil([] { return Scanner.Polled() == 1; }, 5000));
    const auto thread = Duplicate(RetryWorker.get());
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(StopActivationRetry(INFINITE));
    const DWORD took = ::GetTickCount() - start;
    EXPECT_TRUE(Ended(thread.get()));
    EXPECT_EQ(ExitCodeOf(thread.get()), 0u);
    EXPECT_LT(took, 3500u);  // the rest of that download, not more
    std::cout << "[ measured ] stop during a 2.5 s download waited " << took << " ms\n";
}

TEST_F(Activation, ShutdownClosesOnlyAfterThePollingThreadEnded) {
    ASSERT_EQ(ActivateScanner(dialog_), 1);
    const auto polling = Duplicate(PollingWorker.get());
    ASSERT_FALSE(Ended(polling.get()));
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(StopScannerForShutdown());
    const DWORD took = ::GetTickCount() - start;
    EXPECT_TRUE(Ended(polling.get()));
    EXPECT_EQ(Scanner.Connection(), 0u);
    EXPECT_FALSE(PollingWorker.ShouldRun());
    EXPECT_EQ(DeactivateScanner(), "");
    std::cout << "[ measured ] shutdown stop took " << took << " ms\n";
}

TEST_F(Activation, ShutdownEndsTheRetryFirst) {
    Sim({"unplug", "vx"});
    ASSERT_TRUE(StartActivationRetry(ConnectionsWindow));
    Pump(300);
    const auto thread = Duplicate(RetryWorker.get());
    EXPECT_TRUE(StopScannerForShutdown());
    EXPECT_TRUE(Ended(thread.get()));
    EXPECT_FALSE(RetryWorker.ShouldRun());
    EXPECT_EQ(Scanner.Connection(), 0u);
}
