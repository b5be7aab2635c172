#include "scanner/PageCommand.h"

#include <atomic>
#include <utility>

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
