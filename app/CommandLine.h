// The program's command line: a command for the copy already running in the
// same session, answered with an exit code that scripts can test.
//
//   VaskSW.exe [/pause | /resume | /exit | /status | /logon] [/quiet]
//
// Plain C++: the words and the codes are decided here, the hand-over is the
// entry point's.
#pragma once

#include <string>
#include <vector>

namespace cmdline {

// Logon: the start at every user's logon that the package's AUTOSTART
// makes; with a copy running already it does nothing (no sheet opens).
enum class Command { None = 0, Pause = 1, Resume = 2, Exit = 3, Status = 4, Logon = 5 };

struct Parsed {
    Command command = Command::None;
    bool quiet = false;  // no message box for bad arguments
    std::string error;   // empty: the arguments are good
};

// Options start with '/' or '-', in any case; at most one command.
Parsed Parse(const std::vector<std::string>& arguments);

// The exit codes. /status, /pause and /resume answer the running copy's
// state after the command as the sum of the flags; no copy running is 0.
inline constexpr int NotRunning = 0;
inline constexpr int RunningFlag = 1;
inline constexpr int ConnectedFlag = 2;
inline constexpr int PausedFlag = 4;
// /exit: 0 once the running copy has ended (or none ran).
inline constexpr int Ended = 0;
// The running copy did not answer, or did not end in time.
inline constexpr int NoAnswer = 16;
inline constexpr int BadArguments = 64;

int StateCode(bool connected, bool paused);

// The message box's text for bad arguments: what was wrong, then the usage.
std::string BadArgumentsText(const std::string& error);

}  // namespace cmdline
