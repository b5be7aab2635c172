#include "app/CommandLine.h"

#include <cctype>

namespace cmdline {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Word {
    const char* name;
    Command command;
};
constexpr Word Commands[] = {{"pause", Command::Pause},
                             {"resume", Command::Resume},
                             {"exit", Command::Exit},
                             {"status", Command::Status},
                             {"logon", Command::Logon}};

bool IsOption(const std::string& argument, const char* name) {
    return argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-') && Lower(argument.substr(1)) == name;
}

}  // namespace

Parsed Parse(const std::vector<std::string>& arguments) {
    Parsed parsed;
    // Wherever it stands, /quiet keeps the box of bad arguments away.
    for (const std::string& argument : arguments) parsed.quiet = parsed.quiet || IsOption(argument, "quiet");
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
            parsed.error = "Unknown argument: " + argument;
            return parsed;
        }
        const std::string word = Lower(argument.substr(1));
        if (word == "quiet") continue;
        Command command = Command::None;
        for (const Word& known : Commands)
            if (word == known.name) command = known.command;
        if (command == Command::None) {
            parsed.error = "Unknown argument: " + argument;
            return parsed;
        }
        if (parsed.command != Command::None && parsed.command != command) {
            parsed.error = "Only one of /pause, /resume, /exit, /status and /logon may be given.";
            return parsed;
        }
        parsed.command = command;
    }
    return parsed;
}

int StateCode(bool connected, bool paused) {
    return RunningFlag | (connected ? ConnectedFlag : 0) | (paused ? PausedFlag : 0);
}

std::string BadArgumentsText(const std::string& error) {
    return error +
           "\n\nUsage: VaskSW.exe [/pause | /resume | /exit | /status | /logon] [/quiet]\n\n"
           "/pause\tPause typing (starts Brontel Vask paused if it is not running).\n"
           "/resume\tResume typing.\n"
           "/exit\tSave the settings and end Brontel Vask, without asking.\n"
           "/status\tOnly report the state.\n"
           "/logon\tStart Brontel Vask, unless it runs already.\n"
           "/quiet\tShow no message; bad arguments end with exit code 64.";
}

}  // namespace cmdline
