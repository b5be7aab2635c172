#include "scanner/PageCommand.h"

#include <atomic>
#include <utility>

#include "config/SettingsRecord.h"
#include "scanner/Activation.h"
#include "scanner/Discovery.h"
#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "scanner/ScannerWorker.h"
#include "win/Shielded.h"

namespace {

std::atomic<int> PageCommandsPending{0};

// Ends the command that runs, however it leaves.
class Ending {
public:
    explicit Ending(void (*report)(CommandEnd)) : report_(report) {}
    ~Ending() {
        --PageCommandsPending;
        win::Shielded([this] { report_(end); });
    }
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;

    CommandEnd end = CommandEnd::Failed;

private:
    void (*report_)(CommandEnd);
};

// What the previous activation leaves behind, closed: its text. The retry
// thread ends before the connection is touched (no new attempt starts; one
// still in an SDK call discards its result); the polling thread is stopped
// by ClearStoredBarcodes and DeactivateScanner, which close the connection
// only once it has let go of it.
std::string CloseWhatWasOpen(bool clearStored) {
    (void)StopActivationRetry(PollingThreadStopWaitMs);
    if (clearStored) ClearStoredBarcodes();
    return DeactivateScanner();
}

}  // namespace

bool PostPageCommand(PageCommand command, void (*report)(CommandEnd)) {
    ++PageCommandsPending;
    const bool posted = ScannerCommands.Post([command = std::move(command), report] {
        Ending ending(report);
        ending.end = command();
    });
    if (!posted) --PageCommandsPending;
    return posted;
}

bool PageCommandRuns() { return PageCommandsPending.load() > 0; }

CommandEnd SearchForScanners(int mode, int from, int to, CommandReports& reports) {
    const std::string closed = CloseWhatWasOpen(true);
    Scanner.MarkNotPolled();
    reports.Status(closed);
    Scanner.SetStatusIsError(false);
    reports.Status(scannertext::Searching);
    reports.Entries({}, nullptr);
    ClearFoundDevices();
    if (mode == SerialMode || mode == BluetoothMode) {
        const scannertext::SearchListing listing =
            mode == SerialMode ? FindSerialScanners(from, to) : FindBluetoothScanners();
        reports.Entries(listing.entries, &listing.status);
    }
    return CommandEnd::Searched;
}

CommandEnd ActivateChosenScanner(int mode, int slot, const std::string& entry, CommandReports& reports) {
    const std::string closed = CloseWhatWasOpen(true);
    Scanner.SetStatusIsError(false);
    reports.Status(closed);
    reports.Status(ConfigureSelectedScanner(slot, entry, mode).text);
    const bool activated = ActivateStoredConnection();
    reports.Status(Scanner.StatusText());
    return activated ? CommandEnd::Activated : CommandEnd::NotActivated;
}

CommandEnd DeactivateTheScanner(CommandReports& reports) {
    const std::string closed = CloseWhatWasOpen(false);
    Scanner.MarkNotConnected(closed, false);
    reports.Status(closed);
    return CommandEnd::Deactivated;
}
