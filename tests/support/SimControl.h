// A test's handle on the simulated scanners: each call runs vask-sim.exe from
// the test's bin folder and reports failures with the tool's own message, so
// tests write ASSERT_TRUE(sim::AddSerial("s1", "COM3", "D1")).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Process.h"

namespace testsupport::sim {

// vask-sim.exe with these arguments, as it ran.
RunResult Run(const std::vector<std::string>& args);

::testing::AssertionResult Reset();
::testing::AssertionResult AddSerial(const std::string& name, const std::string& port,
                                     const std::string& deviceId, int baudCode = 1);
// address "XX:XX:XX:XX:XX:XX"
::testing::AssertionResult AddBluetooth(const std::string& name, const std::string& btName,
                                        const std::string& address, int kind = 1);
::testing::AssertionResult Remove(const std::string& name);
::testing::AssertionResult Plug(const std::string& name);
::testing::AssertionResult Unplug(const std::string& name);

// Scans the barcodes (raw bytes, any values), in order, each `repeat` times.
// Large batches go through a temporary scan file.
::testing::AssertionResult Scan(const std::string& name, const std::vector<std::string>& barcodes,
                                uint32_t repeat = 1);
// Texts as typed on the command line, with vask-sim's escapes (\r \n \t \\ \xHH).
::testing::AssertionResult ScanEscaped(const std::string& name, const std::vector<std::string>& texts);
::testing::AssertionResult ScanHex(const std::string& name, const std::vector<std::string>& hex);

// name "*" with call "find" or "info:I" for the searches; result 0 clears.
::testing::AssertionResult Fault(const std::string& name, const std::string& call, uint32_t result);
// call "open", "idmode", "download", "count", "fetch" or "close" of that
// scanner sleeps ms before it does its work; 0 clears.
::testing::AssertionResult Delay(const std::string& name, const std::string& call, uint32_t ms);
// Waits until the scanner's calls that have begun a delay fault's sleep
// number more than `sofar` (Status::slowed).
::testing::AssertionResult WaitForSlowCall(const std::string& name, uint64_t sofar);
// Delay, then waits until a call of the scanner has begun that sleep.
::testing::AssertionResult DelayUnderWay(const std::string& name, const std::string& call, uint32_t ms);
::testing::AssertionResult ClearFaults(const std::string& name);
::testing::AssertionResult Transfer(const std::string& name, uint32_t queries);
::testing::AssertionResult SetVersion(int32_t version);

struct Status {
    std::string name;
    std::string transport;  // "serial" or "bluetooth"
    bool plugged = false;
    uint64_t stored = 0, ready = 0, delivered = 0;
    uint64_t slowed = 0;  // calls that have begun a delay fault's sleep
};
std::optional<Status> StatusOf(const std::string& name);
std::vector<Status> StatusAll();

// The contract breaches the simulated SDK has recorded since the last reset,
// one text each (the "breach: " lines of vask-sim status).
std::vector<std::string> Breaches();
// Success when none was recorded; otherwise a failure listing them. Every
// test that runs the program checks this at its end.
::testing::AssertionResult NoBreaches();

}  // namespace testsupport::sim
