// The command line of vask-sim, the simulator's control tool, parsed into one
// command; free of windows.h. Usage() is the text the tool prints for help.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdksim/SimState.h"
#include "sdksim/SimText.h"

namespace sdksim {

enum class CommandKind {
    Help, AddSerial, AddBluetooth, Remove, Unplug, Plug, Scan, ScanFile, Fault, ClearFaults,
    Transfer, Status, Reset, Version, WindowThreads
};

// Calls whose result a fault decides.
enum class FaultCall { Open, IdMode, Count, Close, Find, Info, Delay };

struct SimCommand {
    CommandKind kind = CommandKind::Help;
    std::string name;  // scanner name, or "*" for the searches (fault, clear-faults)
    // add-serial
    std::string port, deviceId;
    int32_t baudCode = 1;
    // add-bluetooth
    std::string btName;
    BluetoothAddress address{};
    int32_t deviceKind = 1;
    // scan, scan-file
    std::vector<std::string> barcodes;  // bytes, escapes already resolved
    uint32_t repeat = 1;
    std::string path;
    // fault
    FaultCall call = FaultCall::Open;
    uint32_t infoPass = 0;
    SlowCall slowCall = SlowCall::Open;  // delay:CALL; result holds the milliseconds
    uint32_t result = 0;
    // transfer
    uint32_t queries = 0;
    // version: set when a number was given
    bool setVersion = false;
    int32_t version = 0;
    // window-threads allow|breach
    bool allowWindowThreads = false;
};

// args excludes the program name.
Parsed<SimCommand> ParseCommand(const std::vector<std::string>& args);

// Barcodes of a scan file: one per line, with the escapes of the command line;
// a CR before the line end is dropped and empty lines are skipped.
Parsed<std::vector<std::string>> ParseScanFile(std::string_view content);

const char* Usage();

}  // namespace sdksim
