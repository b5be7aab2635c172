// The Connections page's commands (Find Scanners, Activate, Deactivate, the
// start-up activation), each run on the scanner worker. A command ends on
// every path: should it throw, its end is reported all the same, as Failed,
// so the page that waits for it is never left busy.
//
// Threads: PostPageCommand and PageCommandRuns on the user-interface thread;
// the command and its report on the worker.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class CommandEnd { None, Searched, Activated, NotActivated, Deactivated, StartupActivationEnded, Failed };

using PageCommand = std::function<CommandEnd()>;

// Hands the command to the worker. Once it has ended the count of running
// page commands goes down first (the page takes clicks as soon as the end
// arrives), then report(end) is called on the worker. False when the worker
// takes no more commands (the program is ending): nothing runs, nothing is
// reported.
bool PostPageCommand(PageCommand command, void (*report)(CommandEnd));

// A page command was handed over and has not ended yet.
bool PageCommandRuns();

// What a command hands back to the page as it goes, in order.
class CommandReports {
public:
    virtual ~CommandReports() = default;
    virtual void Status(const std::string& text) = 0;
    // The scanner list's new entries, with the status line that goes with them.
    virtual void Entries(const std::vector<std::string>& entries, const std::string* status) = 0;
};

// The commands' bodies. Each first closes what the previous activation left
// open (the retry ends, the polling thread lets go of the connection).
// Find Scanners: `mode` SerialMode (ports from..to) or BluetoothMode.
CommandEnd SearchForScanners(int mode, int from, int to, CommandReports& reports);
// Activate: configures the chosen scanner (`slot` in the list, its `entry`) and opens it.
CommandEnd ActivateChosenScanner(int mode, int slot, const std::string& entry, CommandReports& reports);
CommandEnd DeactivateTheScanner(CommandReports& reports);
