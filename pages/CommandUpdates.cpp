#include "pages/CommandUpdates.h"

#include "config/Guarded.h"
#include "res/Messages.h"
#include "scanner/ScannerState.h"

RetryReportTarget ConnectionsWindow{nullptr};

namespace {

Guarded<std::deque<PageUpdate>> PendingUpdates;

}  // namespace

void HandBack(PageUpdate update) {
    PendingUpdates.Update([&](std::deque<PageUpdate>& updates) { updates.push_back(std::move(update)); });
    if (HWND page = ConnectionsWindow.load()) (void)::PostMessageA(page, CommandUpdateMessage, 0, 0);
}

void HandBackEnd(CommandEnd end) { HandBack({std::nullopt, std::nullopt, end}); }

void ReportsToThePage::Status(const std::string& text) { HandBack({text, std::nullopt, CommandEnd::None}); }

void ReportsToThePage::Entries(const std::vector<std::string>& entries, const std::string* status) {
    HandBack({status ? std::optional<std::string>(*status) : std::nullopt, entries, CommandEnd::None});
}

void ForgetUpdates() {
    PendingUpdates.Update([](std::deque<PageUpdate>& updates) { updates.clear(); });
}

std::deque<PageUpdate> TakeQueuedUpdates() {
    std::deque<PageUpdate> updates;
    PendingUpdates.Update([&](std::deque<PageUpdate>& pending) { updates.swap(pending); });
    return updates;
}

void ActivateStoredScannerAtStartup() {
    ForgetUpdates();
    Scanner.SetPending(ConnectionState::ActivatingAtStartup);
    const bool posted = PostPageCommand(
        [] {
            if (ActivateStoredConnection(ActivationCause::Program)) {
                Scanner.SetPending(ConnectionState::ActivatedAtStartup);
            } else {
                Scanner.SetPending(ConnectionState::ActivationAtStartupFailed);
                (void)StartActivationRetry(ConnectionsWindow);
            }
            return CommandEnd::StartupActivationEnded;
        },
        HandBackEnd);
    if (!posted) Scanner.SetPending(ConnectionState::NothingPending);
}
