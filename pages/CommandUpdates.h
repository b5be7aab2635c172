// What the scanner worker hands back to the Connections page as a command
// runs, in order: each status text as it comes, the scanner list, and at the
// end what the controls become. The worker queues it here and posts
// CommandUpdateMessage to the newest page, which takes the queue.
//
// Threads: HandBack*, ReportsToThePage on the worker; the rest on the
// user-interface thread.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "scanner/Activation.h"
#include "scanner/PageCommand.h"

// The newest Connections dialog window (the hidden start-up instance, later
// each new Connections page). Whoever starts the activation retry hands it
// over as the retry's report target, so the reports follow the newest page.
// Written by the user-interface thread, read by the worker and the retry
// thread.
extern RetryReportTarget ConnectionsWindow;

struct PageUpdate {
    std::optional<std::string> status;
    std::optional<std::vector<std::string>> entries;  // the scanner list's new entries
    CommandEnd end = CommandEnd::None;
};

// On the worker: queues an update and tells the newest Connections page.
void HandBack(PageUpdate update);
void HandBackEnd(CommandEnd end);

// The worker's reports, queued for the newest page.
class ReportsToThePage : public CommandReports {
public:
    void Status(const std::string& text) override;
    void Entries(const std::vector<std::string>& entries, const std::string* status) override;
};

// A new command starts: what an earlier one left unread is of no use.
void ForgetUpdates();

// The updates queued so far, oldest first; the queue is left empty.
std::deque<PageUpdate> TakeQueuedUpdates();

// Start-up: activates the stored scanner on the scanner worker, as the
// page's Activate does without configuring; a failure leaves the retry
// thread trying in the background. Its end comes back as the commands' do,
// and the newest page shows the outcome.
void ActivateStoredScannerAtStartup();
