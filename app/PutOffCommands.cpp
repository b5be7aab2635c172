#include "app/PutOffCommands.h"

#include <deque>
#include <utility>

#include "app/Shell.h"
#include "delivery/OwnWindows.h"

namespace {

struct PutOffCommand {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::deque<PutOffCommand> PutOffCommands;
bool ReplayingPutOff = false;
constexpr UINT RetryPutOffEveryMs = 10;

}  // namespace

bool OwnWindowMayComeNow(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool replaying = std::exchange(ReplayingPutOff, false);
    if ((replaying || PutOffCommands.empty()) && TryAnnounceOwnWindow()) return true;
    if (replaying)
        PutOffCommands.push_front({message, wParam, lParam});
    else
        PutOffCommands.push_back({message, wParam, lParam});
    ::SetTimer(MainWindow, RetryPutOffTimer, RetryPutOffEveryMs, nullptr);
    return false;
}

void RetryPutOffCommands() {
    ::KillTimer(MainWindow, RetryPutOffTimer);
    while (!PutOffCommands.empty()) {
        const PutOffCommand command = PutOffCommands.front();
        PutOffCommands.pop_front();
        const size_t left = PutOffCommands.size();
        ReplayingPutOff = true;
        (void)::SendMessageA(MainWindow, command.message, command.wParam, command.lParam);
        ReplayingPutOff = false;
        if (PutOffCommands.size() > left) return;  // put off again: the timer is set
    }
}

void ForgetPutOffCommands() {
    PutOffCommands.clear();
    if (MainWindow) ::KillTimer(MainWindow, RetryPutOffTimer);
}
