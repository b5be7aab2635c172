#include "tests/support/SimControl.h"

#include <cstdio>
#include <sstream>

#include "sdksim/SimState.h"
#include "sdksim/SimText.h"
#include "tests/support/Process.h"

namespace testsupport::sim {
namespace {

constexpr size_t CommandLineBudget = 20000;  // well below the 32767 of CreateProcess

::testing::AssertionResult Check(const std::vector<std::string>& args) {
    RunResult r = Run(args);
    if (r.exitCode == 0) return ::testing::AssertionSuccess();
    std::string line = "vask-sim";
    for (const std::string& a : args) line += " " + QuoteArgument(a);
    return ::testing::AssertionFailure() << line << " exited with " << r.exitCode << ": " << r.output;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        auto b = static_cast<uint8_t>(c);
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string TempScanFile() {
    char folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    ::GetTempFileNameA(folder, "vsk", 0, file);
    return file;
}

::testing::AssertionResult ScanThroughFile(const std::string& name, const std::vector<std::string>& barcodes,
                                           uint32_t repeat) {
    std::string path = TempScanFile(), content;
    for (const std::string& b : barcodes)
        for (uint32_t i = 0; i < repeat; ++i) content += sdksim::EscapeBarcode(b) + "\n";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return ::testing::AssertionFailure() << "cannot write " << path;
    bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    std::fclose(f);
    auto result = written ? Check({"scan-file", name, path})
                          : ::testing::AssertionFailure() << "cannot write " << path;
    ::DeleteFileA(path.c_str());
    return result;
}

}  // namespace

RunResult Run(const std::vector<std::string>& args) { return RunProgram(BinPath("vask-sim.exe"), args); }

::testing::AssertionResult Reset() { return Check({"reset"}); }

::testing::AssertionResult AddSerial(const std::string& name, const std::string& port,
                                     const std::string& deviceId, int baudCode) {
    return Check({"add-serial", name, "--port", port, "--device-id", deviceId, "--baud-code",
                  std::to_string(baudCode)});
}

::testing::AssertionResult AddBluetooth(const std::string& name, const std::string& btName,
                                        const std::string& address, int kind) {
    return Check({"add-bluetooth", name, "--bt-name", btName, "--address", address, "--kind",
                  std::to_string(kind)});
}

::testing::AssertionResult Remove(const std::string& name) { return Check({"remove", name}); }
::testing::AssertionResult Plug(const std::string& name) { return Check({"plug", name}); }
::testing::AssertionResult Unplug(const std::string& name) { return Check({"unplug", name}); }

::testing::AssertionResult Scan(const std::string& name, const std::vector<std::string>& barcodes,
                                uint32_t repeat) {
    size_t total = 0;
    for (const std::string& b : barcodes) total += 2 * b.size() + 3;
    if (total > CommandLineBudget) return ScanThroughFile(name, barcodes, repeat);
    std::vector<std::string> args = {"scan", name, "--hex", "--repeat", std::to_string(repeat)};
    for (const std::string& b : barcodes) args.push_back(Hex(b));
    return Check(args);
}

::testing::AssertionResult ScanEscaped(const std::string& name, const std::vector<std::string>& texts) {
    std::vector<std::string> args = {"scan", name, "--"};
    args.insert(args.end(), texts.begin(), texts.end());
    return Check(args);
}

::testing::AssertionResult ScanHex(const std::string& name, const std::vector<std::string>& hex) {
    std::vector<std::string> args = {"scan", name, "--hex"};
    args.insert(args.end(), hex.begin(), hex.end());
    return Check(args);
}

::testing::AssertionResult Fault(const std::string& name, const std::string& call, uint32_t result) {
    return Check({"fault", name, call, sdksim::FormatResultCode(result)});
}

::testing::AssertionResult Delay(const std::string& name, const std::string& call, uint32_t ms) {
    return Check({"fault", name, "delay:" + call, std::to_string(ms)});
}

::testing::AssertionResult ClearFaults(const std::string& name) { return Check({"clear-faults", name}); }

::testing::AssertionResult Transfer(const std::string& name, uint32_t queries) {
    return Check({"transfer", name, std::to_string(queries)});
}

::testing::AssertionResult SetVersion(int32_t version) { return Check({"version", std::to_string(version)}); }

std::vector<Status> StatusAll() {
    RunResult r = Run({"status"});
    std::vector<Status> all;
    if (r.exitCode != 0) return all;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (auto s = sdksim::ParseStatusLine(line))
            all.push_back({s->name, s->transport, s->plugged, s->stored, s->ready, s->delivered, s->slowed});
    }
    return all;
}

std::vector<std::string> Breaches() {
    RunResult r = Run({"status"});
    std::vector<std::string> found;
    if (r.exitCode != 0) return {"vask-sim status failed: " + r.output};
    std::istringstream lines(r.output);
    std::string line;
    const std::string prefix = sdksim::BreachLinePrefix;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
    }
    return found;
}

::testing::AssertionResult NoBreaches() {
    std::vector<std::string> found = Breaches();
    if (found.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "the simulated SDK was misused:";
    for (const std::string& b : found) failure << "\n  " << b;
    return failure;
}

::testing::AssertionResult WaitForSlowCall(const std::string& name, uint64_t sofar) {
    if (WaitUntil([&] { return StatusOf(name).value_or(Status{}).slowed > sofar; }, 20000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no call of " << name << " began a delay";
}

::testing::AssertionResult DelayUnderWay(const std::string& name, const std::string& call, uint32_t ms) {
    const std::optional<Status> before = StatusOf(name);
    if (!before) return ::testing::AssertionFailure() << "no scanner " << name;
    if (auto set = Delay(name, call, ms); !set) return set;
    return WaitForSlowCall(name, before->slowed);
}

std::optional<Status> StatusOf(const std::string& name) {
    for (Status& s : StatusAll())
        if (s.name == name) return s;
    return std::nullopt;
}

}  // namespace testsupport::sim
